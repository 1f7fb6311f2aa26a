#pragma once
// The geometry of dragging the photo: it follows the pointer and shrinks toward the edges.

#include "core/state/state.h"

#include <QPoint>
#include <QRect>
#include <QSize>

namespace kps {

// Press on the photo frame at point p (frame coordinates): remembers where the drag started.
void dragPress(AppState& st, QRect frame, QSize viewer, QPoint p);

// Pointer move to p (frame coordinates): the frame's new bounds in viewer coordinates. The photo
// keeps its proportions, is full size at the press point and reaches zero size 200 pixels beyond
// the viewer's edge; the point grabbed stays under the pointer.
QRect dragMove(AppState& st, QRect frame, QPoint viewerPos, QPoint p);

// Where the rename question opens: centred over the viewer area.
QPoint renameDialogPos(QPoint windowPos, QRect viewer, QSize dialog);

} // namespace kps
