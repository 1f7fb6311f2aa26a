#pragma once
// What a JPEG's first segments tell without decoding: the frame header's pixel size, and where
// the small pictures of itself a camera embeds lie in the file.

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

// Where an embedded picture lies in the file; empty when there is none.
struct EmbeddedPicture {
    qint64 offset = 0; // from the start of the file
    qint64 length = 0;
    bool present() const { return length > 0; }
};

// The frame size and the embedded pictures found on the way to it (the first Exif APP1 and the
// first MPF APP2 only).
struct JpegHead {
    QSize frameSize;
    EmbeddedPicture exifThumbnail; // Exif IFD1's thumbnail, inside its APP1 segment
    EmbeddedPicture mpfPreview;    // MPF's largest preview image, after the photo's own data
};
JpegHead readJpegHead(const ByteSource& read);
JpegHead readJpegHead(const unsigned char* data, qint64 size);
QSize jpegFrameSize(const unsigned char* data, qint64 size);

} // namespace kps
