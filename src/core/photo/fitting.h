#pragma once
// The fitting rule: how a photo of a given pixel size sits inside the viewer area.

#include <QRect>
#include <QSize>

namespace kps {

// Shrinks a bitmap into an area by a whole-number percentage, never enlarging, and centres it;
// the result is relative to the area's top-left corner. An area without room gives an empty
// rectangle; an empty bitmap gives 0 x 0 at the area's centre.
QRect ujraatmer(QSize bitmap, QSize area);

} // namespace kps
