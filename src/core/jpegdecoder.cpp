#include "core/jpegdecoder.h"

#include "core/fitting.h"
#include "core/nativepath.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <turbojpeg.h>
#include <unistd.h>

namespace kps {

namespace {

// QImage::Format_RGB32 is 0xffRRGGBB per 32-bit word; TurboJPEG writes bytes, so the byte order
// decides the pixel format. The alpha formats are used because they set the fourth byte to 0xFF.
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
constexpr int kRgb32PixelFormat = TJPF_BGRA;
#else
constexpr int kRgb32PixelFormat = TJPF_ARGB;
#endif

// Outputs kept for reuse: two cover the viewer's alternation between the shown photo and the
// next, and the byte cap keeps idle memory small.
constexpr size_t kPoolImages = 2;
constexpr qint64 kPoolBytes = 64LL * 1024 * 1024;
// A file buffer larger than this is released after the decode instead of being kept.
constexpr qint64 kKeptFileBufferBytes = 64LL * 1024 * 1024;

// What libjpeg will hold in memory besides the output: progressive JPEGs and sequential ones
// whose first scan lacks some components keep a coefficient for every pixel of every component.
struct CoefficientDemand {
    bool wholeImageBuffered = false;
    qint64 bytes = 0;
};

int readBigEndian16(const unsigned char* p) {
    return (int(p[0]) << 8) | int(p[1]);
}

bool isStartOfFrame(unsigned char marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

bool isProgressiveFrame(unsigned char marker) {
    return marker == 0xC2 || marker == 0xC6 || marker == 0xCA || marker == 0xCE;
}

qint64 roundUp(qint64 value, qint64 multiple) {
    return (value + multiple - 1) / multiple * multiple;
}

// Bytes of the whole-image coefficient arrays for the frame header `sof` (its payload after the
// length), as libjpeg sizes them: blocks per component padded to whole MCUs, 64 16-bit each.
qint64 coefficientBytes(const unsigned char* sof, int length) {
    const qint64 height = readBigEndian16(sof + 1);
    const qint64 width = readBigEndian16(sof + 3);
    const int components = sof[5];
    if (length < 6 + 3 * components || components == 0) return -1;
    int hMax = 1, vMax = 1;
    for (int c = 0; c < components; ++c) {
        hMax = std::max(hMax, sof[6 + 3 * c + 1] >> 4);
        vMax = std::max(vMax, sof[6 + 3 * c + 1] & 0x0F);
    }
    qint64 total = 0;
    for (int c = 0; c < components; ++c) {
        const qint64 h = std::max(1, sof[6 + 3 * c + 1] >> 4);
        const qint64 v = std::max(1, sof[6 + 3 * c + 1] & 0x0F);
        const qint64 blocksWide = (width * h + hMax * 8 - 1) / (hMax * 8);
        const qint64 blocksHigh = (height * v + vMax * 8 - 1) / (vMax * 8);
        total += roundUp(blocksWide, h) * roundUp(blocksHigh, v) * 64 * 2;
    }
    return total;
}

// Walks the markers up to the first scan. A layout it cannot follow counts as the worst case:
// four full-resolution components buffered whole.
CoefficientDemand coefficientDemand(const unsigned char* data, qint64 size, QSize full) {
    CoefficientDemand worst{true, qint64(full.width()) * full.height() * 4 * 2};
    bool progressive = false;
    int frameComponents = 0;
    qint64 frameBytes = -1;
    qint64 i = 2; // after SOI
    while (i + 4 <= size) {
        if (data[i] != 0xFF || data[i + 1] == 0xFF) { // stray bytes and fill bytes
            ++i;
            continue;
        }
        const unsigned char marker = data[i + 1];
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) { // markers without length
            i += 2;
            continue;
        }
        if (marker == 0xD9) return worst; // end of image before any scan
        const int length = readBigEndian16(data + i + 2);
        if (length < 2 || i + 2 + length > size) return worst;
        const unsigned char* payload = data + i + 4;
        if (isStartOfFrame(marker) && length >= 8) {
            progressive = isProgressiveFrame(marker);
            frameComponents = payload[5];
            frameBytes = coefficientBytes(payload, length - 2);
        } else if (marker == 0xDA && length >= 3) { // start of scan
            if (frameBytes < 0) return worst;
            const bool buffered = progressive || payload[0] < frameComponents;
            return {buffered, frameBytes};
        }
        i += 2 + length;
    }
    return worst;
}

// Adobe's CMYK JPEGs store inverted inks: each channel times the key gives the display value.
void convertInvertedCmykToRgb32(QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        const auto* cmyk = reinterpret_cast<const unsigned char*>(line);
        for (int x = 0; x < image.width(); ++x) {
            const int c = cmyk[4 * x], m = cmyk[4 * x + 1], ye = cmyk[4 * x + 2];
            const int k = cmyk[4 * x + 3];
            line[x] = qRgb(c * k / 255, m * k / 255, ye * k / 255);
        }
    }
}

} // namespace

bool covers(const DecodedPhoto& photo, QSize cover) {
    if (!photo.ok) return true;
    const QSize wanted = JpegDecoder::scaledSizeFor(photo.fullSize, cover);
    return photo.image.width() >= wanted.width() && photo.image.height() >= wanted.height();
}

JpegDecoder::JpegDecoder() : handle_(tjInitDecompress()) {}

JpegDecoder::~JpegDecoder() {
    if (handle_) tjDestroy(handle_);
}

QSize JpegDecoder::scaledSizeFor(QSize full, QSize cover) {
    if (full.isEmpty()) return QSize();
    // Only reducing factors, smallest first; without a factor list the full size is the only one.
    std::vector<tjscalingfactor> factors;
    int count = 0;
    if (const tjscalingfactor* all = tjGetScalingFactors(&count)) {
        for (int i = 0; i < count; ++i) {
            if (all[i].num > 0 && all[i].denom > 0 && all[i].num <= all[i].denom)
                factors.push_back(all[i]);
        }
    }
    if (factors.empty()) factors.push_back({1, 1});
    std::stable_sort(factors.begin(), factors.end(),
                     [](const tjscalingfactor& a, const tjscalingfactor& b) {
                         return qint64(a.num) * b.denom < qint64(b.num) * a.denom;
                     });

    std::vector<QSize> sizes;
    for (const tjscalingfactor& f : factors)
        sizes.emplace_back(int(TJSCALED(qint64(full.width()), f)),
                           int(TJSCALED(qint64(full.height()), f)));

    // The photo is shown fitted into the cover area, so only the fitted frame needs covering.
    if (!cover.isEmpty()) {
        const QSize frame = ujraatmer(full, cover).size();
        if (!frame.isEmpty()) cover = frame;
    }
    size_t chosen = sizes.size() - 1; // the largest: full size, or what covers best
    if (!cover.isEmpty()) {
        for (size_t i = 0; i < sizes.size(); ++i) {
            if (sizes[i].width() >= cover.width() && sizes[i].height() >= cover.height()) {
                chosen = i;
                break;
            }
        }
    }
    // Too many pixels: the largest smaller scale that fits still shows the photo, a bit soft.
    for (size_t i = chosen + 1; i-- > 0;) {
        if (qint64(sizes[i].width()) * sizes[i].height() <= kMaxOutputPixels) return sizes[i];
    }
    return QSize();
}

bool JpegDecoder::readFile(const QString& path) {
    fileBytes_ = 0;
    // O_NONBLOCK: opening a FIFO named like a photo must not block the viewer; only regular
    // files are read.
    const int fd = ::open(nativePath(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st;
    const qint64 size = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) ? qint64(st.st_size) : 0;
    if (size <= 0 || size > kMaxFileBytes) {
        ::close(fd);
        return false;
    }
    if (qint64(fileBuffer_.size()) < size) {
        std::vector<unsigned char>().swap(fileBuffer_); // free the old one before growing
        fileBuffer_.resize(size_t(size + size / 8)); // headroom for the next, slightly larger file
    }
    qint64 got = 0;
    while (got < size) {
        const ssize_t n = ::read(fd, fileBuffer_.data() + got, size_t(size - got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += n;
    }
    ::close(fd);
    fileBytes_ = got;
    return got > 0;
}

QImage JpegDecoder::acquireImage(QSize size) {
    for (auto it = pool_.begin(); it != pool_.end(); ++it) {
        // Detached means nobody outside the pool holds it, so writing into it is safe.
        if (it->size() == size && it->isDetached()) {
            QImage image = std::move(*it);
            pool_.erase(it);
            return image;
        }
    }
    return QImage(size, QImage::Format_RGB32);
}

void JpegDecoder::recycle(const QImage& image) {
    if (image.isNull() || image.sizeInBytes() > kPoolBytes) return;
    pool_.insert(pool_.begin(), image);
    qint64 bytes = 0;
    size_t keep = 0;
    while (keep < pool_.size() && keep < kPoolImages &&
           bytes + pool_[keep].sizeInBytes() <= kPoolBytes) {
        bytes += pool_[keep].sizeInBytes();
        ++keep;
    }
    pool_.resize(keep);
}

DecodedPhoto JpegDecoder::decode(const QString& path, QSize cover) {
    DecodedPhoto result;
    const bool read = handle_ && readFile(path);
    if (read) {
        const unsigned char* data = fileBuffer_.data();
        const auto size = static_cast<unsigned long>(fileBytes_);
        int width = 0, height = 0, subsampling = 0, colourspace = 0;
        if (tjDecompressHeader3(handle_, data, size, &width, &height, &subsampling, &colourspace) ==
                0 &&
            width > 0 && height > 0) {
            result.fullSize = QSize(width, height);
            const CoefficientDemand demand = coefficientDemand(data, fileBytes_, result.fullSize);
            const QSize target = scaledSizeFor(result.fullSize, cover);
            if (!target.isEmpty() &&
                (!demand.wholeImageBuffered || demand.bytes <= kMaxCoefficientBytes)) {
                QImage image = acquireImage(target);
                const bool cmyk = colourspace == TJCS_CMYK || colourspace == TJCS_YCCK;
                if (!image.isNull()) {
                    // A warning means damaged or missing data after a sound header: the
                    // decoded part is shown and the rest stays grey, as a partial photo.
                    const int rc =
                        tjDecompress2(handle_, data, size, image.bits(), target.width(),
                                      int(image.bytesPerLine()), target.height(),
                                      cmyk ? TJPF_CMYK : kRgb32PixelFormat, TJFLAG_LIMITSCANS);
                    if (rc == 0 || tjGetErrorCode(handle_) == TJERR_WARNING) {
                        if (cmyk) convertInvertedCmykToRgb32(image);
                        result.image = image;
                        result.ok = true;
                    }
                    recycle(image);
                }
            }
        }
    }
    if (qint64(fileBuffer_.size()) > kKeptFileBufferBytes)
        std::vector<unsigned char>().swap(fileBuffer_);
    return result;
}

} // namespace kps
