#pragma once
// Decodes JPEG photos with TurboJPEG at the smallest scale that still fills the viewer.

#include <QImage>
#include <QSize>
#include <QString>
#include <vector>

namespace kps {

struct DecodedPhoto {
    QImage image;   // decoded pixels, possibly at a reduced scale (Format_RGB32)
    QSize fullSize; // width and height from the JPEG header: the photo's real pixel size
    bool ok = false;
};

// True when `photo` already holds as many pixels as a fresh decode for `cover` would give,
// so a larger viewer needs no new decode. A failed decode covers everything (it would fail
// again for the same file).
bool covers(const DecodedPhoto& photo, QSize cover);

class JpegDecoder {
  public:
    // Largest decoded image, in pixels (4 bytes each): keeps one photo within 160 MB.
    static constexpr qint64 kMaxOutputPixels = 40'000'000;
    // Files larger than this are refused rather than read into memory.
    static constexpr qint64 kMaxFileBytes = 512LL * 1024 * 1024;
    // Progressive and multi-scan JPEGs keep every coefficient of the full-size photo in memory
    // while decoding, whatever the output scale; a header asking for more is refused.
    static constexpr qint64 kMaxCoefficientBytes = 384LL * 1024 * 1024;

    JpegDecoder();
    ~JpegDecoder();
    JpegDecoder(const JpegDecoder&) = delete;
    JpegDecoder& operator=(const JpegDecoder&) = delete;

    // Decodes the file at the smallest M/8 scale whose result covers the photo's frame when it
    // is fitted into `cover` (the viewer area in device pixels); an empty cover asks for the
    // full size. Never enlarges. Fails
    // (ok == false) on a missing, empty, oversized or undecodable file. A JPEG cut short
    // after its header decodes with the missing part grey, as cameras' half-written files do.
    DecodedPhoto decode(const QString& path, QSize cover);

    // The output size a decode of a `full`-sized JPEG chooses for `cover`; an empty size when
    // even the smallest scale exceeds kMaxOutputPixels.
    static QSize scaledSizeFor(QSize full, QSize cover);

  private:
    bool readFile(const QString& path);
    QImage acquireImage(QSize size);
    void recycle(const QImage& image);

    void* handle_ = nullptr;                // the TurboJPEG decompressor
    std::vector<unsigned char> fileBuffer_; // the whole JPEG file, reused between decodes
    qint64 fileBytes_ = 0;                  // bytes of fileBuffer_ holding the current file
    std::vector<QImage> pool_;              // recent outputs whose storage may be reused
};

} // namespace kps
