#pragma once
// Mounted volumes and their serial numbers: how a camera or an SD card is recognised
// whatever drive letter or mount point it gets today.
//
// The volumes form an ordered list of at most 26; a volume's position in it is its drive
// letter (0 = A). On Windows that is literally the drive letters; elsewhere the mounted
// block devices in mount-point order, each with a serial derived from its file system UUID
// so that a card shows the same serial text on both systems.

#include <QString>
#include <QtGlobal>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace kps {

inline constexpr int kDriveLetters = 26; // A..Z

// The serial text of a volume that cannot be queried or has no serial.
inline const QString kNoSerial = QStringLiteral("*");

struct Volume {
    QString mountPoint; // "/media/anna/CARD", or "E:" on Windows: replaces ":" in device paths
    QString serial;     // nine characters such as "1A2B:3C4D", or "*"
};

// The ordered list of mounted volumes, read afresh on every call.
class VolumeSource {
  public:
    virtual ~VolumeSource() = default;
    virtual std::vector<Volume> volumes() = 0;
};

// The platform's volume list (mount table here, drive letters on Windows).
std::unique_ptr<VolumeSource> systemVolumes();

// High and low 16 bits as four upper-case hex digits each, joined by ":" (0x1A2B3C4D ->
// "1A2B:3C4D").
QString serialText(quint32 serial);

// The 32-bit serial a file system UUID stands for: FAT/exFAT "1A2B-3C4D" as written, NTFS's 16
// hex digits by their low 32 bits, a 128-bit UUID by the XOR of its four 32-bit words, any
// other text by its FNV-1a hash. Empty text: no serial.
std::optional<quint32> serialFromUuid(const QString& uuid);

// Serial text of the volume at drive letter `meghajto_betujele` (0..25), "*" when there is none.
QString szeriaszam(const std::vector<Volume>& vols, int meghajto_betujele);

// Position of the first volume whose serial text equals `serial` exactly; "*" never matches.
std::optional<int> findDevice(const std::vector<Volume>& vols, const QString& serial);

// The folder a stored device path names on the volume mounted at `mountPoint`: the leading ":"
// stands for the mount point (":/DCIM/" on /media/anna/CARD is /media/anna/CARD/DCIM/). The
// result ends with the separator; either separator in the stored path is accepted, so a path
// taught on another system still works.
QString devicePath(const QString& mountPoint, const QString& storedPath);

// The device path to store for a folder chosen on the volume mounted at `mountPoint`: ":" and
// the path below the mount point, or ":" and the whole path when it lies elsewhere.
QString storedDevicePath(const QString& chosenPath, const QString& mountPoint);

#ifndef Q_OS_WIN

// The two system look-ups of the mount-table reader, replaceable so tests need no real devices.
struct VolumeProbes {
    // Device number of the block device at `path` (links followed), or none when it is not one.
    std::function<std::optional<quint64>(const QString& path)> blockDevice;
    // The file system UUID read from the device itself, or none (unreadable, no UUID).
    std::function<std::optional<QString>(const QString& devicePath)> superblockUuid;

    static VolumeProbes system(); // stat() and libblkid's low-level probe
};

// Mounted block devices from a mountinfo file, with serials from the by-uuid links (or from
// the devices themselves where that folder is missing).
class MountTableVolumes : public VolumeSource {
  public:
    explicit MountTableVolumes(QString mountinfo = QStringLiteral("/proc/self/mountinfo"),
                               QString byUuidDir = QStringLiteral("/dev/disk/by-uuid"),
                               VolumeProbes probes = VolumeProbes::system());
    std::vector<Volume> volumes() override;

  private:
    QString mountinfo_;
    QString byUuidDir_;
    VolumeProbes probes_;
};

#else

// Drives A: to Z:, each with the serial number the system reports for its root.
class DriveLetterVolumes : public VolumeSource {
  public:
    std::vector<Volume> volumes() override;
};

#endif

} // namespace kps
