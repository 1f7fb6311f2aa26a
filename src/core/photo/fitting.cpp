#include "core/photo/fitting.h"

#include <cstdint>

namespace kps {

QRect ujraatmer(QSize bitmap, QSize area) {
    const int aw = area.width();
    const int ah = area.height();
    if (aw <= 0 || ah <= 0) return QRect(); // no room: an empty frame, and no division by zero
    if (bitmap.width() <= 0 || bitmap.height() <= 0) return QRect(aw / 2, ah / 2, 0, 0);

    // The percentages are 32-bit in the classic rule; bw * 100 overflows 32 bits for widths
    // beyond 21 million pixels, so the products are taken in 64 bits. Every quotient still
    // truncates toward zero, and cw <= bw, ch <= bh keeps the results within int.
    const std::int64_t bw = bitmap.width();
    const std::int64_t bh = bitmap.height();
    std::int64_t cw = bw;
    std::int64_t ch = bh;
    if (bw > aw) {
        const std::int64_t r = (bw * 100) / aw; // >= 100 because bw > aw
        ch = (bh * 100) / r;
        cw = aw;
    }
    if (ch > ah) {
        // Works from the unreduced size; ch <= bh, so bh > ah and r >= 100.
        const std::int64_t r = (bh * 100) / ah;
        cw = (bw * 100) / r;
        ch = ah;
    }
    const int left = aw / 2 - int(cw) / 2;
    const int top = ah / 2 - int(ch) / 2;
    return QRect(left, top, int(cw), int(ch));
}

} // namespace kps
