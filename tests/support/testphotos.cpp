#include "testphotos.h"

#include <QFile>
#include <turbojpeg.h>
#include <vector>

namespace kps::test {

QByteArray makeJpegBytes(int width, int height, int seed, int quality, bool progressive) {
    std::vector<unsigned char> rgb(size_t(width) * size_t(height) * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            unsigned char* p = &rgb[(size_t(y) * size_t(width) + size_t(x)) * 3];
            p[0] = static_cast<unsigned char>((x * 255) / (width > 1 ? width - 1 : 1) + seed);
            p[1] = static_cast<unsigned char>((y * 255) / (height > 1 ? height - 1 : 1) + seed * 3);
            p[2] = static_cast<unsigned char>(seed * 7);
        }
    }
    tjhandle h = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    QByteArray bytes;
    if (tjCompress2(h, rgb.data(), width, 0, height, TJPF_RGB, &out, &size, TJSAMP_420, quality,
                    progressive ? TJFLAG_PROGRESSIVE : 0) == 0) {
        bytes = QByteArray(reinterpret_cast<const char*>(out), qsizetype(size));
    }
    tjFree(out);
    tjDestroy(h);
    return bytes;
}

namespace {

// Big-endian pieces of the TIFF structures inside Exif and MPF segments.
QByteArray u16(quint32 v) {
    const char bytes[] = {char(v >> 8), char(v & 0xFF)};
    return QByteArray(bytes, 2);
}
QByteArray u32(quint32 v) {
    return u16(v >> 16) + u16(v & 0xFFFF);
}
QByteArray tiffEntry(quint32 tag, quint32 type, quint32 count, const QByteArray& value) {
    return u16(tag) + u16(type) + u32(count) + value.leftJustified(4, '\0');
}
QByteArray appSegment(unsigned char marker, const QByteArray& body) {
    const char code[] = {char(0xFF), char(marker)};
    return QByteArray(code, 2) + u16(quint32(body.size()) + 2) + body;
}
constexpr quint32 kLong = 4, kShort = 3, kUndefined = 7;
const QByteArray kTiffHeader("MM\0\x2A\0\0\0\x08", 8);

} // namespace

QByteArray withEmbeddedPictures(const QByteArray& jpeg, const QByteArray& thumbnail,
                                const QByteArray& preview) {
    QByteArray exif;
    if (!thumbnail.isEmpty()) {
        // IFD0 (one entry: the orientation), then IFD1 naming the thumbnail that follows it.
        QByteArray tiff = kTiffHeader + u16(1) + tiffEntry(0x0112, kShort, 1, u16(1)) + u32(26);
        tiff += u16(2) + tiffEntry(0x0201, kLong, 1, u32(56)) +
                tiffEntry(0x0202, kLong, 1, u32(quint32(thumbnail.size()))) + u32(0);
        exif = appSegment(0xE1, QByteArray("Exif\0\0", 6) + tiff + thumbnail);
    }
    QByteArray mpf;
    if (!preview.isEmpty()) {
        // The index IFD: version, two images, and the two 16-byte entries after it.
        constexpr quint32 kEntries = 8 + 2 + 3 * 12 + 4;
        const quint32 bodyBytes = 4 + kEntries + 32;
        const quint32 firstImage = quint32(jpeg.size() + exif.size()) + 4 + bodyBytes;
        const quint32 tiffStart = 2 + quint32(exif.size()) + 4 + 4;
        QByteArray tiff = kTiffHeader + u16(3) + tiffEntry(0xB000, kUndefined, 4, "0100") +
                          tiffEntry(0xB001, kLong, 1, u32(2)) +
                          tiffEntry(0xB002, kUndefined, 32, u32(kEntries)) + u32(0);
        tiff += u32(0x20030000) + u32(firstImage) + u32(0) + u32(0);
        tiff +=
            u32(0x00010001) + u32(quint32(preview.size())) + u32(firstImage - tiffStart) + u32(0);
        mpf = appSegment(0xE2, QByteArray("MPF\0", 4) + tiff);
    }
    return jpeg.left(2) + exif + mpf + jpeg.mid(2) + preview;
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    return f.write(bytes) == bytes.size();
}

bool writeJpeg(const QString& path, int width, int height, int seed) {
    const QByteArray bytes = makeJpegBytes(width, height, seed);
    return !bytes.isEmpty() && writeFile(path, bytes);
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool setModified(const QString& path, const QDateTime& when) {
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite)) return false;
    return f.setFileTime(when, QFileDevice::FileModificationTime);
}

} // namespace kps::test

namespace kps::test {

QByteArray makePhotoLikeJpeg(int width, int height, int seed, int grain, bool progressive) {
    std::vector<unsigned char> rgb(size_t(width) * size_t(height) * 3);
    quint32 state = 2463534242u ^ quint32(seed * 7919);
    auto noise = [&state, grain] {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return int(state % quint32(2 * grain + 1)) - grain;
    };
    auto clamp = [](int v) { return static_cast<unsigned char>(v < 0 ? 0 : v > 255 ? 255 : v); };
    for (int y = 0; y < height; ++y) {
        unsigned char* row = &rgb[size_t(y) * size_t(width) * 3];
        const int base = (y * 160) / (height > 0 ? height : 1);
        for (int x = 0; x < width; ++x) {
            const int field = ((x / 97 + y / 89 + seed) % 5) * 18;
            row[3 * x] = clamp(60 + base / 2 + field + noise());
            row[3 * x + 1] = clamp(90 + (x * 100) / (width > 0 ? width : 1) + noise());
            row[3 * x + 2] = clamp(40 + base + noise());
        }
    }
    tjhandle h = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    QByteArray bytes;
    if (tjCompress2(h, rgb.data(), width, 0, height, TJPF_RGB, &out, &size, TJSAMP_420, 90,
                    progressive ? TJFLAG_PROGRESSIVE : 0) == 0)
        bytes = QByteArray(reinterpret_cast<const char*>(out), qsizetype(size));
    tjFree(out);
    tjDestroy(h);
    return bytes;
}

} // namespace kps::test
