#pragma once
// The nine folder slots: 0 the source, 1..7 the target folders, 8 the Trash.

#include <QString>

namespace kps {

inline constexpr int kSlotCount = 9;   // slots 0..8
inline constexpr int kMarkedSlots = 8; // slots 0..7 carry a colour mark
inline constexpr int kSourceSlot = 0;
inline constexpr int kTrashSlot = 8;

// Colour marks of slots 0..7.
inline constexpr int kMarkYellow = 1; // ordinary: a drop moves the photo here
inline constexpr int kMarkBlue = 2;   // collecting: receives a copy of every drop but the Trash's
inline constexpr int kMarkGreen = 3;  // keeping: a drop here copies instead of moving

// Undo copies live in this subfolder of the Trash folder.
inline const QString kUndoFolderName = QStringLiteral("undo_500_deleted_images");

// The text that stands for "no photo".
inline const QString kNoPhoto = QStringLiteral("*");

// The platform's folder separator; folder paths end with it.
#ifdef Q_OS_WIN
inline constexpr QChar kSep = u'\\';
#else
inline constexpr QChar kSep = u'/';
#endif

inline bool validSlot(int a) {
    return a >= 0 && a < kSlotCount;
}

} // namespace kps
