#include "core/sources/devicesearch.h"

#include <gtest/gtest.h>

using namespace kps;

namespace {

using Rows = std::array<QString, kLoadRows>;

// Eleven distinct rows, both devices searching.
Rows distinctRows() {
    Rows rows;
    for (int i = 0; i < kLoadRows; ++i)
        rows[size_t(i)] = QStringLiteral("/home/anna/+m%1/").arg(i);
    rows[1] = rows[2] = kSearchingDevice;
    return rows;
}

std::vector<int> redRows(const ClashCheck& check) {
    std::vector<int> rows;
    for (int i = 0; i < kLoadRows; ++i)
        if (check.red[size_t(i)]) rows.push_back(i + 1);
    return rows;
}

// ---- the clash check ----------------------------------------------------------------------

struct ClashCase {
    const char* name;
    std::vector<std::pair<int, QString>> set; // row (1..11) := text
    bool ok;
    std::vector<int> red;
};

class Loadpanelhibakereso : public ::testing::TestWithParam<ClashCase> {};

TEST_P(Loadpanelhibakereso, PaintsRowsWhosePathsCoincide) {
    Rows rows = distinctRows();
    for (const auto& [row, text] : GetParam().set)
        rows[size_t(row - 1)] = text;
    const ClashCheck check = loadpanelhibakereso(rows);
    EXPECT_EQ(check.ok, GetParam().ok);
    EXPECT_EQ(redRows(check), GetParam().red);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Loadpanelhibakereso,
    ::testing::Values(
        ClashCase{"BothDevicesSearching", {}, true, {}},
        ClashCase{"SourceEqualsTarget", {{1, "/home/anna/+m4/"}}, false, {1, 5}},
        ClashCase{"TwoTargetsEqual", {{6, "/x/"}, {9, "/x/"}}, false, {6, 9}},
        ClashCase{"TrashEqualsLastTarget", {{10, "/t/"}, {11, "/t/"}}, false, {10, 11}},
        ClashCase{"ThreeEqual", {{1, "/x/"}, {4, "/x/"}, {11, "/x/"}}, false, {1, 4, 11}},
        ClashCase{"DeviceRowEqualsSource", {{2, "/home/anna/+m0/"}}, false, {1, 2}},
        ClashCase{"CaseDiffers", {{4, "/home/anna/Photos/"}, {5, "/home/anna/photos/"}}, true, {}},
        ClashCase{"EndingInFullStopNeverClashes", {{4, "/a/b."}, {5, "/a/b."}}, true, {}},
        ClashCase{"EmptyTextsNeverClash", {{4, ""}, {5, ""}, {1, ""}}, true, {}},
        ClashCase{"TrailingBlankCounts", {{4, "/x/"}, {5, "/x/ "}}, true, {}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- copying rows into the slots ----------------------------------------------------------

Rows numbered(const QString& prefix) {
    Rows rows;
    for (int i = 0; i < kLoadRows; ++i)
        rows[size_t(i)] = prefix + QString::number(i + 1);
    return rows;
}

TEST(Beallitasupdate, ChosenRowBecomesTheSourceAndRowsFourToElevenTheTargets) {
    for (int a = 1; a <= 3; ++a) {
        AppState st;
        beallitasupdate(st, a, numbered("name"), numbered("path"));
        EXPECT_EQ(st.szoveg[0], "name" + QString::number(a)) << a;
        EXPECT_EQ(st.dirs[0], "path" + QString::number(a) + "/") << a; // folders end in "/"
        for (int slot = 1; slot < kSlotCount; ++slot) {
            EXPECT_EQ(st.szoveg[size_t(slot)], "name" + QString::number(slot + 3)) << slot;
            EXPECT_EQ(st.dirs[size_t(slot)], "path" + QString::number(slot + 3) + "/") << slot;
        }
    }
}

TEST(Beallitasupdate, OtherRowNumberLeavesTheSourceButCopiesTargets) {
    for (int a : {0, 4, -1}) {
        AppState st;
        st.szoveg[0] = "old name";
        st.dirs[0] = "/old/";
        beallitasupdate(st, a, numbered("name"), numbered("path"));
        EXPECT_EQ(st.szoveg[0], "old name");
        EXPECT_EQ(st.dirs[0], "/old/");
        EXPECT_EQ(st.szoveg[kTrashSlot], "name11");
        EXPECT_EQ(st.dirs[kTrashSlot], "path11/");
    }
}

// ---- one device row ----------------------------------------------------------------------

const std::vector<Volume> kVolumes = {
    {"/", "0000:0001"},
    {"/media/anna/FIRST", "1A2B:3C4D"},
    {"/media/anna/BROKEN", "*"},
    {"/media/anna/SECOND", "1A2B:3C4D"},
    {"/media/anna/ZERO", "0000:0000"},
};

TEST(DeviceRowView, NeverTaughtDeviceKeepsSearchingAndBlinks) {
    for (bool villogo : {true, false}) {
        const DeviceRowView row = deviceRowView(kVolumes, "qqqq:qqqq", ":/", "2", villogo);
        EXPECT_FALSE(row.found);
        EXPECT_FALSE(row.loadable);
        EXPECT_EQ(row.pathText, "Eszköz keresése...");
        EXPECT_EQ(row.grey, villogo);
        EXPECT_EQ(row.icon, 0); // the icon is left as it is
    }
}

TEST(DeviceRowView, FoundAtTheEarlierOfTwoVolumesWithTheSameSerial) {
    const DeviceRowView row = deviceRowView(kVolumes, "1A2B:3C4D", ":/DCIM/", "3", true);
    EXPECT_TRUE(row.found);
    EXPECT_TRUE(row.loadable);
    EXPECT_FALSE(row.grey); // a found device's path never blinks
    EXPECT_EQ(row.pathText, "/media/anna/FIRST/DCIM/");
    EXPECT_EQ(row.icon, 3);
}

TEST(DeviceRowView, RootPathAndSerialZero) {
    EXPECT_EQ(deviceRowView(kVolumes, "0000:0000", ":/", "1", false).pathText, "/media/anna/ZERO/");
    EXPECT_EQ(deviceRowView(kVolumes, "0000:0001", ":/", "1", false).pathText, "/");
}

TEST(DeviceRowView, LowerCaseOrUnreadableSerialNeverMatches) {
    EXPECT_FALSE(deviceRowView(kVolumes, "1a2b:3c4d", ":/", "1", false).found);
    EXPECT_FALSE(deviceRowView(kVolumes, "*", ":/", "1", false).found);
    EXPECT_FALSE(deviceRowView(kVolumes, "", ":/", "1", false).found);
}

TEST(DeviceRowView, IconTextsOutsideOneToThreeLeaveTheIcon) {
    const std::pair<const char*, int> cases[] = {{"1", 1}, {"2", 2}, {"3", 3}, {"4", 0},
                                                 {"0", 0}, {"", 0},  {" 1", 0}};
    for (const auto& [icon, number] : cases)
        EXPECT_EQ(deviceRowView(kVolumes, "1A2B:3C4D", ":/", icon, false).icon, number) << icon;
}

// ---- a whole tick ------------------------------------------------------------------------

TEST(DeviceSearchTick, BlinkPhaseTogglesEveryTick) {
    AppState st;
    st.reservedSerial1 = st.reservedSerial2 = "qqqq:qqqq";
    const auto first = deviceSearchTick(st, kVolumes, distinctRows());
    EXPECT_TRUE(st.villogo);
    EXPECT_TRUE(first.devices[0].grey);
    const auto second = deviceSearchTick(st, kVolumes, distinctRows());
    EXPECT_FALSE(st.villogo);
    EXPECT_FALSE(second.devices[1].grey);
}

TEST(DeviceSearchTick, BothDevicesWithTheSameSerialShowTheSameVolume) {
    AppState st;
    st.reservedSerial1 = st.reservedSerial2 = "1A2B:3C4D";
    st.reservedPath1 = st.reservedPath2 = ":/";
    const auto tick = deviceSearchTick(st, kVolumes, distinctRows());
    EXPECT_EQ(tick.devices[0].pathText, "/media/anna/FIRST/");
    EXPECT_EQ(tick.devices[1].pathText, "/media/anna/FIRST/");
    // Equal device paths are a clash like any other; row 1 is then unavailable.
    EXPECT_FALSE(tick.clash.ok);
    EXPECT_EQ(redRows(tick.clash), (std::vector<int>{2, 3}));
}

TEST(DeviceSearchTick, DeviceAtRowOnesPathMakesRowOneUnavailableButStaysLoadable) {
    AppState st;
    st.reservedSerial1 = "0000:0000";
    st.reservedPath1 = ":/DCIM/";
    st.reservedSerial2 = "qqqq:qqqq";
    Rows rows = distinctRows();
    rows[0] = "/media/anna/ZERO/DCIM/";
    const auto tick = deviceSearchTick(st, kVolumes, rows);
    EXPECT_TRUE(tick.devices[0].loadable);
    EXPECT_FALSE(tick.clash.ok);
    EXPECT_EQ(redRows(tick.clash), (std::vector<int>{1, 2}));
}

TEST(DeviceSearchTick, ClashCheckUsesTheNewTextsOfTheDeviceRows) {
    AppState st;
    st.reservedSerial1 = st.reservedSerial2 = "qqqq:qqqq";
    Rows rows = distinctRows();
    rows[1] = rows[2] = "/media/anna/FIRST/"; // what the last tick showed; both are gone now
    const auto tick = deviceSearchTick(st, kVolumes, rows);
    EXPECT_TRUE(tick.clash.ok);
    EXPECT_EQ(tick.devices[0].pathText, kSearchingDevice);
}

} // namespace
