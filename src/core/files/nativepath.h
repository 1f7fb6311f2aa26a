#pragma once
// Paths as the program holds them (QString) and as the file system names them (bytes).
//
// A name that is not valid UTF-8 (a Latin-2 name from an older Windows disk, say) must still
// name its file after a round trip, so the bytes that do not decode are kept: each becomes the
// lone surrogate U+DC80 + (byte - 0x80), and encoding turns it back into that byte. Valid UTF-8
// never decodes to such a surrogate, so the mapping is exact both ways.

#include <QByteArray>
#include <QString>
#include <QUrl>

namespace kps {

// The file system's bytes for a path; the exact inverse of pathFromNative.
QByteArray nativePath(const QString& path);

// A path or name from the file system's bytes, keeping undecodable bytes (see above).
QString pathFromNative(const char* bytes, qsizetype len);
QString pathFromNative(const QByteArray& bytes);

// The path as Qt's own file classes and dialogs name it, where bytes that are no UTF-8 become
// U+FFFD; for handing a path to them.
QString qtPath(const QString& path);

// A path that Qt's file classes or dialogs gave back, by the file system's bytes: where Qt put
// U+FFFD for bytes it could not decode, the part is looked up among its folder's entries.
QString pathFromQt(const QString& qtPath);

// A file: URL that names the path's exact bytes (percent-encoded), for a browser to open.
QUrl fileUrl(const QString& path);

// What stat() tells of a path (links followed), looked up by its exact bytes.
struct PathFacts {
    bool exists = false;
    bool isFile = false;   // a regular file
    bool isFolder = false; // a folder
    qint64 size = 0;       // bytes
    qint64 modifiedMs = 0; // last modification, milliseconds since the epoch (UTC)
};
PathFacts pathFacts(const QString& path);

// The path for people to read: kept bytes are shown as Windows-1250 characters, the code page
// such names usually come from.
QString displayPath(const QString& path);

} // namespace kps
