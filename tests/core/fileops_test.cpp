#include "core/files/fileops.h"
#include "faultyfileops.h"
#include "testphotos.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

namespace kps {
namespace {

using test::FaultyFileOps;
using test::FileStep;

class FileOpsTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(tmp.isValid()); }
    QString path(const QString& name) const { return tmp.path() + u'/' + name; }
    QString folder() const { return tmp.path() + u'/'; }
    QStringList entries() const {
        return QDir(tmp.path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }
    QTemporaryDir tmp;
    RealFileOps ops;
};

// Bigger than one copy chunk, with an odd tail.
QByteArray bigBytes() {
    QByteArray b((3 << 20) + 123, '\0');
    for (qsizetype i = 0; i < b.size(); ++i)
        b[i] = char((i * 7 + i / 4096) & 0xFF);
    return b;
}

TEST_F(FileOpsTest, SafeCopyCopiesDataAndModificationTimeLeavingNoTemporaryFile) {
    const QByteArray data = bigBytes();
    ASSERT_TRUE(test::writeFile(path("a.jpg"), data));
    const QDateTime when(QDate(2011, 5, 17), QTime(8, 30, 15));
    ASSERT_TRUE(test::setModified(path("a.jpg"), when));

    ASSERT_EQ(safeCopy(ops, path("a.jpg"), path("b.jpg")), CopyResult::Done);
    EXPECT_EQ(test::readFile(path("b.jpg")), data);
    EXPECT_EQ(QFileInfo(path("b.jpg")).lastModified(), when);
    EXPECT_EQ(entries(), (QStringList{"a.jpg", "b.jpg"}));
}

TEST_F(FileOpsTest, SafeCopyNeverReplacesAnExistingFile) {
    ASSERT_TRUE(test::writeFile(path("a.jpg"), "new photo"));
    ASSERT_TRUE(test::writeFile(path("b.jpg"), "old photo"));
    EXPECT_EQ(safeCopy(ops, path("a.jpg"), path("b.jpg")), CopyResult::Taken);
    EXPECT_EQ(test::readFile(path("b.jpg")), "old photo");
    EXPECT_EQ(entries(), (QStringList{"a.jpg", "b.jpg"}));
}

TEST_F(FileOpsTest, SafeCopyFailsCleanlyOnMissingFoldersAndFiles) {
    ASSERT_TRUE(test::writeFile(path("a.jpg"), "photo"));
    EXPECT_EQ(safeCopy(ops, path("a.jpg"), path("gone/b.jpg")), CopyResult::Failed);
    EXPECT_EQ(safeCopy(ops, path("missing.jpg"), path("b.jpg")), CopyResult::Failed);
    EXPECT_EQ(safeCopy(ops, path("a.jpg"), QStringLiteral("b.jpg")), CopyResult::Failed);
    ASSERT_TRUE(QDir(tmp.path()).mkdir("sub"));
    EXPECT_EQ(safeCopy(ops, path("sub"), path("c.jpg")), CopyResult::Failed); // not a photo
    EXPECT_EQ(entries(), (QStringList{"a.jpg", "sub"}));
}

TEST_F(FileOpsTest, SafeCopyLeavesNothingBehindWhicheverStepFails) {
    struct Case {
        const char* name;
        FileStep step;
        bool folderOnly; // fail only the flush of the folder, after the rename
    };
    const Case cases[] = {
        {"copy", FileStep::CopyToTemp, false},   {"flush", FileStep::Flush, false},
        {"verify", FileStep::Verify, false},     {"rename", FileStep::Rename, false},
        {"folder flush", FileStep::Flush, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString f = dir.path() + u'/';
        ASSERT_TRUE(test::writeFile(f + "a.jpg", "photo"));
        FaultyFileOps faulty;
        if (c.folderOnly) {
            faulty.failOn(c.step, [f](const QString& p) { return p == f; });
        } else {
            faulty.failOn(c.step);
        }
        EXPECT_EQ(safeCopy(faulty, f + "a.jpg", f + "b.jpg"), CopyResult::Failed);
        EXPECT_EQ(faulty.tripped, 1);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"a.jpg"});
        EXPECT_EQ(test::readFile(f + "a.jpg"), "photo");
    }
}

TEST_F(FileOpsTest, RenameNoReplaceMovesButRefusesATakenName) {
    ASSERT_TRUE(test::writeFile(path("a.jpg"), "A"));
    ASSERT_TRUE(test::writeFile(path("b.jpg"), "B"));
    EXPECT_EQ(ops.renameNoReplace(path("a.jpg"), path("b.jpg")), RenameResult::Failed);
    EXPECT_EQ(test::readFile(path("a.jpg")), "A");
    EXPECT_EQ(test::readFile(path("b.jpg")), "B");

    EXPECT_EQ(ops.renameNoReplace(path("a.jpg"), path("c.jpg")), RenameResult::Done);
    EXPECT_EQ(entries(), (QStringList{"b.jpg", "c.jpg"}));
    EXPECT_EQ(test::readFile(path("c.jpg")), "A");
}

TEST_F(FileOpsTest, SameBytesOnlyForRegularFilesWithEqualContent) {
    ASSERT_TRUE(test::writeFile(path("a"), "abcdef"));
    ASSERT_TRUE(test::writeFile(path("same"), "abcdef"));
    ASSERT_TRUE(test::writeFile(path("other"), "abcdeX"));
    ASSERT_TRUE(test::writeFile(path("longer"), "abcdefg"));
    ASSERT_TRUE(test::writeFile(path("big1"), bigBytes()));
    QByteArray late = bigBytes();
    late[late.size() - 1] = char(late[late.size() - 1] ^ 1); // differs in the last chunk only
    ASSERT_TRUE(test::writeFile(path("big2"), late));
    ASSERT_TRUE(QDir(tmp.path()).mkdir("dir"));
    struct Case {
        const char* other;
        bool same;
    };
    const Case cases[] = {{"same", true},    {"a", true},        {"other", false},
                          {"longer", false}, {"missing", false}, {"dir", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.other);
        EXPECT_EQ(ops.sameBytes(path("a"), path(c.other)), c.same);
    }
    EXPECT_FALSE(ops.sameBytes(path("big1"), path("big2")));
    EXPECT_TRUE(ops.sameBytes(path("big1"), path("big1")));
}

TEST_F(FileOpsTest, SameFileFollowsHardLinksNotContent) {
    ASSERT_TRUE(test::writeFile(path("a"), "x"));
    ASSERT_TRUE(test::writeFile(path("copy"), "x"));
    ASSERT_EQ(::link(QFile::encodeName(path("a")), QFile::encodeName(path("link"))), 0);
    EXPECT_TRUE(ops.sameFile(path("a"), path("link")));
    EXPECT_TRUE(ops.sameFile(path("a"), folder() + "../" + QDir(tmp.path()).dirName() + "/a"));
    EXPECT_FALSE(ops.sameFile(path("a"), path("copy")));
    EXPECT_FALSE(ops.sameFile(path("a"), path("missing")));
}

TEST_F(FileOpsTest, ExistsSeesEverythingStandingAtAName) {
    ASSERT_TRUE(test::writeFile(path("a"), "x"));
    ASSERT_TRUE(QDir(tmp.path()).mkdir("dir"));
    ASSERT_TRUE(QFile::link(path("nowhere"), path("dangling")));
    EXPECT_TRUE(ops.exists(path("a")));
    EXPECT_TRUE(ops.exists(path("dir")));
    EXPECT_TRUE(ops.exists(path("dangling")));
    EXPECT_FALSE(ops.exists(path("nowhere")));
    EXPECT_FALSE(ops.exists(QString()));
}

TEST_F(FileOpsTest, RemoveDeletesFilesButNeverFolders) {
    ASSERT_TRUE(test::writeFile(path("a"), "x"));
    ASSERT_TRUE(QDir(tmp.path()).mkdir("dir"));
    EXPECT_FALSE(ops.remove(path("dir")));
    EXPECT_FALSE(ops.remove(path("missing")));
    EXPECT_TRUE(ops.remove(path("a")));
    EXPECT_EQ(entries(), QStringList{"dir"});
}

TEST_F(FileOpsTest, CopyToTempNeverOverwritesAndFlushTakesFilesAndFolders) {
    ASSERT_TRUE(test::writeFile(path("a"), "new"));
    ASSERT_TRUE(test::writeFile(path("t"), "old"));
    EXPECT_FALSE(ops.copyToTemp(path("a"), path("t")));
    EXPECT_EQ(test::readFile(path("t")), "old");
    EXPECT_TRUE(ops.flush(path("t")));
    EXPECT_TRUE(ops.flush(folder()));
    EXPECT_FALSE(ops.flush(path("missing")));
    EXPECT_TRUE(ops.verify(path("a"), path("t"))); // sizes match
    EXPECT_FALSE(ops.verify(path("a"), path("missing")));
    ASSERT_TRUE(test::writeFile(path("short"), "ne"));
    EXPECT_FALSE(ops.verify(path("a"), path("short")));
}

TEST_F(FileOpsTest, SameFileSystemTellsFileSystemsApart) {
    ASSERT_TRUE(test::writeFile(path("a"), "x"));
    EXPECT_TRUE(ops.sameFileSystem(path("a"), folder()));
    EXPECT_FALSE(ops.sameFileSystem(path("a"), path("missing/")));
    if (!QFileInfo::exists("/proc/self")) GTEST_SKIP() << "no /proc";
    EXPECT_FALSE(ops.sameFileSystem(path("a"), QStringLiteral("/proc/")));
}

// A folder bind-mounted elsewhere is the same device, yet no rename reaches it: a drop there is
// planned as a copy, and counted as one. Needs a mount namespace of its own (root).
TEST_F(FileOpsTest, ABindMountIsAnotherFileSystemForRenames) {
    ASSERT_TRUE(QDir(tmp.path()).mkpath("a") && QDir(tmp.path()).mkpath("b"));
    ASSERT_TRUE(test::writeFile(path("a/x.jpg"), "x"));
    if (::geteuid() != 0) GTEST_SKIP() << "mounting needs root";
    const auto inOwnNamespace = [&] {
        const QByteArray a = QFile::encodeName(path("a"));
        const QByteArray b = QFile::encodeName(path("b"));
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount(a.constData(), b.constData(), nullptr, MS_BIND, nullptr) != 0)
            ::_exit(0); // no namespaces here: nothing to tell
        const bool wrong = ops.sameFileSystem(path("a/x.jpg"), path("b/")) ||
                           !ops.sameFileSystem(path("a/x.jpg"), path("a/")) ||
                           mountOf(path("a/")) == mountOf(path("b/"));
        ::_exit(wrong ? 1 : 0);
    };
    EXPECT_EXIT(inOwnNamespace(), testing::ExitedWithCode(0), "");
}

TEST_F(FileOpsTest, ACopyIsKeptWhenItsModificationTimeCannotBeSet) {
    FaultyFileOps noTimes;
    noTimes.refuseTimes = true;
    ASSERT_TRUE(test::writeFile(path("a.jpg"), bigBytes()));
    EXPECT_EQ(safeCopy(noTimes, path("a.jpg"), path("b.jpg")), CopyResult::Done);
    EXPECT_EQ(test::readFile(path("b.jpg")), bigBytes());
}

} // namespace
} // namespace kps
