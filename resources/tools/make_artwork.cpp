// Draws every picture the photo sorter embeds (folder marks, trash can, device icons, load-button
// glyphs, cursor frames, menu pictures) and writes them as PNG files.
//
//   make-artwork <output folder> [--icons <icon folder>] [--preview <sheet.png>]
//
// The PNGs in resources/images/ are this program's output; edit the drawings here and run it
// again rather than touching the PNGs. --icons also writes the program's icon for the icon
// theme (appicon.cpp): <size>/kovrin-photo-sorter.png for every theme size and the scalable
// kovrin-photo-sorter.svg. --preview also writes an enlarged contact sheet of all pictures, for
// judging them by eye.

#include "appicon.h"

#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QHash>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPoint>
#include <QRadialGradient>
#include <QSize>
#include <QString>
#include <QStringList>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <utility>
#include <vector>

namespace {

struct Picture {
    QString name; // resource name, also the file name without ".png"
    QImage image;
};

// A transparent canvas to paint on.
QImage canvas(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// Runs a drawing on a fresh canvas with antialiasing switched on.
// At a scale of 2 the same drawing fills twice the pixels, for screens at twice the density.
QImage draw(int scale, int width, int height, const std::function<void(QPainter&)>& paint) {
    QImage image = canvas(width * scale, height * scale);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(scale, scale);
    paint(painter);
    painter.end();
    return image;
}

QColor rgb(int r, int g, int b) {
    return QColor(r, g, b);
}

QLinearGradient vertical(qreal top, qreal bottom, const QColor& from, const QColor& to) {
    QLinearGradient gradient(0, top, 0, bottom);
    gradient.setColorAt(0, from);
    gradient.setColorAt(1, to);
    return gradient;
}

// The shape shrunk by one pixel on every side (erosion by a 3 x 3 square).
QPainterPath inset(const QPainterPath& shape) {
    QPainterPath inner = shape;
    for (const int dx : {-1, 0, 1})
        for (const int dy : {-1, 0, 1})
            if (dx != 0 || dy != 0) inner = inner.intersected(shape.translated(dx, dy));
    return inner;
}

// Fills a shape whose corners lie on pixel corners, with a one-pixel outline inside its edge.
// Filling instead of stroking keeps straight outlines and their corners fully opaque.
void fillOutlined(QPainter& p, const QPainterPath& shape, const QColor& edge, const QBrush& fill) {
    p.fillPath(shape, edge);
    p.fillPath(inset(shape), fill);
}

QPainterPath polygonPath(const QPolygonF& polygon) {
    QPainterPath path;
    path.addPolygon(polygon);
    path.closeSubpath();
    return path;
}

QPainterPath rectPath(const QRectF& rect, qreal radius = 0) {
    QPainterPath path;
    if (radius > 0)
        path.addRoundedRect(rect, radius, radius);
    else
        path.addRect(rect);
    return path;
}

// ---------------------------------------------------------------------------------------------
// Folders

struct FolderPalette {
    QColor light; // top of the front flap
    QColor main;  // bottom of the front flap, the folder's own colour
    QColor back;  // the back sheet and its tab, seen above the flap
    QColor edge;  // outline
};

FolderPalette paletteOf(const QColor& light, const QColor& main) {
    return {light, main, main.darker(118), main.darker(185)};
}

// A folder with its tab at the top left, filling the pixel rectangle `box` (outline included).
void paintFolder(QPainter& p, const QRect& box, const FolderPalette& colours) {
    const qreal left = box.left();
    const qreal right = box.left() + box.width();
    const qreal top = box.top();
    const qreal bottom = box.top() + box.height();
    const qreal tabHeight = box.height() >= 18 ? 3 : 2;
    const qreal tabEnd = left + qRound(box.width() * 0.38);
    const qreal flapTop = top + tabHeight + (box.height() >= 18 ? 3 : 2);

    const QPolygonF back{{left, bottom},
                         {left, top},
                         {tabEnd, top},
                         {tabEnd + tabHeight, top + tabHeight},
                         {right, top + tabHeight},
                         {right, bottom}};
    fillOutlined(p, polygonPath(back), colours.edge, colours.back);

    const QRectF flap(QPointF(left, flapTop), QPointF(right, bottom));
    fillOutlined(p, rectPath(flap), colours.edge,
                 vertical(flap.top(), flap.bottom(), colours.light, colours.main));

    // A glint along the flap's upper edge gives the sheet some depth.
    QColor glint = colours.light.lighter(135);
    glint.setAlpha(200);
    p.fillRect(QRectF(left + 1, flapTop + 1, box.width() - 2, 1), glint);
}

// The 16 x 16 colour mark: the folder spans the full width, with a transparent row above and
// below it.
QImage markFolder(int scale, const FolderPalette& colours) {
    return draw(scale, 16, 16, [&](QPainter& p) { paintFolder(p, QRect(0, 1, 16, 14), colours); });
}

enum class Turn { Anticlockwise, Clockwise };

// The image turned a quarter turn, pixel for pixel (no resampling).
QImage turned(const QImage& source, Turn turn) {
    const QImage from = source.convertToFormat(QImage::Format_ARGB32);
    QImage to(from.height(), from.width(), QImage::Format_ARGB32);
    for (int y = 0; y < to.height(); ++y) {
        for (int x = 0; x < to.width(); ++x) {
            const QPoint origin = turn == Turn::Anticlockwise ? QPoint(from.width() - 1 - y, x)
                                                              : QPoint(y, from.height() - 1 - x);
            to.setPixel(x, y, from.pixel(origin));
        }
    }
    return to;
}

// ---------------------------------------------------------------------------------------------
// Small pictures

QImage trashCan(int scale) {
    return draw(scale, 16, 16, [](QPainter& p) {
        const QColor edge = rgb(104, 106, 106);

        // Handle on the lid.
        p.fillRect(QRect(6, 1, 4, 1), edge);
        p.fillRect(QRect(6, 2, 1, 1), edge);
        p.fillRect(QRect(9, 2, 1, 1), edge);

        // Body, slightly narrower at the bottom, shaded like a metal cylinder.
        QLinearGradient metal(3, 0, 13, 0);
        metal.setColorAt(0.0, rgb(184, 185, 185));
        metal.setColorAt(0.35, rgb(234, 235, 235));
        metal.setColorAt(0.6, rgb(208, 209, 209));
        metal.setColorAt(1.0, rgb(176, 177, 177));
        fillOutlined(p, polygonPath({{2, 5}, {14, 5}, {13, 15}, {3, 15}}), edge, metal);

        // Ribs, the middle one spread over the two centre columns to keep them symmetric.
        const QColor rib = rgb(150, 152, 152);
        p.fillRect(QRect(5, 7, 1, 6), rib);
        p.fillRect(QRect(10, 7, 1, 6), rib);
        p.fillRect(QRect(7, 7, 2, 6), QColor(150, 152, 152, 150));

        // Lid.
        fillOutlined(p, rectPath(QRectF(1, 3, 14, 3)), edge, rgb(222, 223, 223));
    });
}

QImage informationIcon(int scale) {
    return draw(scale, 16, 16, [](QPainter& p) {
        QRadialGradient disc(QPointF(6, 5), 10);
        disc.setColorAt(0, rgb(96, 160, 240));
        disc.setColorAt(1, rgb(22, 78, 180));
        p.setPen(QPen(rgb(16, 56, 138), 1));
        p.setBrush(disc);
        p.drawEllipse(QPointF(8, 8), 7.5, 7.5);

        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(8, 4.4), 1.35, 1.35);
        p.drawRect(QRectF(7, 6.6, 2, 6.2));
        p.drawRect(QRectF(6, 6.6, 1, 1));  // upper serif
        p.drawRect(QRectF(6, 11.8, 4, 1)); // foot
    });
}

// ---------------------------------------------------------------------------------------------
// Device icons, 24 x 24

QImage usbPlug(int scale) {
    return draw(scale, 24, 24, [](QPainter& p) {
        // Metal shell with its two square windows.
        QLinearGradient metal(8, 0, 16, 0);
        metal.setColorAt(0.0, rgb(156, 162, 168));
        metal.setColorAt(0.4, rgb(240, 243, 246));
        metal.setColorAt(1.0, rgb(146, 152, 158));
        fillOutlined(p, rectPath(QRectF(7, 1, 10, 9)), rgb(84, 90, 96), metal);
        p.fillRect(QRect(9, 4, 2, 2), rgb(60, 64, 70));
        p.fillRect(QRect(13, 4, 2, 2), rgb(60, 64, 70));

        // Plastic grip with a sheen along its top.
        fillOutlined(p, rectPath(QRectF(5, 9, 14, 10), 2), rgb(18, 20, 26),
                     vertical(9, 19, rgb(92, 98, 112), rgb(32, 35, 44)));
        p.fillRect(QRect(7, 11, 10, 1), QColor(255, 255, 255, 60));

        // Strain relief and cable.
        p.setPen(Qt::NoPen);
        p.setBrush(rgb(38, 40, 48));
        p.drawPolygon(QPolygonF{{9, 19}, {15, 19}, {14, 22}, {10, 22}});
        p.fillRect(QRect(11, 22, 2, 2), rgb(30, 32, 38));
    });
}

QImage camera(int scale) {
    return draw(scale, 24, 24, [](QPainter& p) {
        const QColor edge = rgb(22, 23, 28);

        // Shutter release and viewfinder hump, drawn first so the body overlaps them.
        fillOutlined(p, rectPath(QRectF(3, 4, 4, 3)), edge, rgb(210, 52, 44));
        fillOutlined(p, polygonPath({{7, 7}, {9, 3}, {15, 3}, {17, 7}}), edge, rgb(70, 74, 84));

        fillOutlined(p, rectPath(QRectF(1, 6, 22, 15), 3), edge,
                     vertical(6, 21, rgb(116, 122, 134), rgb(40, 43, 52)));

        // Flash window.
        p.fillRect(QRect(18, 8, 3, 2), rgb(236, 236, 220));

        // Lens: a metal ring round dark glass with a glint.
        QLinearGradient ring(6, 8, 18, 20);
        ring.setColorAt(0, rgb(226, 230, 236));
        ring.setColorAt(1, rgb(96, 100, 108));
        p.setPen(QPen(edge, 1));
        p.setBrush(ring);
        p.drawEllipse(QPointF(12, 13.5), 6, 6);
        QRadialGradient glass(QPointF(11, 12.5), 5);
        glass.setColorAt(0, rgb(60, 92, 160));
        glass.setColorAt(1, rgb(8, 12, 30));
        p.setBrush(glass);
        p.drawEllipse(QPointF(12, 13.5), 3.8, 3.8);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, 210));
        p.drawEllipse(QPointF(10.6, 12.1), 1.1, 1.1);
    });
}

// Paints a tiny bitmap font glyph: '#' marks a pixel, one string per row.
void paintPixels(QPainter& p, int left, int top, const QStringList& rows, const QColor& colour) {
    for (int y = 0; y < rows.size(); ++y)
        for (int x = 0; x < rows[y].size(); ++x)
            if (rows[y][x] == QLatin1Char('#')) p.fillRect(QRect(left + x, top + y, 1, 1), colour);
}

QImage sdCard(int scale) {
    return draw(scale, 24, 24, [](QPainter& p) {
        // Card with its cut corner and the write-protect notch on the left.
        const QPolygonF outline{{4, 1},  {16, 1}, {20, 5}, {20, 23}, {4, 23},
                                {4, 14}, {5, 14}, {5, 10}, {4, 10}};
        fillOutlined(p, polygonPath(outline), rgb(12, 22, 56),
                     vertical(1, 23, rgb(58, 98, 184), rgb(22, 42, 100)));

        // Gold contacts along the top edge.
        for (const int x : {6, 8, 10, 12, 14})
            p.fillRect(QRect(x, 3, 1, 3), rgb(236, 190, 64));

        // White label with the letters drawn pixel by pixel: at this size a font only blurs.
        p.setPen(Qt::NoPen);
        p.setBrush(rgb(246, 247, 250));
        p.drawRoundedRect(QRectF(7, 11, 11, 9), 1.5, 1.5);
        const QColor ink = rgb(22, 42, 100);
        paintPixels(p, 9, 13, {"###", "#..", "###", "..#", "###"}, ink);
        paintPixels(p, 13, 13, {"##.", "#.#", "#.#", "#.#", "##."}, ink);
    });
}

// ---------------------------------------------------------------------------------------------
// Load-button glyphs and cursor frames

// A white right-pointing arrow on a rounded square of the given colour.
QImage arrowGlyph(int scale, const QColor& colour) {
    return draw(scale, 24, 24, [&](QPainter& p) {
        fillOutlined(p, rectPath(QRectF(0, 0, 24, 24), 5), colour.darker(175),
                     vertical(0, 24, colour.lighter(135), colour.darker(112)));

        const QPolygonF arrow{{5.0, 10.0},  {12.0, 10.0}, {12.0, 5.5}, {18.5, 12.0},
                              {12.0, 18.5}, {12.0, 14.0}, {5.0, 14.0}};
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, 70));
        p.drawPolygon(arrow.translated(0.8, 0.8));
        p.setBrush(Qt::white);
        p.drawPolygon(arrow);
    });
}

// One frame of the blinking cursor: a dot with a rim, centred on the hot spot (15, 17).
QImage cursorFrame(int scale, const QColor& dot, const QColor& rim) {
    return draw(scale, 32, 32, [&](QPainter& p) {
        const QPointF hotSpotCentre(15.5, 17.5);
        p.setPen(Qt::NoPen);
        p.setBrush(rim);
        p.drawEllipse(hotSpotCentre, 5.5, 5.5);
        p.setBrush(dot);
        p.drawEllipse(hotSpotCentre, 3.8, 3.8);
    });
}

// ---------------------------------------------------------------------------------------------
// Title picture of the menu page

QFont titleFont(qreal pixelSize, bool bold) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setBold(bold);
    font.setStretch(QFont::SemiCondensed);
    font.setPixelSize(qRound(pixelSize));
    return font;
}

// A small photo print with a white border and a landscape, drawn centred on `centre`.
void paintPrint(QPainter& p, const QPointF& centre, qreal angle, const QColor& frame) {
    p.save();
    p.translate(centre);
    p.rotate(angle);
    p.scale(1.3, 1.3);
    const QRectF print(-22, -16, 44, 32);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 90));
    p.drawRoundedRect(print.translated(2, 3), 2, 2);
    p.setPen(QPen(frame, 1.5));
    p.setBrush(rgb(250, 250, 246));
    p.drawRoundedRect(print, 2, 2);

    const QRectF scene = print.adjusted(4, 4, -4, -4);
    p.setPen(Qt::NoPen);
    p.setBrush(vertical(scene.top(), scene.bottom(), rgb(110, 170, 235), rgb(200, 226, 250)));
    p.drawRect(scene);
    p.setBrush(rgb(255, 214, 80));
    p.drawEllipse(QPointF(scene.right() - 8, scene.top() + 7), 3.5, 3.5);
    QPainterPath hills;
    hills.moveTo(scene.bottomLeft());
    hills.lineTo(scene.left(), scene.bottom() - 8);
    hills.quadTo(scene.left() + 12, scene.bottom() - 18, scene.center().x() + 2,
                 scene.bottom() - 9);
    hills.quadTo(scene.right() - 6, scene.bottom() - 3, scene.right(), scene.bottom() - 7);
    hills.lineTo(scene.bottomRight());
    hills.closeSubpath();
    p.setBrush(rgb(72, 150, 60));
    p.drawPath(hills);
    p.restore();
}

QImage titlePicture(int scale) {
    return draw(scale, 460, 80, [](QPainter& p) {
        const QRectF card(0.5, 0.5, 459, 79);
        p.setPen(QPen(rgb(8, 10, 18), 1));
        p.setBrush(vertical(0, 80, rgb(40, 52, 82), rgb(12, 16, 30)));
        p.drawRoundedRect(card, 10, 10);

        // A soft sheen over the upper half.
        p.setPen(Qt::NoPen);
        p.setBrush(vertical(0, 40, QColor(255, 255, 255, 34), QColor(255, 255, 255, 0)));
        p.drawRoundedRect(QRectF(2, 2, 456, 38), 9, 9);

        // Three prints fanned out, framed in the colours of the folder marks.
        paintPrint(p, QPointF(50, 42), -14, rgb(253, 192, 0));
        paintPrint(p, QPointF(62, 39), 2, rgb(49, 88, 168));
        paintPrint(p, QPointF(74, 42), 16, rgb(97, 193, 43));

        // The name: "Kovrin" in gold, "Photo Sorter" in white, on one line.
        const QString first = QStringLiteral("Kovrin");
        const QString second = QStringLiteral(" Photo Sorter");
        const qreal textLeft = 124;
        const qreal available = 460 - textLeft - 18;
        qreal size = 40;
        while (size > 12 &&
               QFontMetricsF(titleFont(size, true)).horizontalAdvance(first + second) > available)
            size -= 1;
        const QFont font = titleFont(size, true);
        const qreal firstWidth = QFontMetricsF(font).horizontalAdvance(first);

        QPainterPath gold;
        gold.addText(textLeft, 0, font, first);
        QPainterPath white;
        white.addText(textLeft + firstWidth, 0, font, second);
        const qreal baseline = 40 + (gold.boundingRect().height() / 2);
        gold.translate(0, baseline);
        white.translate(0, baseline);

        p.setBrush(QColor(0, 0, 0, 150));
        p.drawPath(gold.translated(1.5, 2));
        p.drawPath(white.translated(1.5, 2));
        const QRectF goldBox = gold.boundingRect();
        p.setBrush(vertical(goldBox.top(), goldBox.bottom(), rgb(255, 228, 120), rgb(236, 170, 0)));
        p.drawPath(gold);
        p.setBrush(
            vertical(goldBox.top(), goldBox.bottom(), rgb(255, 255, 255), rgb(206, 214, 230)));
        p.drawPath(white);

        // An underline in the three mark colours.
        const qreal lineTop = baseline + 9;
        const qreal lineWidth = white.boundingRect().right() - textLeft;
        const QColor marks[] = {rgb(253, 192, 0), rgb(49, 88, 168), rgb(97, 193, 43)};
        for (int i = 0; i < 3; ++i)
            p.fillRect(QRectF(textLeft + i * lineWidth / 3, lineTop, lineWidth / 3, 3), marks[i]);
    });
}

// ---------------------------------------------------------------------------------------------

std::vector<Picture> allPictures(int scale) {
    const FolderPalette yellow = paletteOf(rgb(255, 222, 70), rgb(253, 192, 0));
    const FolderPalette blue = paletteOf(rgb(96, 136, 214), rgb(49, 88, 168));
    const FolderPalette green = paletteOf(rgb(150, 226, 96), rgb(97, 193, 43));
    const FolderPalette red = paletteOf(rgb(255, 96, 96), rgb(255, 0, 0));
    const FolderPalette grey = paletteOf(rgb(176, 176, 176), rgb(128, 128, 128));
    const FolderPalette silver = {rgb(252, 252, 254), rgb(200, 202, 210), rgb(168, 170, 178),
                                  rgb(96, 98, 106)};

    std::vector<Picture> pictures;
    pictures.push_back({QStringLiteral("t"), trashCan(scale)});
    const struct {
        const char* letter; // s yellow, k blue, z green
        const FolderPalette& palette;
    } marks[] = {{"s", yellow}, {"k", blue}, {"z", green}};
    for (const auto& mark : marks) {
        const QImage upright = markFolder(scale, mark.palette);
        const QString letter = QString::fromLatin1(mark.letter);
        pictures.push_back({letter + QLatin1Char('k'), upright});
        pictures.push_back({letter + QLatin1Char('b'), turned(upright, Turn::Anticlockwise)});
        pictures.push_back({letter + QLatin1Char('j'), turned(upright, Turn::Clockwise)});
    }
    pictures.push_back({QStringLiteral("pir"), markFolder(scale, red)});

    pictures.push_back({QStringLiteral("usb"), usbPlug(scale)});
    pictures.push_back({QStringLiteral("photography"), camera(scale)});
    pictures.push_back({QStringLiteral("sdcard"), sdCard(scale)});

    pictures.push_back({QStringLiteral("arrow1"), arrowGlyph(scale, rgb(212, 36, 36))});
    pictures.push_back({QStringLiteral("arrow2"), arrowGlyph(scale, rgb(40, 164, 52))});
    pictures.push_back({QStringLiteral("arrow3"), arrowGlyph(scale, rgb(132, 132, 132))});

    pictures.push_back({QStringLiteral("cur1_0"), cursorFrame(scale, Qt::black, Qt::white)});
    pictures.push_back({QStringLiteral("cur1_1"), cursorFrame(scale, Qt::white, Qt::black)});

    pictures.push_back({QStringLiteral("title"), titlePicture(scale)});
    pictures.push_back({QStringLiteral("info"), informationIcon(scale)});
    pictures.push_back({QStringLiteral("folder_grey"), draw(scale, 24, 24, [&](QPainter& p) {
                            paintFolder(p, QRect(1, 3, 22, 18), grey);
                        })});
    pictures.push_back({QStringLiteral("folder_silver"), draw(scale, 24, 24, [&](QPainter& p) {
                            paintFolder(p, QRect(1, 3, 22, 18), silver);
                        })});
    pictures.push_back({QStringLiteral("folder_red_small"), draw(scale, 18, 16, [&](QPainter& p) {
                            paintFolder(p, QRect(1, 1, 16, 14), red);
                        })});
    return pictures;
}

// The sizes and margins the program relies on; a drawing edit that breaks one is refused.
QStringList problemsOf(const Picture& picture) {
    static const QHash<QString, QSize> sizes = {
        {QStringLiteral("title"), {460, 80}},      {QStringLiteral("folder_red_small"), {18, 16}},
        {QStringLiteral("usb"), {24, 24}},         {QStringLiteral("photography"), {24, 24}},
        {QStringLiteral("sdcard"), {24, 24}},      {QStringLiteral("arrow1"), {24, 24}},
        {QStringLiteral("arrow2"), {24, 24}},      {QStringLiteral("arrow3"), {24, 24}},
        {QStringLiteral("folder_grey"), {24, 24}}, {QStringLiteral("folder_silver"), {24, 24}},
        {QStringLiteral("cur1_0"), {32, 32}},      {QStringLiteral("cur1_1"), {32, 32}}};
    const QImage& image = picture.image;
    const QSize expected = sizes.value(picture.name, QSize(16, 16)); // marks, trash can, info
    if (image.size() != expected)
        return {QStringLiteral("%1 is %2 x %3, not %4 x %5")
                    .arg(picture.name)
                    .arg(image.width())
                    .arg(image.height())
                    .arg(expected.width())
                    .arg(expected.height())};

    QStringList problems;
    // A folder mark spans its square but for a transparent line on two opposite sides.
    const bool isMark =
        picture.name == QStringLiteral("pir") ||
        (picture.name.size() == 2 && QStringLiteral("skz").contains(picture.name[0]));
    if (isMark) {
        const bool sideways = !picture.name.endsWith(QLatin1Char('k')) && picture.name != "pir";
        for (int i = 0; i < 16; ++i) {
            const QPoint margins[] = {sideways ? QPoint(0, i) : QPoint(i, 0),
                                      sideways ? QPoint(15, i) : QPoint(i, 15)};
            for (const QPoint& at : margins)
                if (qAlpha(image.pixel(at)) != 0)
                    problems << QStringLiteral("%1 is not transparent at (%2, %3)")
                                    .arg(picture.name)
                                    .arg(at.x())
                                    .arg(at.y());
            const QPoint bottomEdge =
                sideways ? QPoint(picture.name.endsWith('b') ? 14 : 1, i) : QPoint(i, 14);
            if (qAlpha(image.pixel(bottomEdge)) != 255)
                problems << QStringLiteral("%1 has a gap in its edge at (%2, %3)")
                                .arg(picture.name)
                                .arg(bottomEdge.x())
                                .arg(bottomEdge.y());
        }
    }
    // The cursor's dot is centred on the hot spot (15, 17): mirror pixels match, give or take
    // the rasteriser's rounding.
    if (picture.name.startsWith(QStringLiteral("cur1_"))) {
        const auto near = [](QRgb a, QRgb b) {
            return std::abs(qAlpha(a) - qAlpha(b)) <= 2 && std::abs(qRed(a) - qRed(b)) <= 2 &&
                   std::abs(qGreen(a) - qGreen(b)) <= 2 && std::abs(qBlue(a) - qBlue(b)) <= 2;
        };
        bool centred = qAlpha(image.pixel(15, 17)) == 255;
        for (int k = 1; k < 8; ++k)
            centred = centred && near(image.pixel(15 - k, 17), image.pixel(15 + k, 17)) &&
                      near(image.pixel(15, 17 - k), image.pixel(15, 17 + k));
        if (!centred) problems << picture.name + QStringLiteral(" is not centred on (15, 17)");
    }
    return problems;
}

// Every picture enlarged on a checked and on a silver ground, to judge the pixels by eye.
QImage contactSheet(const std::vector<Picture>& pictures) {
    const int cell = 24 * 8 + 16;
    const int columns = 4;
    std::vector<const Picture*> small;
    const Picture* wide = nullptr;
    for (const Picture& picture : pictures) {
        if (picture.image.width() > 32)
            wide = &picture;
        else
            small.push_back(&picture);
    }
    const int rows = int(small.size() + columns - 1) / columns;
    const int wideHeight = wide ? wide->image.height() * 2 + 16 : 0;
    QImage sheet(columns * cell * 2, rows * cell + wideHeight, QImage::Format_RGB32);
    sheet.fill(rgb(60, 60, 60));
    QPainter p(&sheet);
    for (std::size_t i = 0; i < small.size(); ++i) {
        const QImage& image = small[i]->image;
        const int zoom = image.width() > 24 ? 6 : 8;
        const QImage big =
            image.scaled(image.size() * zoom, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        const int x = int(i % columns) * cell * 2 + 8;
        const int y = int(i / columns) * cell + 8;
        for (int cy = 0; cy < big.height(); cy += 8)
            for (int cx = 0; cx < big.width(); cx += 8)
                p.fillRect(cx + x, cy + y, 8, 8,
                           ((cx + cy) / 8) % 2 ? rgb(220, 220, 220) : rgb(255, 255, 255));
        p.drawImage(x, y, big);
        p.fillRect(x + cell, y, big.width(), big.height(), rgb(192, 192, 192));
        p.drawImage(x + cell, y, big);
        p.drawImage(x + cell, y + big.height() + 2, image); // and at its real size
    }
    if (wide)
        p.drawImage(8, rows * cell + 8,
                    wide->image.scaled(wide->image.size() * 2, Qt::IgnoreAspectRatio,
                                       Qt::SmoothTransformation));
    p.end();
    return sheet;
}

// The program's icon in the icon theme's sizes and as SVG.
bool writeAppIcon(const QDir& folder) {
    const QString name = QStringLiteral("kovrin-photo-sorter");
    bool ok = true;
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QString path = folder.filePath(QStringLiteral("%1/%2.png").arg(size).arg(name));
        folder.mkpath(QString::number(size));
        if (!artwork::renderScene(artwork::appIcon(size <= 24), size).save(path, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            ok = false;
        }
    }
    QFile svg(folder.filePath(name + QStringLiteral(".svg")));
    if (!svg.open(QIODevice::WriteOnly) ||
        svg.write(artwork::sceneToSvg(artwork::appIcon(false)).toUtf8()) < 0) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(svg.fileName()));
        ok = false;
    }
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    // Fonts need a GUI application; no window is ever shown, so no display is needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    QStringList args = QGuiApplication::arguments().mid(1);
    const auto takeOption = [&args](const QString& flag) {
        const qsizetype at = args.indexOf(flag);
        if (at < 0 || at + 1 >= args.size()) return QString();
        const QString value = args.at(at + 1);
        args.remove(at, 2);
        return value;
    };
    const QString previewPath = takeOption(QStringLiteral("--preview"));
    const QString iconFolder = takeOption(QStringLiteral("--icons"));
    if (args.size() != 1) {
        std::fprintf(stderr, "usage: make-artwork <output folder> [--icons <icon folder>] "
                             "[--preview <sheet.png>]\n");
        return 2;
    }

    const QDir out(args.first());
    if (!out.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(out.path()));
        return 1;
    }
    const std::vector<Picture> pictures = allPictures(1);
    int failures = 0;
    for (const Picture& picture : pictures) {
        for (const QString& problem : problemsOf(picture)) {
            std::fprintf(stderr, "%s\n", qPrintable(problem));
            ++failures;
        }
    }
    if (failures > 0) return 1;
    // The same pictures at twice the density, "@2x" as Qt names them, for screens at 2x.
    const std::vector<Picture> doubled = allPictures(2);
    for (const auto& [set, suffix] :
         {std::pair{&pictures, ".png"}, std::pair{&doubled, "@2x.png"}}) {
        for (const Picture& picture : *set) {
            const QString path = out.filePath(picture.name + QLatin1String(suffix));
            if (!picture.image.convertToFormat(QImage::Format_ARGB32).save(path, "PNG")) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
                ++failures;
            }
        }
    }
    if (!iconFolder.isEmpty() && !writeAppIcon(QDir(iconFolder))) ++failures;
    if (!previewPath.isEmpty() && !contactSheet(pictures).save(previewPath, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(previewPath));
        ++failures;
    }
    std::printf("%d pictures written to %s\n", int(pictures.size()) - failures,
                qPrintable(out.absolutePath()));
    return failures == 0 ? 0 : 1;
}
