#include "core/photo/jpegheader.h"

#include "core/photo/embeddedpreview.h"

#include <cstring>
#include <vector>

namespace kps {

namespace {

// Frame headers are C0..CF except DHT (C4), JPG (C8) and DAC (CC), which share the range.
bool isFrameHeader(unsigned char m) {
    return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
}

// Markers that stand alone, without a length: TEM and the restart markers.
bool standsAlone(unsigned char m) {
    return m == 0x01 || (m >= 0xD0 && m <= 0xD7);
}

bool readExactly(const ByteSource& read, qint64 offset, unsigned char* buf, qint64 n) {
    return read(offset, buf, n) == n;
}

// Looks into an APP1 or APP2 segment whose body starts at `at` for the picture it may name.
void readAppSegment(const ByteSource& read, unsigned char marker, qint64 at, qint64 bodyLength,
                    JpegHead& head) {
    EmbeddedPicture& slot = marker == 0xE1 ? head.exifThumbnail : head.mpfPreview;
    if (slot.present() || bodyLength < 8) return;
    // Only a segment that says it is Exif or MPF is read whole.
    unsigned char signature[6];
    const bool exif = marker == 0xE1;
    if (!readExactly(read, at, signature, 6) ||
        std::memcmp(signature, exif ? "Exif\0\0" : "MPF\0", exif ? 6 : 4) != 0)
        return;
    std::vector<unsigned char> body(static_cast<size_t>(bodyLength));
    if (!readExactly(read, at, body.data(), bodyLength)) return;
    slot = marker == 0xE1 ? exifThumbnailIn(body.data(), bodyLength, at)
                          : mpfPreviewIn(body.data(), bodyLength, at);
}

} // namespace

JpegHead readJpegHead(const ByteSource& read) {
    JpegHead head;
    unsigned char b[9];
    if (!readExactly(read, 0, b, 2) || b[0] != 0xFF || b[1] != 0xD8) return {};
    qint64 at = 2;
    while (at < kMaxHeaderOffset) {
        if (!readExactly(read, at, b, 2) || b[0] != 0xFF) return {};
        unsigned char marker = b[1];
        ++at;
        while (marker == 0xFF && at < kMaxHeaderOffset) { // fill bytes before a marker
            if (!readExactly(read, ++at, b, 1)) return {};
            marker = b[0];
        }
        ++at; // past the marker's code
        if (standsAlone(marker)) continue;
        if (marker == 0xD8 || marker == 0xD9 || marker == 0xDA || marker == 0x00) return {};
        if (!readExactly(read, at, b, 2)) return {};
        const qint64 length = (qint64(b[0]) << 8) | b[1];
        if (length < 2) return {};
        if (isFrameHeader(marker)) {
            // Length, precision, height, width.
            if (length < 8 || !readExactly(read, at + 2, b, 5)) return {};
            const int height = (b[1] << 8) | b[2];
            const int width = (b[3] << 8) | b[4];
            if (width == 0 || height == 0) return {};
            head.frameSize = QSize(width, height);
            return head;
        }
        if (marker == 0xE1 || marker == 0xE2)
            readAppSegment(read, marker, at + 2, length - 2, head);
        at += length;
    }
    return {};
}

JpegHead readJpegHead(const unsigned char* data, qint64 size) {
    return readJpegHead([data, size](qint64 offset, unsigned char* buf, qint64 n) -> qint64 {
        if (offset < 0 || offset >= size) return 0;
        const qint64 got = std::min(n, size - offset);
        std::memcpy(buf, data + offset, size_t(got));
        return got;
    });
}

QSize jpegFrameSize(const ByteSource& read) {
    return readJpegHead(read).frameSize;
}

QSize jpegFrameSize(const unsigned char* data, qint64 size) {
    return readJpegHead(data, size).frameSize;
}

} // namespace kps
