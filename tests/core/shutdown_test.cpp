#include "core/drop/shutdown.h"
#include "testphotos.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kps {
namespace {

class ShutdownCleanup : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(tmp_.isValid());
        ASSERT_TRUE(QDir().mkpath(undo()));
        st_.dirs[kTrashSlot] = trash();
    }

    QString trash() const { return tmp_.path() + "/trash/"; }
    QString undo() const { return trash() + "undo_500_deleted_images/"; }

    static void touch(const QString& path) { ASSERT_TRUE(test::writeFile(path, "x")); }
    static bool exists(const QString& path) { return QFileInfo::exists(path); }
    static int count(const QString& folder) {
        return int(QDir(folder).entryList(QDir::Files | QDir::Hidden).size());
    }
    void fillUndo(int n) {
        for (int i = 1; i <= n; ++i)
            touch(undo() + QStringLiteral("undo%1.jpg").arg(i));
    }

    QTemporaryDir tmp_;
    AppState st_;
};

TEST_F(ShutdownCleanup, UndoFolderLosesTheFirstInNameOrder) {
    fillUndo(503);
    shutdownCleanup(st_);
    EXPECT_EQ(count(undo()), 500);
    for (const char* gone : {"undo1.jpg", "undo10.jpg", "undo100.jpg"})
        EXPECT_FALSE(exists(undo() + gone)) << gone;
    for (const char* kept : {"undo2.jpg", "undo101.jpg", "undo11.jpg", "undo503.jpg"})
        EXPECT_TRUE(exists(undo() + kept)) << kept;
}

TEST_F(ShutdownCleanup, OneCloseDeletesAtMostAThousand) {
    fillUndo(1700);
    shutdownCleanup(st_);
    EXPECT_EQ(count(undo()), 700);
    shutdownCleanup(st_);
    EXPECT_EQ(count(undo()), 500);
}

TEST_F(ShutdownCleanup, OnlyJpgCountsAndGoes) {
    fillUndo(501);
    for (int i = 0; i < 5; ++i)
        touch(undo() + QStringLiteral("keep%1.jpeg").arg(i));
    touch(trash() + "a.jpg");
    touch(trash() + "b.JPG");
    touch(trash() + "c.jpeg");
    touch(trash() + "notes.txt");
    ASSERT_TRUE(QDir().mkpath(trash() + "sub"));
    touch(trash() + "sub/s.jpg");

    shutdownCleanup(st_);

    EXPECT_FALSE(exists(trash() + "a.jpg"));
    EXPECT_FALSE(exists(trash() + "b.JPG"));
    EXPECT_TRUE(exists(trash() + "c.jpeg"));
    EXPECT_TRUE(exists(trash() + "notes.txt"));
    EXPECT_TRUE(exists(trash() + "sub/s.jpg"));
    EXPECT_EQ(count(undo()), 505); // one ".jpg" went, the ".jpeg" files stay
    EXPECT_FALSE(exists(undo() + "undo1.jpg"));
    EXPECT_TRUE(st_.lists[kTrashSlot].isEmpty()); // no entry names a deleted file
}

TEST_F(ShutdownCleanup, RemovedPhotosTakeTheirCompanionsOnlyWithTheOption) {
    for (bool on : {true, false}) {
        SCOPED_TRACE(on ? "option on" : "option off");
        fillUndo(501); // undo1.jpg goes, undo10.jpg stays
        const QStringList undoGoing{"undo1.CR2", "undo1.CR2.xmp", "undo1.xmp"};
        const QStringList undoStaying{"undo10.CR2", "undo11.CR2"};
        const QStringList trashGoing{"IMG_1.CR2", "IMG_1.CR2.xmp", "IMG_1.jpg.xmp"};
        const QStringList trashStaying{"c.jpeg", "c.CR2", "lone.NEF", "lone.xmp", "notes.txt"};
        for (const QString& n : undoGoing + undoStaying)
            touch(undo() + n);
        touch(trash() + "IMG_1.jpg");
        for (const QString& n : trashGoing + trashStaying)
            touch(trash() + n);
        st_.tarsfajlok = on;

        shutdownCleanup(st_);

        EXPECT_FALSE(exists(undo() + "undo1.jpg"));
        EXPECT_FALSE(exists(trash() + "IMG_1.jpg"));
        for (const QString& n : undoGoing)
            EXPECT_EQ(exists(undo() + n), !on) << qPrintable(n);
        for (const QString& n : trashGoing)
            EXPECT_EQ(exists(trash() + n), !on) << qPrintable(n);
        for (const QString& n : undoStaying)
            EXPECT_TRUE(exists(undo() + n)) << qPrintable(n);
        for (const QString& n : trashStaying)
            EXPECT_TRUE(exists(trash() + n)) << qPrintable(n);
        QDir(trash()).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(undo()));
    }
}

TEST_F(ShutdownCleanup, NoTrashFolderLeavesTheCurrentFolderAlone) {
    const QString cwd = tmp_.path() + "/cwd/";
    ASSERT_TRUE(QDir().mkpath(cwd + "undo_500_deleted_images"));
    touch(cwd + "x.jpg");
    for (int i = 0; i < 501; ++i)
        touch(cwd + QStringLiteral("undo_500_deleted_images/u%1.jpg").arg(i));
    const QString saved = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(cwd));
    st_.dirs[kTrashSlot].clear();
    shutdownCleanup(st_);
    QDir::setCurrent(saved);
    EXPECT_TRUE(exists(cwd + "x.jpg"));
    EXPECT_EQ(count(cwd + "undo_500_deleted_images"), 501);
}

TEST_F(ShutdownCleanup, TrashSharedWithAnotherSlotIsNotTouched) {
    ASSERT_TRUE(QDir().mkpath(tmp_.path() + "/other"));
    const QString viaLink = tmp_.path() + "/other/link";
    ASSERT_EQ(::symlink(QFile::encodeName(tmp_.path() + "/trash").constData(),
                        QFile::encodeName(viaLink).constData()),
              0);
    const QStringList spellings{trash(), tmp_.path() + "/other/../trash/", viaLink + '/',
                                trash() + "undo_500_deleted_images/"};
    fillUndo(501);
    touch(trash() + "a.jpg");
    for (const QString& shared : spellings) {
        AppState st = st_;
        st.dirs[3] = shared;
        shutdownCleanup(st);
        EXPECT_TRUE(exists(trash() + "a.jpg")) << shared.toStdString();
        EXPECT_EQ(count(undo()), 501) << shared.toStdString();
    }
}

TEST_F(ShutdownCleanup, MissingFoldersOfOtherSlotsDoNotBlockIt) {
    st_.dirs[2] = tmp_.path() + "/missing/";
    st_.dirs[5] = tmp_.path() + "/";
    touch(trash() + "a.jpg");
    shutdownCleanup(st_);
    EXPECT_FALSE(exists(trash() + "a.jpg"));
}

TEST_F(ShutdownCleanup, MissingTrashFolderIsHarmless) {
    st_.dirs[kTrashSlot] = tmp_.path() + "/nowhere/";
    st_.lists[kTrashSlot].assign({"/stale.jpg"});
    shutdownCleanup(st_);
    EXPECT_TRUE(st_.lists[kTrashSlot].isEmpty());
}

TEST_F(ShutdownCleanup, FailedDeletionsStillCountAndStayListed) {
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not restrict root";
    fillUndo(1501);
    touch(trash() + "a.jpg");
    const QByteArray undoPath = QFile::encodeName(undo());
    const QByteArray trashPath = QFile::encodeName(trash());
    ASSERT_EQ(::chmod(undoPath.constData(), 0500), 0);
    ASSERT_EQ(::chmod(trashPath.constData(), 0500), 0);
    shutdownCleanup(st_);
    ::chmod(undoPath.constData(), 0700);
    ::chmod(trashPath.constData(), 0700);
    EXPECT_EQ(count(undo()), 1501);
    EXPECT_EQ(st_.lists[kTrashSlot].paths(), QStringList{trash() + "a.jpg"});
}

} // namespace
} // namespace kps
