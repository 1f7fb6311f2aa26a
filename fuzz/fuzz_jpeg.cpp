// The JPEG decoder on arbitrary bytes: every photo on a card is outside input. Besides not
// crashing, each decode must stay within the decoder's memory budget, by its own accounting
// and, in the sanitizer build, by the heap's.

#include "core/photo/jpegdecoder.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KPS_COUNT_HEAP 1
#endif
#endif

#ifdef KPS_COUNT_HEAP
#include <atomic>
#include <sanitizer/allocator_interface.h>

namespace {

// Highest heap use seen by an allocation while counting is on.
std::atomic<bool> counting{false};
std::atomic<std::size_t> peakHeap{0};

void afterMalloc(const volatile void*, std::size_t) {
    if (!counting.load(std::memory_order_relaxed)) return;
    const std::size_t now = __sanitizer_get_current_allocated_bytes();
    std::size_t seen = peakHeap.load(std::memory_order_relaxed);
    while (now > seen && !peakHeap.compare_exchange_weak(seen, now)) {
    }
}

void beforeFree(const volatile void*) {}

const int hooksInstalled = __sanitizer_install_malloc_and_free_hooks(afterMalloc, beforeFree);

} // namespace

// A small quarantine keeps the process's size close to what the decoder holds, so that the
// rss limit in jpeg.options checks the budget too.
extern "C" const char* __asan_default_options() {
    return "quarantine_size_mb=32";
}
#endif

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The length picks the viewer size, so full-size and scaled decodes are both reached.
    static const QSize covers[] = {{}, {1920, 1080}, {640, 480}, {97, 61}};
    const QSize cover = covers[size % 4];
    // Half the inputs are read scan by scan, as the viewer's own decode reads them; a first scan
    // it hands on must be a picture no larger than the photo it stands for.
    bool badScan = false;
    const kps::FirstScan firstScan = [&](const kps::DecodedPhoto& scan) {
        badScan = badScan || !scan.ok || !scan.preview ||
                  scan.image.format() != QImage::Format_RGB32 ||
                  scan.image.width() > scan.fullSize.width() ||
                  scan.image.height() > scan.fullSize.height();
    };
    constexpr qint64 budget = kps::JpegDecoder::kBudgetBytes;

#ifdef KPS_COUNT_HEAP
    (void)hooksInstalled;
    const std::size_t before = __sanitizer_get_current_allocated_bytes();
    peakHeap = before;
    counting = true;
#endif
    kps::DecodedPhoto photo;
    qint64 demand = 0;
    {
        kps::JpegDecoder decoder;
        photo = decoder.decodeBytes(data, qint64(size), cover, {},
                                    (size / 4) % 2 ? firstScan : kps::FirstScan());
        demand = decoder.lastDemandBytes();
        if (decoder.budget()->inUse() != 0 || badScan) std::abort();
    }
#ifdef KPS_COUNT_HEAP
    counting = false;
    // The photo itself is part of the demand, so the heap may hold it still.
    if (qint64(peakHeap - before) > std::max(budget, demand)) std::abort();
    if (demand > 0 && qint64(peakHeap - before) > demand) std::abort();
#endif
    // Only a file large enough to hold such a photo may take more than the budget.
    const qint64 pixels = qint64(photo.fullSize.width()) * photo.fullSize.height();
    if (demand > kps::JpegDecoder::kLargeDecodeBytes) std::abort();
    if (demand > budget && pixels > qint64(size) * kps::JpegDecoder::kMaxPixelsPerByte)
        std::abort();

    if (photo.ok) {
        if (photo.image.isNull() || photo.image.format() != QImage::Format_RGB32) std::abort();
        if (photo.image.width() > photo.fullSize.width() ||
            photo.image.height() > photo.fullSize.height())
            std::abort();
        if (photo.image.sizeInBytes() > budget) std::abort();
    } else if (!photo.image.isNull() || photo.deferred) {
        std::abort();
    }
    return 0;
}
