#include "core/photo/photocache.h"
#include "testphotos.h"

#include <QDateTime>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cerrno>
#include <chrono>
#include <future>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using kps::DecodedPhoto;
using kps::PhotoCache;
using namespace std::chrono_literals;

// Waits (bounded) for the background worker to reach a state; the result is what the test checks.
template <typename Condition> bool eventually(Condition condition) {
    for (int i = 0; i < 1000; ++i) {
        if (condition()) return true;
        std::this_thread::sleep_for(10ms);
    }
    return condition();
}

class PhotoCacheTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString photo(const QString& name, int width = 320, int height = 240, int seed = 0) {
        const QString path = dir.filePath(name);
        EXPECT_TRUE(kps::test::writeJpeg(path, width, height, seed));
        return path;
    }
    QTemporaryDir dir;
};

TEST_F(PhotoCacheTest, SecondGetIsServedFromMemory) {
    PhotoCache cache;
    const QString a = photo("a.jpg");
    const DecodedPhoto first = cache.get(a, {80, 60});
    ASSERT_TRUE(first.ok);
    EXPECT_TRUE(cache.isCached(a, {80, 60}));
    const DecodedPhoto second = cache.get(a, {80, 60});
    EXPECT_EQ(cache.decodeCount(), 1);
    EXPECT_EQ(second.image.constBits(), first.image.constBits());
    EXPECT_EQ(second.fullSize, QSize(320, 240));
}

TEST_F(PhotoCacheTest, PrefetchedPhotoNeedsNoSecondDecode) {
    PhotoCache cache;
    const QString next = photo("next.jpg");
    const QString previous = photo("previous.jpg");
    cache.prefetch({next, previous}, {80, 60});
    ASSERT_TRUE(eventually([&] {
        return cache.isCached(next, {80, 60}) && cache.isCached(previous, {80, 60});
    }));
    EXPECT_EQ(cache.decodeCount(), 2);
    EXPECT_TRUE(cache.get(next, {80, 60}).ok);
    EXPECT_TRUE(cache.get(previous, {40, 30}).ok); // a smaller frame is covered too
    EXPECT_EQ(cache.decodeCount(), 2);
}

TEST_F(PhotoCacheTest, ChangedFileIsDecodedAgain) {
    PhotoCache cache;
    const QString a = photo("a.jpg", 320, 240);
    ASSERT_EQ(cache.get(a, {}).fullSize, QSize(320, 240));

    // Another photo under the same name: new size and time.
    ASSERT_TRUE(kps::test::writeJpeg(a, 200, 100));
    ASSERT_TRUE(kps::test::setModified(a, QDateTime::currentDateTime().addSecs(60)));
    EXPECT_FALSE(cache.isCached(a, {}));
    EXPECT_EQ(cache.get(a, {}).fullSize, QSize(200, 100));
    EXPECT_EQ(cache.decodeCount(), 2);

    // Only the time changes: still decoded again.
    ASSERT_TRUE(kps::test::setModified(a, QDateTime::currentDateTime().addSecs(120)));
    cache.get(a, {});
    EXPECT_EQ(cache.decodeCount(), 3);
}

TEST_F(PhotoCacheTest, LargerFrameIsDecodedAgainSmallerIsNot) {
    PhotoCache cache;
    const QString a = photo("a.jpg", 800, 600);
    EXPECT_EQ(cache.get(a, {100, 75}).image.size(), QSize(100, 75));
    EXPECT_FALSE(cache.isCached(a, {300, 200}));
    EXPECT_EQ(cache.get(a, {300, 200}).image.size(), QSize(300, 225));
    EXPECT_EQ(cache.get(a, {100, 75}).image.size(), QSize(300, 225));
    EXPECT_EQ(cache.get(a, {250, 180}).image.size(), QSize(300, 225));
    EXPECT_EQ(cache.decodeCount(), 2);
    EXPECT_EQ(cache.get(a, {}).image.size(), QSize(800, 600));
    EXPECT_EQ(cache.decodeCount(), 3);
}

// Each 320x240 photo takes 307200 bytes; the budget holds two.
TEST_F(PhotoCacheTest, BudgetEvictsLeastRecentlyUsed) {
    PhotoCache cache(2 * 320 * 240 * 4);
    const QString a = photo("a.jpg"), b = photo("b.jpg"), c = photo("c.jpg"), d = photo("d.jpg");
    cache.get(a, {});
    cache.get(b, {});
    cache.get(c, {});
    EXPECT_FALSE(cache.isCached(a, {}));
    EXPECT_TRUE(cache.isCached(b, {}));
    EXPECT_TRUE(cache.isCached(c, {}));

    cache.get(b, {}); // b is now more recent than c
    cache.get(d, {});
    EXPECT_TRUE(cache.isCached(b, {}));
    EXPECT_FALSE(cache.isCached(c, {}));
    EXPECT_TRUE(cache.isCached(d, {}));
    EXPECT_EQ(cache.decodeCount(), 4);
}

// The neighbours being prefetched outlive a photo the viewer already holds.
TEST_F(PhotoCacheTest, PrefetchListIsEvictedLast) {
    PhotoCache cache(2 * 320 * 240 * 4);
    const QString shown = photo("shown.jpg"), next = photo("next.jpg"), prev = photo("prev.jpg");
    cache.get(shown, {});
    cache.prefetch({next, prev}, {});
    ASSERT_TRUE(eventually([&] { return cache.isCached(next, {}) && cache.isCached(prev, {}); }));
    EXPECT_FALSE(cache.isCached(shown, {}));

    // A jump elsewhere: the new photo is decoded, the prefetched ones stay.
    const QString other = photo("other.jpg");
    EXPECT_TRUE(cache.get(other, {}).ok);
    EXPECT_TRUE(cache.isCached(next, {}));
    EXPECT_TRUE(cache.isCached(prev, {}));
}

TEST_F(PhotoCacheTest, PhotoLargerThanBudgetIsReturnedButNotKept) {
    PhotoCache cache(1000);
    const QString a = photo("a.jpg");
    const DecodedPhoto got = cache.get(a, {});
    EXPECT_TRUE(got.ok);
    EXPECT_EQ(got.image.size(), QSize(320, 240));
    EXPECT_FALSE(cache.isCached(a, {}));
}

// Whatever the timing (queued, running or finished), the photo is decoded exactly once.
TEST_F(PhotoCacheTest, GetDuringPrefetchOfSamePathDecodesOnce) {
    for (int round = 0; round < 5; ++round) {
        PhotoCache cache;
        const QString big = photo(QStringLiteral("big%1.jpg").arg(round), 2400, 1800, round);
        cache.prefetch({big}, {});
        if (round % 2) std::this_thread::sleep_for(std::chrono::milliseconds(5 * round));
        const DecodedPhoto got = cache.get(big, {});
        ASSERT_TRUE(got.ok);
        EXPECT_EQ(got.image.size(), QSize(2400, 1800));
        std::this_thread::sleep_for(50ms); // let a wrongly queued second decode show itself
        EXPECT_EQ(cache.decodeCount(), 1) << "round " << round;
    }
}

TEST_F(PhotoCacheTest, ConcurrentGetsOfSamePathShareOneDecode) {
    PhotoCache cache;
    const QString big = photo("big.jpg", 2400, 1800);
    std::vector<DecodedPhoto> results(4);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < results.size(); ++i)
        threads.emplace_back([&, i] { results[i] = cache.get(big, {1200, 900}); });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(cache.decodeCount(), 1);
    for (const DecodedPhoto& r : results) {
        EXPECT_TRUE(r.ok);
        EXPECT_EQ(r.image.size(), QSize(1200, 900));
    }
}

TEST_F(PhotoCacheTest, ClearDropsEverything) {
    PhotoCache cache;
    const QString a = photo("a.jpg"), b = photo("b.jpg");
    cache.get(a, {});
    cache.prefetch({b}, {});
    ASSERT_TRUE(eventually([&] { return cache.isCached(b, {}); }));
    cache.clear();
    EXPECT_FALSE(cache.isCached(a, {}));
    EXPECT_FALSE(cache.isCached(b, {}));
    EXPECT_TRUE(cache.get(a, {}).ok);
    EXPECT_EQ(cache.decodeCount(), 3);
}

TEST_F(PhotoCacheTest, ReplacedPrefetchQueueDropsWaitingPhotos) {
    PhotoCache cache;
    const QString old1 = photo("old1.jpg"), old2 = photo("old2.jpg"), wanted = photo("w.jpg");
    cache.setPaused(true);
    cache.prefetch({old1, old2}, {});
    cache.prefetch({wanted}, {});
    cache.setPaused(false);
    ASSERT_TRUE(eventually([&] { return cache.isCached(wanted, {}); }));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(cache.decodeCount(), 1);
    EXPECT_FALSE(cache.isCached(old1, {}));
    EXPECT_FALSE(cache.isCached(old2, {}));
}

// The viewer decodes a queued photo itself: the worker must not decode it a second time.
TEST_F(PhotoCacheTest, GetTakesQueuedPhotoOutOfPrefetchQueue) {
    PhotoCache cache;
    const QString next = photo("next.jpg"), prev = photo("prev.jpg");
    cache.setPaused(true);
    cache.prefetch({next, prev}, {});
    EXPECT_TRUE(cache.get(next, {}).ok);
    cache.setPaused(false);
    ASSERT_TRUE(eventually([&] { return cache.isCached(prev, {}); }));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(cache.decodeCount(), 2);
}

TEST_F(PhotoCacheTest, PrefetchIgnoresEmptyPathsAndDuplicates) {
    PhotoCache cache;
    const QString a = photo("a.jpg");
    cache.prefetch({a, QString(), a, a}, {});
    ASSERT_TRUE(eventually([&] { return cache.isCached(a, {}); }));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(cache.decodeCount(), 1);
}

TEST_F(PhotoCacheTest, BadAndMissingFiles) {
    PhotoCache cache;
    const QString bad = dir.filePath("bad.jpg");
    ASSERT_TRUE(kps::test::writeFile(bad, QByteArray("no jpeg here")));
    EXPECT_FALSE(cache.get(bad, {}).ok);
    EXPECT_FALSE(cache.get(bad, {}).ok);
    EXPECT_EQ(cache.decodeCount(), 1) << "an unchanged bad file is not decoded again";

    const QString missing = dir.filePath("missing.jpg");
    EXPECT_FALSE(cache.get(missing, {}).ok);
    EXPECT_FALSE(cache.isCached(missing, {}));
    cache.prefetch({missing, QString(), bad}, {});
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(cache.decodeCount(), 2) << "the worker skips missing and known-bad files";

    // The missing file appears: it is decoded.
    ASSERT_TRUE(kps::test::writeJpeg(missing, 64, 64));
    EXPECT_TRUE(cache.get(missing, {}).ok);
}

TEST_F(PhotoCacheTest, DestructionWhilePrefetchingReturns) {
    QStringList paths;
    for (int i = 0; i < 4; ++i)
        paths << photo(QStringLiteral("p%1.jpg").arg(i), 2400, 1800, i);
    for (int round = 0; round < 3; ++round) {
        auto cache = std::make_unique<PhotoCache>();
        cache->prefetch(paths, {});
        if (round > 0) std::this_thread::sleep_for(std::chrono::milliseconds(20 * round));
        cache.reset(); // must join without hanging or crashing
    }
    // A paused worker with a full queue is woken and stopped too.
    auto paused = std::make_unique<PhotoCache>();
    paused->setPaused(true);
    paused->prefetch(paths, {});
    paused.reset();
}

// A failure seen by the worker is not kept: the photo is decoded again on the caller's thread.
TEST_F(PhotoCacheTest, WorkerFailureNeverStandsForThePhoto) {
    PhotoCache cache;
    const QString path = dir.filePath("p.jpg");
    QByteArray jpeg = kps::test::makeJpegBytes(160, 120, 4);
    QByteArray unreadable = jpeg;
    unreadable[0] = 'X'; // same size: only the content tells them apart
    const QDateTime when = QDateTime::currentDateTime().addSecs(-60);
    ASSERT_TRUE(kps::test::writeFile(path, unreadable));
    ASSERT_TRUE(kps::test::setModified(path, when));
    const QString other = photo("other.jpg");
    cache.prefetch({path, other}, {});
    ASSERT_TRUE(eventually([&] { return cache.isCached(other, {}); })); // both are done
    EXPECT_FALSE(cache.isCached(path, {}));

    ASSERT_TRUE(kps::test::writeFile(path, jpeg));
    ASSERT_TRUE(kps::test::setModified(path, when));
    const DecodedPhoto shown = cache.get(path, {});
    EXPECT_TRUE(shown.ok);
    EXPECT_EQ(cache.decodeCount(), 3);
}

// A damaged photo among the prefetched ones leaves the worker decoding the others.
TEST_F(PhotoCacheTest, BadHeaderInPrefetchSpoilsNothingElse) {
    const QByteArray headers[] = {QByteArray("\xFF\xD8\xFF\xC0", 4),
                                  QByteArray("\xFF\xD8\xFF\xD8", 4),
                                  kps::test::makeJpegBytes(64, 48).left(180)};
    int round = 0;
    for (const QByteArray& header : headers) {
        PhotoCache cache;
        const QString bad = dir.filePath(QStringLiteral("bad%1.jpg").arg(round));
        ASSERT_TRUE(kps::test::writeFile(bad, header));
        const QString next = photo(QStringLiteral("n%1.jpg").arg(round), 320, 240, round);
        const QString after = photo(QStringLiteral("a%1.jpg").arg(round++), 320, 240, 9);
        cache.prefetch({bad, next, after}, {});
        ASSERT_TRUE(eventually([&] { return cache.decodeCount() == 3; }));
        EXPECT_TRUE(eventually([&] { return cache.isCached(after, {}); })) << round;
        EXPECT_TRUE(cache.get(next, {}).ok) << round;
        EXPECT_TRUE(cache.get(after, {}).ok) << round;
        EXPECT_FALSE(cache.get(bad, {}).ok) << round;
        EXPECT_EQ(cache.decodeCount(), 4) << "only the bad photo is decoded again";
    }
}

// Closing does not wait for a worker stuck on a hung device; the worker, once it returns,
// finishes with everything it uses still alive, and then frees it.
TEST_F(PhotoCacheTest, DestructionDoesNotWaitForAStalledWorker) {
    const QString a = photo("a.jpg");
    auto release = std::make_shared<std::promise<void>>();
    auto entered = std::make_shared<std::promise<void>>();
    auto token = std::make_shared<int>(0);
    const std::weak_ptr<int> alive = token;
    {
        auto cache = std::make_unique<PhotoCache>();
        std::shared_future<void> go = release->get_future().share();
        cache->setWorkerHook([go, entered, token](const QString&) {
            entered->set_value();
            go.wait();
        });
        token.reset();
        cache->prefetch({a}, {});
        entered->get_future().wait();
        auto closing = std::async(std::launch::async, [&] { cache.reset(); });
        EXPECT_EQ(closing.wait_for(10s), std::future_status::ready);
        closing.wait();
    }
    EXPECT_FALSE(alive.expired()) << "the stalled worker still holds what it uses";
    release->set_value();
    EXPECT_TRUE(eventually([&] { return alive.expired(); })) << "and frees it when done";
}

// What the viewer's requests delivered, in order: the photos, and every arrival.
struct Deliveries {
    struct Item {
        quint64 request;
        QString path;
        DecodedPhoto photo;
        kps::PhotoArrival arrival = kps::PhotoArrival::Photo;
    };
    void attach(PhotoCache& cache) {
        cache.setDelivery([this](quint64 request, const QString& path, kps::PhotoArrival arrival,
                                 const DecodedPhoto& photo) {
            std::lock_guard lock(mutex);
            all.push_back({request, path, photo, arrival});
            if (arrival == kps::PhotoArrival::Photo) items.push_back(all.back());
        });
    }
    std::vector<Item> taken() {
        std::lock_guard lock(mutex);
        return items;
    }
    std::vector<Item> arrivals() {
        std::lock_guard lock(mutex);
        return all;
    }
    std::mutex mutex;
    std::vector<Item> items, all;
};

// A hook on the viewer's thread that holds one photo's request until that request is abandoned
// and the test lets it go, and records every path it sees.
struct Gate {
    PhotoCache::RequestHook hookHolding(const QString& held) {
        return [this, held](const QString& path, const std::atomic<bool>& stop) {
            {
                std::lock_guard lock(mutex);
                seen << path;
            }
            if (path != held) return;
            entered.set_value();
            go.wait();
            stopSeen = stop.load();
        };
    }
    QStringList seenPaths() {
        std::lock_guard lock(mutex);
        return seen;
    }
    std::mutex mutex;
    QStringList seen;
    std::promise<void> entered;
    std::promise<void> release;
    std::shared_future<void> go = release.get_future().share();
    std::atomic<bool> stopSeen{false};
};

// Requests made while one is held replace each other: only the last is decoded and delivered,
// and the held one, abandoned, is never decoded, delivered or cached.
TEST_F(PhotoCacheTest, LastRequestWinsAndAbandonedOnesNeverArrive) {
    const QString a = photo("a.jpg", 320, 240, 1), b = photo("b.jpg", 200, 100, 2),
                  c = photo("c.jpg", 160, 120, 3);
    Gate gate;
    Deliveries got;
    PhotoCache cache;
    cache.setPaused(true); // no prefetch decodes in the counts
    got.attach(cache);
    cache.setRequestHook(gate.hookHolding(a));
    cache.request(a, {});
    gate.entered.get_future().wait();
    cache.request(b, {});
    const quint64 last = cache.request(c, {});
    gate.release.set_value();

    ASSERT_TRUE(eventually([&] { return !got.taken().empty(); }));
    const auto items = got.taken();
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].request, last);
    EXPECT_EQ(items[0].path, c);
    EXPECT_TRUE(items[0].photo.ok);
    EXPECT_EQ(items[0].photo.fullSize, QSize(160, 120));
    EXPECT_TRUE(gate.stopSeen) << "the held request saw its stop";
    EXPECT_EQ(gate.seenPaths(), QStringList({a, c})) << "b was replaced before it was taken up";
    EXPECT_EQ(cache.abandonedCount(), 1);
    EXPECT_EQ(cache.decodeCount(), 1);
    EXPECT_FALSE(cache.isCached(a, {}));
    EXPECT_TRUE(cache.isCached(c, {}));
}

// A cancelled request delivers nothing; a damaged photo is delivered as a failure, which is
// believed, and the next request still decodes.
TEST_F(PhotoCacheTest, CancelledRequestsAreSilentAndFailuresArrive) {
    const QString a = photo("a.jpg"), good = photo("good.jpg", 64, 48, 5);
    const QString bad = dir.filePath("bad.jpg");
    ASSERT_TRUE(kps::test::writeFile(bad, QByteArray("\xFF\xD8\xFF\xC0", 4)));
    Gate gate;
    Deliveries got;
    PhotoCache cache;
    got.attach(cache);
    cache.setRequestHook(gate.hookHolding(a));
    cache.request(a, {});
    gate.entered.get_future().wait();
    cache.cancelRequest();
    gate.release.set_value();
    ASSERT_TRUE(eventually([&] { return cache.abandonedCount() == 1; }));

    cache.request(bad, {});
    ASSERT_TRUE(eventually([&] { return got.taken().size() == 1; }));
    cache.request(good, {});
    ASSERT_TRUE(eventually([&] { return got.taken().size() == 2; }));
    const auto items = got.taken();
    EXPECT_EQ(items[0].path, bad);
    EXPECT_FALSE(items[0].photo.ok);
    EXPECT_FALSE(items[0].photo.cancelled);
    EXPECT_TRUE(cache.isCached(bad, {})) << "the viewer's own failure is believed";
    EXPECT_EQ(items[1].path, good);
    EXPECT_TRUE(items[1].photo.ok);
    EXPECT_EQ(items[1].photo.fullSize, QSize(64, 48));
}

// The viewer's request for the photo the worker is decoding waits for that decode; a request for
// another photo abandons it.
TEST_F(PhotoCacheTest, RequestsShareOrStopTheWorkersDecode) {
    const QString x = photo("x.jpg", 320, 240, 1), y = photo("y.jpg", 320, 240, 2);
    for (const bool same : {true, false}) {
        SCOPED_TRACE(same ? "same photo" : "other photo");
        std::promise<void> entered, release;
        std::shared_future<void> go = release.get_future().share();
        Deliveries got;
        PhotoCache cache;
        got.attach(cache);
        cache.setWorkerHook([&entered, go, x](const QString& path) {
            if (path != x) return;
            entered.set_value();
            go.wait();
        });
        cache.prefetch({x}, {});
        entered.get_future().wait();
        cache.request(same ? x : y, {});
        release.set_value();
        ASSERT_TRUE(eventually([&] { return !got.taken().empty(); }));
        EXPECT_EQ(got.taken()[0].path, same ? x : y);
        EXPECT_TRUE(got.taken()[0].photo.ok);
        if (same) {
            EXPECT_EQ(cache.decodeCount(), 1) << "one decode, shared";
        } else {
            // The worker's job is waited for; stopped, it left nothing, so x is decoded anew.
            EXPECT_TRUE(cache.get(x, {}).ok);
            EXPECT_EQ(cache.decodeCount(), 3);
        }
    }
}

// Closing abandons a request held on a stalled device at once, and delivers nothing after.
TEST_F(PhotoCacheTest, DestructionAbandonsTheViewersRequest) {
    const QString a = photo("a.jpg");
    std::promise<void> entered;
    std::atomic<bool> stopSeen{false};
    Deliveries got;
    auto cache = std::make_unique<PhotoCache>();
    got.attach(*cache);
    cache->setRequestHook([&](const QString&, const std::atomic<bool>& stop) {
        entered.set_value();
        while (!stop) // a device that answers only once the read is given up
            std::this_thread::sleep_for(1ms);
        stopSeen = true;
    });
    cache->request(a, {});
    entered.get_future().wait();
    cache.reset();
    EXPECT_TRUE(stopSeen);
    EXPECT_TRUE(got.taken().empty());
}

// A request tells the file's facts first, then the file's embedded pictures, smallest first,
// then a progressive file's first scan when it is wider than those, then the photo; a photo shown
// from memory is confirmed against the file, and a changed file
// replaces it.
TEST_F(PhotoCacheTest, RequestsBringFactsPreviewPhotoAndReplaceAStaleOne) {
    using kps::PhotoArrival;
    const QString plain = photo("plain.jpg", 300, 200, 1);
    const QString camera = dir.filePath("camera.jpg");
    ASSERT_TRUE(kps::test::writeFile(
        camera, kps::test::withEmbeddedPictures(kps::test::makeJpegBytes(300, 200, 2),
                                                kps::test::makeJpegBytes(48, 32, 3),
                                                kps::test::makeJpegBytes(150, 100, 4))));
    // Progressive: alone, with a thumbnail narrower than its first scan, with a wider preview.
    const QByteArray progressive = kps::test::makeJpegBytes(300, 200, 6, 85, true);
    const QString scans[] = {dir.filePath("scans.jpg"), dir.filePath("scans-thumb.jpg"),
                             dir.filePath("scans-preview.jpg")};
    ASSERT_TRUE(kps::test::writeFile(scans[0], progressive));
    ASSERT_TRUE(kps::test::writeFile(
        scans[1],
        kps::test::withEmbeddedPictures(progressive, kps::test::makeJpegBytes(48, 32, 7), {})));
    ASSERT_TRUE(kps::test::writeFile(
        scans[2],
        kps::test::withEmbeddedPictures(progressive, {}, kps::test::makeJpegBytes(150, 100, 8))));
    const QDateTime when(QDate(2017, 3, 5), QTime(9, 7, 41));
    ASSERT_TRUE(kps::test::setModified(camera, when));
    PhotoCache cache;
    cache.setPaused(true);
    Deliveries got;
    got.attach(cache);
    const struct {
        QString path;
        std::vector<PhotoArrival> order;
        int lastPreviewWidth; // 0: no preview
    } cases[] = {
        {camera,
         {PhotoArrival::Facts, PhotoArrival::Preview, PhotoArrival::Preview, PhotoArrival::Photo},
         150},
        {plain, {PhotoArrival::Facts, PhotoArrival::Photo}, 0},
        {scans[0], {PhotoArrival::Facts, PhotoArrival::Preview, PhotoArrival::Photo}, 75},
        {scans[1],
         {PhotoArrival::Facts, PhotoArrival::Preview, PhotoArrival::Preview, PhotoArrival::Photo},
         75},
        {scans[2], {PhotoArrival::Facts, PhotoArrival::Preview, PhotoArrival::Photo}, 150}};
    for (const auto& c : cases) {
        const size_t before = got.arrivals().size();
        cache.request(c.path, {});
        ASSERT_TRUE(eventually([&] { return got.taken().size() == size_t(&c - cases) + 1; }));
        const auto all = got.arrivals();
        ASSERT_EQ(all.size() - before, c.order.size());
        for (size_t i = 0; i < c.order.size(); ++i) {
            const DecodedPhoto& p = all[before + i].photo;
            EXPECT_EQ(all[before + i].arrival, c.order[i]);
            EXPECT_EQ(p.fullSize, QSize(300, 200)) << "the photo's size at every arrival";
            EXPECT_EQ(p.fileBytes, QFileInfo(c.path).size());
        }
        const DecodedPhoto& sharp = all.back().photo;
        ASSERT_EQ(sharp.image.size(), QSize(300, 200)) << qPrintable(c.path);
        if (c.lastPreviewWidth == 0) continue;
        // The last stand-in has the photo's proportions and colours, and the photo replaced it.
        const DecodedPhoto& standIn = all[all.size() - 2].photo;
        const QSize size(c.lastPreviewWidth, c.lastPreviewWidth * 2 / 3);
        EXPECT_EQ(standIn.image.size(), size) << qPrintable(c.path);
        if (c.path == scans[0]) {
            const QRgb a = standIn.image.pixel(size.width() / 2, size.height() / 2);
            const QRgb b = sharp.image.pixel(150, 100);
            EXPECT_NEAR(qRed(a), qRed(b), 24);
            EXPECT_NEAR(qGreen(a), qGreen(b), 24);
            EXPECT_NEAR(qBlue(a), qBlue(b), 24);
        }
        EXPECT_FALSE(cache.cachedPreview(c.path)) << "the photo stands for itself now";
        EXPECT_EQ(cache.cached(c.path, {}).value().image.size(), QSize(300, 200));
    }
    EXPECT_EQ(got.arrivals()[0].photo.modifiedMs, when.toMSecsSinceEpoch());
    // The thumbnail, ready first, then the larger preview.
    EXPECT_EQ(got.arrivals()[1].photo.image.size(), QSize(48, 32));
    EXPECT_EQ(got.arrivals()[2].photo.image.size(), QSize(150, 100));
    EXPECT_TRUE(got.arrivals()[2].photo.preview);

    // Changed on disk: memory still answers at once, and the confirming request replaces it.
    ASSERT_TRUE(kps::test::writeJpeg(camera, 200, 100, 5));
    ASSERT_TRUE(kps::test::setModified(camera, when.addSecs(60)));
    ASSERT_EQ(cache.cached(camera, {}).value().fullSize, QSize(300, 200));
    cache.request(camera, {}, kps::RequestKind::Confirm);
    ASSERT_TRUE(eventually([&] { return got.taken().size() == std::size(cases) + 1; }));
    EXPECT_EQ(got.taken().back().photo.fullSize, QSize(200, 100));
    EXPECT_EQ(cache.cached(camera, {}).value().fullSize, QSize(200, 100));
}

// A file that could not be read whole is delivered as a failure but never kept, so the next
// time the photo is asked for it is read again.
TEST_F(PhotoCacheTest, ReadFailureIsNeverKept) {
    const QString a = photo("a.jpg");
    PhotoCache cache;
    cache.setPaused(true);
    Deliveries got;
    got.attach(cache);
    cache.setFileRead([](int, unsigned char*, qint64) -> qint64 {
        errno = EIO;
        return -1;
    });
    const DecodedPhoto failed = cache.get(a, {});
    EXPECT_FALSE(failed.ok);
    EXPECT_TRUE(failed.readFailed);
    EXPECT_FALSE(cache.isCached(a, {}));
    cache.request(a, {});
    ASSERT_TRUE(eventually([&] { return got.taken().size() == 1; }));
    EXPECT_TRUE(got.taken()[0].photo.readFailed);
    cache.setFileRead({});
    cache.request(a, {});
    ASSERT_TRUE(eventually([&] { return got.taken().size() == 2; }));
    EXPECT_TRUE(got.taken()[1].photo.ok);
    EXPECT_TRUE(cache.isCached(a, {}));
}

} // namespace
