#include "app/framegeometry.h"

#include "core/state/windowplace.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace kps {
namespace {

// How often and how long after the first show the frame's size is looked for; a window that
// has no frame by then (no window manager) is settled as it is.
constexpr int kWatchMs = 20;
constexpr int kWatchRounds = 50;
// How long after leaving the maximised state the normal size is set.
constexpr int kRestoreMs = 100;

// The available areas of the screens, the primary first.
QList<QRect> availableScreens() {
    QList<QRect> areas;
    if (const QScreen* primary = QGuiApplication::primaryScreen())
        areas << primary->availableGeometry();
    for (const QScreen* screen : QGuiApplication::screens())
        if (screen != QGuiApplication::primaryScreen()) areas << screen->availableGeometry();
    return areas;
}

QMargins frameOf(const QWidget* w) {
    const QWindow* win = w->windowHandle();
    return win ? win->frameMargins() : QMargins();
}

QSize clientSize(const QRect& outer, const QMargins& m) {
    return QSize(qMax(1, outer.width() - m.left() - m.right()),
                 qMax(1, outer.height() - m.top() - m.bottom()));
}

bool normalState(const QWidget* w) {
    return !(w->windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen));
}

} // namespace

FrameGeometry::FrameGeometry(QWidget* window)
    : QObject(window), window_(window), watch_(new QTimer(this)) {
    watch_->setInterval(kWatchMs);
    connect(watch_, &QTimer::timeout, this, [this, rounds = 0]() mutable {
        if (frameIsKnown() || ++rounds >= kWatchRounds) settle();
    });
    // A window that came up maximised gets its normal size right when it first leaves it, once
    // the window system has given it back its earlier size.
    restore_ = new QTimer(this);
    restore_->setSingleShot(true);
    restore_->setInterval(kRestoreMs);
    connect(restore_, &QTimer::timeout, this, [this] {
        if (corrected_ || !normalState(window_)) return;
        corrected_ = true;
        window_->resize(clientSize(outer_, frameOf(window_)));
        remember();
    });
    window_->installEventFilter(this);
}

void FrameGeometry::restore(const StoredFrame& stored) {
    hasPosition_ = stored.left || stored.top;
    const QRect wanted(stored.left.value_or(window_->x()), stored.top.value_or(window_->y()),
                       stored.width, stored.height);
    outer_ = placeOnScreens(wanted, hasPosition_, availableScreens());
    // A top-level window's position is its frame's, whatever the frame turns out to be.
    if (hasPosition_) window_->move(outer_.topLeft());
    applied_ = clientSize(outer_, frameOf(window_));
    window_->resize(applied_);
    startedMaximised_ = stored.maximized;
    if (stored.maximized) window_->setWindowState(window_->windowState() | Qt::WindowMaximized);
}

StoredFrame FrameGeometry::current() const {
    StoredFrame s;
    s.left = outer_.left();
    s.top = outer_.top();
    s.width = outer_.width();
    s.height = outer_.height();
    s.maximized = window_->isMaximized();
    return s;
}

bool FrameGeometry::frameIsKnown() const {
    return !frameOf(window_).isNull();
}

void FrameGeometry::settle() {
    watch_->stop();
    settled_ = true;
    if (!normalState(window_)) return; // when it comes back to normal
    if (startedMaximised_)
        restore_->start(); // left maximised already: its size may still be on its way
    else
        correct();
}

void FrameGeometry::correct() {
    corrected_ = true;
    // A size set since (a test, a benchmark, the user) is kept.
    if (frameIsKnown() && window_->size() == applied_)
        window_->resize(clientSize(outer_, frameOf(window_)));
    remember();
}

void FrameGeometry::remember() {
    if (!settled_ || !normalState(window_) || !window_->isVisible()) return;
    // A Wayland client is never told where it is: the position read at start stays as it was.
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        outer_.setSize(window_->frameGeometry().size());
    else
        outer_ = window_->frameGeometry();
}

bool FrameGeometry::eventFilter(QObject* watched, QEvent* event) {
    if (watched != window_) return false;
    switch (event->type()) {
    case QEvent::Show:
        if (settled_) break;
        if (frameIsKnown()) // a frame drawn by the program itself is known at once
            settle();
        else
            watch_->start();
        break;
    case QEvent::WindowStateChange:
    case QEvent::Move:
    case QEvent::Resize:
        if (corrected_)
            remember();
        else if (settled_ && normalState(window_))
            restore_->start(); // came up maximised and has just left it
        break;
    default:
        break;
    }
    return false;
}

} // namespace kps
