#pragma once
// Form4: teaches the program a camera or an SD card by its volume serial number.

#include <QDialog>

namespace kps {

class DeviceWizard : public QDialog {
    Q_OBJECT
  public:
    explicit DeviceWizard(QWidget* parent = nullptr);
};

} // namespace kps
