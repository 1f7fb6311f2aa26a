#include "core/drop/companions.h"
#include "core/sources/scan.h"
#include "testphotos.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kps {
namespace {

struct MaskCase {
    const char* mask;
    QString name;
    bool matches;
};

class MaskMatching : public ::testing::TestWithParam<MaskCase> {};

TEST_P(MaskMatching, IgnoresCaseAndHonoursWildcards) {
    const MaskCase& c = GetParam();
    EXPECT_EQ(matchesMask(QString::fromUtf8(c.mask), c.name), c.matches)
        << c.mask << " vs " << c.name.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Masks, MaskMatching,
    ::testing::Values(MaskCase{"*.jpg", "IMG_1.JPG", true}, MaskCase{"*.jpeg", "img_2.jpeg", true},
                      MaskCase{"*.JPG", "x.jpg", true}, MaskCase{"*.jpg", ".jpg", true},
                      MaskCase{"*.jpg", "x.jpg.bak", false}, MaskCase{"*.jpg", "x_jpg", false},
                      MaskCase{"*.jpg", "x.jpeg", false}, MaskCase{"*.jpg", "x.jpgx", false},
                      MaskCase{"?.jpg", "a.jpg", true}, MaskCase{"?.jpg", "ab.jpg", false},
                      MaskCase{"*a*b*.jpg", "xaybz.jpg", true},
                      MaskCase{"*a*b*.jpg", "xbya.jpg", false}, MaskCase{"*", "anything", true},
                      MaskCase{"", "x.jpg", false},
                      // Names and masks beyond ASCII: folded per character, "?" is one letter.
                      MaskCase{"*.jpg", QStringLiteral("FOTÓ.JPG"), true},
                      MaskCase{"fotó*", QStringLiteral("FOTÓ_1.JPG"), true},
                      MaskCase{"fotó*", "FOTO_1.JPG", false},
                      MaskCase{"?.jpg", QStringLiteral("é.jpg"), true},
                      MaskCase{"*.jpg", QStringLiteral("x.jpgé"), false}));

struct SkipCase {
    const char* diri;
    const char* name;
    bool skipped;
};

class SubfolderSkipping : public ::testing::TestWithParam<SkipCase> {};

TEST_P(SubfolderSkipping, LeavesOutSystemFolders) {
    const SkipCase& c = GetParam();
    EXPECT_EQ(isSkippedSubfolder(QString::fromUtf8(c.diri), QString::fromUtf8(c.name)), c.skipped)
        << c.diri << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Names, SubfolderSkipping,
    ::testing::Values(SkipCase{"/d/", "$RECYCLE.BIN", true}, SkipCase{"/d/", "My{Trip}", true},
                      SkipCase{"/d/", "$WINDOWS.~BT", true},
                      SkipCase{"/d/", "System Volume Information", true},
                      SkipCase{"/d/", "old SYSTEM VOLUME INFORMATION copy", true},
                      SkipCase{"/", "proc", true}, SkipCase{"/", "PROC", true},
                      SkipCase{"/", "sys", true}, SkipCase{"/", "dev", true},
                      SkipCase{"/backup/", "proc", false}, SkipCase{"/", "devices", false},
                      SkipCase{"/d/", "Windows", false}, SkipCase{"/d/", ".hidden", false},
                      SkipCase{"/d/", "Trip", false}));

// A temporary folder to scan; paths handed to the scans end with "/".
class ScanFolder : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(tmp_.isValid()); }

    QString root() const { return tmp_.path() + '/'; }

    void touch(const QString& rel) {
        const QString path = root() + rel;
        ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
        ASSERT_TRUE(test::writeFile(path, "x"));
    }
    void mkdir(const QString& rel) { ASSERT_TRUE(QDir().mkpath(root() + rel)); }
    void symlink(const QString& target, const QString& rel) {
        ASSERT_EQ(::symlink(QFile::encodeName(target).constData(),
                            QFile::encodeName(root() + rel).constData()),
                  0);
    }

    // The list's entries without the scanned root, in list order; an entry that does not
    // start with the root shows up whole, so a wrong join fails the comparison.
    QStringList relative(const PhotoList& list) const {
        QStringList out;
        for (const QString& p : list.paths())
            out << (p.startsWith(root()) ? p.mid(root().size()) : p);
        return out;
    }

    QTemporaryDir tmp_;
    PhotoList list_;
};

TEST_F(ScanFolder, FileList2ListsPhotoFilesOfOneFolderSorted) {
    for (const char* name : {"IMG_1.JPG", "img_2.jpeg", "a.jpg", ".hidden.jpg", "x.jpg.bak",
                             "x_jpg", "notes.txt", "trip.jpg/inside.jpg", "sub/s.jpg"}) {
        touch(QString::fromUtf8(name));
    }
    FileList2(list_, root(), "*.jpg", "*.jpeg");
    EXPECT_EQ(relative(list_), (QStringList{".hidden.jpg", "a.jpg", "IMG_1.JPG", "img_2.jpeg"}));
}

TEST_F(ScanFolder, FileList2ListsEachFileOnceWhateverTheMasks) {
    touch("a.jpg");
    FileList2(list_, root(), "*.jpg", "*.jpg");
    EXPECT_EQ(relative(list_), QStringList{"a.jpg"});
    FileList2(list_, root(), "*.jpg", "*");
    EXPECT_EQ(relative(list_), QStringList{"a.jpg"});
}

TEST_F(ScanFolder, NamesBeyondAsciiKeepTheirSpelling) {
    touch(QStringLiteral("Fotó.JPG"));
    touch(QStringLiteral("ünnep.jpeg"));
    FileList2(list_, root(), "*.jpg", "*.jpeg");
    EXPECT_EQ(relative(list_),
              (QStringList{QStringLiteral("Fotó.JPG"), QStringLiteral("ünnep.jpeg")}));
}

TEST_F(ScanFolder, LinksToFilesAreListedLinksToFoldersAndSpecialFilesNever) {
    touch("real/photo.jpg");
    mkdir("folder");
    symlink(root() + "real/photo.jpg", "link.jpg");
    symlink(root() + "folder", "folderlink.jpg");
    symlink(root() + "gone.jpg", "dangling.jpg");
    ASSERT_EQ(::mkfifo(QFile::encodeName(root() + "pipe.jpg").constData(), 0600), 0);
    FileList2(list_, root(), "*.jpg", "*.jpeg");
    EXPECT_EQ(relative(list_), QStringList{"link.jpg"});
}

TEST_F(ScanFolder, MissingOrNonFolderPathGivesAnEmptyList) {
    touch("a.jpg");
    for (const QString& path : {root() + "missing/", root() + "a.jpg/", QString()}) {
        list_.assign({"/stale/old.jpg"});
        FileList2(list_, path, "*.jpg", "*.jpeg");
        EXPECT_TRUE(list_.isEmpty()) << path.toStdString();
        list_.assign({"/stale/old.jpg"});
        DirList4(list_, path, "*.jpg", "*.jpeg");
        EXPECT_TRUE(list_.isEmpty()) << path.toStdString();
        list_.assign({"/stale/old.jpg"});
        filelist(list_, path, "*.jpg");
        EXPECT_TRUE(list_.isEmpty()) << path.toStdString();
    }
}

TEST_F(ScanFolder, FilelistUsesOneMaskAndSortsIgnoringCase) {
    for (const char* name : {"undo10.jpg", "B.JPG", "undo1.jpg", "a.jpg", "c.jpeg"})
        touch(name);
    filelist(list_, root(), "*.jpg");
    EXPECT_EQ(relative(list_), (QStringList{"a.jpg", "B.JPG", "undo1.jpg", "undo10.jpg"}));
}

class DeepScan : public ScanFolder {
  protected:
    void SetUp() override {
        ScanFolder::SetUp();
        for (const char* name :
             {"a.jpg", "Sub/b.JPG", "Sub/deep/c.jpeg", "Sub/x.jpg.bak", "Sub/x_jpg",
              ".hidden/d.jpg", "trip.jpg/e.jpg", "Backup/Windows/w.jpg", "My{Trip}/f.jpg",
              "My{Trip}/inner/g.jpg", "$RECYCLE.BIN/h.jpg", "$RECYCLE.BIN/S-1-5/i.jpg",
              "System Volume Information/j.jpg", "$WINDOWS.~BT/k.jpg"}) {
            touch(QString::fromUtf8(name));
        }
    }
    const QStringList expected_{".hidden/d.jpg", "a.jpg",           "Backup/Windows/w.jpg",
                                "Sub/b.JPG",     "Sub/deep/c.jpeg", "trip.jpg/e.jpg"};
};

TEST_F(DeepScan, ListsPhotosOfEverySubfolderButSkippedOnes) {
    DirList4(list_, root(), "*.jpg", "*.jpeg");
    EXPECT_EQ(relative(list_), expected_);
}

TEST_F(DeepScan, WithoutSubfolderSearchOnlyTheTopFolderCounts) {
    FileList2(list_, root(), "*.jpg", "*.jpeg");
    EXPECT_EQ(relative(list_), QStringList{"a.jpg"});
}

TEST_F(DeepScan, FolderLinksAreNotFollowedSoLoopsEnd) {
    symlink(tmp_.path(), "Sub/loop");
    symlink("..", "Sub/deep/up");
    symlink(root() + "Sub", "loop.jpg");
    DirList4(list_, root(), "*.jpg", "*.jpeg");
    EXPECT_EQ(relative(list_), expected_);
}

TEST_F(DeepScan, TopFolderGivenThroughALinkIsScanned) {
    QTemporaryDir other;
    ASSERT_TRUE(other.isValid());
    const QString link = other.path() + "/top";
    ASSERT_EQ(
        ::symlink(QFile::encodeName(tmp_.path()).constData(), QFile::encodeName(link).constData()),
        0);
    DirList4(list_, link + '/', "*.jpg", "*.jpeg");
    ASSERT_EQ(list_.count(), expected_.size());
    EXPECT_EQ(list_.at(1), link + "/a.jpg");
}

TEST_F(DeepScan, UnreadableSubfolderContributesNothing) {
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not restrict root";
    touch("locked/l.jpg");
    touch("locked/below/m.jpg");
    const QByteArray locked = QFile::encodeName(root() + "locked");
    ASSERT_EQ(::chmod(locked.constData(), 0), 0);
    DirList4(list_, root(), "*.jpg", "*.jpeg");
    ::chmod(locked.constData(), 0700);
    EXPECT_EQ(relative(list_), expected_);
}

// A scan followed through its control: progress at every folder, and a cancel that stops it.
TEST_F(DeepScan, ControlCountsPhotosAndFoldersAsTheScanGoes) {
    ScanControl control;
    std::vector<int> seen; // photos found when each folder was about to be read
    control.beforeRead = [&](const QString&) { seen.push_back(control.photos.load()); };
    ASSERT_TRUE(DirList4(list_, root(), "*.jpg", "*.jpeg", leftoverCutoff(), &control));
    EXPECT_EQ(relative(list_), expected_);
    EXPECT_EQ(control.photos.load(), expected_.size());
    // Top, .hidden, Backup, Backup/Windows, Sub, Sub/deep, trip.jpg: skipped ones are not read.
    EXPECT_EQ(control.folders.load(), 7);
    ASSERT_EQ(seen.size(), 7u);
    EXPECT_EQ(seen.front(), 0);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_GT(seen.back(), seen.front());
}

TEST_F(DeepScan, CancelledScanStopsAndLeavesTheListAlone) {
    for (int cancelAt : {1, 2, 4}) { // before the top folder, and deeper in the tree
        ScanControl control;
        int reads = 0;
        control.beforeRead = [&](const QString&) {
            if (++reads == cancelAt) control.cancelled = true;
        };
        list_.assign({"/stale/old.jpg"});
        EXPECT_FALSE(DirList4(list_, root(), "*.jpg", "*.jpeg", leftoverCutoff(), &control));
        EXPECT_EQ(list_.paths(), QStringList{"/stale/old.jpg"}) << cancelAt;
        EXPECT_EQ(reads, cancelAt) << "no folder is read after the cancel";
        EXPECT_EQ(control.folders.load(), cancelAt - 1);
    }
    ScanControl control;
    control.cancelled = true;
    EXPECT_FALSE(FileList2(list_, root(), "*.jpg", "*.jpeg", leftoverCutoff(), &control));
    EXPECT_EQ(list_.paths(), QStringList{"/stale/old.jpg"});
}

// Companions: which files the scan finds beside each photo.
TEST_F(ScanFolder, EachPhotoKeepsTheCompanionsFoundBesideIt) {
    struct Case {
        const char* name;
        QStringList files;
        QString photo;
        QStringList companions; // in name order
    };
    const Case cases[] = {
        {"raw and both sidecars",
         {"IMG_1.JPG", "IMG_1.CR2", "IMG_1.CR2.xmp", "IMG_1.xmp", "IMG_1.CR2.pp3"},
         "IMG_1.JPG",
         {"IMG_1.CR2", "IMG_1.CR2.pp3", "IMG_1.CR2.xmp", "IMG_1.xmp"}},
        {"extensions in any case",
         {"a.jpg", "a.NEF", "a.Xmp", "a.jpg.PP3"},
         "a.jpg",
         {"a.NEF", "a.Xmp", "a.jpg.PP3"}},
        {"a raw's sidecar without the raw is nobody's", {"b.jpg", "b.CR2.xmp"}, "b.jpg", {}},
        {"the photo's own sidecar",
         {"b.jpeg", "b.jpeg.xmp", "b.jpg.xmp"},
         "b.jpeg",
         {"b.jpeg.xmp"}},
        {"the name part is exact", {"E.jpg", "e.cr2", "E_1.cr2"}, "E.jpg", {}},
        {"other files stay out",
         {"f.jpg", "f.mov", "f.txt", "f.xmp.bak", "f.jpg.part"},
         "f.jpg",
         {}},
        {"a raw without a photo belongs to nothing", {"c.CR2", "c.xmp", "d.jpg"}, "d.jpg", {}},
        {"two raws", {"g.JPG", "g.DNG", "g.ARW"}, "g.JPG", {"g.ARW", "g.DNG"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString folder = dir.path() + '/';
        for (const QString& f : c.files)
            ASSERT_TRUE(test::writeFile(folder + f, f.toUtf8()));
        FileList2(list_, folder, "*.jpg", "*.jpeg");
        QStringList names;
        for (const Companion& m : list_.companionsOf(folder + c.photo)) {
            names << m.name;
            EXPECT_EQ(m.bytes, m.name.toUtf8().size()); // the size the folder read gave
            EXPECT_TRUE(list_.holdsCompanion(folder + m.name));
        }
        EXPECT_EQ(names, c.companions);
        // Only photos are listed, whatever lies beside them.
        for (const QString& p : list_.paths())
            EXPECT_TRUE(p.endsWith(".jpg", Qt::CaseInsensitive) ||
                        p.endsWith(".jpeg", Qt::CaseInsensitive));
    }
}

TEST_F(ScanFolder, CompanionsGoWithTheirEntryAndDeepScansFindThemInEveryFolder) {
    for (const char* name : {"a.jpg", "a.orf", "sub/b.jpg", "sub/b.rw2", "sub/a.orf"})
        touch(QString::fromUtf8(name));
    DirList4(list_, root(), "*.jpg", "*.jpeg");
    EXPECT_EQ(list_.companionsOf(root() + "a.jpg"), (Companions{{"a.orf", 1}}));
    EXPECT_EQ(list_.companionsOf(root() + "sub/b.jpg"), (Companions{{"b.rw2", 1}}));
    list_.removeAt(list_.indexOf(root() + "a.jpg"));
    EXPECT_TRUE(list_.companionsOf(root() + "a.jpg").isEmpty());
    EXPECT_FALSE(list_.holdsCompanion(root() + "a.orf"));
}

TEST(CompanionMarker, NamesWhatThePhotoHas) {
    const struct {
        Companions companions;
        QString marker;
    } cases[] = {
        {{}, ""},
        {{{"a.CR2", 1}}, "RAW"},
        {{{"a.xmp", 1}}, "XMP"},
        {{{"a.pp3", 1}}, "XMP"},
        {{{"a.NEF", 1}, {"a.NEF.xmp", 1}}, "RAW+XMP"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(companionMarker(c.companions), c.marker);
}

} // namespace
} // namespace kps
