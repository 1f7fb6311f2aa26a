// Starts the photo sorter: answers --help and --version, decides where the settings live, shows
// the main window and starts sorting from a folder or photo named on the command line.

#include "app/closesignals.h"
#include "app/mainwindow.h"
#include "app/startarguments.h"
#include "core/files/nativepath.h"
#include "core/settings/settingsplace.h"
#include "core/sources/commandline.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <climits>
#include <cstdio>
#include <unistd.h>

namespace {

// The arguments by their exact bytes, so a photo with a name that is not UTF-8 is still found.
QStringList argumentsOf(int argc, char* argv[]) {
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << kps::pathFromNative(QByteArray(argv[i]));
    return args;
}

QString currentFolder() {
    char buffer[PATH_MAX];
    return ::getcwd(buffer, sizeof buffer) ? kps::pathFromNative(QByteArray(buffer))
                                           : QDir::currentPath();
}

void print(std::FILE* to, const QString& text) {
    std::fputs(text.toUtf8().constData(), to);
}

} // namespace

int main(int argc, char* argv[]) {
    // Help and the version are answered before anything needs a display.
    const kps::CommandLine asked = kps::parseCommandLine(argumentsOf(argc, argv), currentFolder());
    if (asked.action == kps::StartAction::Help) {
        print(stdout, kps::helpText());
        return 0;
    }
    if (asked.action == kps::StartAction::Version) {
        print(stdout, kps::versionText(QStringLiteral(KPS_VERSION)));
        return 0;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationVersion(QStringLiteral(KPS_VERSION));
    // Wayland finds the menu entry, and with it the icon, by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral(KPS_APP_ID));
    // Qt has taken its own options (-platform, -style, …) out of argv by now.
    const kps::CommandLine line = kps::parseCommandLine(argumentsOf(argc, argv), currentFolder());

    const QString programDir = kps::executableFolder();
    const kps::InstallLayout layout{QStringLiteral(KPS_INSTALL_BINDIR),
                                    QStringLiteral(KPS_INSTALL_DATADIR)};
    const kps::SettingsFolder settings = kps::settingsFolder(
        kps::lookAtProgramFolder(programDir, layout), kps::userFoldersOfEnvironment());
    if (settings.place == kps::SettingsPlace::UserConfig && !kps::prepareSettingsFolder(settings))
        print(stderr, QStringLiteral("A beállítások mappája nem hozható létre: %1\n")
                          .arg(kps::displayPath(settings.dir)));

    kps::Environment env;
    env.programDir = settings.dir;
    env.helpPage = kps::installedHelpPage(programDir, layout);
    kps::MainWindow window(env);
    QIcon icon; // the window's own icon, where no menu entry gives one
    for (const int size : {32, 48, 256})
        icon.addFile(QStringLiteral(":/icons/%1/kovrin-photo-sorter.png").arg(size));
    QApplication::setWindowIcon(icon);
    window.show();
    kps::closeOnTerminationSignals(&window);
    const QString problem = kps::openFromCommandLine(window, line);
    if (!problem.isEmpty()) print(stderr, problem + QLatin1Char('\n'));
    return app.exec();
}
