#pragma once
// Panel20: the menu page over the viewer, with its eleven rows, colours and options.

#include "core/sources/devicesearch.h"

#include <QString>
#include <array>

class QCheckBox;
class QColor;
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QScrollArea;
class QToolButton;
class QWidget;

namespace kps {

struct Artwork;

inline constexpr int kMenuRows = kLoadRows; // LoadPanel1..LoadPanel11
inline constexpr int kSourceRows = 3;       // rows 1..3 load a source

// Texts the menu shows verbatim.
inline const QString kSubfolderOption = QStringLiteral("almappákban is képet keres ");
inline const QString kBlinkCursorOption = QStringLiteral("Villogó kurzor a képen");
inline const QString kCompanionOption = QStringLiteral("RAW és XMP társfájlokkal együtt");

// Index 0 of each array is row 1.
struct MenuPage {
    QFrame* panel20 = nullptr;                        // the page itself
    QScrollArea* scrollBox1 = nullptr;                // ScrollBox1: its scrolling area
    std::array<QFrame*, kMenuRows> loadPanels{};      // LoadPanel1..LoadPanel11
    std::array<QLabel*, kMenuRows> icons{};           // row icons (Image3, Image2, Image21, ...)
    std::array<QLineEdit*, kMenuRows> mapi{};         // Mapi1..Mapi11: name edits
    std::array<QLabel*, kMenuRows> paths{};           // path1..path11: path labels
    std::array<QPushButton*, kMenuRows> selbuttons{}; // selbutton1..selbutton11: "..."
    std::array<QToolButton*, kSourceRows> speedButtons{}; // SpeedButton1..SpeedButton3: load
    std::array<QPushButton*, 3> buttonColors{};           // ButtonColor2..ButtonColor4
    QCheckBox* checkBox1 = nullptr;                       // subfolder search
    QCheckBox* checkBox2 = nullptr;                       // animated cursor over the photo
    QCheckBox* checkBox3 = nullptr;  // raw and sidecar files go with their photo
    QLabel* label1 = nullptr;        // help link
    QLabel* image23 = nullptr;       // title picture
    QLabel* image24 = nullptr;       // red folder beside CheckBox1
    QLabel* image25 = nullptr;       // information icon beside the link
    QPlainTextEdit* memo1 = nullptr; // about memo: the maker's contact
};

// Shows a colour button's colour as its swatch and remembers it in the property "colour".
void paintSwatch(QPushButton* button, const QColor& colour);

// Puts the pictures on the page: title, information icon, red folder, and the row icons (a
// silver folder for row 1, grey folders for rows 4..11; rows 2 and 3 keep their device's icon
// and show the camera and the SD card only when they have none yet).
void showMenuPictures(MenuPage& m, const Artwork& art);

// Paints the rows whose paths clash red, the others silver.
void paintClashRows(MenuPage& m, const ClashCheck& check);

// Builds the page inside `parent` (the viewer area); every widget gets its component name.
MenuPage buildMenuPage(QWidget* parent);

} // namespace kps
