#pragma once
// The device-teaching wizard's logic: the new device is the first volume whose serial was not
// there while the device was detached.

#include "core/sources/volumes.h"
#include "core/state/state.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace kps {

// The before-and-after comparison of the wizard's two steps.
class WizardScan {
  public:
    enum class Change {
        None,  // the step-2 fields stay as they are
        Found, // fill the fields from serial() and rootPath(), enable them and "Kész"
        Lost,  // empty and disable the fields
    };

    // Step 1 ("Tovább"): notes the serials of every volume present now, device detached.
    void step1(const std::vector<Volume>& vols);
    // One tick of step 2: the first volume with a serial not noted at step 1 is the device.
    Change tick(const std::vector<Volume>& vols);

    QString serial() const { return form4szeriaszam_; }   // the device's serial, or empty
    QString mountPoint() const { return form4meghajto_; } // its mount point, or empty
    QString rootPath() const; // the device's root folder for the path field, or empty
    bool voltvolt() const { return voltvolt_; }             // the fields show a found device
    const QStringList& before() const { return listBox1_; } // serials noted at step 1

  private:
    QStringList listBox1_;
    bool voltvolt_ = false;
    bool firstTick_ = false; // the fields may still hold a cancelled use's device
    QString form4szeriaszam_;
    QString form4meghajto_;
};

// The path field after the folder picker: the chosen folder, or the current text when the
// picker was cancelled (empty `chosen`), ending in the separator; an empty text stays empty.
QString pickedPathField(const QString& current, const QString& chosen);

// What the step-2 fields hold when "Kész" is pressed.
struct WizardFields {
    QString serial; // LabeledEdit1
    QString name;   // LabeledEdit2
    QString path;   // LabeledEdit3
    int icon = 1;   // the checked radio button, 1..3
};

// "Kész": fills the result record (reservedSerial0, reservedName0, reservedPath0,
// reservedIcon0) and marks the wizard confirmed. The path is stored relative to the found
// device's mount point.
void wizardConfirm(AppState& st, const WizardFields& fields, const QString& mountPoint);

// After a confirmed wizard: taught device 1 or 2 takes the result record (serial, icon, path).
// Any other number changes nothing.
void takeTaughtDevice(AppState& st, int device);

} // namespace kps
