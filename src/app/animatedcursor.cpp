#include "app/animatedcursor.h"

#include <QWidget>

namespace kps {

// The hot spot sits on the dot's centre.
constexpr int kHotX = 15;
constexpr int kHotY = 17;
constexpr int kFrameMs = 50;

AnimatedCursor::AnimatedCursor(const std::array<QPixmap, 2>& frames, QObject* parent)
    : QObject(parent) {
    for (size_t i = 0; i < frames.size(); ++i) {
        cursors_[i] =
            frames[i].isNull() ? QCursor(Qt::CrossCursor) : QCursor(frames[i], kHotX, kHotY);
    }
    timer_.setInterval(kFrameMs);
    connect(&timer_, &QTimer::timeout, this, &AnimatedCursor::step);
}

void AnimatedCursor::apply(QWidget* target, bool on) {
    if (target_ && target_ != target) target_->unsetCursor();
    target_ = target;
    on_ = on;
    frame_ = 0;
    if (!target_) return;
    if (on_) {
        target_->setCursor(cursors_[0]);
        timer_.start();
    } else {
        timer_.stop();
        target_->setCursor(Qt::ArrowCursor);
    }
}

void AnimatedCursor::step() {
    if (!target_ || !on_) return;
    frame_ = 1 - frame_;
    target_->setCursor(cursors_[size_t(frame_)]);
}

} // namespace kps
