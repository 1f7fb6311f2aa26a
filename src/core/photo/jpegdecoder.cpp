#include "core/photo/jpegdecoder.h"

#include "core/files/filecallguard.h"
#include "core/files/nativepath.h"
#include "core/photo/fitting.h"

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <fcntl.h>
#include <jpeglib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kps {

namespace {

// QImage::Format_RGB32 is 0xffRRGGBB per 32-bit word; libjpeg writes bytes, so the byte order
// decides the colour space. The alpha spaces are used because they set the fourth byte to 0xFF.
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
constexpr J_COLOR_SPACE kRgb32ColourSpace = JCS_EXT_BGRA;
#else
constexpr J_COLOR_SPACE kRgb32ColourSpace = JCS_EXT_ARGB;
#endif

// Outputs kept for reuse: two cover the viewer's alternation between the shown photo and the
// next, and the byte cap keeps idle memory small.
constexpr size_t kPoolImages = 2;
constexpr qint64 kPoolBytes = 64LL * 1024 * 1024;
// A file buffer larger than this is released after the decode instead of being kept.
constexpr qint64 kKeptFileBufferBytes = 64LL * 1024 * 1024;
// libjpeg's tables, pools and per-component state besides its row and coefficient buffers.
constexpr qint64 kFixedOverheadBytes = 2LL * 1024 * 1024;

qint64 ceilDiv(qint64 value, qint64 divisor) {
    return (value + divisor - 1) / divisor;
}

qint64 roundUp(qint64 value, qint64 multiple) {
    return ceilDiv(value, multiple) * multiple;
}

QSize sizeAtEighths(QSize full, int eighths) {
    return QSize(int(ceilDiv(qint64(full.width()) * eighths, 8)),
                 int(ceilDiv(qint64(full.height()) * eighths, 8)));
}

// The smallest M/8 whose output covers the photo fitted into `cover`, lowered until the output
// is within kMaxOutputPixels; 0 when even 1/8 is too large.
int eighthsFor(QSize full, QSize cover) {
    if (full.isEmpty()) return 0;
    // The photo is shown fitted into the cover area, so only the fitted frame needs covering.
    if (!cover.isEmpty()) {
        const QSize frame = ujraatmer(full, cover).size();
        if (!frame.isEmpty()) cover = frame;
    }
    int chosen = 8;
    if (!cover.isEmpty()) {
        for (int m = 1; m <= 8; ++m) {
            const QSize s = sizeAtEighths(full, m);
            if (s.width() >= cover.width() && s.height() >= cover.height()) {
                chosen = m;
                break;
            }
        }
    }
    // Too many pixels: the largest smaller scale that fits still shows the photo, a bit soft.
    for (int m = chosen; m > 0; --m) {
        const QSize s = sizeAtEighths(full, m);
        if (qint64(s.width()) * s.height() <= JpegDecoder::kMaxOutputPixels) return m;
    }
    return 0;
}

// Routes libjpeg's errors back to the call that started the step, counts its warnings and
// prints nothing.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

[[noreturn]] void failStep(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

void noteMessage(j_common_ptr cinfo, int level) {
    if (level < 0) ++cinfo->err->num_warnings;
}

void printNothing(j_common_ptr) {}

// libjpeg's progress hook with what it watches; `pub` comes first, so libjpeg's pointer to it
// is a pointer to the whole.
struct Progress {
    jpeg_progress_mgr pub;
    const StopRequest* stop = nullptr;
    bool stopped = false;
};

// Called between rows of input and of output: a file with more scans than any ordinary photo is
// refused, and a decode nobody wants any more is abandoned. Both leave through the error
// manager, so the session is destroyed as after any fatal error and frees all its memory.
void watchDecode(j_common_ptr cinfo) {
    auto* progress = reinterpret_cast<Progress*>(cinfo->progress);
    if (progress->stop && *progress->stop && (*progress->stop)()) {
        progress->stopped = true;
        failStep(cinfo);
    }
    if (cinfo->is_decompressor &&
        reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > JpegDecoder::kMaxScans)
        failStep(cinfo);
}

DecodedPhoto cancelledResult() {
    DecodedPhoto result;
    result.cancelled = true;
    return result;
}

bool stopRequested(const StopRequest& stop) {
    return stop && stop();
}

// One decode's libjpeg state, created fresh and destroyed at the end, so nothing (tables, error
// state, half-read markers) reaches the next photo. Each step returns false on a fatal error;
// the steps hold no C++ objects, so the jump back from libjpeg skips no destructor.
class Session {
  public:
    explicit Session(const StopRequest& stop) {
        cinfo_.err = jpeg_std_error(&err_.pub);
        err_.pub.error_exit = failStep;
        err_.pub.emit_message = noteMessage;
        err_.pub.output_message = printNothing;
        progress_.pub.progress_monitor = watchDecode;
        progress_.stop = &stop;
        if (setjmp(err_.jump)) return;
        jpeg_create_decompress(&cinfo_);
        created_ = true;
        cinfo_.progress = &progress_.pub;
    }
    ~Session() {
        if (created_) jpeg_destroy_decompress(&cinfo_);
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    const jpeg_decompress_struct& info() const { return cinfo_; }
    // The decode was abandoned on request rather than failed.
    bool stopped() const { return progress_.stopped; }

    bool readHeader(const unsigned char* data, qint64 size) {
        if (!created_ || size <= 0) return false;
        if (setjmp(err_.jump)) return false;
        jpeg_mem_src(&cinfo_, data, static_cast<unsigned long>(size));
        return jpeg_read_header(&cinfo_, TRUE) == JPEG_HEADER_OK;
    }

    // Whole-image coefficient buffers libjpeg keeps for a progressive or multi-scan file: every
    // block of every component, padded to whole MCUs; zero for a single sequential scan.
    qint64 coefficientBytes() {
        if (setjmp(err_.jump)) return -1;
        if (!jpeg_has_multiple_scans(&cinfo_)) return 0;
        qint64 total = 0;
        for (int c = 0; c < cinfo_.num_components; ++c) {
            const jpeg_component_info& comp = cinfo_.comp_info[c];
            total += roundUp(comp.width_in_blocks, comp.h_samp_factor) *
                     roundUp(comp.height_in_blocks, comp.v_samp_factor) * qint64(sizeof(JBLOCK));
        }
        return total;
    }

    // libjpeg's row buffers: a few iMCU rows of every component at full width and the
    // upsampled rows of the output, plus its fixed state.
    qint64 workingBytes(int outputWidth) const {
        qint64 samplesPerRow = 0;
        for (int c = 0; c < cinfo_.num_components; ++c) {
            const jpeg_component_info& comp = cinfo_.comp_info[c];
            samplesPerRow += roundUp(comp.width_in_blocks, comp.h_samp_factor) * DCTSIZE;
        }
        const qint64 rowsPerGroup = qint64(cinfo_.max_v_samp_factor) * DCTSIZE;
        return 4 * samplesPerRow * rowsPerGroup +
               8 * qint64(outputWidth) * cinfo_.max_v_samp_factor + kFixedOverheadBytes;
    }

    bool isCmyk() const {
        return cinfo_.jpeg_color_space == JCS_CMYK || cinfo_.jpeg_color_space == JCS_YCCK;
    }

    // True for a progressive file, whose first scan already shows the whole photo, coarsely.
    bool isProgressive() const { return cinfo_.progressive_mode; }

    // Starts decompressing at `eighths`/8 with libjpeg's own buffers capped at `memoryBytes`
    // (a larger need fails, since libjpeg has no backing store). Progressive input is read
    // whole here, unless `buffered` asks to read it scan by scan with absorb().
    bool start(int eighths, long memoryBytes, QSize expected, bool buffered) {
        if (setjmp(err_.jump)) return false;
        cinfo_.buffered_image = buffered ? TRUE : FALSE;
        cinfo_.scale_num = unsigned(eighths);
        cinfo_.scale_denom = 8;
        cinfo_.out_color_space = isCmyk() ? JCS_CMYK : kRgb32ColourSpace;
        cinfo_.mem->max_memory_to_use = memoryBytes;
        jpeg_calc_output_dimensions(&cinfo_);
        if (int(cinfo_.output_width) != expected.width() ||
            int(cinfo_.output_height) != expected.height())
            return false;
        if (!jpeg_start_decompress(&cinfo_)) return false;
        return cinfo_.output_components == 4;
    }

    // Reads the output rows; `written` tells how many hold this file's pixels.
    bool readRows(JSAMPROW* rows, JDIMENSION height, JDIMENSION* written) {
        if (setjmp(err_.jump)) return false;
        scanlines(rows, height, written);
        return true;
    }

    // In buffered mode: reads input until its first scan is complete, or all of it.
    bool absorb(bool wholeFile) {
        if (setjmp(err_.jump)) return false;
        for (;;) {
            // libjpeg watches only its own loops; this one is ours, one row of blocks a call.
            watchDecode(reinterpret_cast<j_common_ptr>(&cinfo_));
            const int got = jpeg_consume_input(&cinfo_);
            if (got == JPEG_REACHED_EOI || got == JPEG_SUSPENDED) return true;
            if (got == JPEG_SCAN_COMPLETED && !wholeFile) return true;
        }
    }

    // In buffered mode: one output pass of every scan read so far into the rows. A `quick` pass
    // skips libjpeg's smoothing of coarse blocks, which costs a third of a stand-in's time and
    // is hardly seen at a stand-in's size.
    bool outputPass(JSAMPROW* rows, JDIMENSION height, JDIMENSION* written, bool quick) {
        if (setjmp(err_.jump)) return false;
        cinfo_.do_block_smoothing = quick ? FALSE : TRUE;
        jpeg_start_output(&cinfo_, cinfo_.input_scan_number);
        scanlines(rows, height, written);
        jpeg_finish_output(&cinfo_);
        return true;
    }

  private:
    // Called only inside a step that has set the jump.
    void scanlines(JSAMPROW* rows, JDIMENSION height, JDIMENSION* written) {
        while (cinfo_.output_scanline < height) {
            const JDIMENSION before = cinfo_.output_scanline;
            jpeg_read_scanlines(&cinfo_, rows + before, height - before);
            if (cinfo_.output_scanline == before) break;
        }
        *written = cinfo_.output_scanline;
    }

    jpeg_decompress_struct cinfo_{};
    ErrorManager err_{};
    Progress progress_{};
    bool created_ = false;
};

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

JpegDecoder::JpegDecoder(std::shared_ptr<DecodeBudget> budget, bool mayWait)
    : budget_(budget ? std::move(budget) : std::make_shared<DecodeBudget>(kBudgetBytes)),
      mayWait_(mayWait) {}

QSize JpegDecoder::scaledSizeFor(QSize full, QSize cover) {
    const int eighths = eighthsFor(full, cover);
    return eighths > 0 ? sizeAtEighths(full, eighths) : QSize();
}

bool JpegDecoder::readFile(const QString& path, DecodedPhoto& result) {
    noteFileCall("JpegDecoder::decode");
    fileBytes_ = 0;
    // O_NONBLOCK: opening a FIFO named like a photo must not block the viewer; only regular
    // files are read.
    const int fd = ::open(nativePath(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st;
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    const qint64 size = regular ? qint64(st.st_size) : 0;
    if (regular) {
        result.fileBytes = size;
        result.modifiedMs = qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
    }
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
        unsigned char* into = fileBuffer_.data() + got;
        const qint64 n = fileRead_ ? fileRead_(fd, into, size - got)
                                   : qint64(::read(fd, into, size_t(size - got)));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break; // an error, or the file ended early: it shrank while it was read
        got += n;
    }
    ::close(fd);
    // A short read says nothing about the photo: a flaky reader must not make it look damaged.
    result.readFailed = got < size;
    fileBytes_ = got;
    return !result.readFailed;
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

DecodedPhoto JpegDecoder::decode(const QString& path, QSize cover, const StopRequest& stop,
                                 const FirstScan& firstScan) {
    lastDemand_ = 0;
    if (stopRequested(stop)) return cancelledResult();
    DecodedPhoto file;
    DecodedPhoto result;
    if (readFile(path, file))
        result = decodeData(fileBuffer_.data(), fileBytes_, cover, qint64(fileBuffer_.size()), stop,
                            firstScan);
    result.readFailed = file.readFailed;
    result.fileBytes = file.fileBytes;
    result.modifiedMs = file.modifiedMs;
    if (qint64(fileBuffer_.size()) > kKeptFileBufferBytes)
        std::vector<unsigned char>().swap(fileBuffer_);
    return result;
}

DecodedPhoto JpegDecoder::decodeBytes(const unsigned char* data, qint64 size, QSize cover,
                                      const StopRequest& stop, const FirstScan& firstScan) {
    lastDemand_ = 0;
    if (stopRequested(stop)) return cancelledResult();
    return decodeData(data, size, cover, 0, stop, firstScan);
}

// `heldBytes` is the memory the caller holds for the input, counted in the budget.
DecodedPhoto JpegDecoder::decodeData(const unsigned char* data, qint64 size, QSize cover,
                                     qint64 heldBytes, const StopRequest& stop,
                                     const FirstScan& firstScan) {
    DecodedPhoto result;
    Session session(stop);
    if (!data || !session.readHeader(data, size)) return result;
    const jpeg_decompress_struct& info = session.info();
    result.fullSize = QSize(int(info.image_width), int(info.image_height));
    const qint64 coefficients = session.coefficientBytes();
    if (result.fullSize.isEmpty() || coefficients < 0) return result;

    // A progressive file read scan by scan shows its first scan as a stand-in, a copy of the
    // output kept beside it.
    const bool scanByScan = firstScan && session.isProgressive();
    const auto standInSize = [&](int e) {
        return scanByScan ? sizeAtEighths(result.fullSize, std::min(e, kFirstScanEighths))
                          : QSize(0, 0);
    };
    // The sharpest scale the viewer wants whose whole decode fits the budget; failing that, the
    // sharpest that fits the large-photo limit, decoded alone.
    const auto demandAt = [&](int e) {
        const QSize out = sizeAtEighths(result.fullSize, e);
        const QSize standIn = standInSize(e);
        return heldBytes + coefficients + session.workingBytes(out.width()) +
               qint64(out.width()) * out.height() * 4 + out.height() * qint64(sizeof(JSAMPROW)) +
               qint64(standIn.width()) * standIn.height() * 4;
    };
    const auto sharpestWithin = [&](qint64 limit) {
        int e = eighthsFor(result.fullSize, cover);
        while (e > 0 && demandAt(e) > limit)
            --e;
        return e;
    };
    int eighths = sharpestWithin(budget_->capacity());
    const bool alone = eighths == 0;
    if (alone) {
        const qint64 pixels = qint64(result.fullSize.width()) * result.fullSize.height();
        if (pixels > size * kMaxPixelsPerByte) return result; // a header no file this small fills
        eighths = sharpestWithin(kLargeDecodeBytes);
        if (eighths == 0) return result;
    }
    const qint64 demand = demandAt(eighths);
    // No waiting for memory on behalf of a decode nobody wants any more.
    if (stopRequested(stop)) return cancelledResult();
    const bool reserved = alone      ? mayWait_ && budget_->reserveAlone(demand)
                          : mayWait_ ? budget_->reserve(demand)
                                     : budget_->tryReserve(demand);
    if (!reserved) {
        result.deferred = true;
        return result;
    }
    const BudgetReservation reservation(budget_.get(),
                                        alone ? std::max(demand, budget_->capacity()) : demand);
    lastDemand_ = demand;

    const QSize target = sizeAtEighths(result.fullSize, eighths);
    const QSize standIn = standInSize(eighths);
    const qint64 outputBytes = qint64(target.width()) * target.height() * 4 +
                               target.height() * qint64(sizeof(JSAMPROW)) +
                               qint64(standIn.width()) * standIn.height() * 4;
    if (!session.start(eighths, long(demand - heldBytes - outputBytes), target, scanByScan))
        return session.stopped() ? cancelledResult() : result;
    QImage image = acquireImage(target);
    if (image.isNull()) return result;
    std::vector<JSAMPROW> rows(size_t(target.height()));
    for (int y = 0; y < target.height(); ++y)
        rows[size_t(y)] = image.scanLine(y);
    JDIMENSION written = 0;
    bool finished = false;
    if (scanByScan) {
        const auto height = JDIMENSION(target.height());
        if (session.absorb(false) && session.outputPass(rows.data(), height, &written, true) &&
            written == height && !session.stopped()) {
            DecodedPhoto first;
            first.fullSize = result.fullSize;
            // A deep copy (scaled() of the same size would share): the sharp pass below writes
            // into these rows.
            first.image = standIn == target ? image.copy()
                                            : image.scaled(standIn, Qt::IgnoreAspectRatio,
                                                           Qt::FastTransformation);
            if (session.isCmyk()) convertInvertedCmykToRgb32(first.image);
            first.ok = first.preview = true;
            firstScan(first);
        }
        written = 0;
        finished = !session.stopped() && session.absorb(true) &&
                   session.outputPass(rows.data(), height, &written, false);
    } else {
        finished = session.readRows(rows.data(), JDIMENSION(target.height()), &written);
    }
    // A fatal error, even after rows were written, means the data cannot be trusted; no rows
    // at all would show whatever the reused buffer held before.
    if (session.stopped()) {
        recycle(image);
        return cancelledResult();
    }
    if (finished && written > 0) {
        for (int y = int(written); y < target.height(); ++y) // never another photo's pixels
            std::fill_n(reinterpret_cast<QRgb*>(image.scanLine(y)), target.width(),
                        qRgb(128, 128, 128));
        if (session.isCmyk()) convertInvertedCmykToRgb32(image);
        result.image = image;
        result.ok = true;
    }
    recycle(image);
    return result;
}

} // namespace kps
