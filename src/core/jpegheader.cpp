#include "core/jpegheader.h"

#include "core/nativepath.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

} // namespace

QSize jpegFrameSize(const ByteSource& read) {
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
            return QSize(width, height);
        }
        at += length;
    }
    return {};
}

QSize jpegFrameSize(const unsigned char* data, qint64 size) {
    return jpegFrameSize([data, size](qint64 offset, unsigned char* buf, qint64 n) -> qint64 {
        if (offset < 0 || offset >= size) return 0;
        const qint64 got = std::min(n, size - offset);
        std::memcpy(buf, data + offset, size_t(got));
        return got;
    });
}

QSize jpegFrameSizeOf(const QString& path) {
    // O_NONBLOCK: a FIFO named like a photo must not hold the window.
    const int fd = ::open(nativePath(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return {};
    struct stat st;
    QSize size;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        size = jpegFrameSize([fd](qint64 offset, unsigned char* buf, qint64 n) -> qint64 {
            for (;;) {
                const ssize_t got = ::pread(fd, buf, size_t(n), off_t(offset));
                if (got < 0 && errno == EINTR) continue;
                return got;
            }
        });
    }
    ::close(fd);
    return size;
}

} // namespace kps
