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
