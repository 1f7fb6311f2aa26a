#include "core/sources/commandline.h"

#include "core/files/nativepath.h"

#include <QDir>

namespace kps {
namespace {

bool isJpegName(const QString& path) {
    return path.endsWith(QStringLiteral(".jpg"), Qt::CaseInsensitive) ||
           path.endsWith(QStringLiteral(".jpeg"), Qt::CaseInsensitive);
}

// Only the text is tidied ("." and ".." steps); the bytes of every name are kept.
QString absolute(const QString& path, const QString& currentDir) {
    const QString full =
        path.startsWith(QLatin1Char('/')) ? path : currentDir + QLatin1Char('/') + path;
    return QDir::cleanPath(full);
}

CommandLine withError(const QString& message) {
    CommandLine result;
    result.error = message;
    return result;
}

} // namespace

CommandLine parseCommandLine(const QStringList& args, const QString& currentDir) {
    QStringList paths;
    QString unknown;
    bool optionsEnded = false;
    bool help = false;
    bool version = false;
    for (const QString& arg : args) {
        if (arg.isEmpty()) continue; // an empty word names nothing, not the current folder
        if (!optionsEnded && arg == QStringLiteral("--")) {
            optionsEnded = true;
        } else if (!optionsEnded &&
                   (arg == QStringLiteral("--help") || arg == QStringLiteral("-h"))) {
            help = true;
        } else if (!optionsEnded &&
                   (arg == QStringLiteral("--version") || arg == QStringLiteral("-v"))) {
            version = true;
        } else if (!optionsEnded && arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
            if (unknown.isEmpty()) unknown = arg;
        } else {
            paths << arg;
        }
    }
    // Asking for help or the version is answered whatever else the line holds.
    if (help || version) {
        CommandLine result;
        result.action = help ? StartAction::Help : StartAction::Version;
        return result;
    }
    if (!unknown.isEmpty())
        return withError(
            QStringLiteral("Ismeretlen kapcsoló: %1 (a lehetőségeket a --help sorolja fel)")
                .arg(unknown));
    if (paths.isEmpty()) return {};
    if (paths.size() > 1)
        return withError(QStringLiteral("Csak egy mappa vagy fotó adható meg, most %1 érkezett")
                             .arg(paths.size()));

    const QString path = absolute(paths.first(), currentDir);
    CommandLine result;
    const PathFacts facts = pathFacts(path);
    if (facts.isFolder) {
        result.folder = path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
        return result;
    }
    if (!facts.exists)
        return withError(
            QStringLiteral("Nincs ilyen mappa vagy fájl: %1").arg(displayPath(paths.first())));
    if (!facts.isFile || !isJpegName(path))
        return withError(QStringLiteral("Nem JPEG fotó (.jpg, .jpeg) és nem is mappa: %1")
                             .arg(displayPath(paths.first())));
    result.folder = path.left(path.lastIndexOf(QLatin1Char('/')) + 1);
    result.photo = path;
    return result;
}

QString helpText() {
    return QStringLiteral(
        "Használat: kovrin-photo-sorter [KAPCSOLÓ] [MAPPA | FOTÓ]\n"
        "\n"
        "Fotók válogatása: a fotót a mappák paneljeire húzva áthelyezi vagy másolja.\n"
        "\n"
        "  MAPPA          forrásként betölti a mappát, ahogy a menü betöltés gombja\n"
        "  FOTÓ           betölti a fotó mappáját, és ezt a fotót mutatja először\n"
        "  -h, --help     kiírja ezt a súgót, és kilép\n"
        "  -v, --version  kiírja a program verzióját, és kilép\n"
        "\n"
        "A beállítások (settings.ini) a program mappájában vannak, ha a program a saját\n"
        "mappájából fut; a telepített program a $XDG_CONFIG_HOME/kovrin-photo-sorter/\n"
        "mappában tartja őket (alapesetben ~/.config/kovrin-photo-sorter/).\n");
}

QString versionText(const QString& version) {
    return QStringLiteral("Kovrin Photo Sorter %1 verzió\n%2\n").arg(version, licenceText());
}

QString licenceText() {
    return QStringLiteral("Licenc: GPL-3.0-or-later (GNU General Public License, 3. vagy "
                          "bármely későbbi változat)");
}

} // namespace kps
