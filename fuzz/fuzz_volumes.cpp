// The mount-table reader and the serial and device-path helpers on arbitrary bytes: a mount
// table is outside input (any program can mount anything, with any name).

#include "core/files/nativepath.h"
#include "core/sources/volumes.h"

#include <QHash>
#include <QString>
#include <cstdint>
#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>

namespace {

// Every device node is a block device whose number comes from its path, and its UUID is the
// fuzzer's text, so every branch after the parse is reachable without real devices.
kps::VolumeProbes fakeProbes(const QString& uuid) {
    kps::VolumeProbes p;
    p.blockDevice = [](const QString& path) -> std::optional<quint64> {
        if (path.endsWith(u'x')) return std::nullopt;
        return quint64(qHash(path) % 7);
    };
    p.superblockUuid = [uuid](const QString&) -> std::optional<QString> {
        if (uuid.isEmpty()) return std::nullopt;
        return uuid;
    };
    return p;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The first line is the UUID and the stored device path; the rest is the mount table.
    std::size_t eol = 0;
    while (eol < size && data[eol] != '\n')
        ++eol;
    // By its bytes, as a stored path and a link name come: any bytes at all.
    const QString head = kps::pathFromNative(reinterpret_cast<const char*>(data), qsizetype(eol));
    const QString uuid = head.section(u' ', 0, 0);
    const QString stored = head.section(u' ', 1);

    const int fd = memfd_create("mountinfo", MFD_CLOEXEC);
    if (fd < 0) std::abort();
    const std::size_t rest = eol < size ? size - eol - 1 : 0;
    if (rest > 0 && write(fd, data + eol + 1, rest) != ssize_t(rest)) std::abort();
    kps::MountTableVolumes table(QStringLiteral("/proc/self/fd/%1").arg(fd),
                                 QStringLiteral("/nonexistent-by-uuid"), fakeProbes(uuid));
    const std::vector<kps::Volume> vols = table.volumes();
    close(fd);

    if (vols.size() > std::size_t(kps::kDriveLetters)) std::abort();
    for (const kps::Volume& v : vols) {
        if (v.serial != kps::kNoSerial && v.serial.size() != 9) std::abort();
        const QString folder = kps::devicePath(v.mountPoint, stored);
        if (!folder.isEmpty() && !folder.endsWith(u'/')) std::abort();
        kps::storedDevicePath(folder, v.mountPoint);
    }
    for (int letter = -1; letter <= kps::kDriveLetters; ++letter)
        kps::szeriaszam(vols, letter);
    kps::findDevice(vols, uuid);
    if (const auto serial = kps::serialFromUuid(uuid)) kps::serialText(*serial);
    return 0;
}
