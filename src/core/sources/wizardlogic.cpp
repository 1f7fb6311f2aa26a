#include "core/sources/wizardlogic.h"

#include "core/settings/folderpath.h"
#include "core/state/slots.h"

#include <QDir>
#include <utility>

namespace kps {

void WizardScan::step1(const std::vector<Volume>& vols) {
    listBox1_.clear();
    for (int letter = 0; letter < kDriveLetters; ++letter) {
        const QString serial = szeriaszam(vols, letter);
        if (serial != kNoSerial) listBox1_.append(serial);
    }
    voltvolt_ = true;
    firstTick_ = true;
}

WizardScan::Change WizardScan::tick(const std::vector<Volume>& vols) {
    std::optional<int> found;
    for (int letter = 0; letter < kDriveLetters && !found; ++letter) {
        const QString serial = szeriaszam(vols, letter);
        if (serial != kNoSerial && !listBox1_.contains(serial)) found = letter;
    }
    // The first tick after step 1 always settles the fields: they may still show a device
    // from a cancelled use, which must not stay on screen as if it were the new one.
    const bool firstTick = std::exchange(firstTick_, false);
    if (found && (!voltvolt_ || firstTick)) {
        form4szeriaszam_ = vols[size_t(*found)].serial;
        form4meghajto_ = vols[size_t(*found)].mountPoint;
        voltvolt_ = true;
        return Change::Found;
    }
    if (!found && voltvolt_) {
        form4szeriaszam_.clear();
        form4meghajto_.clear();
        voltvolt_ = false;
        return Change::Lost;
    }
    // While a new device stays found the fields keep the one found first.
    return Change::None;
}

QString WizardScan::rootPath() const {
    return form4meghajto_.isEmpty() ? QString() : devicePath(form4meghajto_, QStringLiteral(":"));
}

QString pickedPathField(const QString& current, const QString& chosen) {
    return folderPath(QDir::toNativeSeparators(chosen.isEmpty() ? current : chosen));
}

void wizardConfirm(AppState& st, const WizardFields& fields, const QString& mountPoint) {
    st.reservedSerial0 = fields.serial;
    st.reservedName0 = fields.name;
    st.reservedPath0 = storedDevicePath(fields.path, mountPoint);
    st.reservedIcon0 = QString::number(fields.icon >= 1 && fields.icon <= 3 ? fields.icon : 1);
    st.renamekerdes = true;
}

void takeTaughtDevice(AppState& st, int device) {
    if (device == 1) {
        st.reservedSerial1 = st.reservedSerial0;
        st.reservedName1 = st.reservedName0;
        st.reservedIcon1 = st.reservedIcon0;
        st.reservedPath1 = st.reservedPath0;
    } else if (device == 2) {
        st.reservedSerial2 = st.reservedSerial0;
        st.reservedName2 = st.reservedName0;
        st.reservedIcon2 = st.reservedIcon0;
        st.reservedPath2 = st.reservedPath0;
    }
}

} // namespace kps
