#include "core/sources/wizardlogic.h"

#include <gtest/gtest.h>

using namespace kps;

namespace {

using Change = WizardScan::Change;

const Volume kRoot{"/", "0000:0001"};
const Volume kHome{"/home", "0000:0002"};
const Volume kBroken{"/media/anna/BROKEN", "*"};
const Volume kCamera{"/media/anna/CAMERA", "1111:1111"};
const Volume kCard{"/media/anna/CARD", "2222:2222"};

// A scan whose step 1 saw the fixed disks only.
WizardScan afterStep1() {
    WizardScan scan;
    scan.step1({kRoot, kBroken, kHome});
    return scan;
}

TEST(WizardScan, Step1NotesEveryReadableSerial) {
    const WizardScan scan = afterStep1();
    EXPECT_EQ(scan.before(), QStringList({"0000:0001", "0000:0002"}));
    EXPECT_TRUE(scan.voltvolt());
}

TEST(WizardScan, FirstTickWithoutNewVolumeClearsTheFields) {
    WizardScan scan;
    scan.step1({kRoot});
    EXPECT_EQ(scan.tick({kRoot, kCard}), Change::Found); // an earlier use
    scan.step1({kRoot, kCard});                          // used again with the card still attached
    EXPECT_EQ(scan.tick({kRoot, kCard}), Change::Lost);
    EXPECT_FALSE(scan.voltvolt());
    EXPECT_TRUE(scan.serial().isEmpty());
    EXPECT_TRUE(scan.mountPoint().isEmpty());
    EXPECT_TRUE(scan.rootPath().isEmpty());
    EXPECT_EQ(scan.tick({kRoot, kCard}), Change::None); // waits
}

TEST(WizardScan, VolumePresentAtStep1IsNeverNewWhateverItsPlace) {
    WizardScan scan = afterStep1();
    EXPECT_EQ(scan.tick({kRoot, kHome}), Change::Lost);
    EXPECT_EQ(scan.tick({kHome, kRoot}), Change::None); // reordered, still nothing new
    EXPECT_EQ(scan.tick({{"/mnt/elsewhere", "0000:0002"}}), Change::None);
    EXPECT_EQ(scan.tick({kRoot, kBroken, kBroken}), Change::None); // "*" is never a device
    EXPECT_FALSE(scan.voltvolt());
}

TEST(WizardScan, AttachedDeviceIsFoundWithItsRoot) {
    WizardScan scan = afterStep1();
    EXPECT_EQ(scan.tick({kRoot, kHome}), Change::Lost);
    EXPECT_EQ(scan.tick({kRoot, kCard, kHome}), Change::Found);
    EXPECT_TRUE(scan.voltvolt());
    EXPECT_EQ(scan.serial(), "2222:2222");
    EXPECT_EQ(scan.mountPoint(), "/media/anna/CARD");
    EXPECT_EQ(scan.rootPath(), "/media/anna/CARD/");
    EXPECT_EQ(scan.tick({kRoot, kCard, kHome}), Change::None);
    EXPECT_EQ(scan.serial(), "2222:2222"); // stays while the device stays
}

TEST(WizardScan, NewVolumeAtTheFirstTickIsFoundAtOnce) {
    WizardScan scan = afterStep1();
    EXPECT_EQ(scan.tick({kCard, kRoot}), Change::Found);
    EXPECT_EQ(scan.serial(), "2222:2222");
}

TEST(WizardScan, EarlierOfTwoNewVolumesIsKeptWhileAnyNewVolumeStays) {
    WizardScan scan = afterStep1();
    EXPECT_EQ(scan.tick({kRoot}), Change::Lost);
    EXPECT_EQ(scan.tick({kRoot, kCamera, kCard}), Change::Found);
    EXPECT_EQ(scan.serial(), "1111:1111");
    // Another new volume comes before it: the fields keep the first one.
    const Volume early{"/media/anna/AAA", "3333:3333"};
    EXPECT_EQ(scan.tick({early, kRoot, kCamera, kCard}), Change::None);
    EXPECT_EQ(scan.serial(), "1111:1111");
    // The first one is detached while another new one stays: still nothing changes.
    EXPECT_EQ(scan.tick({kRoot, kCard}), Change::None);
    EXPECT_EQ(scan.mountPoint(), "/media/anna/CAMERA");
    // All new volumes gone: lost.
    EXPECT_EQ(scan.tick({kRoot}), Change::Lost);
    EXPECT_TRUE(scan.serial().isEmpty());
    // Attached again: found again.
    EXPECT_EQ(scan.tick({kRoot, kCard}), Change::Found);
    EXPECT_EQ(scan.serial(), "2222:2222");
}

// ---- the path field ----------------------------------------------------------------------

TEST(PickedPathField, ChosenFolderEndsWithTheSeparator) {
    EXPECT_EQ(pickedPathField("/media/anna/CARD/", "/media/anna/CARD/DCIM"),
              "/media/anna/CARD/DCIM/");
    EXPECT_EQ(pickedPathField("", "/media/anna/CARD/DCIM/"), "/media/anna/CARD/DCIM/");
    EXPECT_EQ(pickedPathField("", "/"), "/");
}

TEST(PickedPathField, CancelledPickerKeepsTheText) {
    EXPECT_EQ(pickedPathField("/media/anna/CARD/", ""), "/media/anna/CARD/");
    EXPECT_EQ(pickedPathField("/typed/by/hand", ""), "/typed/by/hand/");
    EXPECT_EQ(pickedPathField("", ""), ""); // no lone separator in an empty field
}

// ---- "Kész" and the copy into a device row -------------------------------------------------

TEST(WizardConfirm, FillsTheResultRecordWithThePathBelowTheMountPoint) {
    AppState st;
    wizardConfirm(st, {"2222:2222", "Anna's card", "/media/anna/CARD/DCIM/", 3},
                  "/media/anna/CARD");
    EXPECT_TRUE(st.renamekerdes);
    EXPECT_EQ(st.reservedSerial0, "2222:2222");
    EXPECT_EQ(st.reservedName0, "Anna's card");
    EXPECT_EQ(st.reservedPath0, ":/DCIM/");
    EXPECT_EQ(st.reservedIcon0, "3");
}

TEST(WizardConfirm, FolderElsewhereIsKeptWholeAndOddIconIsOne) {
    AppState st;
    wizardConfirm(st, {"2222:2222", "", "/home/anna/Photos/", 7}, "/media/anna/CARD");
    EXPECT_EQ(st.reservedPath0, ":/home/anna/Photos/");
    EXPECT_EQ(st.reservedIcon0, "1");
    EXPECT_EQ(st.reservedName0, ""); // an empty name is taken as it is
}

TEST(TakeTaughtDevice, OnlyTheChosenDeviceChanges) {
    for (int device : {1, 2}) {
        AppState st;
        st.reservedSerial0 = "2222:2222";
        st.reservedName0 = "card";
        st.reservedIcon0 = "3";
        st.reservedPath0 = ":/DCIM/";
        takeTaughtDevice(st, device);
        const bool one = device == 1;
        EXPECT_EQ(st.reservedSerial1, one ? "2222:2222" : "");
        EXPECT_EQ(st.reservedSerial2, one ? "" : "2222:2222");
        EXPECT_EQ(one ? st.reservedIcon1 : st.reservedIcon2, "3");
        EXPECT_EQ(one ? st.reservedIcon2 : st.reservedIcon1, "1");
        EXPECT_EQ(one ? st.reservedPath1 : st.reservedPath2, ":/DCIM/");
        EXPECT_EQ(one ? st.reservedName1 : st.reservedName2, "card");
    }
}

TEST(TakeTaughtDevice, OtherNumbersChangeNothing) {
    for (int device : {0, 3, -1}) {
        AppState st;
        st.reservedSerial0 = "2222:2222";
        takeTaughtDevice(st, device);
        EXPECT_TRUE(st.reservedSerial1.isEmpty());
        EXPECT_TRUE(st.reservedSerial2.isEmpty());
    }
}

} // namespace
