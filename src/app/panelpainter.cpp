#include "app/panelpainter.h"

#include "app/widgets.h"

#include <QFontMetrics>
#include <QPainter>

namespace kps {

Colour panelColour(const AppState& st, PanelState state, bool alap) {
    if (alap) return st.szin1;
    switch (state) {
    case PanelState::Selected:
        return st.szin4;
    case PanelState::Hover:
        return st.szin3;
    case PanelState::DropTarget:
        return st.szin2;
    case PanelState::Normal:
        break;
    }
    return st.szin1;
}

QString scanningText(const QString& szoveg, int found) {
    return QStringLiteral("%1 (Keresés... %2)").arg(szoveg).arg(found);
}

void kepszinez(PanelPicture& kep, QSize panel, const QColor& colour, bool megsemmi,
               const QString& szoveg, int szog, const QImage* pngg) {
    if (szog != 0 && szog != 90 && szog != 270) return;
    const int w = panel.width();
    const int h = panel.height();
    const QString text = megsemmi ? QStringLiteral("--empty--") : szoveg;
    // Drawn in the screen's own pixels, so text and icons stay sharp at any scale.
    const qreal dpr = kep.devicePixelRatioF();
    QImage image(QSize(qMax(1, w), qMax(1, h)) * dpr, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(colour);
    {
        QPainter p(&image);
        p.setBackground(colour);
        p.setBackgroundMode(Qt::OpaqueMode);
        if (szog == 0)
            AngleTextOut(p, szog, w / 2, 3, text, pngg);
        else if (szog == 90)
            AngleTextOut(p, szog, 10, h / 2, text, pngg);
        else
            AngleTextOut(p, szog, -13, h / 2, text, pngg);
    }
    kep.setDrawing(image, text, pngg ? *pngg : QImage());
}

void AngleTextOut(QPainter& canvas, int angle, int x, int y, const QString& text,
                  const QImage* pnga) {
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(13);
    canvas.setFont(font);
    canvas.setPen(Qt::black);
    const QFontMetrics fm(font);
    const int tw = fm.horizontalAdvance(text);

    QPoint textAt, iconAt;
    switch (angle) {
    case 0:
        textAt = {x - (tw - 22) / 2, y + 10};
        iconAt = {x - tw / 2 - 8, y + 11};
        break;
    case 90:
        textAt = {x, y + (tw - 30) / 2};
        iconAt = {x + 2, y + (tw - 30) / 2 + 3};
        break;
    default:
        textAt = {x + 50, y - (tw - 30) / 2};
        iconAt = {x + 31, y - (tw - 30) / 2 - 20};
        break;
    }
    // The anchor is the top-left corner of the text's cell, in the text's own direction.
    canvas.save();
    canvas.translate(textAt);
    canvas.rotate(-angle);
    canvas.drawText(0, fm.ascent(), text);
    canvas.restore();
    if (pnga && !pnga->isNull()) {
        canvas.setBackgroundMode(Qt::TransparentMode);
        canvas.setRenderHint(QPainter::SmoothPixmapTransform);
        canvas.drawImage(QRectF(iconAt, pnga->deviceIndependentSize()), *pnga);
    }
}

} // namespace kps
