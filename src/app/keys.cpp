// Keys step through the viewed photo list.

#include "app/mainwindow.h"
#include "app/menupage.h"
#include "core/state/cursor.h"

#include <QFrame>
#include <QKeyEvent>

namespace kps {
namespace {

// Virtual key codes of the keys that move the cursor.
constexpr int kVkSpace = 0x20, kVkPrior = 0x21, kVkNext = 0x22, kVkEnd = 0x23, kVkHome = 0x24,
              kVkUp = 0x26, kVkDown = 0x28;

int virtualKey(int qtKey) {
    switch (qtKey) {
    case Qt::Key_Space:
        return kVkSpace;
    case Qt::Key_PageUp:
        return kVkPrior;
    case Qt::Key_PageDown:
        return kVkNext;
    case Qt::Key_End:
        return kVkEnd;
    case Qt::Key_Home:
        return kVkHome;
    case Qt::Key_Up:
        return kVkUp;
    case Qt::Key_Down:
        return kVkDown;
    default:
        return 0;
    }
}

} // namespace

void MainWindow::keyPressEvent(QKeyEvent* event) {
    // A focused control of the menu page takes its keys first.
    const QWidget* focus = focusWidget();
    if (focus && menu_->panel20->isVisible() && menu_->panel20->isAncestorOf(focus)) {
        QMainWindow::keyPressEvent(event);
        return;
    }
    // The photo held by the pointer stays the current one until it is dropped: a photo decoded
    // meanwhile would leave the frame showing another than the one the drop sorts.
    if (st_.mozg) return;
    FormKeyDown(virtualKey(event->key()));
}

void MainWindow::FormKeyDown(int key) {
    const int a = st_.indexpanel;
    switch (key) {
    case kVkSpace:
    case kVkDown:
        IncIndex(st_, a);
        break;
    case kVkUp:
        DecIndex(st_, a);
        break;
    case kVkHome:
        HomeIndex(st_, a);
        break;
    case kVkEnd:
        EndIndex(st_, a);
        break;
    case kVkNext:
        Plus10Index(st_, a);
        break;
    case kVkPrior:
        Minus10Index(st_, a);
        break;
    default:
        break;
    }
    st_.s1 = listbox(st_, a);
    kepbetoltes(st_.s1);
    kepszinezo();
    syncStatusBar();
}

} // namespace kps
