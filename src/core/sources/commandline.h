#pragma once
// The command line: --help and --version, or one folder or photo to start sorting from.

#include <QString>
#include <QStringList>

namespace kps {

enum class StartAction { Run, Help, Version };

struct CommandLine {
    StartAction action = StartAction::Run;
    QString folder; // the folder to load as the source, ending in "/"; empty: nothing
    QString photo;  // the photo in that folder to show first; empty: the first one
    QString error;  // what was wrong with the arguments; the program starts as usual
};

// Reads the arguments (without the program's name); relative paths are taken from currentDir.
// A path is looked at on disk: a folder, or a JPEG file (.jpg, .jpeg in any letter case).
CommandLine parseCommandLine(const QStringList& args, const QString& currentDir);

// What --help prints.
QString helpText();
// What --version prints.
QString versionText(const QString& version);
// The program's licence, as --version and the menu page's author section name it.
QString licenceText();

} // namespace kps
