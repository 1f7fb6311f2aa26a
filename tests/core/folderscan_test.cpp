#include "core/sources/folderscan.h"
#include "core/sources/scan.h"
#include "testphotos.h"
#include "turnstile.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <atomic>
#include <gtest/gtest.h>

namespace kps {
namespace {

class FolderScanTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (!QCoreApplication::instance()) app_ = new QCoreApplication(argc_, argv_);
    }
    static void TearDownTestSuite() {
        delete app_;
        app_ = nullptr;
    }

    void SetUp() override {
        ASSERT_TRUE(tmp_.isValid());
        for (int slot = 0; slot < kSlotCount; ++slot)
            request_.dirs[size_t(slot)] = folder(QStringLiteral("slot%1").arg(slot));
        for (const char* name :
             {"slot0/a.jpg", "slot0/B.JPEG", "slot0/sub/c.jpg", "slot0/sub/deeper/d.jpg",
              "slot0/notes.txt", "slot3/e.jpg", "slot3/sub/f.jpg", "slot8/g.jpeg"}) {
            const QString path = tmp_.path() + '/' + name;
            ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
            ASSERT_TRUE(test::writeFile(path, "x"));
        }
        QObject::connect(&scan_, &FolderScan::finished, &scan_,
                         [this](std::shared_ptr<ScanLists> lists) { delivered_.push_back(lists); });
    }

    QString folder(const QString& name) const {
        const QString path = tmp_.path() + '/' + name + '/';
        QDir().mkpath(path);
        return path;
    }

    // Runs the event loop until a result arrives (a generous bound keeps a broken scan from
    // hanging the suite; no assertion depends on time).
    void waitForDelivery(size_t count = 1) {
        QEventLoop loop;
        QTimer bound;
        bound.setSingleShot(true);
        QObject::connect(&bound, &QTimer::timeout, &loop, &QEventLoop::quit);
        QObject::connect(&scan_, &FolderScan::finished, &loop, &QEventLoop::quit,
                         Qt::QueuedConnection);
        bound.start(20000);
        while (delivered_.size() < count && bound.isActive())
            loop.exec();
    }

    // The lists a synchronous load makes of the same folders.
    ScanLists synchronous(bool subfolders) const {
        ScanLists out;
        const QString jpg = QStringLiteral("*.jpg"), jpeg = QStringLiteral("*.jpeg");
        if (subfolders)
            DirList4(out[0], request_.dirs[0], jpg, jpeg);
        else
            FileList2(out[0], request_.dirs[0], jpg, jpeg);
        for (size_t slot = 1; slot < size_t(kSlotCount); ++slot)
            FileList2(out[slot], request_.dirs[slot], jpg, jpeg);
        return out;
    }

    static void expectSame(const ScanLists& got, const ScanLists& want) {
        for (size_t slot = 0; slot < size_t(kSlotCount); ++slot)
            EXPECT_EQ(got[slot].paths(), want[slot].paths()) << "slot " << slot;
    }

    static inline int argc_ = 1;
    static inline char arg0_[] = "core_tests";
    static inline char* argv_[] = {arg0_, nullptr};
    static inline QCoreApplication* app_ = nullptr;

    QTemporaryDir tmp_;
    ScanRequest request_;
    FolderScan scan_;
    std::vector<std::shared_ptr<ScanLists>> delivered_;
};

TEST_F(FolderScanTest, DeliversWhatASynchronousScanFinds) {
    for (bool subfolders : {true, false}) {
        delivered_.clear();
        request_.subfolders = subfolders;
        scan_.start(request_);
        EXPECT_TRUE(scan_.isRunning());
        waitForDelivery();
        ASSERT_EQ(delivered_.size(), 1u) << subfolders;
        EXPECT_FALSE(scan_.isRunning());
        expectSame(*delivered_[0], synchronous(subfolders));
        EXPECT_EQ((*delivered_[0])[0].count(), subfolders ? 4 : 2);
        EXPECT_EQ((*delivered_[0])[3].count(), 1); // target folders never with subfolders
        EXPECT_EQ((*delivered_[0])[8].count(), 1);
    }
}

TEST_F(FolderScanTest, CancelledScanNeverDelivers) {
    auto gate = std::make_shared<test::Turnstile>();
    scan_.setWorkerHook([gate](const QString&) { gate->wait(); });
    request_.subfolders = true;
    scan_.start(request_);
    gate->waitForArrivals(1);
    scan_.cancel();
    EXPECT_FALSE(scan_.isRunning());
    gate->open();
    ASSERT_TRUE(scan_.waitForWorker(std::chrono::seconds(20)));
    QCoreApplication::processEvents(); // anything the worker posted is handled now
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(delivered_.empty());
}

TEST_F(FolderScanTest, ProgressCountsThePhotosFoundSoFar) {
    auto gate = std::make_shared<test::Turnstile>();
    scan_.setWorkerHook([gate](const QString&) { gate->wait(); });
    std::vector<int> reported;
    QObject::connect(&scan_, &FolderScan::progress, &scan_,
                     [&](int photos, int) { reported.push_back(photos); });
    request_.subfolders = true;
    scan_.start(request_);
    // Source: top, sub, sub/deeper; then the eight other folders, one read at a time.
    std::vector<int> seen;
    std::vector<int> folders;
    for (int read = 1; read <= 11; ++read) {
        gate->waitForArrivals(read);
        seen.push_back(scan_.photosFound());
        folders.push_back(scan_.foldersRead());
        if (read == 3) {
            // Held in the middle of the source: the periodic report tells the same count.
            QEventLoop loop;
            QObject::connect(&scan_, &FolderScan::progress, &loop, &QEventLoop::quit);
            QTimer::singleShot(20000, &loop, &QEventLoop::quit);
            loop.exec();
            ASSERT_FALSE(reported.empty());
            EXPECT_EQ(reported.back(), 3);
        }
        gate->pass();
    }
    waitForDelivery();
    ASSERT_EQ(delivered_.size(), 1u);
    EXPECT_EQ(seen, (std::vector<int>{0, 2, 3, 4, 4, 4, 5, 5, 5, 5, 5}));
    EXPECT_EQ(folders, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(scan_.photosFound(), 0); // nothing runs any more
}

// Loads again and again on a hung drive leave at most a few threads behind; the last load still
// delivers once the drive answers.
TEST_F(FolderScanTest, LoadsOnAHungDriveLeaveFewThreadsBehind) {
    auto gate = std::make_shared<test::Turnstile>();
    auto entered = std::make_shared<std::atomic<int>>(0);
    scan_.setWorkerHook([gate, entered](const QString&) {
        ++*entered;
        gate->wait();
    });
    for (int load = 0; load < 6; ++load) {
        scan_.start(request_);
        QCoreApplication::processEvents();
    }
    gate->waitForArrivals(FolderScan::kMaxLeftBehind);
    QEventLoop settle; // a while for any further thread to show up
    QTimer::singleShot(300, &settle, &QEventLoop::quit);
    settle.exec();
    EXPECT_EQ(*entered, FolderScan::kMaxLeftBehind);
    EXPECT_TRUE(scan_.isRunning());
    scan_.setWorkerHook({});
    gate->open();
    waitForDelivery();
    ASSERT_EQ(delivered_.size(), 1u);
    expectSame(*delivered_[0], synchronous(false));
}

TEST_F(FolderScanTest, DestructionDuringAStalledScanLetsTheWorkerGo) {
    auto gate = std::make_shared<test::Turnstile>();
    bool delivered = false;
    {
        FolderScan scan;
        QObject::connect(&scan, &FolderScan::finished, [&] { delivered = true; });
        scan.setWorkerHook([gate](const QString&) { gate->wait(); });
        scan.start(request_);
        gate->waitForArrivals(1);
    } // waits a moment, then leaves the worker behind
    gate->open();
    QCoreApplication::processEvents();
    EXPECT_FALSE(delivered);
}

} // namespace
} // namespace kps
