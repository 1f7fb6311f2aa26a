#pragma once
// Form4: teaches the program a camera or an SD card by its volume serial number. The user
// detaches the device, presses "Tovább", attaches it again; the first volume that was not
// there before is the device. Then the user names it, picks its photo folder and an icon.

#include "core/sources/wizardlogic.h"
#include "dialogs/pickers.h"

#include <QDialog>
#include <array>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTimer;

namespace kps {

struct Artwork;
class VolumeSource;

class DeviceWizard : public QDialog {
    Q_OBJECT
  public:
    // `st` receives the result record (reservedSerial0, reservedName0, reservedPath0,
    // reservedIcon0) and `renamekerdes`, true once the user confirmed with "Kész". The icons
    // come from `art`, which must already hold the device pictures.
    DeviceWizard(AppState& st, VolumeSource& volumes, FolderPicker pickFolder, const Artwork& art,
                 QWidget* parent = nullptr);

    // The name field, preset by the menu row that opens the wizard.
    void setDeviceName(const QString& name);

    void Button1Click(); // "Tovább": notes the volumes present now and waits for a new one
    void Timer1Timer();  // looks for a volume that was not there at step 1
    void Button5Click(); // "...": picks the photo folder on the device
    void Button3Click(); // "Kész": fills the result record and closes
    void Button2Click(); // either "Mégse": closes without storing anything

    // Escape and the window system's close request count as "Mégse".
    void reject() override;

  private:
    void showFound(bool found);              // fills or clears the step-2 fields
    void backToStepOne(bool clearFields);    // the state of a first opening
    void finish(QDialog::DialogCode result); // stops the search and closes
    int checkedIcon() const;                 // 1..3 from the radio buttons

    AppState& st_;
    VolumeSource& volumes_;
    FolderPicker pickFolder_;
    WizardScan scan_; // ListBox1, voltvolt, form4szeriaszam and form4meghajto

    QLabel* label1_ = nullptr;                    // "1. Lépés"
    QLabel* label2_ = nullptr;                    // step 1's instruction
    QLabel* label3_ = nullptr;                    // "2. Lépés"
    QLabel* label4_ = nullptr;                    // step 2's instruction
    QPushButton* button1_ = nullptr;              // "Tovább"
    QPushButton* button2_ = nullptr;              // step 1's "Mégse"
    QPushButton* button3_ = nullptr;              // "Kész"
    QPushButton* button4_ = nullptr;              // step 2's "Mégse"
    std::array<QLineEdit*, 3> labeledEdits_{};    // LabeledEdit1..3: serial, name, path
    std::array<QLabel*, 3> images_{};             // Image1..Image3: the three device icons
    std::array<QRadioButton*, 3> radioButtons_{}; // RadioButton1..3: the icon choice
    QTimer* timer1_ = nullptr;                    // Timer1: 300 ms search in step 2
};

} // namespace kps
