#include "core/drop/leftovers.h"
#include "core/drop/shutdown.h"
#include "core/files/fileops.h"
#include "core/sources/scan.h"
#include "testphotos.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <ctime>

namespace kps {
namespace {

TEST(CopyLeftovers, OnlyTheNamesACopyIsWrittenUnderMatch) {
    struct Case {
        const char* name;
        bool leftover;
    };
    const Case cases[] = {
        {".IMG_1.jpg.1f.part", true},
        {".undo17.JPG.ffffffff.part", true},
        {".a.b.jpeg.0.part", true},
        {". .jpg.9.part", true},
        {"IMG_1.jpg.1f.part", false},
        {".IMG_1.jpg.part", false},
        {".IMG_1.jpg.1F.part", false},
        {".IMG_1.jpg.01f.part", false},
        {".IMG_1.jpg.123456789.part", false},
        {".IMG_1.txt.1f.part", false},
        {".IMG_1.jpg.1f.part.jpg", false},
        {".IMG_1.jpg.1f.PART", false},
        {"..1f.part", false},
        {".jpg.1f.part", false},
        {"a/.b.jpg.1.part", false},
        {"IMG_1.jpg", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(isCopyLeftoverName(QString::fromUtf8(c.name)), c.leftover) << c.name;
    for (const quint32 salt : {0u, 1u, 0xabcu, 0xffffffffu}) {
        const QString tmp = copyTempName(QStringLiteral("/x/y/IMG_1.jpeg"), salt);
        EXPECT_TRUE(tmp.startsWith(QStringLiteral("/x/y/.IMG_1.jpeg."))) << qPrintable(tmp);
        EXPECT_TRUE(isCopyLeftoverName(tmp.mid(5))) << qPrintable(tmp);
    }
}

// Where the program finds its leftovers (the load's scans, the close) it removes the ones left
// alone long enough, and nothing else: not a fresh one, not a folder or link of such a name,
// not another program's file, not one in a subfolder of a deep scan.
TEST(CopyLeftovers, ScansAndTheCloseRemoveOldOnesAndNothingElse) {
    enum class Where { FileList2, DirList4, Close, CloseSharedTrash };
    for (const Where where :
         {Where::FileList2, Where::DirList4, Where::Close, Where::CloseSharedTrash}) {
        SCOPED_TRACE(int(where));
        QTemporaryDir tmp;
        const QString f = tmp.path() + "/trash/";
        const QString undo = f + kUndoFolderName + "/";
        ASSERT_TRUE(QDir().mkpath(undo));
        ASSERT_TRUE(QDir().mkpath(f + "sub"));
        const QStringList leftovers = {f + ".a.jpg.1f.part", undo + ".undo3.jpg.2.part"};
        const QStringList kept = {f + "a.jpg.part", f + ".a.txt.1.part", f + "sub/.c.jpg.3.part",
                                  f + "keep.jpg"};
        for (const QString& p : leftovers + kept)
            ASSERT_TRUE(test::writeFile(p, "half a photo"));
        ASSERT_TRUE(QDir(f).mkdir(".d.jpg.4.part"));
        ASSERT_TRUE(QFile::link(f + "keep.jpg", f + ".e.jpg.5.part"));

        const std::time_t now = std::time(nullptr);
        PhotoList list;
        AppState st;
        st.dirs[kTrashSlot] = f;
        if (where == Where::CloseSharedTrash) st.dirs[3] = f;     // its photos must stay
        for (const std::time_t before : {now - 3600, now + 10}) { // fresh ones stay
            const bool old = before > now;
            switch (where) {
            case Where::FileList2:
                FileList2(list, f, "*.jpg", "*.jpeg", before);
                break;
            case Where::DirList4:
                DirList4(list, f, "*.jpg", "*.jpeg", before);
                break;
            case Where::Close:
            case Where::CloseSharedTrash:
                shutdownCleanup(st, before);
                break;
            }
            const bool scan = where == Where::FileList2 || where == Where::DirList4;
            EXPECT_EQ(QFile::exists(leftovers[0]), !old);
            EXPECT_EQ(QFile::exists(leftovers[1]), !old || scan); // a load never reads it
            for (const QString& p : kept.mid(0, 3))
                EXPECT_TRUE(QFile::exists(p)) << qPrintable(p);
            EXPECT_TRUE(QFileInfo(f + ".d.jpg.4.part").isDir());
            EXPECT_TRUE(QFileInfo(f + ".e.jpg.5.part").isSymLink());
        }
        EXPECT_EQ(QFile::exists(f + "keep.jpg"), where != Where::Close);
    }
}

} // namespace
} // namespace kps
