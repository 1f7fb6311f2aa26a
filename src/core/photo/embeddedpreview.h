#pragma once
// The small pictures of itself a camera embeds in a photo (the Exif thumbnail, the MPF preview):
// found in the file's first segments, read with one bounded read, and shown while the photo
// itself decodes.

#include "core/photo/jpegdecoder.h"
#include "core/photo/jpegheader.h"

namespace kps {

// The largest embedded picture read; a larger one is not quick to read and is passed over.
inline constexpr qint64 kMaxPreviewBytes = 4LL * 1024 * 1024;
// How far a picture's height may stray from the height the photo's proportions give it, as a
// fraction (a one-pixel rounding is always allowed).
inline constexpr double kPreviewProportionTolerance = 0.02;

// The picture an APP1 ("Exif\0\0") or APP2 ("MPF\0") segment body names, the body starting at
// file offset `at`; empty when it names none that could be read.
EmbeddedPicture exifThumbnailIn(const unsigned char* body, qint64 size, qint64 at);
EmbeddedPicture mpfPreviewIn(const unsigned char* body, qint64 size, qint64 at);

// What one look at a photo file tells: its directory facts and its first segments.
struct PhotoHead {
    bool isFile = false;   // a regular file that could be opened
    qint64 bytes = 0;      // its size
    qint64 modifiedMs = 0; // its last modification, milliseconds since the epoch (UTC)
    JpegHead head;
};
// One open and fstat, then reads of the first segments only; only a regular file is read.
PhotoHead readPhotoHead(const QString& path);

// True when a picture of size `picture` has the proportions of a photo of size `photo`.
bool sameProportions(QSize picture, QSize photo);

// One embedded picture of the file decoded by `decoder` to cover `cover`, to stand in for the
// photo. A picture that cannot be read or decoded, or whose proportions are not the photo's (a
// damaged or lying one), gives ok == false. The result's fullSize is the photo's own.
DecodedPhoto decodeEmbeddedPicture(JpegDecoder& decoder, const QString& path, const PhotoHead& head,
                                   const EmbeddedPicture& picture, QSize cover,
                                   const StopRequest& stop);
// The best embedded picture that can stand in: the MPF preview, else the Exif thumbnail.
DecodedPhoto decodeEmbeddedPreview(JpegDecoder& decoder, const QString& path, const PhotoHead& head,
                                   QSize cover, const StopRequest& stop);

} // namespace kps
