#pragma once
// The platform's modal pickers, replaceable so tests can answer them.

#include <QColor>
#include <QString>
#include <functional>

class QWidget;

namespace kps {

// Asks for a folder under `root` starting at `start`; empty when cancelled.
using FolderPicker = std::function<QString(QWidget* parent, const QString& title,
                                           const QString& start, const QString& root)>;
// Asks for a colour; invalid when cancelled.
using ColourPicker = std::function<QColor(QWidget* parent, const QColor& initial)>;

} // namespace kps
