#pragma once
// settings.ini: every key with its default, read at start and written at close.

#include "core/state/state.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <optional>
#include <string>
#include <vector>

namespace kps {

// The settings file's name inside the program's folder.
inline const QString kSettingsFileName = QStringLiteral("settings.ini");

// The values of settings.ini's 46 keys.
struct Settings {
    // [ablak]
    std::optional<int> left, top; // empty: the platform's placement of a new window
    int width = 866;
    int height = 581;
    bool maximized = false; // closed maximised: comes back maximised over that rectangle
    // [panel]
    std::array<QString, kSlotCount> panel;                            // panel1..panel9: slot names
    std::array<int, kMarkedSlots> panelmappa{1, 1, 1, 1, 1, 1, 1, 1}; // panelmappa1..8: marks
    Colour panelszin2 = 0xAA55FF;                                     // drop-target colour
    Colour panelszin3 = 0x707070;                                     // hover colour
    Colour panelszin4 = 0xB0A0A0;                                     // selected colour
    int torol500 = 1;                                                 // next undo number
    // [kezdo]
    std::array<QString, kSlotCount> path; // path0..path8: slot folders
    bool kurzor = false;                  // animated cursor over the photo
    bool pirosmappa = false;              // scan the source with its subfolders
    bool tarsfajlok = false; // a photo's raw and sidecar files go wherever the photo goes
    QString reservedSerial1, reservedIcon1, reservedPath1; // taught device 1
    QString reservedSerial2, reservedIcon2, reservedPath2; // taught device 2
    QString panel1b;                                       // name of device 1
    QString panel1c;                                       // name of device 2

    bool operator==(const Settings&) const = default;
};

// Defaults for a first start; folders go under `home` ("+mappa0" .. "+mappa7", "+trash").
Settings defaultSettings(const QString& home);

// A settings file is a few kilobytes; beyond this only the whole lines within it are read.
inline constexpr qsizetype kSettingsReadLimit = 1 << 20;

// Reads the file over the given defaults; a missing file or key, or an unreadable number,
// keeps the default. Folder paths come back ending in the separator.
Settings readSettings(const QString& file, const Settings& defaults);

// Writes every key, keeping an existing file's order and its unknown keys; the file is
// replaced atomically. Returns false when it could not be written.
bool writeSettings(const QString& file, const Settings& values);

// The same on a file's content. Damage a power loss or a hand edit leaves (NUL bytes, a section
// line without its "]", lone CR line ends) is read past, so every entry that can still be read
// is kept, and what composeSettings writes reads back to the same values.
Settings parseSettings(const QByteArray& content, const Settings& defaults);
std::optional<QByteArray> composeSettings(const QByteArray& oldContent, const Settings& values);

// One entry as the reader sees it; where a key repeats in a section, the first one.
struct IniEntry {
    std::string section, key, value;
    bool operator==(const IniEntry&) const = default;
};
std::vector<IniEntry> iniEntries(const QByteArray& content);

} // namespace kps
