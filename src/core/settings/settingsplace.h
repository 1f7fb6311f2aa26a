#pragma once
// Where settings.ini lives. A program run from its own folder (the build folder, an unpacked
// archive, a USB stick) keeps it beside itself, so it travels with the folder. An installed
// program, or one whose folder cannot be written, keeps it in the user's configuration folder.

#include <QString>

namespace kps {

// The installed layout below the install prefix: GNUInstallDirs' binary folder and the
// program's data folder, which only an installation creates.
struct InstallLayout {
    QString binDir = QStringLiteral("bin");
    QString dataDir = QStringLiteral("share/kovrin-photo-sorter");
};

// What the environment tells about the user's folders.
struct UserFolders {
    QString xdgConfigHome; // $XDG_CONFIG_HOME; unset and empty are the same
    QString home;          // $HOME
};

enum class SettingsPlace { BesideProgram, UserConfig };

struct SettingsFolder {
    SettingsPlace place = SettingsPlace::BesideProgram;
    QString dir;      // where settings.ini lives, ending in "/"
    QString seedFrom; // a settings.ini to copy into dir before start, or empty
};

// The name of the subfolder in the user's configuration folder.
inline const QString kConfigSubfolder = QStringLiteral("kovrin-photo-sorter");

// What the rule needs to know about the executable's folder.
struct ProgramFolder {
    QString dir;              // the executable's folder, ending in "/"
    bool installed = false;   // it is the install prefix's binary folder (see installPrefix)
    bool writable = false;    // a temporary file can be made there (not a read-only medium)
    bool hasSettings = false; // a settings.ini stands beside the executable
};

// The install prefix when programDir is the prefix's binary folder and the prefix holds the
// program's data folder; empty for a program run from anywhere else.
QString installPrefix(const QString& programDir, const InstallLayout& layout);

// Looks at the executable's folder on disk.
ProgramFolder lookAtProgramFolder(const QString& programDir, const InstallLayout& layout);

// Decides where settings.ini lives. An installed program, and one whose folder is not
// writable, use $XDG_CONFIG_HOME/kovrin-photo-sorter/ (~/.config/… when the variable is unset,
// empty or relative); the settings.ini an unwritable copy carries seeds that folder. With no
// home folder known either, the program's own folder is all there is.
SettingsFolder settingsFolder(const ProgramFolder& program, const UserFolders& user);

// Creates the folder with owner-only rights when missing and copies the seed in when the
// folder has no settings.ini yet; false when the folder cannot be made.
bool prepareSettingsFolder(const SettingsFolder& folder);

// $XDG_CONFIG_HOME and $HOME by their bytes, so a folder whose name is no UTF-8 is found.
UserFolders userFoldersOfEnvironment();

// The executable's folder by its bytes, ending in "/".
QString executableFolder();

// The Hungarian help page of an installed program, or empty when there is none.
QString installedHelpPage(const QString& programDir, const InstallLayout& layout);

} // namespace kps
