#include "core/settings/settingsplace.h"

#include "core/files/fileops.h"
#include "core/files/nativepath.h"

#include <QCoreApplication>
#include <QDir>
#include <climits>
#include <sys/stat.h>
#include <unistd.h>

namespace kps {
namespace {

const QString kSettingsName = QStringLiteral("settings.ini");

QString withSlash(QString path) {
    if (!path.endsWith(QLatin1Char('/'))) path += QLatin1Char('/');
    return path;
}

QString withoutSlash(QString path) {
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

// A read-only file system or a folder owned by someone else both refuse the temporary file
// that an atomic settings write needs.
bool isWritableFolder(const QString& path) {
    return pathFacts(path).isFolder && ::access(nativePath(path).constData(), W_OK | X_OK) == 0;
}

QString configBase(const UserFolders& user) {
    // The XDG rules ignore a relative value as if it were unset.
    if (user.xdgConfigHome.startsWith(QLatin1Char('/'))) return withSlash(user.xdgConfigHome);
    if (user.home.isEmpty()) return {};
    return withSlash(user.home) + QStringLiteral(".config/");
}

} // namespace

QString installPrefix(const QString& programDir, const InstallLayout& layout) {
    const QString dir = withoutSlash(programDir);
    const QString binTail = QLatin1Char('/') + withoutSlash(layout.binDir);
    if (layout.binDir.isEmpty() || !dir.endsWith(binTail)) return {};
    const QString prefix = dir.left(dir.size() - binTail.size());
    if (!pathFacts(withSlash(prefix) + layout.dataDir).isFolder) return {};
    return prefix.isEmpty() ? QStringLiteral("/") : prefix;
}

ProgramFolder lookAtProgramFolder(const QString& programDir, const InstallLayout& layout) {
    ProgramFolder program;
    program.dir = withSlash(programDir);
    program.installed = !installPrefix(programDir, layout).isEmpty();
    program.writable = isWritableFolder(program.dir);
    program.hasSettings = pathFacts(program.dir + kSettingsName).isFile;
    return program;
}

SettingsFolder settingsFolder(const ProgramFolder& program, const UserFolders& user) {
    const QString base = configBase(user);
    if (base.isEmpty() || (!program.installed && program.writable))
        return {SettingsPlace::BesideProgram, program.dir, {}};
    SettingsFolder folder{
        SettingsPlace::UserConfig, base + kConfigSubfolder + QLatin1Char('/'), {}};
    // A settings.ini beside an installed program is a stray file in a system folder, not the
    // user's; one beside an unwritable copy is what that copy carries.
    if (!program.installed && program.hasSettings) folder.seedFrom = program.dir + kSettingsName;
    return folder;
}

bool prepareSettingsFolder(const SettingsFolder& folder) {
    const QString dir = withoutSlash(folder.dir);
    // Missing parents too, each with owner-only rights, as the XDG rules ask.
    for (qsizetype at = dir.indexOf(QLatin1Char('/'), 1); at != -1;
         at = dir.indexOf(QLatin1Char('/'), at + 1))
        ::mkdir(nativePath(dir.left(at)).constData(), 0700);
    ::mkdir(nativePath(dir).constData(), 0700);
    if (!pathFacts(dir).isFolder) return false;
    const QString target = withSlash(dir) + kSettingsName;
    if (!folder.seedFrom.isEmpty() && !pathFacts(target).exists) {
        RealFileOps ops;
        safeCopy(ops, folder.seedFrom, target); // without a seed the defaults apply
    }
    return true;
}

QString installedHelpPage(const QString& programDir, const InstallLayout& layout) {
    const QString prefix = installPrefix(programDir, layout);
    if (prefix.isEmpty()) return {};
    const QString page = withSlash(prefix) + layout.dataDir + QStringLiteral("/help_hu.html");
    return pathFacts(page).isFile ? page : QString();
}

UserFolders userFoldersOfEnvironment() {
#ifdef Q_OS_WIN
    return {qEnvironmentVariable("XDG_CONFIG_HOME"), QDir::homePath()};
#else
    const QString home = pathFromNative(qgetenv("HOME"));
    return {pathFromNative(qgetenv("XDG_CONFIG_HOME")), home.isEmpty() ? QDir::homePath() : home};
#endif
}

QString executableFolder() {
#ifndef Q_OS_WIN
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer);
    if (n > 0 && n < ssize_t(sizeof buffer)) {
        const QString exe = pathFromNative(buffer, n);
        return exe.left(exe.lastIndexOf(QLatin1Char('/')) + 1);
    }
#endif
    return withSlash(QCoreApplication::applicationDirPath());
}

} // namespace kps
