#pragma once
// Stored colours (0x00BBGGRR, or a system colour when the top byte is 0xFF) as Qt colours.

#include "core/state/state.h"

#include <QColor>
#include <QPalette>

namespace kps {

// The system colours a stored value can name; only the button face is used.
inline QColor toQColor(Colour c, const QPalette& palette) {
    if ((c >> 24) == 0xFF) return palette.color(QPalette::Button);
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

inline Colour fromQColor(const QColor& c) {
    return Colour(c.red()) | (Colour(c.green()) << 8) | (Colour(c.blue()) << 16);
}

} // namespace kps
