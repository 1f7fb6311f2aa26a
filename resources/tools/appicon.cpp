#include "appicon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QTransform>

namespace artwork {
namespace {

constexpr qreal kDesign = 256;

QColor rgb(int r, int g, int b, int a = 255) {
    return QColor(r, g, b, a);
}

Fill plain(const QColor& colour) {
    return {colour, {}, {}, {}};
}

Fill vertical(qreal top, qreal bottom, const QColor& from, const QColor& to) {
    return {{}, {0, top}, {0, bottom}, {{0, from}, {1, to}}};
}

QPainterPath polygon(const QPolygonF& points) {
    QPainterPath path;
    path.addPolygon(points);
    path.closeSubpath();
    return path;
}

QPainterPath roundedRect(const QRectF& rect, qreal radius) {
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    return path;
}

Shape mapped(Shape shape, const QTransform& t) {
    shape.path = t.map(shape.path);
    shape.fill.from = t.map(shape.fill.from);
    shape.fill.to = t.map(shape.fill.to);
    return shape;
}

// A photo print with a white border and a landscape, as on the menu's title picture, centred on
// `centre` and turned by `angle` degrees.
void addPrint(Scene& scene, const QPointF& centre, qreal angle, const QColor& frame) {
    QTransform t;
    t.translate(centre.x(), centre.y());
    t.rotate(angle);
    const QRectF print(-60, -44, 120, 88);
    const QRectF view = print.adjusted(10, 10, -10, -10);
    QPainterPath hills;
    hills.moveTo(view.bottomLeft());
    hills.lineTo(view.left(), view.bottom() - 22);
    hills.quadTo(view.left() + 32, view.bottom() - 50, view.center().x() + 6, view.bottom() - 24);
    hills.quadTo(view.right() - 16, view.bottom() - 8, view.right(), view.bottom() - 19);
    hills.lineTo(view.bottomRight());
    hills.closeSubpath();
    QPainterPath sun;
    sun.addEllipse(QPointF(view.right() - 20, view.top() + 17), 9, 9);

    const Shape parts[] = {
        {roundedRect(print.translated(4, 6), 5), plain(rgb(0, 0, 0, 80)), {}, 0},
        {roundedRect(print, 5), plain(rgb(250, 250, 246)), frame, 4},
        {roundedRect(view, 1),
         vertical(view.top(), view.bottom(), rgb(110, 170, 235), rgb(200, 226, 250)),
         {},
         0},
        {sun, plain(rgb(255, 214, 80)), {}, 0},
        {hills, plain(rgb(72, 150, 60)), {}, 0},
    };
    for (const Shape& part : parts)
        scene.push_back(mapped(part, t));
}

QString number(qreal v) {
    return QString::number(qRound(v * 100) / 100.0);
}

QString colourText(const QColor& c) {
    return c.name(QColor::HexRgb);
}

// Path data; a subpath that ends where it began is closed, so its outline joins there too.
QString pathData(const QPainterPath& path) {
    QString d;
    QPointF start;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        const QPointF p(e.x, e.y);
        if (e.isMoveTo()) {
            d += QStringLiteral("M%1 %2").arg(number(p.x()), number(p.y()));
            start = p;
        } else if (e.isLineTo()) {
            d += QStringLiteral("L%1 %2").arg(number(p.x()), number(p.y()));
        } else if (e.isCurveTo()) {
            const QPainterPath::Element c2 = path.elementAt(i + 1);
            const QPainterPath::Element end = path.elementAt(i + 2);
            d += QStringLiteral("C%1 %2 %3 %4 %5 %6")
                     .arg(number(p.x()), number(p.y()), number(c2.x), number(c2.y), number(end.x),
                          number(end.y));
            i += 2;
        }
        const bool subpathEnds = i + 1 >= path.elementCount() || path.elementAt(i + 1).isMoveTo();
        const QPainterPath::Element last = path.elementAt(i);
        if (subpathEnds && QPointF(last.x, last.y) == start) d += QLatin1Char('Z');
    }
    return d;
}

} // namespace

Scene appIcon(bool small) {
    const QColor light = rgb(255, 222, 70);
    const QColor main = rgb(253, 192, 0);
    const QColor back = main.darker(118);
    const QColor edge = main.darker(185);
    Scene scene;

    // The folder's back sheet with its tab at the top left.
    scene.push_back({polygon({{18, 232}, {18, 40}, {98, 40}, {114, 56}, {238, 56}, {238, 232}}),
                     plain(back), edge, 8});

    // Prints standing in the folder, framed in the colours of the folder marks.
    if (small) {
        addPrint(scene, {128, 90}, -4, rgb(49, 88, 168));
    } else {
        addPrint(scene, {94, 102}, -16, rgb(49, 88, 168));
        addPrint(scene, {162, 100}, 14, rgb(97, 193, 43));
        addPrint(scene, {128, 86}, 0, rgb(60, 64, 72));
    }

    // The front flap, with a glint along its upper edge.
    scene.push_back(
        {roundedRect(QRectF(18, 132, 220, 100), 4), vertical(132, 232, light, main), edge, 8});
    QColor glint = light.lighter(135);
    glint.setAlpha(200);
    scene.push_back({roundedRect(QRectF(24, 138, 208, 6), 3), plain(glint), {}, 0});
    return scene;
}

QImage renderScene(const Scene& scene, int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal scale = size / kDesign;
    QTransform t;
    t.scale(scale, scale);
    for (const Shape& shape : scene) {
        const QPainterPath path = t.map(shape.path);
        if (shape.fill.stops.isEmpty()) {
            p.fillPath(path, shape.fill.colour);
        } else {
            QLinearGradient gradient(t.map(shape.fill.from), t.map(shape.fill.to));
            gradient.setStops(shape.fill.stops);
            p.fillPath(path, gradient);
        }
        if (shape.edgeWidth > 0) {
            const qreal width = std::max<qreal>(1.0, shape.edgeWidth * scale);
            p.strokePath(path, QPen(shape.edge, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        }
    }
    p.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

QString sceneToSvg(const Scene& scene) {
    QString defs;
    QString body;
    int gradients = 0;
    for (const Shape& shape : scene) {
        QString fill;
        if (shape.fill.stops.isEmpty()) {
            fill = QStringLiteral("fill=\"%1\"").arg(colourText(shape.fill.colour));
            if (shape.fill.colour.alpha() < 255)
                fill +=
                    QStringLiteral(" fill-opacity=\"%1\"").arg(number(shape.fill.colour.alphaF()));
        } else {
            const QString id = QStringLiteral("g%1").arg(gradients++);
            defs += QStringLiteral("    <linearGradient id=\"%1\" gradientUnits=\"userSpaceOnUse\" "
                                   "x1=\"%2\" y1=\"%3\" x2=\"%4\" y2=\"%5\">\n")
                        .arg(id, number(shape.fill.from.x()), number(shape.fill.from.y()),
                             number(shape.fill.to.x()), number(shape.fill.to.y()));
            for (const QGradientStop& stop : shape.fill.stops)
                defs += QStringLiteral("      <stop offset=\"%1\" stop-color=\"%2\"/>\n")
                            .arg(number(stop.first), colourText(stop.second));
            defs += QStringLiteral("    </linearGradient>\n");
            fill = QStringLiteral("fill=\"url(#%1)\"").arg(id);
        }
        QString stroke;
        if (shape.edgeWidth > 0)
            stroke = QStringLiteral(" stroke=\"%1\" stroke-width=\"%2\" stroke-linejoin=\"round\"")
                         .arg(colourText(shape.edge), number(shape.edgeWidth));
        body += QStringLiteral("  <path %1%2 fill-rule=\"evenodd\" d=\"%3\"/>\n")
                    .arg(fill, stroke, pathData(shape.path));
    }
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                          "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" "
                          "viewBox=\"0 0 256 256\">\n"
                          "  <defs>\n%1  </defs>\n%2</svg>\n")
        .arg(defs, body);
}

} // namespace artwork
