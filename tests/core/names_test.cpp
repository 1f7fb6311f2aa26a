// Photos and folders whose names hold bytes that Qt's own converters lose or change: Latin-2,
// as an older Windows disk leaves them, and U+FEFF, which they take for a byte-order mark. Each
// step from the scan to the clean-up at close must name the very same bytes.

#include "core/drop/drop.h"
#include "core/drop/shutdown.h"
#include "core/files/nativepath.h"
#include "core/photo/jpegdecoder.h"
#include "core/photo/photodate.h"
#include "core/settings/folderpath.h"
#include "core/sources/scan.h"
#include "core/state/cursor.h"
#include "testphotos.h"

#include <QFile>
#include <QTemporaryDir>
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <gtest/gtest.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace kps {
namespace {

// Two photo names, a source subfolder and a target folder, all in one kind of bytes.
struct NameSet {
    const char* label;
    QByteArray name, other, sub, target;
};

void PrintTo(const NameSet& set, std::ostream* os) {
    *os << set.label;
}

const NameSet kNameSets[] = {
    // "árvíztűrő.jpg", "tükör.jpg", "régi", "cél" in Latin-2
    {"Latin2", "\xe1rv\xedzt\xfbr\xf5.jpg", "t\xfck\xf6r.jpg", "r\xe9gi", "c\xe9l"},
    // U+FEFF opening a name and inside one: Qt's decoders drop the first
    {"ByteOrderMark", "\357\273\277ab.jpg", "a\357\273\277b.jpg", "\357\273\277r",
     "c\357\273\277d"},
    // an encoded lone surrogate and a four-byte character
    {"Surrogates", "\xed\xb2\x80.jpg", "\xf0\x9f\x93\xb7.jpg", "s\xed\xa0\x80", "t\xc3"},
};

class OddNames : public ::testing::TestWithParam<NameSet> {
  protected:
    OddNames() : base_(QFile::encodeName(tmp_.path()) + '/') {}
    // QTemporaryDir cannot remove names that are not UTF-8; the tree goes by its bytes first.
    ~OddNames() override {
        ::nftw(
            base_.constData(),
            [](const char* path, const struct stat*, int, FTW*) { return ::remove(path), 0; }, 16,
            FTW_DEPTH | FTW_PHYS);
    }

    QByteArray at(const QByteArray& rel) const { return base_ + rel; }
    QString folder(const QByteArray& rel) const { return pathFromNative(at(rel) + '/'); }

    void mkdirRaw(const QByteArray& rel) const {
        ASSERT_EQ(::mkdir(at(rel).constData(), 0777), 0) << rel.toHex().constData();
    }
    void writeRaw(const QByteArray& rel, int seed = 1) const {
        const QByteArray data = test::makeJpegBytes(32, 24, seed);
        const int fd = ::open(at(rel).constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        ASSERT_GE(fd, 0) << rel.toHex().constData();
        ASSERT_EQ(::write(fd, data.constData(), size_t(data.size())), data.size());
        ::close(fd);
    }
    bool existsRaw(const QByteArray& rel) const {
        struct stat st;
        return ::stat(at(rel).constData(), &st) == 0;
    }
    // The names in a folder, as the file system spells them.
    std::set<QByteArray> namesIn(const QByteArray& rel) const {
        std::set<QByteArray> names;
        if (DIR* d = ::opendir(at(rel).constData())) {
            while (const dirent* e = ::readdir(d)) {
                const QByteArray n(e->d_name);
                if (n != "." && n != "..") names.insert(n);
            }
            ::closedir(d);
        }
        return names;
    }
    static QList<QByteArray> bytesOf(const PhotoList& list) {
        QList<QByteArray> out;
        for (const QString& p : list.paths())
            out << nativePath(p);
        return out;
    }

    QTemporaryDir tmp_;
    const QByteArray base_;
    const QByteArray kName = GetParam().name;
    const QByteArray kOther = GetParam().other;
    const QByteArray kSub = GetParam().sub;
    const QByteArray kTarget = GetParam().target;
};

TEST_P(OddNames, ScansListTheExactBytes) {
    mkdirRaw("src");
    writeRaw("src/" + kName);
    mkdirRaw("src/" + kSub);
    writeRaw("src/" + kSub + "/" + kOther);

    PhotoList flat;
    FileList2(flat, folder("src"), QStringLiteral("*.jpg"), QStringLiteral("*.jpeg"));
    EXPECT_EQ(bytesOf(flat), QList<QByteArray>{at("src/" + kName)});

    PhotoList deep;
    DirList4(deep, folder("src"), QStringLiteral("*.jpg"), QStringLiteral("*.jpeg"));
    const QList<QByteArray> listed = bytesOf(deep);
    EXPECT_EQ(listed.size(), 2);
    EXPECT_TRUE(listed.contains(at("src/" + kName)));
    EXPECT_TRUE(listed.contains(at("src/" + kSub + "/" + kOther)));
}

TEST_P(OddNames, PhotoDecodesAndHasItsDate) {
    mkdirRaw(kSub);
    writeRaw(kSub + "/" + kName);
    const QString photo = folder(kSub) + pathFromNative(kName);
    const timespec times[2] = {{0, UTIME_OMIT}, {1488705000, 0}}; // 2017-03-05 09:10 UTC
    ASSERT_EQ(::utimensat(AT_FDCWD, nativePath(photo).constData(), times, 0), 0);

    JpegDecoder decoder;
    const DecodedPhoto decoded = decoder.decode(photo, QSize());
    EXPECT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.fullSize, QSize(32, 24));
    EXPECT_TRUE(kepdatum(photo).startsWith(QStringLiteral("2017.3.")))
        << qPrintable(kepdatum(photo));
    EXPECT_TRUE(pathFacts(photo).isFile);
}

// Two photos leave the odd-named source: one into an odd-named yellow folder, one into the Trash,
// which the close then empties.
TEST_P(OddNames, DropsMoveThemAndCloseCleansUp) {
    mkdirRaw(kSub);
    mkdirRaw(kTarget);
    mkdirRaw("trash");
    mkdirRaw("trash/undo_500_deleted_images");
    writeRaw(kSub + "/" + kName, 1);
    writeRaw(kSub + "/" + kOther, 2);

    AppState st;
    for (int slot = 0; slot < kSlotCount; ++slot)
        st.dirs[size_t(slot)] = folder("f" + QByteArray::number(slot)); // missing: never used
    st.dirs[kSourceSlot] = folder(kSub);
    st.dirs[1] = folder(kTarget);
    st.dirs[kTrashSlot] = folder("trash");
    FileList2(st.lists[kSourceSlot], st.dirs[kSourceSlot], QStringLiteral("*.jpg"),
              QStringLiteral("*.jpeg"));
    ASSERT_EQ(st.lists[kSourceSlot].count(), 2);
    st.panelState[kSourceSlot] = PanelState::Selected;
    RealFileOps ops;

    const auto dropOn = [&](int target) {
        st.globalnev = listbox(st, kSourceSlot);
        st.panelState[size_t(target)] = PanelState::DropTarget;
        const DropPlan plan = planDrop(st, ops);
        const DropOutcome out = executeDrop(st, plan, false, ops);
        EXPECT_TRUE(out.ok) << qPrintable(displayPath(out.message));
        return plan.source;
    };

    const QByteArray sourceFolder = at(kSub + "/");
    const QByteArray first = nativePath(dropOn(1)).mid(sourceFolder.size());
    const QByteArray second = first == kName ? kOther : kName;
    EXPECT_TRUE(first == kName || first == kOther) << first.toHex().constData();
    EXPECT_EQ(namesIn(kTarget), std::set<QByteArray>{first});
    EXPECT_EQ(bytesOf(st.lists[1]), QList<QByteArray>{at(kTarget + "/" + first)});

    EXPECT_EQ(nativePath(dropOn(kTrashSlot)), sourceFolder + second);
    EXPECT_EQ(namesIn(kSub), std::set<QByteArray>{});
    EXPECT_EQ(namesIn("trash"), (std::set<QByteArray>{second, "undo_500_deleted_images"}));
    EXPECT_EQ(namesIn("trash/undo_500_deleted_images"), std::set<QByteArray>{"undo1.jpg"});

    shutdownCleanup(st);
    EXPECT_EQ(namesIn("trash"), std::set<QByteArray>{"undo_500_deleted_images"});
    EXPECT_TRUE(existsRaw(kTarget + "/" + first)); // the sorted photo stays
}

TEST_P(OddNames, FolderIsMadeOneLevelByItsBytes) {
    const QString made = folder(kTarget);
    EXPECT_TRUE(makeFolder(made));
    EXPECT_TRUE(existsRaw(kTarget));
    EXPECT_FALSE(makeFolder(made));                          // already there
    EXPECT_FALSE(makeFolder(made + QStringLiteral("a/b/"))); // the parent is not made
    EXPECT_FALSE(makeFolder(QString()));
}

// "ab.jpg" beside "a<U+FEFF>b.jpg" lists two photos, each opening its own file.
TEST(NameBytes, LookAlikesStayApart) {
    QTemporaryDir tmp;
    const QString dir = tmp.path() + QLatin1Char('/');
    const QByteArray names[] = {"ab.jpg", "a\357\273\277b.jpg", "\357\273\277ab.jpg"};
    for (int i = 0; i < 3; ++i) {
        const QByteArray data = test::makeJpegBytes(16 + 8 * i, 16, i);
        const int fd = ::open(nativePath(dir + pathFromNative(names[i])).constData(),
                              O_WRONLY | O_CREAT | O_EXCL, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, data.constData(), size_t(data.size())), data.size());
        ::close(fd);
    }
    PhotoList list;
    FileList2(list, dir, QStringLiteral("*.jpg"), QStringLiteral("*.jpeg"));
    ASSERT_EQ(list.count(), 3);
    std::set<QByteArray> listed;
    JpegDecoder decoder;
    for (const QString& path : list.paths()) {
        const QByteArray name = nativePath(path).mid(nativePath(dir).size());
        listed.insert(name);
        const int i = int(std::find(std::begin(names), std::end(names), name) - names);
        ASSERT_LT(i, 3) << name.toHex().constData();
        EXPECT_EQ(decoder.decode(path, QSize()).fullSize, QSize(16 + 8 * i, 16));
    }
    EXPECT_EQ(listed.size(), 3u);
}

INSTANTIATE_TEST_SUITE_P(NameBytes, OddNames, ::testing::ValuesIn(kNameSets),
                         [](const auto& info) { return std::string(info.param.label); });

} // namespace
} // namespace kps
