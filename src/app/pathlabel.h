#pragma once
// A menu row's folder label: it shows the path as people read it and keeps the path itself,
// whose name bytes may not be UTF-8 (see core/nativepath.h).

#include <QString>

class QLabel;

namespace kps {

void setPathLabel(QLabel* label, const QString& path);

// The path the label holds; a text set on the label directly stands for itself.
QString pathOfLabel(const QLabel* label);

} // namespace kps
