#pragma once
// The program-wide state: one struct owned by the main window and passed by reference.

#include "core/state/photolist.h"
#include "core/state/slots.h"

#include <QRect>
#include <QString>
#include <array>
#include <cstdint>

namespace kps {

// A colour as stored in the settings: 0x00BBGGRR; a top byte of 0xFF names a system colour.
using Colour = std::uint32_t;
inline constexpr Colour kButtonFace = 0xFF00000F; // the system button-face colour

// The state of a folder panel, which decides its display colour.
enum class PanelState { Normal, Hover, Selected, DropTarget };

inline constexpr int kStatusFields = 5;

struct AppState {
    QString dir; // folder of the program, ending in the separator; settings.ini lives here

    std::array<QString, kSlotCount> dirs;    // dir0..dir7, dir_trash: slot folders
    std::array<int, kSlotCount> index{};     // dir0index..dir7index, dir_trash_index: cursors
    std::array<PhotoList, kSlotCount> lists; // ListBox1..ListBox9: the slots' photo lists
    std::array<QString, kSlotCount> szoveg;  // szoveg0..szoveg8: display names of the slots
    std::array<int, kMarkedSlots> png{1, 1, 1, 1, 1, 1, 1, 1}; // dir0png..dir7png: colour marks
    std::array<PanelState, kSlotCount> panelState{}; // Panel10..Panel18 states (their colour)
    int indexpanel = 0;                              // the slot being viewed

    Colour szin1 = kButtonFace; // normal panel colour (fixed)
    Colour szin2 = 0xAA55FF;    // drop-target panel colour
    Colour szin3 = 0x707070;    // hover panel colour
    Colour szin4 = 0xB0A0A0;    // selected panel colour

    bool megsemmi = true;      // nothing loaded yet: panels read "--empty--"
    bool pirosmappa = false;   // the source was scanned with its subfolders
    bool tarsfajlok = false;   // drops carry a photo's raw and sidecar files with it
    bool renamekerdes = false; // the last modal dialog was confirmed
    int torol500 = 1;          // running number of the next undo copy

    QString globalnev;   // path the viewer last showed, or the marker "ó"
    bool dError = false; // the last photo load failed

    // Drag of the photo frame.
    QRect eredeti;                               // frame bounds at the press
    bool mozg = false;                           // a drag is in progress
    int rx = 0, ry = 0, rpx = 0, rpy = 0;        // press point and frame corner, viewer coordinates
    int ux = 0, uy = 0, nagyx = 0, nagyy = 0;    // pointer in viewer and window coordinates
    int xtavbal = 0, xtavjobb = 0;               // horizontal shrink distances
    int ytavbal = 0, ytavjobb = 0;               // vertical shrink distances
    int regiPanelWidth = 0, regiPanelHeight = 0; // frame size at the press
    int xhossz = 0, xhosszMax = 0, yhossz = 0, yhosszMax = 0; // distance moved and its limit
    double rataX = 0, rataY = 0, rataW = 0, rataH = 0;        // drag ratios

    QString s1, s2, s3; // working paths: current photo, destination, undo copy

    bool villogo = false; // blink phase of the device search

    // Taught devices 1 and 2, and device 0 being taught in the wizard.
    QString reservedSerial0, reservedName0, reservedIcon0, reservedPath0;
    QString reservedSerial1, reservedName1, reservedIcon1 = QStringLiteral("1"), reservedPath1;
    QString reservedSerial2, reservedName2, reservedIcon2 = QStringLiteral("1"), reservedPath2;

    std::array<QString, kStatusFields> status; // StatusBar1's five fields
};

// The marker in globalnev that makes the viewer lay out the picture it holds again.
inline const QString kRelayoutMarker = QStringLiteral("ó");

} // namespace kps
