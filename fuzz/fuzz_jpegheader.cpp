// The frame-size reader on arbitrary bytes: it reads the header of every photo the viewer is
// asked for, before any decode. It must not crash, read outside the input or loop, and a size
// it gives is one a JPEG frame can hold.

#include "core/jpegheader.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QSize s = kps::jpegFrameSize(data, qint64(size));
    if (s.isValid() && (s.width() < 1 || s.width() > 65535 || s.height() < 1 || s.height() > 65535))
        std::abort();
    return 0;
}
