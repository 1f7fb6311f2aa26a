#pragma once
// The embedded pictures, loaded once at start and shared until exit.

#include <QImage>
#include <QPixmap>
#include <array>

namespace kps {

struct Artwork {
    std::array<QImage, 11> png; // png0 trash can, png1..png9 folders by colour and turn, png10 red
    std::array<QImage, 4> rpng; // rpng1 "usb", rpng2 "photography", rpng3 "sdcard"; rpng0 scratch
    std::array<QPixmap, 3> bmp; // bmp1..bmp3: red, green and grey load-button glyphs
    std::array<QPixmap, 2> cursorFrames; // the two frames of the animated cursor "cur1"
    QPixmap title, info, folderGrey, folderSilver, folderRedSmall; // menu page pictures
};

// Creates the colour-mark pictures and the empty device-icon pictures.
void LoadPng(Artwork& art);

// Loads the glyphs, the cursor frames, the device icons and the menu pictures.
void loadMenuArtwork(Artwork& art);

// Picture of a folder mark: orientation 1 upright, 2 anticlockwise, 3 clockwise; colour mark
// 1..3. Null for any other argument.
const QImage* pngmappa(const Artwork& art, int mappa123, int index123);

// The device icon of an icon number "1".."3", or null for any other text.
const QImage* deviceIcon(const Artwork& art, const QString& icon);

} // namespace kps
