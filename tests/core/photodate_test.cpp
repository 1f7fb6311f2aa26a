#include "core/files/filecallguard.h"
#include "core/photo/jpegdecoder.h"
#include "core/photo/photodate.h"
#include "testphotos.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>
#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>
#include <thread>

namespace {

struct DateCase {
    const char* name;
    QDateTime modified; // local time
    const char* expected;
};

class PhotoDate : public ::testing::TestWithParam<DateCase> {
  protected:
    QTemporaryDir dir;
};

TEST_P(PhotoDate, ShowsLocalTimeWithoutLeadingZerosOrSeconds) {
    const DateCase& c = GetParam();
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("photo.jpg");
    ASSERT_TRUE(kps::test::writeJpeg(path, 8, 8));
    ASSERT_TRUE(kps::test::setModified(path, c.modified));
    EXPECT_EQ(kps::kepdatum(path), QString::fromLatin1(c.expected));
    // The viewer's text from a time it was told, without looking at the file.
    EXPECT_EQ(kps::photoDateText(c.modified.toMSecsSinceEpoch()), QString::fromLatin1(c.expected));
}

// The photo path's file calls on a thread that has a rule are counted there only.
TEST(FileCallGuard, CountsTheMarkedThreadsCallsOnly) {
    QTemporaryDir dir;
    const QString path = dir.filePath("a.jpg");
    ASSERT_TRUE(kps::test::writeJpeg(path, 8, 8));
    const int before = kps::fileCallsOnThisThread();
    kps::setFileCallRule(kps::FileCallRule::Counted);
    kps::kepdatum(path);
    kps::JpegDecoder().decode(path, {});
    std::thread([&] {
        kps::kepdatum(path);
        EXPECT_EQ(kps::fileCallsOnThisThread(), 0);
    }).join();
    const int counted = kps::fileCallsOnThisThread() - before;
    EXPECT_GE(counted, 2); // the date and the decode, each at least once
    kps::setFileCallRule(kps::FileCallRule::Allowed);
    kps::kepdatum(path);
    EXPECT_EQ(kps::fileCallsOnThisThread() - before, counted);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PhotoDate,
    ::testing::Values(
        DateCase{
            "MorningDropsZerosAndSeconds", {QDate(2017, 3, 5), QTime(9, 7, 41)}, "2017.3.5 9:7"},
        DateCase{"LastMinuteOfYear", {QDate(2016, 12, 31), QTime(23, 59, 59)}, "2016.12.31 23:59"},
        DateCase{"Midnight", {QDate(2018, 1, 1), QTime(0, 0, 0)}, "2018.1.1 0:0"},
        DateCase{"TwoDigitFields", {QDate(2020, 10, 15), QTime(12, 30)}, "2020.10.15 12:30"}),
    [](const ::testing::TestParamInfo<DateCase>& info) { return std::string(info.param.name); });

TEST(PhotoDateFailures, MissingOrEmptyPathGivesEmptyText) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    EXPECT_EQ(kps::kepdatum(dir.filePath("gone.jpg")), QString());
    EXPECT_EQ(kps::kepdatum(QString()), QString());
    EXPECT_EQ(kps::kepdatum(dir.filePath("no/such/folder/a.jpg")), QString());
}

TEST(PhotoDateFailures, FileRemovedAfterListingGivesEmptyText) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("a.jpg");
    ASSERT_TRUE(kps::test::writeJpeg(path, 8, 8));
    ASSERT_FALSE(kps::kepdatum(path).isEmpty());
    ASSERT_TRUE(QFile::remove(path));
    EXPECT_EQ(kps::kepdatum(path), QString());
}

TEST(PhotoDateFailures, HiddenFileIsDated) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(".hidden.jpg");
    ASSERT_TRUE(kps::test::writeJpeg(path, 8, 8));
    ASSERT_TRUE(kps::test::setModified(path, {QDate(2019, 6, 1), QTime(8, 5)}));
    EXPECT_EQ(kps::kepdatum(path), QStringLiteral("2019.6.1 8:5"));
}

// The stored time is UTC; the text follows the computer's time-zone rules, summer time included.
class PhotoDateTimeZone : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* old = std::getenv("TZ");
        hadTz_ = old != nullptr;
        if (hadTz_) oldTz_ = old;
        setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1); // central Europe, without tzdata
        tzset();
    }
    void TearDown() override {
        if (hadTz_)
            setenv("TZ", oldTz_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    bool hadTz_ = false;
    std::string oldTz_;
};

TEST_F(PhotoDateTimeZone, ConvertsUtcToLocalWinterAndSummerTime) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("a.jpg");
    ASSERT_TRUE(kps::test::writeJpeg(path, 8, 8));

    ASSERT_TRUE(kps::test::setModified(
        path, QDateTime(QDate(2017, 7, 15), QTime(12, 30), QTimeZone::utc())));
    EXPECT_EQ(kps::kepdatum(path), QStringLiteral("2017.7.15 14:30"));

    ASSERT_TRUE(kps::test::setModified(
        path, QDateTime(QDate(2016, 12, 31), QTime(23, 30), QTimeZone::utc())));
    EXPECT_EQ(kps::kepdatum(path), QStringLiteral("2017.1.1 0:30"));
}

} // namespace
