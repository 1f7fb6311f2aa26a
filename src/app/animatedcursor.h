#pragma once
// The animated cursor over the photo: two frames shown alternately, 50 ms each.

#include <QCursor>
#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <array>

class QWidget;

namespace kps {

class AnimatedCursor : public QObject {
    Q_OBJECT
  public:
    AnimatedCursor(const std::array<QPixmap, 2>& frames, QObject* parent = nullptr);
    // Shows the animation over `target` when on, the default arrow when off.
    void apply(QWidget* target, bool on);
    bool isOn() const { return on_; }
    int frame() const { return frame_; }

  private:
    void step();

    std::array<QCursor, 2> cursors_;
    QPointer<QWidget> target_;
    QTimer timer_;
    bool on_ = false;
    int frame_ = 0;
};

} // namespace kps
