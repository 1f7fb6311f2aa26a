#pragma once
// Photos and files that tests make for themselves in temporary folders.

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace kps::test {

// Encodes a width x height JPEG filled with a colour gradient seeded by `seed`.
QByteArray makeJpegBytes(int width, int height, int seed = 0, int quality = 85,
                         bool progressive = false);

// The JPEG as a camera writes it: an Exif APP1 whose IFD1 holds `thumbnail`, and an MPF APP2
// naming `preview` (appended after the photo's own data) as its large thumbnail; an empty
// picture is left out.
QByteArray withEmbeddedPictures(const QByteArray& jpeg, const QByteArray& thumbnail,
                                const QByteArray& preview);

// Writes such a JPEG to path; returns false when the file cannot be written.
bool writeJpeg(const QString& path, int width, int height, int seed = 0);

// Writes raw bytes to path, creating nothing else; returns false on failure.
bool writeFile(const QString& path, const QByteArray& bytes);

QByteArray readFile(const QString& path);

// Sets the file's modification time; returns false on failure.
bool setModified(const QString& path, const QDateTime& when);

} // namespace kps::test

namespace kps::test {

// A photo-like JPEG: smooth colour fields with fine noise, about 3.5 bits per pixel, so that
// 24 MP come near 10 MB. `grain` scales the noise.
QByteArray makePhotoLikeJpeg(int width, int height, int seed, int grain = 28,
                             bool progressive = false);

} // namespace kps::test
