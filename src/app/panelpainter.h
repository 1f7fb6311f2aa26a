#pragma once
// Draws one folder panel: its state colour, its text (turned for the side columns) and icon.

#include "core/state/state.h"

#include <QColor>
#include <QImage>
#include <QString>

class QPainter;

namespace kps {

class PanelPicture;

// The display colour of a panel state; `alap` forces the normal colour.
Colour panelColour(const AppState& st, PanelState state, bool alap);

// A panel's text while its folder is being scanned: its name and the photos found so far.
QString scanningText(const QString& szoveg, int found);

// Draws a panel of the given size into its picture; "--empty--" replaces the text while
// nothing is loaded. Angles other than 0, 90 and 270 draw nothing.
void kepszinez(PanelPicture& kep, QSize panel, const QColor& colour, bool megsemmi,
               const QString& szoveg, int szog, const QImage* pngg);

// Draws the text turned by `angle` degrees anticlockwise and the icon beside it, placed
// relative to the anchor (x, y).
void AngleTextOut(QPainter& canvas, int angle, int x, int y, const QString& text,
                  const QImage* pnga);

} // namespace kps
