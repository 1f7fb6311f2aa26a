#include "core/sources/devicesearch.h"

#include "core/settings/folderpath.h"

namespace kps {

namespace {

// Rows 4..11 hold the seven target folders and the Trash, in slot order.
constexpr int kFirstTargetRow = 3; // index of row 4

bool namesAFolder(const QString& pathText) {
    return !pathText.isEmpty() && !pathText.endsWith(u'.');
}

int iconNumber(const QString& icon) {
    if (icon == u"1") return 1;
    if (icon == u"2") return 2;
    if (icon == u"3") return 3;
    return 0;
}

} // namespace

ClashCheck loadpanelhibakereso(const std::array<QString, kLoadRows>& pathTexts) {
    ClashCheck check;
    for (int i = 0; i < kLoadRows; ++i) {
        if (!namesAFolder(pathTexts[size_t(i)])) continue;
        for (int j = i + 1; j < kLoadRows; ++j) {
            if (pathTexts[size_t(i)] != pathTexts[size_t(j)]) continue;
            check.red[size_t(i)] = check.red[size_t(j)] = true;
            check.ok = false;
        }
    }
    return check;
}

void beallitasupdate(AppState& st, int a, const std::array<QString, kLoadRows>& names,
                     const std::array<QString, kLoadRows>& paths) {
    const bool sourceRow = a >= 1 && a <= 3;
    if (sourceRow) st.szoveg[kSourceSlot] = names[size_t(a - 1)];
    for (int slot = 1; slot < kSlotCount; ++slot)
        st.szoveg[size_t(slot)] = names[size_t(kFirstTargetRow + slot - 1)];
    if (sourceRow) st.dirs[kSourceSlot] = folderPath(paths[size_t(a - 1)]);
    for (int slot = 1; slot < kSlotCount; ++slot)
        st.dirs[size_t(slot)] = folderPath(paths[size_t(kFirstTargetRow + slot - 1)]);
}

DeviceRowView deviceRowView(const std::vector<Volume>& vols, const QString& serial,
                            const QString& storedPath, const QString& icon, bool villogo) {
    DeviceRowView view;
    if (const auto letter = findDevice(vols, serial)) {
        view.found = true;
        view.pathText = devicePath(vols[size_t(*letter)].mountPoint, storedPath);
        view.icon = iconNumber(icon);
        view.loadable = true;
    } else {
        view.pathText = kSearchingDevice;
        view.grey = villogo;
    }
    return view;
}

DeviceSearchTick deviceSearchTick(AppState& st, const std::vector<Volume>& vols,
                                  std::array<QString, kLoadRows> pathTexts) {
    st.villogo = !st.villogo;
    DeviceSearchTick tick;
    tick.devices[0] =
        deviceRowView(vols, st.reservedSerial1, st.reservedPath1, st.reservedIcon1, st.villogo);
    tick.devices[1] =
        deviceRowView(vols, st.reservedSerial2, st.reservedPath2, st.reservedIcon2, st.villogo);
    pathTexts[1] = tick.devices[0].pathText;
    pathTexts[2] = tick.devices[1].pathText;
    tick.clash = loadpanelhibakereso(pathTexts);
    return tick;
}

} // namespace kps
