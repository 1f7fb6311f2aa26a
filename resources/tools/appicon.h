#pragma once
// The program's icon as a small vector scene: painted into the PNGs of the icon theme's sizes
// and written out as the scalable SVG, so both come from one drawing.

#include <QColor>
#include <QGradientStops>
#include <QImage>
#include <QPainterPath>
#include <QString>
#include <vector>

namespace artwork {

struct Fill {
    QColor colour;        // a plain fill, when stops is empty
    QPointF from, to;     // a linear gradient along this line ...
    QGradientStops stops; // ... through these colours
};

struct Shape {
    QPainterPath path; // in the 256 x 256 design square
    Fill fill;
    QColor edge; // outline colour, when edgeWidth > 0
    qreal edgeWidth = 0;
};

using Scene = std::vector<Shape>;

// The icon: a yellow folder with photo prints standing in it. The small variant, for 16 to 24
// pixels, holds one print, since three would only blur.
Scene appIcon(bool small);

// Paints the scene into a size x size picture; outlines never get thinner than one pixel.
QImage renderScene(const Scene& scene, int size);

// The scene as an SVG document of the design square's size.
QString sceneToSvg(const Scene& scene);

} // namespace artwork
