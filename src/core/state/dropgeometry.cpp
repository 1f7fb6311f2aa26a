#include "core/state/dropgeometry.h"

#include <cmath>

namespace kps {

// How far beyond the viewer's edge the photo shrinks to nothing.
constexpr int kShrinkMargin = 200;

void dragPress(AppState& st, QRect frame, QSize viewer, QPoint p) {
    st.eredeti = frame;
    st.rx = frame.left() + p.x();
    st.ry = frame.top() + p.y();
    st.rpx = frame.left();
    st.rpy = frame.top();
    st.xtavbal = st.rx + kShrinkMargin;
    st.xtavjobb = viewer.width() - st.rx + kShrinkMargin;
    st.ytavbal = st.ry + kShrinkMargin;
    st.ytavjobb = viewer.height() - st.ry + kShrinkMargin;
    st.regiPanelWidth = frame.width();
    st.regiPanelHeight = frame.height();
    // A press on the first column or row is taken as one pixel in, which keeps the ratios finite.
    st.rataW = double(frame.width()) / double(p.x() > 0 ? p.x() : 1);
    st.rataH = double(frame.height()) / double(p.y() > 0 ? p.y() : 1);
    st.mozg = true;
}

// Distance moved along one axis from the press point, and the shrink distance that applies in
// the direction of the move.
static void moved(int press, int now, int towardStart, int towardEnd, int& hossz, int& max) {
    hossz = press >= now ? press - now : now - press;
    max = press >= now ? towardStart : towardEnd;
}

QRect dragMove(AppState& st, QRect frame, QPoint viewerPos, QPoint p) {
    st.ux = frame.left() + p.x();
    st.uy = frame.top() + p.y();
    st.nagyx = st.ux + viewerPos.x();
    st.nagyy = st.uy + viewerPos.y();
    moved(st.rx, st.ux, st.xtavbal, st.xtavjobb, st.xhossz, st.xhosszMax);
    moved(st.ry, st.uy, st.ytavbal, st.ytavjobb, st.yhossz, st.yhosszMax);
    const double xMax = st.xhosszMax > 0 ? st.xhosszMax : 1;
    const double yMax = st.yhosszMax > 0 ? st.yhosszMax : 1;
    st.rataX = 100.0 / xMax * (xMax - st.xhossz);
    st.rataY = 100.0 / yMax * (yMax - st.yhossz);
    const bool horizontal = st.rataY > st.rataX;
    const double limit = horizontal ? xMax : yMax;
    const double left = limit - (horizontal ? st.xhossz : st.yhossz);
    // Past the shrink distance the photo stays at zero size instead of turning negative.
    const int width = qMax(0, int(std::trunc(st.regiPanelWidth / limit * left)));
    const int height = qMax(0, int(std::trunc(st.regiPanelHeight / limit * left)));
    const int x = int(std::trunc(st.ux - width / st.rataW));
    const int y = int(std::trunc(st.uy - height / st.rataH));
    return QRect(x, y, width, height);
}

QPoint renameDialogPos(QPoint windowPos, QRect viewer, QSize dialog) {
    return QPoint(windowPos.x() + viewer.left() + viewer.width() / 2 - dialog.width() / 2,
                  windowPos.y() + viewer.top() + viewer.height() / 2 - dialog.height() / 2);
}

} // namespace kps
