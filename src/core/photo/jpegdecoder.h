#pragma once
// Decodes JPEG photos with libjpeg at the smallest scale that still fills the viewer, each decode
// from a fresh decompressor and within one memory budget.

#include "core/photo/decodebudget.h"

#include <QImage>
#include <QSize>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

namespace kps {

struct DecodedPhoto {
    QImage image;   // decoded pixels, possibly at a reduced scale (Format_RGB32)
    QSize fullSize; // width and height from the JPEG header: the photo's real pixel size
    bool ok = false;
    // Not decoded because other decodes held the shared budget: says nothing about the file.
    bool deferred = false;
    // Abandoned because nobody wanted it any more: says nothing about the file either.
    bool cancelled = false;
    // The file could not be read whole (a read error, or it shrank while it was read): a
    // failure of the device, not of the photo, so it is never kept as the photo's answer.
    bool readFailed = false;
    // The image is a picture embedded in the file, standing in for the photo while it decodes.
    bool preview = false;
    // The file as it was read: its size (-1: unknown) and last modification (ms since the epoch).
    qint64 fileBytes = -1;
    qint64 modifiedMs = 0;
};

// Reads up to n bytes from the file descriptor into buf, as read(2) does; tests stand for a
// failing or shrinking device with it.
using FileRead = std::function<qint64(int fd, unsigned char* buf, qint64 n)>;

// Asked between rows of a decode (and before it starts); true abandons the decode, which then
// frees everything it held and returns a `cancelled` result.
using StopRequest = std::function<bool()>;

// Receives, on the decoding thread and before the decode returns, a stand-in for the photo: the
// first scan of a progressive file, at the photo's proportions (preview set, fullSize the photo's).
using FirstScan = std::function<void(const DecodedPhoto&)>;

// True when `photo` already holds as many pixels as a fresh decode for `cover` would give,
// so a larger viewer needs no new decode. A failed decode covers everything (it would fail
// again for the same file).
bool covers(const DecodedPhoto& photo, QSize cover);

class JpegDecoder {
  public:
    // Everything one decode holds at once: the file, libjpeg's coefficient and row buffers and
    // the output. With the photo cache beside it this keeps the process under 150 MB; a 24 MP
    // progressive photo still fits at a full-HD viewer.
    static constexpr qint64 kBudgetBytes = 96LL * 1024 * 1024;
    // A photo whose decode cannot fit the budget at any scale (a large progressive photo keeps
    // every coefficient whatever the output scale) may take up to this much, but only alone,
    // on a decoder that may wait, and from a file large enough to hold such a photo.
    static constexpr qint64 kLargeDecodeBytes = 320LL * 1024 * 1024;
    // A real photo holds at least this many pixels per byte of file; a header claiming far more
    // pixels than its file could hold is not given more than the budget.
    static constexpr qint64 kMaxPixelsPerByte = 100;
    // Largest decoded image, in pixels (4 bytes each), so the output leaves room in the budget.
    static constexpr qint64 kMaxOutputPixels = 16'000'000;
    // Files larger than this are refused rather than read into memory.
    static constexpr qint64 kMaxFileBytes = 128LL * 1024 * 1024;
    // Ordinary progressive photos have about ten scans; thousands of tiny scans are an attack
    // that makes libjpeg walk every coefficient again for each one.
    static constexpr int kMaxScans = 64;
    // A first scan holds about an eighth of the photo's detail, so its stand-in is kept at no
    // more than this many eighths of the photo's size.
    static constexpr int kFirstScanEighths = 2;

    // Decoders that share `budget` never hold more than its capacity together. One that may
    // wait blocks until the memory is free; one that may not returns a `deferred` result.
    explicit JpegDecoder(std::shared_ptr<DecodeBudget> budget = nullptr, bool mayWait = true);
    JpegDecoder(const JpegDecoder&) = delete;
    JpegDecoder& operator=(const JpegDecoder&) = delete;

    // Decodes the file at the smallest M/8 scale whose result covers the photo's frame when it
    // is fitted into `cover` (the viewer area in device pixels); an empty cover asks for the
    // full size. Never enlarges; a photo too large for the budget is decoded smaller, or alone
    // within kLargeDecodeBytes, or refused. Fails (ok == false) on a missing, empty, oversized
    // or undecodable file. A JPEG cut short after its header decodes with the missing part
    // grey, as cameras' half-written files do; a fatal error anywhere is a failure, and a file
    // that cannot be read whole is a `readFailed` failure. `stop`, when
    // given, can abandon the decode part-way. `firstScan`, when given, receives a progressive
    // file's first scan from the same pass over the file, before its last scan is decoded.
    DecodedPhoto decode(const QString& path, QSize cover, const StopRequest& stop = {},
                        const FirstScan& firstScan = {});
    // The same for a JPEG already in memory.
    DecodedPhoto decodeBytes(const unsigned char* data, qint64 size, QSize cover,
                             const StopRequest& stop = {}, const FirstScan& firstScan = {});

    // Bytes the last decode reserved from the budget (file, libjpeg's buffers, output); zero
    // when it was refused before decoding.
    qint64 lastDemandBytes() const { return lastDemand_; }
    const std::shared_ptr<DecodeBudget>& budget() const { return budget_; }
    // How decode() reads files; null: read(2).
    void setFileRead(FileRead read) { fileRead_ = std::move(read); }

    // The output size a decode of a `full`-sized JPEG chooses for `cover` before the memory
    // budget is considered; an empty size when even 1/8 exceeds kMaxOutputPixels.
    static QSize scaledSizeFor(QSize full, QSize cover);

  private:
    // Reads the file whole into fileBuffer_; fills the file facts of `result`, and its
    // readFailed when the file is a regular one that could not be read whole.
    bool readFile(const QString& path, DecodedPhoto& result);
    DecodedPhoto decodeData(const unsigned char* data, qint64 size, QSize cover, qint64 heldBytes,
                            const StopRequest& stop, const FirstScan& firstScan);
    QImage acquireImage(QSize size);
    void recycle(const QImage& image);

    std::shared_ptr<DecodeBudget> budget_;
    bool mayWait_ = true;
    qint64 lastDemand_ = 0;
    std::vector<unsigned char> fileBuffer_; // the whole JPEG file, reused between decodes
    qint64 fileBytes_ = 0;                  // bytes of fileBuffer_ holding the current file
    std::vector<QImage> pool_;              // recent outputs whose storage may be reused
    FileRead fileRead_;                     // how files are read; null: read(2)
};

} // namespace kps
