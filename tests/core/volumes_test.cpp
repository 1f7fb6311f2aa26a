#include "core/sources/volumes.h"

#include "core/files/nativepath.h"

#include "testphotos.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>

using namespace kps;

namespace {

// ---- serial texts -----------------------------------------------------------------------

TEST(SerialText, FourUpperCaseDigitsEachSide) {
    EXPECT_EQ(serialText(0x1A2B3C4Du), "1A2B:3C4D");
    EXPECT_EQ(serialText(0x0000ABCDu), "0000:ABCD");
    EXPECT_EQ(serialText(0u), "0000:0000");
    EXPECT_EQ(serialText(0xFFFFFFFFu), "FFFF:FFFF");
    EXPECT_EQ(serialText(0x000A0000u), "000A:0000");
}

struct UuidCase {
    const char* uuid;
    const char* serial;
};

class SerialFromUuid : public ::testing::TestWithParam<UuidCase> {};

TEST_P(SerialFromUuid, GivesTheSerialWindowsShows) {
    const auto serial = serialFromUuid(QString::fromUtf8(GetParam().uuid));
    ASSERT_TRUE(serial.has_value());
    EXPECT_EQ(serialText(*serial), QString::fromUtf8(GetParam().serial));
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, SerialFromUuid,
    ::testing::Values(
        UuidCase{"1A2B-3C4D", "1A2B:3C4D"},        // FAT
        UuidCase{"0a1b-2c3d", "0A1B:2C3D"},        // exFAT, written in lower case
        UuidCase{"0000-0000", "0000:0000"},        // a serial of 0 is a serial like any other
        UuidCase{"0123456789ABCDEF", "89AB:CDEF"}, // NTFS: the low 32 bits
        // ext4: 12345678 ^ 9ABCDEF0 = 88888888; 11223344 ^ 55667788 = 444444CC; together
        // CCCCCC44.
        UuidCase{"12345678-9abc-def0-1122-334455667788", "CCCC:CC44"},
        // Any other text: FNV-1a 32-bit of its bytes (published vectors for "a" and "foobar").
        UuidCase{"a", "E40C:292C"}, UuidCase{"foobar", "BF9C:F968"},
        UuidCase{"2023-05-01-10-20-30-00", "36DE:C4AC"}, // ISO 9660 date stamp
        UuidCase{"1A2G-3C4D", "8D53:0DF5"}));            // FAT shape, but "G" is no hex digit

TEST(SerialFromUuidEdge, NoUuidGivesNoSerial) {
    EXPECT_FALSE(serialFromUuid(QString()));
}

// ---- drive letters and device search ------------------------------------------------------

const std::vector<Volume> kTwoCards = {
    {"/", "0000:0001"},
    {"/media/anna/A", "1A2B:3C4D"},
    {"/media/anna/B", "*"},
    {"/media/anna/C", "1A2B:3C4D"},
};

TEST(Szeriaszam, LetterIsThePositionInTheList) {
    EXPECT_EQ(szeriaszam(kTwoCards, 0), "0000:0001"); // A is queried like any other letter
    EXPECT_EQ(szeriaszam(kTwoCards, 1), "1A2B:3C4D");
    EXPECT_EQ(szeriaszam(kTwoCards, 2), "*");
    EXPECT_EQ(szeriaszam(kTwoCards, 4), "*"); // no volume at E
    EXPECT_EQ(szeriaszam(kTwoCards, -1), "*");
    EXPECT_EQ(szeriaszam(kTwoCards, 26), "*");
}

TEST(FindDevice, FirstMatchExactly) {
    EXPECT_EQ(findDevice(kTwoCards, "1A2B:3C4D"), 1); // the earlier of two equal serials
    EXPECT_EQ(findDevice(kTwoCards, "0000:0001"), 0);
    EXPECT_FALSE(findDevice(kTwoCards, "1a2b:3c4d")); // lower case never matches
    EXPECT_FALSE(findDevice(kTwoCards, "qqqq:qqqq")); // never taught
    EXPECT_FALSE(findDevice(kTwoCards, "*"));         // an unreadable volume is nobody's device
    EXPECT_FALSE(findDevice(kTwoCards, ""));
    EXPECT_FALSE(findDevice({}, "1A2B:3C4D"));
}

TEST(FindDevice, OnlyTwentySixLettersAreSearched) {
    std::vector<Volume> vols(27, Volume{"/x", "*"});
    vols[26].serial = "1234:5678";
    EXPECT_FALSE(findDevice(vols, "1234:5678"));
}

// ---- device paths ------------------------------------------------------------------------

struct PathCase {
    const char* mountPoint;
    const char* stored;
    const char* path;
};

class DevicePath : public ::testing::TestWithParam<PathCase> {};

TEST_P(DevicePath, ColonStandsForTheMountPoint) {
    EXPECT_EQ(devicePath(GetParam().mountPoint, GetParam().stored), GetParam().path);
}

INSTANTIATE_TEST_SUITE_P(
    Joins, DevicePath,
    ::testing::Values(PathCase{"/media/anna/CARD", ":/DCIM/", "/media/anna/CARD/DCIM/"},
                      PathCase{"/media/anna/CARD", ":/", "/media/anna/CARD/"},
                      PathCase{"/media/anna/CARD/", ":/", "/media/anna/CARD/"},
                      PathCase{"/", ":/", "/"}, PathCase{"/", ":/DCIM/", "/DCIM/"},
                      PathCase{"/media/anna/CARD", ":", "/media/anna/CARD/"},
                      PathCase{"/media/anna/CARD", "", "/media/anna/CARD/"},
                      PathCase{"/media/anna/CARD", ":/DCIM", "/media/anna/CARD/DCIM/"},
                      PathCase{"/media/anna/CARD", ":DCIM/", "/media/anna/CARD/DCIM/"},
                      // taught on Windows and carried over with settings.ini
                      PathCase{"/media/anna/CARD", ":\\DCIM\\100CANON\\",
                               "/media/anna/CARD/DCIM/100CANON/"}));

struct StoreCase {
    const char* chosen;
    const char* mountPoint;
    const char* stored;
};

class StoredDevicePath : public ::testing::TestWithParam<StoreCase> {};

TEST_P(StoredDevicePath, MountPointBecomesColon) {
    EXPECT_EQ(storedDevicePath(GetParam().chosen, GetParam().mountPoint), GetParam().stored);
}

INSTANTIATE_TEST_SUITE_P(
    Stores, StoredDevicePath,
    ::testing::Values(StoreCase{"/media/anna/CARD/DCIM/", "/media/anna/CARD", ":/DCIM/"},
                      StoreCase{"/media/anna/CARD/", "/media/anna/CARD", ":/"},
                      StoreCase{"/media/anna/CARD", "/media/anna/CARD", ":/"},
                      StoreCase{"/media/anna/CARD/DCIM/", "/media/anna/CARD/", ":/DCIM/"},
                      // a folder elsewhere is kept whole
                      StoreCase{"/home/anna/Photos/", "/media/anna/CARD", ":/home/anna/Photos/"},
                      // a sibling whose name merely begins like the mount point is elsewhere
                      StoreCase{"/media/anna/CARD2/DCIM/", "/media/anna/CARD",
                                ":/media/anna/CARD2/DCIM/"},
                      StoreCase{"/DCIM/", "/", ":/DCIM/"}, StoreCase{"/", "/", ":/"},
                      StoreCase{"/media/anna/CARD/DCIM/", "", ":/media/anna/CARD/DCIM/"}));

TEST(DevicePathRoundTrip, StoredPathLeadsBackToTheChosenFolder) {
    const QString chosen = "/media/anna/CARD/DCIM/100CANON/";
    const QString stored = storedDevicePath(chosen, "/media/anna/CARD");
    EXPECT_EQ(devicePath("/media/anna/CARD", stored), chosen);
    // The same card mounted elsewhere next time.
    EXPECT_EQ(devicePath("/run/media/anna/CARD", stored), "/run/media/anna/CARD/DCIM/100CANON/");
}

// ---- the mount table ----------------------------------------------------------------------

// Writes a mountinfo file and a by-uuid folder of plain files; the fake probes stand in for
// stat() on device nodes, which tests cannot create.
class MountTable : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        ASSERT_TRUE(QDir(tmp.path()).mkdir("by-uuid"));
    }

    QString mountinfoPath() const { return tmp.filePath("mountinfo"); }
    QString byUuidDir() const { return tmp.filePath("by-uuid"); }

    // One mountinfo line; `target` and `source` are written as the kernel escapes them.
    void mount(const QString& target, const QString& source, const QString& fsType,
               const QString& root = "/") {
        ++id;
        lines += QStringLiteral("%1 1 8:%1 %2 %3 rw,relatime shared:%1 - %4 %5 rw")
                     .arg(id)
                     .arg(root, target, fsType, source);
    }

    // A block device node and, when `uuid` is given, its by-uuid link.
    void device(const QString& node, quint64 number, const QString& uuid = {}) {
        devices[node] = number;
        if (uuid.isEmpty()) return;
        const QString link = QDir(byUuidDir()).filePath(uuid);
        ASSERT_TRUE(test::writeFile(link, {}));
        devices[link] = number;
    }

    VolumeProbes probes() {
        VolumeProbes p;
        p.blockDevice = [this](const QString& path) -> std::optional<quint64> {
            const auto it = devices.find(path);
            if (it == devices.end()) return std::nullopt;
            return it->second;
        };
        p.superblockUuid = [this](const QString& node) -> std::optional<QString> {
            ++superblockReads;
            const auto it = superblocks.find(node);
            if (it == superblocks.end()) return std::nullopt;
            return it->second;
        };
        return p;
    }

    std::vector<Volume> read(const QString& byUuid = {}) {
        EXPECT_TRUE(test::writeFile(mountinfoPath(), nativePath(lines.join('\n')) + '\n'));
        MountTableVolumes source(mountinfoPath(), byUuid.isEmpty() ? byUuidDir() : byUuid,
                                 probes());
        return source.volumes();
    }

    static QStringList mountPoints(const std::vector<Volume>& vols) {
        QStringList out;
        for (const Volume& v : vols)
            out += v.mountPoint;
        return out;
    }

    QTemporaryDir tmp;
    QStringList lines;
    int id = 20;
    std::map<QString, quint64> devices;
    std::map<QString, QString> superblocks;
    int superblockReads = 0;
};

TEST_F(MountTable, SortedByMountPointWithSerialsFromUuids) {
    device("/dev/sdb1", 0x811, "1A2B-3C4D");
    device("/dev/sda1", 0x801, "12345678-9abc-def0-1122-334455667788");
    device("/dev/sda2", 0x802, "ABCD-0123");
    mount("/media/anna/CARD", "/dev/sdb1", "vfat");
    mount("/", "/dev/sda1", "ext4");
    mount("/boot/efi", "/dev/sda2", "vfat");

    const auto vols = read();
    ASSERT_EQ(vols.size(), 3u);
    EXPECT_EQ(vols[0].mountPoint, "/");
    EXPECT_EQ(vols[0].serial, "CCCC:CC44");
    EXPECT_EQ(vols[1].mountPoint, "/boot/efi");
    EXPECT_EQ(vols[1].serial, "ABCD:0123");
    EXPECT_EQ(vols[2].mountPoint, "/media/anna/CARD");
    EXPECT_EQ(vols[2].serial, "1A2B:3C4D");
    EXPECT_EQ(superblockReads, 0); // the links suffice
}

TEST_F(MountTable, OrderIsByteWise) {
    device("/dev/sdb1", 1, "0000-0001");
    device("/dev/sdc1", 2, "0000-0002");
    device("/dev/sdd1", 3, "0000-0003");
    device("/dev/sde1", 4, "0000-0004");
    mount("/media/\xc3\xa9t\xc3\xa9", "/dev/sdb1", "vfat"); // "été": bytes above ASCII
    mount("/media/zebra", "/dev/sdc1", "vfat");
    mount("/media/Zebra", "/dev/sdd1", "vfat"); // upper case sorts before lower case
    mount("/media/alpha", "/dev/sde1", "vfat");
    EXPECT_EQ(mountPoints(read()), QStringList({"/media/Zebra", "/media/alpha", "/media/zebra",
                                                QString::fromUtf8("/media/\xc3\xa9t\xc3\xa9")}));
}

TEST_F(MountTable, EscapedNamesAreDecoded) {
    device("/dev/sdb1", 1, "0000-0001");
    device("/dev/sdc1", 2, "0000-0002");
    mount("/media/anna/MY\\040CARD", "/dev/sdb1", "vfat");
    mount("/media/anna/tab\\011back\\134slash", "/dev/sdc1", "exfat");
    const auto vols = read();
    ASSERT_EQ(vols.size(), 2u);
    EXPECT_EQ(vols[0].mountPoint, "/media/anna/MY CARD");
    EXPECT_EQ(vols[0].serial, "0000:0001");
    EXPECT_EQ(vols[1].mountPoint, "/media/anna/tab\tback\\slash");
}

// Mount points, device nodes and link names keep their bytes: U+FEFF, which Qt's decoders drop,
// and Latin-2 bytes that are no UTF-8.
TEST_F(MountTable, NamesKeepTheirBytes) {
    const QString bomNode = pathFromNative(QByteArray("/dev/\357\273\277sdb1"));
    device(bomNode, 1, pathFromNative(QByteArray("\357\273\277uu")));
    const QString latinNode = pathFromNative(QByteArray("/dev/s\xe1"));
    device(latinNode, 2, "0000-0002");
    const QByteArray card = "/media/\357\273\277CARD", latin = "/media/k\xe1rtya";
    mount(pathFromNative(card), bomNode, "vfat");
    mount(pathFromNative(latin), latinNode, "vfat");
    const auto vols = read();
    ASSERT_EQ(vols.size(), 2u); // byte-wise: "k" before 0xEF
    EXPECT_EQ(nativePath(vols[0].mountPoint), latin);
    EXPECT_EQ(vols[0].serial, "0000:0002");
    EXPECT_EQ(nativePath(vols[1].mountPoint), card);
    EXPECT_EQ(vols[1].serial, "2E20:0FAE"); // FNV-1a of the link name's bytes
}

TEST_F(MountTable, OnlyWholeBlockDeviceVolumesAreListed) {
    device("/dev/sda1", 1, "0000-0001");
    device("/dev/sdc1", 3, "0000-0003");
    device("/dev/loop0", 7, "0000-0007");
    device("/dev/sdd1", 4, "0000-0004");
    mount("/", "/dev/sda1", "ext4");
    mount("/mnt/bind", "/dev/sdc1", "ext4", "/photos"); // bind mount of a subfolder
    mount("/snap/core/1", "/dev/loop0", "squashfs");    // a read-only image
    mount("/tmp", "tmpfs", "tmpfs");
    mount("/proc", "proc", "proc");
    mount("/dev/shm", "tmpfs", "tmpfs");
    mount("/mnt/fake", "/dev/not-a-device", "ext4"); // under /dev/ but no block device
    mount("/mnt/nfs", "server:/export", "nfs");
    mount("/home", "/dev/sdd1", "btrfs", "/@home"); // a btrfs subvolume is a real volume
    EXPECT_EQ(mountPoints(read()), QStringList({"/", "/home"}));
}

TEST_F(MountTable, DeviceMountedTwiceIsListedOnceAtItsFirstMountPoint) {
    device("/dev/sdb1", 1, "1A2B-3C4D");
    device("/dev/sdc1", 2, "0000-0002");
    mount("/mnt/z", "/dev/sdb1", "vfat");
    mount("/media/anna/CARD", "/dev/sdb1", "vfat");
    mount("/mnt/y", "/dev/sdc1", "vfat");
    EXPECT_EQ(mountPoints(read()), QStringList({"/media/anna/CARD", "/mnt/y"}));
}

TEST_F(MountTable, BtrfsSubvolumesOfOneDeviceCountOnce) {
    device("/dev/sda2", 9, "12345678-9abc-def0-1122-334455667788");
    mount("/", "/dev/sda2", "btrfs", "/@");
    mount("/home", "/dev/sda2", "btrfs", "/@home");
    const auto vols = read();
    ASSERT_EQ(vols.size(), 1u);
    EXPECT_EQ(vols[0].mountPoint, "/");
    EXPECT_EQ(vols[0].serial, "CCCC:CC44");
}

TEST_F(MountTable, AtMostTwentySixFirstByMountPoint) {
    for (int i = 29; i >= 0; --i) {
        const QString n = QStringLiteral("%1").arg(i, 2, 10, QLatin1Char('0'));
        device("/dev/sd" + n, quint64(100 + i), QStringLiteral("0000-00%1").arg(n));
        mount("/mnt/v" + n, "/dev/sd" + n, "vfat");
    }
    const auto vols = read();
    ASSERT_EQ(vols.size(), 26u);
    EXPECT_EQ(vols.front().mountPoint, "/mnt/v00");
    EXPECT_EQ(vols.back().mountPoint, "/mnt/v25");
    EXPECT_EQ(vols.back().serial, "0000:0025");
}

TEST_F(MountTable, VolumeWithoutUuidHasNoSerial) {
    device("/dev/sdb1", 1); // no by-uuid link
    device("/dev/sdc1", 2, "0000-0002");
    mount("/media/a", "/dev/sdb1", "vfat");
    mount("/media/b", "/dev/sdc1", "vfat");
    const auto vols = read();
    ASSERT_EQ(vols.size(), 2u);
    EXPECT_EQ(vols[0].serial, "*");
    EXPECT_EQ(vols[1].serial, "0000:0002");
}

TEST_F(MountTable, EscapedLinkNameIsDecoded) {
    device("/dev/sdb1", 1, "my\\x20uuid");
    mount("/media/a", "/dev/sdb1", "vfat");
    const auto vols = read();
    ASSERT_EQ(vols.size(), 1u);
    EXPECT_EQ(vols[0].serial, "348F:B9DE"); // FNV-1a of "my uuid"
}

TEST_F(MountTable, WithoutByUuidFolderTheDeviceItselfIsProbed) {
    device("/dev/sdb1", 1);
    device("/dev/sdc1", 2);
    superblocks["/dev/sdb1"] = "1A2B-3C4D";
    // /dev/sdc1 cannot be read
    mount("/media/a", "/dev/sdb1", "vfat");
    mount("/media/b", "/dev/sdc1", "vfat");
    const auto vols = read(tmp.filePath("no-such-folder"));
    ASSERT_EQ(vols.size(), 2u);
    EXPECT_EQ(vols[0].serial, "1A2B:3C4D");
    EXPECT_EQ(vols[1].serial, "*");
    EXPECT_EQ(superblockReads, 2);
}

TEST_F(MountTable, MountHiddenByALaterMountOnTheSamePointIsLeftOut) {
    device("/dev/sdb1", 1, "0000-0001");
    device("/dev/sdc1", 2, "0000-0002");
    mount("/media/a", "/dev/sdb1", "vfat");
    mount("/media/a", "tmpfs", "tmpfs"); // covers the card: its files are out of reach
    mount("/media/b", "/dev/sdc1", "vfat");
    EXPECT_EQ(mountPoints(read()), QStringList({"/media/b"}));
}

TEST_F(MountTable, MalformedLinesAreSkipped) {
    device("/dev/sdb1", 1, "0000-0001");
    device("/dev/sdc1", 2, "0000-0002");
    mount("/media/a", "/dev/sdb1", "vfat");
    lines += "garbage without fields";
    lines += "99 1 8:1 / /media/x rw"; // no "-" separator
    mount("/media/b", "/dev/sdc1", "vfat");
    EXPECT_EQ(mountPoints(read()), QStringList({"/media/a", "/media/b"}));
}

TEST_F(MountTable, MissingOrEmptyTableGivesNoVolumes) {
    MountTableVolumes missing(tmp.filePath("absent"), byUuidDir(), probes());
    EXPECT_TRUE(missing.volumes().empty());
    EXPECT_TRUE(read().empty()); // an empty file
}

} // namespace
