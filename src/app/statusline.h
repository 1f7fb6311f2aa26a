#pragma once
// StatusBar1: the five status fields, a warning beside them for a while, and the file work
// still to do.

#include "core/state/state.h"

#include <QStatusBar>

class QLabel;
class QTimer;

namespace kps {

class ElidedLabel;
class StatusMessage;

class StatusLine : public QStatusBar {
    Q_OBJECT
  public:
    explicit StatusLine(QWidget* parent);
    void setFields(const std::array<QString, kStatusFields>& texts);
    void warn(const QString& text); // shows beside the fields for a while; empty clears it
    void setPending(const QString& text);
    QString pending() const;

  private:
    std::array<ElidedLabel*, kStatusFields> fields_{};
    StatusMessage* message_ = nullptr;
    QLabel* pending_ = nullptr;
    QTimer* messageTimer_ = nullptr; // takes the warning away
};

} // namespace kps
