#pragma once
// The pixel size a JPEG's frame header gives, read without decoding, so the status bar can show
// it the moment a photo is asked for.

#include <QSize>
#include <QString>
#include <functional>

namespace kps {

// Reads up to n bytes at offset into buf and returns how many it got (0 at the end, -1 on error).
using ByteSource = std::function<qint64(qint64 offset, unsigned char* buf, qint64 n)>;

// Markers are followed from the start of the file to the first frame header (SOF0..SOF15). The
// size is invalid when the file is no JPEG, ends first, reaches the scan data first, or gives
// a zero width or height; no more than kMaxHeaderOffset bytes into the file are looked at.
inline constexpr qint64 kMaxHeaderOffset = 1024 * 1024;
QSize jpegFrameSize(const ByteSource& read);
QSize jpegFrameSize(const unsigned char* data, qint64 size);
// The same for a file; only a regular file is read, and only the few bytes of each marker.
QSize jpegFrameSizeOf(const QString& path);

} // namespace kps
