// The header reader on arbitrary bytes: it reads the first segments of every photo the viewer is
// asked for, before any decode, and finds the embedded pictures there (Exif IFD1 thumbnail, MPF
// preview). It must not crash, read outside the input or loop; a size it gives is one a JPEG
// frame can hold, and a picture it names lies where it can be read.

#include "core/photo/embeddedpreview.h"
#include "core/photo/jpegheader.h"

#include <cstdint>
#include <cstdlib>

namespace {

// A thumbnail lies inside the bytes it was found in; a preview is no larger than is read.
void check(const kps::EmbeddedPicture& thumbnail, const kps::EmbeddedPicture& preview,
           qint64 size) {
    if (thumbnail.present() && (thumbnail.offset < 0 || thumbnail.offset + thumbnail.length > size))
        std::abort();
    if (preview.present() && (preview.offset < 0 || preview.length > kps::kMaxPreviewBytes))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const kps::JpegHead head = kps::readJpegHead(data, qint64(size));
    const QSize s = head.frameSize;
    if (s.isValid() && (s.width() < 1 || s.width() > 65535 || s.height() < 1 || s.height() > 65535))
        std::abort();
    check(head.exifThumbnail, head.mpfPreview, qint64(size));
    // The input as the body of a segment of each kind, as found at the start of a file.
    check(kps::exifThumbnailIn(data, qint64(size), 0), kps::mpfPreviewIn(data, qint64(size), 0),
          qint64(size));
    return 0;
}
