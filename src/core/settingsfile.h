#pragma once
// settings.ini: every key with its default, read at start and written at close.

#include "core/state.h"

#include <QString>
#include <array>
#include <optional>

namespace kps {

// The settings file's name inside the program's folder.
inline const QString kSettingsFileName = QStringLiteral("settings.ini");

// The values of settings.ini's 44 keys.
struct Settings {
    // [ablak]
    std::optional<int> left, top; // empty: the platform's placement of a new window
    int width = 866;
    int height = 581;
    // [panel]
    std::array<QString, kSlotCount> panel;                            // panel1..panel9: slot names
    std::array<int, kMarkedSlots> panelmappa{1, 1, 1, 1, 1, 1, 1, 1}; // panelmappa1..8: marks
    Colour panelszin2 = 0xAA55FF;                                     // drop-target colour
    Colour panelszin3 = 0x707070;                                     // hover colour
    Colour panelszin4 = 0xB0A0A0;                                     // selected colour
    int torol500 = 1;                                                 // next undo number
    // [kezdo]
    std::array<QString, kSlotCount> path;                  // path0..path8: slot folders
    bool kurzor = false;                                   // animated cursor over the photo
    bool pirosmappa = false;                               // scan the source with its subfolders
    QString reservedSerial1, reservedIcon1, reservedPath1; // taught device 1
    QString reservedSerial2, reservedIcon2, reservedPath2; // taught device 2
    QString panel1b;                                       // name of device 1
    QString panel1c;                                       // name of device 2

    bool operator==(const Settings&) const = default;
};

// Defaults for a first start; folders go under `home` ("+mappa0" .. "+mappa7", "+trash").
Settings defaultSettings(const QString& home);

// Reads the file over the given defaults; a missing file or key, or an unreadable number,
// keeps the default.
Settings readSettings(const QString& file, const Settings& defaults);

// Writes every key, keeping an existing file's order and its unknown keys; the file is
// replaced atomically. Returns false when it could not be written.
bool writeSettings(const QString& file, const Settings& values);

} // namespace kps
