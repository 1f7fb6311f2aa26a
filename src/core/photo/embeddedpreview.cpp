#include "core/photo/embeddedpreview.h"

#include "core/files/filecallguard.h"
#include "core/files/nativepath.h"

#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace kps {

namespace {

// A TIFF structure (the body of Exif and MPF segments) read with bounds checks.
struct Tiff {
    const unsigned char* data = nullptr;
    qint64 size = 0;
    bool little = false;

    bool u16(qint64 at, quint32& v) const {
        if (at < 0 || at + 2 > size) return false;
        v = little ? data[at] | data[at + 1] << 8 : data[at] << 8 | data[at + 1];
        return true;
    }
    bool u32(qint64 at, quint32& v) const {
        quint32 a = 0, b = 0;
        if (!u16(at, a) || !u16(at + 2, b)) return false;
        v = little ? a | b << 16 : a << 16 | b;
        return true;
    }
    // The byte-order mark and 42; the first IFD's offset.
    bool open(quint32& firstIfd) {
        if (size < 8) return false;
        if (data[0] == 'I' && data[1] == 'I')
            little = true;
        else if (data[0] != 'M' || data[1] != 'M')
            return false;
        quint32 magic = 0;
        return u16(2, magic) && magic == 42 && u32(4, firstIfd);
    }
    // The value field of `tag` in the IFD at `ifd`.
    bool tagValue(quint32 ifd, quint32 tag, quint32& value) const {
        quint32 count = 0;
        if (!u16(ifd, count)) return false;
        for (quint32 i = 0; i < count; ++i) {
            const qint64 entry = qint64(ifd) + 2 + 12 * qint64(i);
            quint32 t = 0;
            if (!u16(entry, t)) return false;
            if (t == tag) return u32(entry + 8, value);
        }
        return false;
    }
    // The offset of the IFD after the one at `ifd`; 0 when none.
    quint32 nextIfd(quint32 ifd) const {
        quint32 count = 0, next = 0;
        if (!u16(ifd, count) || !u32(qint64(ifd) + 2 + 12 * qint64(count), next)) return 0;
        return next;
    }
};

bool startsWith(const unsigned char* body, qint64 size, const char* sig, qint64 n) {
    return size >= n && std::equal(body, body + n, reinterpret_cast<const unsigned char*>(sig));
}

// MPF's individual image types that are previews of the first image.
constexpr quint32 kLargeThumbnailVga = 0x010001;
constexpr quint32 kLargeThumbnailFullHd = 0x010002;

class FileHandle {
  public:
    explicit FileHandle(const QString& path)
        // O_NONBLOCK: a FIFO named like a photo must not hold the thread.
        : fd_(::open(nativePath(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)) {}
    ~FileHandle() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    int fd() const { return fd_; }
    qint64 read(qint64 offset, unsigned char* buf, qint64 n) const {
        for (;;) {
            const ssize_t got = ::pread(fd_, buf, size_t(n), off_t(offset));
            if (got < 0 && errno == EINTR) continue;
            return got;
        }
    }

  private:
    int fd_;
};

} // namespace

EmbeddedPicture exifThumbnailIn(const unsigned char* body, qint64 size, qint64 at) {
    if (!startsWith(body, size, "Exif\0\0", 6)) return {};
    Tiff tiff{body + 6, size - 6};
    quint32 ifd0 = 0, offset = 0, length = 0;
    if (!tiff.open(ifd0)) return {};
    const quint32 ifd1 = tiff.nextIfd(ifd0);
    if (ifd1 == 0 || !tiff.tagValue(ifd1, 0x0201, offset) || !tiff.tagValue(ifd1, 0x0202, length))
        return {};
    // The thumbnail lies inside its segment.
    if (length == 0 || qint64(offset) + length > tiff.size) return {};
    return {at + 6 + offset, length};
}

EmbeddedPicture mpfPreviewIn(const unsigned char* body, qint64 size, qint64 at) {
    if (!startsWith(body, size, "MPF\0", 4)) return {};
    Tiff tiff{body + 4, size - 4};
    quint32 ifd = 0, entries = 0, entriesBytes = 0;
    if (!tiff.open(ifd) || !tiff.tagValue(ifd, 0xB001, entries)) return {};
    // The MP entry tag's count is its byte length, its value the offset of the entries.
    quint32 count = 0;
    for (quint32 i = 0; tiff.u16(ifd, count) && i < count; ++i) {
        const qint64 entry = qint64(ifd) + 2 + 12 * qint64(i);
        quint32 tag = 0;
        if (tiff.u16(entry, tag) && tag == 0xB002) {
            quint32 bytes = 0;
            if (!tiff.u32(entry + 4, bytes) || !tiff.u32(entry + 8, entriesBytes)) return {};
            entries = std::min(entries, bytes / 16);
            break;
        }
    }
    if (entriesBytes == 0) return {};
    EmbeddedPicture best;
    for (quint32 i = 1; i < entries && i < 64; ++i) { // the first image is the photo itself
        const qint64 e = qint64(entriesBytes) + 16 * qint64(i);
        quint32 attribute = 0, length = 0, offset = 0;
        if (!tiff.u32(e, attribute) || !tiff.u32(e + 4, length) || !tiff.u32(e + 8, offset))
            return best;
        const quint32 type = attribute & 0xFFFFFF;
        if (type != kLargeThumbnailVga && type != kLargeThumbnailFullHd) continue;
        if (offset == 0 || length == 0 || length > kMaxPreviewBytes || length <= best.length)
            continue;
        best = {at + 4 + offset, length};
    }
    return best;
}

PhotoHead readPhotoHead(const QString& path) {
    noteFileCall("readPhotoHead");
    PhotoHead out;
    const FileHandle file(path);
    struct stat st;
    if (file.fd() < 0 || ::fstat(file.fd(), &st) != 0 || !S_ISREG(st.st_mode)) return out;
    out.isFile = true;
    out.bytes = qint64(st.st_size);
    out.modifiedMs = qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
    out.head = readJpegHead(
        [&file](qint64 offset, unsigned char* buf, qint64 n) { return file.read(offset, buf, n); });
    return out;
}

bool sameProportions(QSize picture, QSize photo) {
    if (picture.isEmpty() || photo.isEmpty()) return false;
    const double expected = double(picture.width()) * photo.height() / photo.width();
    const double slack = std::max(1.0, kPreviewProportionTolerance * expected);
    return std::abs(picture.height() - expected) <= slack;
}

DecodedPhoto decodeEmbeddedPicture(JpegDecoder& decoder, const QString& path, const PhotoHead& head,
                                   const EmbeddedPicture& picture, QSize cover,
                                   const StopRequest& stop) {
    const QSize photoSize = head.head.frameSize;
    if (!head.isFile || photoSize.isEmpty() || !picture.present() ||
        picture.length > kMaxPreviewBytes || picture.offset + picture.length > head.bytes ||
        (stop && stop()))
        return {};
    noteFileCall("decodeEmbeddedPicture");
    const FileHandle file(path);
    std::vector<unsigned char> bytes(static_cast<size_t>(picture.length));
    if (file.fd() < 0 || file.read(picture.offset, bytes.data(), picture.length) != picture.length)
        return {};
    // Its own frame header must promise the photo's proportions, and no more pixels than the
    // photo has, before anything is decoded.
    const QSize frame = jpegFrameSize(bytes.data(), picture.length);
    if (!sameProportions(frame, photoSize) || frame.width() > photoSize.width()) return {};
    DecodedPhoto preview = decoder.decodeBytes(bytes.data(), picture.length, cover, stop);
    if (!preview.ok || !sameProportions(preview.image.size(), photoSize)) return {};
    preview.preview = true;
    preview.fullSize = photoSize;
    preview.fileBytes = head.bytes;
    preview.modifiedMs = head.modifiedMs;
    return preview;
}

DecodedPhoto decodeEmbeddedPreview(JpegDecoder& decoder, const QString& path, const PhotoHead& head,
                                   QSize cover, const StopRequest& stop) {
    for (const EmbeddedPicture& picture : {head.head.mpfPreview, head.head.exifThumbnail}) {
        const DecodedPhoto preview =
            decodeEmbeddedPicture(decoder, path, head, picture, cover, stop);
        if (preview.ok) return preview;
    }
    return {};
}

} // namespace kps
