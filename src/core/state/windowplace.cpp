#include "core/state/windowplace.h"

#include <algorithm>
#include <limits>

namespace kps {
namespace {

// The part of the frame the user grabs to move the window.
QRect titleBar(const QRect& outer) {
    return QRect(outer.left(), outer.top(), outer.width(), kTitleBarHeight);
}

// True when enough of the title bar is on this screen to grab it.
bool grabbable(const QRect& outer, const QRect& screen) {
    const QRect on = titleBar(outer) & screen;
    return on.height() >= kTitleBarHeight / 2 &&
           on.width() >= std::min(kTitleBarGrab, outer.width());
}

// Squared distance between the centres: the screen a lost window is nearest to.
qint64 distance(const QRect& a, const QRect& b) {
    const QPoint d = a.center() - b.center();
    return qint64(d.x()) * d.x() + qint64(d.y()) * d.y();
}

// Index of the screen that holds most of the title bar, or else the nearest one.
qsizetype homeScreen(const QRect& outer, const QList<QRect>& screens) {
    qsizetype best = 0;
    qint64 bestArea = 0;
    for (qsizetype i = 0; i < screens.size(); ++i) {
        const QRect on = titleBar(outer) & screens[i];
        const qint64 area = on.isEmpty() ? 0 : qint64(on.width()) * on.height();
        if (area > bestArea) {
            best = i;
            bestArea = area;
        }
    }
    if (bestArea > 0) return best;
    qint64 nearest = std::numeric_limits<qint64>::max();
    for (qsizetype i = 0; i < screens.size(); ++i) {
        if (distance(outer, screens[i]) < nearest) {
            best = i;
            nearest = distance(outer, screens[i]);
        }
    }
    return best;
}

} // namespace

QRect placeOnScreens(const QRect& outer, bool hasPosition, const QList<QRect>& screens) {
    if (screens.isEmpty()) return outer;
    const QRect screen = hasPosition ? screens[homeScreen(outer, screens)] : screens.first();
    QRect placed(outer.topLeft(), QSize(std::clamp(outer.width(), 1, screen.width()),
                                        std::clamp(outer.height(), 1, screen.height())));
    if (!hasPosition) return placed;
    // A window that had to shrink goes wholly onto its screen; another only when it is lost.
    const bool shrunk = placed.size() != outer.size();
    const bool onSomeScreen = std::any_of(screens.begin(), screens.end(),
                                          [&](const QRect& s) { return grabbable(placed, s); });
    if (shrunk || !onSomeScreen)
        placed.moveTo(
            std::clamp(placed.left(), screen.left(), screen.right() - placed.width() + 1),
            std::clamp(placed.top(), screen.top(), screen.bottom() - placed.height() + 1));
    return placed;
}

} // namespace kps
