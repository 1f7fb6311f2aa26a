#pragma once
// Drags the photo through the real window as a user would: a press on Image1, pointer moves
// with the button held (which Image1 receives, having the pointer grab), and the release.

#include "support/testphotos.h"
#include "support/uitest.h"

#include "app/widgets.h"
#include "core/state/photolist.h"

#include <QApplication>
#include <QDir>
#include <QMouseEvent>
#include <QStatusBar>
#include <QTest>

namespace kps::test {

// Client 800 x 400 above the 19-pixel status bar: the viewer area Panel2 is 700 x 300 at (50, 50).
inline MainWindow& startSized(WindowFixture& fx, const QString& extraKezdo = {},
                              const Environment& env = {}) {
    MainWindow& w = fx.startWithFolders(extraKezdo, env);
    w.resize(800, 419);
    QCoreApplication::processEvents();
    return w;
}

inline QWidget* component(WindowFixture& fx, const QString& name) {
    return fx.find<QWidget>(name);
}

// One drag of the photo. Points are given in the coordinates the user sees (frame, viewer area or
// client area) and turned into Image1's, which follow the frame as it moves.
class Drag {
  public:
    // The user drags the photo the viewer shows: one still decoding is waited for first.
    explicit Drag(WindowFixture& fx)
        : image_(component(fx, QStringLiteral("Image1"))),
          frame_(component(fx, QStringLiteral("Panel1"))),
          viewer_(component(fx, QStringLiteral("Panel2"))) {
        if (!waitForPhoto(fx.window())) qWarning("the photo to drag never arrived");
    }

    // Press at a point of the frame (its centre by default).
    Drag& press(QPoint framePoint) {
        last_ = framePoint;
        // QTest reads the point (0, 0) as "the centre", so that press goes out by hand, and so
        // must everything after it, since QTest then does not know the button is held.
        manual_ = framePoint.isNull();
        if (manual_)
            send(QEvent::MouseButtonPress, framePoint, Qt::LeftButton);
        else
            QTest::mousePress(image_, Qt::LeftButton, {}, framePoint);
        return *this;
    }
    Drag& press() { return press(image_->rect().center()); }

    Drag& toViewer(QPoint viewerPoint) { return toFrame(viewerPoint - frame_->pos()); }
    Drag& toClient(QPoint clientPoint) { return toViewer(clientPoint - viewer_->pos()); }
    // To the middle of the folder panel of a slot.
    Drag& toSlot(int slot) {
        const QWidget* panel =
            frame_->window()->findChild<QWidget*>(QStringLiteral("Panel%1").arg(10 + slot));
        return toClient(panel->geometry().center());
    }

    // The release acts on the panel states the last move left; its own point does not count.
    // The drop's file work runs behind the window; release() waits until it is settled.
    void release() {
        releaseOnly();
        auto* w = qobject_cast<MainWindow*>(image_->window());
        QVERIFY(w);
        QVERIFY(QTest::qWaitFor([w] { return w->pendingDrops().empty(); }, 10000));
    }
    // The release alone: the lists have changed, the file work may still be pending.
    void releaseOnly() {
        if (manual_)
            send(QEvent::MouseButtonRelease, last_, Qt::NoButton);
        else
            QTest::mouseRelease(image_, Qt::LeftButton, {}, last_.isNull() ? QPoint(1, 1) : last_);
    }

  private:
    Drag& toFrame(QPoint p) {
        last_ = p;
        if (manual_ || p.isNull())
            send(QEvent::MouseMove, p, Qt::LeftButton);
        else
            QTest::mouseMove(image_, p);
        return *this;
    }

    void send(QEvent::Type type, QPoint p, Qt::MouseButtons held) {
        QMouseEvent me(type, p, image_->mapToGlobal(p), Qt::LeftButton, held, Qt::NoModifier);
        QApplication::sendEvent(image_, &me);
    }

    QWidget* image_;
    QWidget* frame_;
    QWidget* viewer_;
    QPoint last_;
    bool manual_ = false;
};

// Drags the shown photo from the middle of the frame onto a slot's folder panel.
inline void dropOnSlot(WindowFixture& fx, int slot) {
    Drag(fx).press().toSlot(slot).release();
    if (!waitForPhoto(fx.window())) qWarning("the photo after the drop never arrived");
}

// The photos a folder scan would list now, sorted as the lists are.
inline QStringList photosOnDisk(const QString& folder) {
    const QDir d(folder);
    QStringList paths;
    for (const QString& name : d.entryList({QStringLiteral("*.jpg"), QStringLiteral("*.jpeg")},
                                           QDir::Files | QDir::Hidden))
        paths << folder + name;
    PhotoList sorted;
    sorted.assign(paths);
    return sorted.paths();
}

// Empty when every slot's list names exactly the photos in its folder and no half-made copy is
// left anywhere; otherwise what differs.
inline QString listsVersusDisk(MainWindow& w) {
    QString out;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const QString folder = w.state().dirs[size_t(slot)];
        const QStringList listed = w.state().lists[size_t(slot)].paths();
        const QStringList disk = photosOnDisk(folder);
        if (listed != disk)
            out += QStringLiteral("slot %1 lists [%2], disk has [%3]\n")
                       .arg(slot)
                       .arg(listed.join(u','), disk.join(u','));
        const QStringList parts =
            QDir(folder).entryList({QStringLiteral("*.part")}, QDir::Files | QDir::Hidden);
        if (!parts.isEmpty())
            out += QStringLiteral("slot %1 keeps %2\n").arg(slot).arg(parts.join(u','));
    }
    return out;
}

// The warning beside the status fields.
inline QString statusMessage(MainWindow& w) {
    const auto* message = w.findChild<StatusMessage*>(QStringLiteral("StatusMessage"));
    return message ? message->message() : QStringLiteral("(no message field)");
}

} // namespace kps::test
