// The volume list on Windows: the drive letters A: to Z: themselves.

#include "core/sources/volumes.h"

#ifdef Q_OS_WIN

#include <windows.h>

namespace kps {

std::vector<Volume> DriveLetterVolumes::volumes() {
    std::vector<Volume> vols;
    for (int letter = 0; letter < kDriveLetters; ++letter) {
        const QString drive = QString(QChar(u'A' + letter)) + u':';
        const std::wstring root = (drive + u'\\').toStdWString();
        DWORD serial = 0;
        // Only the serial is asked for; an empty reader or a missing drive fails quietly.
        const bool ok =
            GetVolumeInformationW(root.c_str(), nullptr, 0, &serial, nullptr, nullptr, nullptr, 0);
        vols.push_back({drive, ok ? serialText(quint32(serial)) : kNoSerial});
    }
    return vols;
}

std::unique_ptr<VolumeSource> systemVolumes() {
    return std::make_unique<DriveLetterVolumes>();
}

} // namespace kps

#endif
