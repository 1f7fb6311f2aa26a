// The volume list on systems without drive letters: mounted block devices from the mount table.

#include "core/sources/volumes.h"

#include "core/files/nativepath.h"

#ifndef Q_OS_WIN

#include <algorithm>
#include <blkid/blkid.h>
#include <dirent.h>
#include <libmount/libmount.h>
#include <map>
#include <sys/stat.h>

namespace kps {

namespace {

struct Mount {
    QByteArray target; // mount point as raw bytes: the list is ordered byte-wise
    QString source;    // the device node
    quint64 device = 0;
};

struct TableDeleter {
    void operator()(libmnt_table* t) const { mnt_unref_table(t); }
};
struct IterDeleter {
    void operator()(libmnt_iter* i) const { mnt_free_iter(i); }
};

bool isVolumeMount(const char* source, const char* fsType, const char* root) {
    if (!source || !fsType || !root) return false;
    if (qstrncmp(source, "/dev/", 5) != 0) return false; // tmpfs, proc, network shares
    if (qstrcmp(fsType, "squashfs") == 0) return false;  // read-only images such as snaps
    // A bind mount of a subfolder shows a root other than "/"; btrfs subvolumes do too and
    // are real volumes.
    return qstrcmp(root, "/") == 0 || qstrcmp(fsType, "btrfs") == 0;
}

// The mounts of block devices, in mount-table order. A mount that a later mount on the same
// mount point covers is left out, since its files cannot be reached there.
std::vector<Mount> readBlockMounts(const QString& mountinfo, const VolumeProbes& probes) {
    std::unique_ptr<libmnt_table, TableDeleter> table(mnt_new_table());
    if (!table) return {};
    // A malformed line is skipped rather than ending the read.
    mnt_table_set_parser_errcb(table.get(), [](libmnt_table*, const char*, int) { return 1; });
    if (mnt_table_parse_file(table.get(), nativePath(mountinfo).constData()) != 0) return {};
    std::unique_ptr<libmnt_iter, IterDeleter> iter(mnt_new_iter(MNT_ITER_FORWARD));
    if (!iter) return {};

    std::vector<Mount> mounts;
    libmnt_fs* fs = nullptr;
    while (mnt_table_next_fs(table.get(), iter.get(), &fs) == 0) {
        const char* target = mnt_fs_get_target(fs);
        const char* source = mnt_fs_get_source(fs);
        if (!target) continue;
        std::erase_if(mounts, [&](const Mount& m) { return m.target == target; });
        if (!isVolumeMount(source, mnt_fs_get_fstype(fs), mnt_fs_get_root(fs))) continue;
        const QString sourcePath = pathFromNative(QByteArray(source));
        if (const auto device = probes.blockDevice(sourcePath))
            mounts.push_back({QByteArray(target), sourcePath, *device});
    }
    return mounts;
}

// Sorted by mount point, one mount point per device (the first), at most one per letter.
std::vector<Mount> pickVolumes(std::vector<Mount> mounts) {
    std::stable_sort(mounts.begin(), mounts.end(),
                     [](const Mount& a, const Mount& b) { return a.target < b.target; });
    std::vector<Mount> picked;
    for (Mount& m : mounts) {
        if (int(picked.size()) == kDriveLetters) break;
        const bool seen = std::any_of(picked.begin(), picked.end(),
                                      [&](const Mount& p) { return p.device == m.device; });
        if (!seen) picked.push_back(std::move(m));
    }
    return picked;
}

// udev writes unusual characters of a link name as "\xHH".
QString decodeLinkName(const QByteArray& raw) {
    QByteArray out;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        bool ok = false;
        if (raw[i] == '\\' && i + 3 < raw.size() && raw[i + 1] == 'x') {
            const int value = raw.mid(i + 2, 2).toInt(&ok, 16);
            if (ok) {
                out.append(char(value));
                i += 3;
            }
        }
        if (!ok) out.append(raw[i]);
    }
    return pathFromNative(out);
}

// Device number -> UUID, from the links of the by-uuid folder.
std::map<quint64, QString> uuidLinks(const QString& byUuidDir, const VolumeProbes& probes) {
    std::map<quint64, QString> uuids;
    const QByteArray folder = nativePath(byUuidDir);
    DIR* d = ::opendir(folder.constData());
    if (!d) return uuids;
    // Read by their bytes: a link name may hold anything a UUID text can.
    std::vector<QByteArray> names;
    while (const dirent* e = ::readdir(d)) {
        const QByteArray name(e->d_name);
        if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(d);
    std::sort(names.begin(), names.end()); // the first link of a device wins, whatever the order
    for (const QByteArray& name : names) {
        if (const auto device = probes.blockDevice(pathFromNative(folder + '/' + name)))
            uuids.emplace(*device, decodeLinkName(name));
    }
    return uuids;
}

QString serialOf(const std::optional<QString>& uuid) {
    const auto serial = uuid ? serialFromUuid(*uuid) : std::nullopt;
    return serial ? serialText(*serial) : kNoSerial;
}

std::optional<quint64> statBlockDevice(const QString& path) {
    struct stat st {};
    if (::stat(nativePath(path).constData(), &st) != 0 || !S_ISBLK(st.st_mode)) return std::nullopt;
    return quint64(st.st_rdev);
}

// Reads the UUID from the device's superblock; libblkid's cache is not used, as it can be
// stale for an ordinary user.
std::optional<QString> probeUuid(const QString& devicePath) {
    blkid_probe probe = blkid_new_probe_from_filename(nativePath(devicePath).constData());
    if (!probe) return std::nullopt; // unreadable
    std::optional<QString> uuid;
    blkid_probe_enable_superblocks(probe, 1);
    blkid_probe_set_superblocks_flags(probe, BLKID_SUBLKS_UUID);
    const char* value = nullptr;
    size_t length = 0;
    if (blkid_do_safeprobe(probe) == 0 &&
        blkid_probe_lookup_value(probe, "UUID", &value, &length) == 0 && value)
        uuid = pathFromNative(QByteArray(value)); // its bytes, whatever they are
    blkid_free_probe(probe);
    return uuid;
}

} // namespace

VolumeProbes VolumeProbes::system() {
    return {statBlockDevice, probeUuid};
}

MountTableVolumes::MountTableVolumes(QString mountinfo, QString byUuidDir, VolumeProbes probes)
    : mountinfo_(std::move(mountinfo)), byUuidDir_(std::move(byUuidDir)),
      probes_(std::move(probes)) {}

std::vector<Volume> MountTableVolumes::volumes() {
    const std::vector<Mount> mounts = pickVolumes(readBlockMounts(mountinfo_, probes_));
    // A system folder, never a photo's: looked at directly, even on the window's thread.
    struct stat links_st;
    const bool haveLinks =
        ::stat(nativePath(byUuidDir_).constData(), &links_st) == 0 && S_ISDIR(links_st.st_mode);
    const std::map<quint64, QString> links = haveLinks && !mounts.empty()
                                                 ? uuidLinks(byUuidDir_, probes_)
                                                 : std::map<quint64, QString>{};
    std::vector<Volume> vols;
    for (const Mount& m : mounts) {
        std::optional<QString> uuid;
        if (haveLinks) {
            if (const auto it = links.find(m.device); it != links.end()) uuid = it->second;
        } else {
            uuid = probes_.superblockUuid(m.source);
        }
        vols.push_back({pathFromNative(m.target), serialOf(uuid)});
    }
    return vols;
}

std::unique_ptr<VolumeSource> systemVolumes() {
    return std::make_unique<MountTableVolumes>();
}

} // namespace kps

#endif
