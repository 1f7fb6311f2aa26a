#include "app/widgets.h"

#include <QPainter>

namespace kps {

void PanelPicture::setDrawing(const QImage& image, const QString& text, const QImage& icon) {
    image_ = image;
    icon_ = icon;
    setAccessibleName(text);
    update();
}

void PanelPicture::paintEvent(QPaintEvent*) {
    if (image_.isNull()) return;
    QPainter p(this);
    p.drawImage(0, 0, image_);
}

void PhotoView::setImage(const QImage& image, QSize fullSize) {
    image_ = image;
    fullSize_ = fullSize;
    update();
}

void PhotoView::paintEvent(QPaintEvent*) {
    if (image_.isNull()) return;
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(rect(), image_);
}

ElidedLabel::ElidedLabel(QWidget* parent) : QLabel(parent) {
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void ElidedLabel::setFullText(const QString& text) {
    full_ = text;
    setToolTip(text);
    showFitting();
}

void ElidedLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    showFitting();
}

void ElidedLabel::showFitting() {
    setText(fontMetrics().elidedText(full_, Qt::ElideMiddle, contentsRect().width()));
}

StatusMessage::StatusMessage(QWidget* parent) : ElidedLabel(parent) {
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setContentsMargins(4, 0, 4, 0);
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, QColor(150, 0, 0));
    pal.setColor(QPalette::Window, QColor(255, 236, 170));
    setPalette(pal);
    QFont f = font();
    f.setBold(true);
    setFont(f);
}

void StatusMessage::setMessage(const QString& text) {
    setFullText(text);
    setAutoFillBackground(!text.isEmpty());
    // Without a message the folder field has the whole rest of the bar.
    setVisible(!text.isEmpty());
}

void ViewerArea::setCaption(const QString& text) {
    if (caption_ == text) return;
    caption_ = text;
    update();
}

void ViewerArea::paintEvent(QPaintEvent* e) {
    QFrame::paintEvent(e);
    if (caption_.isEmpty()) return;
    QPainter p(this);
    QFont f(QStringLiteral("Tahoma"));
    f.setPixelSize(27);
    p.setFont(f);
    p.drawText(rect(), Qt::AlignCenter, caption_);
}

} // namespace kps
