#include "testphotos.h"

#include <QFile>
#include <turbojpeg.h>
#include <vector>

namespace kps::test {

QByteArray makeJpegBytes(int width, int height, int seed, int quality) {
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
                    0) == 0) {
        bytes = QByteArray(reinterpret_cast<const char*>(out), qsizetype(size));
    }
    tjFree(out);
    tjDestroy(h);
    return bytes;
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

QByteArray makePhotoLikeJpeg(int width, int height, int seed, int grain) {
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
    if (tjCompress2(h, rgb.data(), width, 0, height, TJPF_RGB, &out, &size, TJSAMP_420, 90, 0) == 0)
        bytes = QByteArray(reinterpret_cast<const char*>(out), qsizetype(size));
    tjFree(out);
    tjDestroy(h);
    return bytes;
}

} // namespace kps::test
