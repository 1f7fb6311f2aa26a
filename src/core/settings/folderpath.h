#pragma once
// Folder paths as the slots hold them: ending in the separator, so that a file name can simply
// be appended, and named to the file system by their exact bytes.

#include <QString>

namespace kps {

// The folder path with the separator at its end; an empty path stays empty ("no folder"),
// because a lone separator would name the root.
QString folderPath(QString path);

// Creates one folder level (a missing parent is not created). False when it could not be
// made, including when something already stands there.
bool makeFolder(const QString& path);

} // namespace kps
