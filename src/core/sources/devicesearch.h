#pragma once
// The menu's source rows: finding the taught devices once a tick, the check for rows whose
// paths coincide, and the copy of the rows into the folder slots.

#include "core/sources/volumes.h"
#include "core/state/state.h"

#include <QString>
#include <array>
#include <vector>

namespace kps {

inline constexpr int kLoadRows = 11;  // LoadPanel1..LoadPanel11; index 0 is row 1
inline constexpr int kDeviceRows = 2; // rows 2 and 3: taught devices 1 and 2

// What a device row shows while its device is absent ("searching for device").
inline const QString kSearchingDevice = QStringLiteral("Eszköz keresése...");

// Rows whose path texts coincide; `red` is indexed by row - 1.
struct ClashCheck {
    bool ok = true; // no two rows clash: row 1 may load
    std::array<bool, kLoadRows> red{};
};

// Compares every pair of the eleven rows' path texts exactly; a text ending in "." (the
// searching text) and an empty text name no folder and never clash.
ClashCheck loadpanelhibakereso(const std::array<QString, kLoadRows>& pathTexts);

// Copies the rows' names and paths into the nine slots, with row `a` (1..3) as the source;
// any other `a` leaves the source slot as it is.
void beallitasupdate(AppState& st, int a, const std::array<QString, kLoadRows>& names,
                     const std::array<QString, kLoadRows>& paths);

// How one device row looks after a tick.
struct DeviceRowView {
    bool found = false;
    QString pathText; // the device's folder, or the searching text
    int icon = 0;     // 1..3: show that icon; 0: leave the icon as it is
    bool loadable = false;
    bool grey = false; // the searching text's blink phase
};

// Finds the device taught with `serial` among the volumes and says how its row looks.
DeviceRowView deviceRowView(const std::vector<Volume>& vols, const QString& serial,
                            const QString& storedPath, const QString& icon, bool villogo);

// Everything one tick of the device search decides.
struct DeviceSearchTick {
    std::array<DeviceRowView, kDeviceRows> devices; // rows 2 and 3
    ClashCheck clash;                               // row 1 is loadable when clash.ok
};

// One device-search tick: toggles the blink phase, finds both taught devices, then checks the
// rows' paths with the device rows' new texts in place of `pathTexts[1]` and `[2]`.
DeviceSearchTick deviceSearchTick(AppState& st, const std::vector<Volume>& vols,
                                  std::array<QString, kLoadRows> pathTexts);

} // namespace kps
