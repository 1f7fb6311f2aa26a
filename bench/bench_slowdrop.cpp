// Sorting onto a slow drive: the real main window, offscreen, drops 30 photos of 10 MB one
// after another, 300 ms apart, onto a yellow folder with one blue folder, while every copy goes
// through a file system throttled like a USB stick (20 MB/s writes, 50 ms per flush). Prints the
// time from a release to the next photo painted (median and 95th percentile), the longest time
// the window's thread was busy in one go, and the time until all the work was done against the
// same throttled copies made in a row. Then the same drops onto a real other file system (tmpfs
// at /dev/shm) where the machine has one. Last, fewer drops of photos that each have a 25 MB raw
// file beside them, carried with the photo onto the same slow drive.

#include "benchkit.h"
#include "core/files/fileops.h"
#include "testphotos.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <memory>
#include <sys/stat.h>
#include <thread>
#include <vector>

using namespace kps;
using bench::msSince;
using bench::quantile;

namespace {

constexpr int kDrops = 30;
constexpr int kPhotoBytes = 10 * 1024 * 1024;
constexpr int kRawDrops = 8; // each moves 35 MB twice: the work takes half a minute
constexpr int kRawBytes = 25 * 1024 * 1024;
constexpr int kBetweenReleasesMs = 300;
constexpr double kWriteBytesPerSecond = 20.0 * 1024 * 1024;
constexpr auto kFlushTime = std::chrono::milliseconds(50);

// A USB stick: a copy takes as long as writing it at 20 MB/s, a flush 50 ms; and it is another
// drive, so a move is a copy and a deletion.
class SlowDrive : public RealFileOps {
  public:
    bool sameFileSystem(const QString&, const QString&) override { return false; }
    bool copyToTemp(const QString& from, const QString& tmp) override {
        const auto start = std::chrono::steady_clock::now();
        const bool ok = RealFileOps::copyToTemp(from, tmp);
        const auto due = start + std::chrono::duration<double>(double(QFileInfo(from).size()) /
                                                               kWriteBytesPerSecond);
        std::this_thread::sleep_until(due);
        return ok;
    }
    bool flush(const QString& path) override {
        const bool ok = RealFileOps::flush(path);
        std::this_thread::sleep_for(kFlushTime);
        return ok;
    }
};

// A photo of exactly 10 MB: a real 24 MP JPEG, padded after its end with bytes of its own so
// that every photo's file differs.
QByteArray tenMegabytePhoto(const QByteArray& jpeg, int n) {
    QByteArray out = jpeg;
    out.reserve(kPhotoBytes);
    while (out.size() < kPhotoBytes)
        out.append(char((n * 131 + out.size()) & 0xff));
    return out;
}

// Notes when the photo widget was last painted.
class PaintWatch : public QObject {
  public:
    explicit PaintWatch(QWidget* w) { w->installEventFilter(this); }
    qint64 paints = 0;

  protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) ++paints;
        return false;
    }
};

struct Figures {
    double nextMedian = 0, nextP95 = 0, stall = 0, total = 0;
    bool ok = false;
};

// Drops `drops` photos of the source onto folder 1 (yellow) with folder 2 blue, both under
// `targets`, through `ops` (null: the real file system); with `raw`, each with its raw file.
Figures sortAll(const QString& root, const QString& targets, FileOps* ops, int drops = kDrops,
                bool raw = false) {
    std::array<QString, kSlotCount> folders = bench::slotsUnder(root);
    for (int slot : {1, 2})
        folders[size_t(slot)] = targets + QStringLiteral("/slot%1/").arg(slot);
    const auto window =
        bench::startWindow(root + QStringLiteral("/program/"), folders, QSize(1280, 800), ops);
    MainWindow& w = *window;
    w.state().png[2] = kMarkBlue;
    w.state().tarsfajlok = raw;
    w.SpeedButton1Click(1);
    QTest::qWait(500); // the first photo and its neighbour are decoded
    QWidget* image = w.findChild<QWidget*>(QStringLiteral("Image1"));
    QWidget* viewer = w.findChild<QWidget*>(QStringLiteral("Panel2"));
    const QWidget* panel1 = w.findChild<QWidget*>(QStringLiteral("Panel11"));
    PaintWatch watch(image);

    Figures f;
    std::vector<double> next;
    bench::BusyProbe probe;
    probe.start();
    QElapsedTimer all;
    all.start();
    for (int i = 0; i < drops; ++i) {
        QElapsedTimer lap;
        lap.start();
        const QString expected = w.state().lists[0].count() > 1 ? w.state().lists[0].at(1) : "";
        QTest::mousePress(image, Qt::LeftButton, {}, image->rect().center());
        QWidget* frame = w.findChild<QWidget*>(QStringLiteral("Panel1"));
        QTest::mouseMove(image, panel1->geometry().center() - viewer->pos() - frame->pos());
        const qint64 paintsBefore = watch.paints;
        QElapsedTimer t;
        t.start();
        QTest::mouseRelease(image, Qt::LeftButton, {}, QPoint(1, 1));
        if (!expected.isEmpty()) {
            while (watch.paints == paintsBefore && t.elapsed() < 5000)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
            if (w.state().globalnev != expected) {
                std::printf("drop %d showed %s, not the next photo\n", i,
                            qPrintable(w.state().globalnev));
                return f;
            }
            next.push_back(msSince(t));
        }
        const int rest = kBetweenReleasesMs - int(lap.elapsed());
        if (rest > 0) QTest::qWait(rest);
    }
    while (!w.pendingDrops().empty() && all.elapsed() < 600000)
        QTest::qWait(1);
    f.total = msSince(all);
    f.stall = probe.stop();
    f.nextMedian = quantile(next, 0.5);
    f.nextP95 = quantile(next, 0.95);
    f.ok = w.pendingDrops().empty() &&
           QDir(targets + "/slot1").entryList(QDir::Files).size() == drops * (raw ? 2 : 1);
    if (!f.ok) std::printf("not every photo arrived\n");
    w.close();
    return f;
}

void putPhotos(const QString& folder, const QByteArray& jpeg, int count = kDrops,
               bool raw = false) {
    QDir().mkpath(folder);
    for (int i = 0; i < count; ++i) {
        const QString name = folder + QStringLiteral("IMG_%1").arg(i, 4, 10, QChar(u'0'));
        test::writeFile(name + ".jpg", tenMegabytePhoto(jpeg, i));
        if (raw) test::writeFile(name + ".CR2", QByteArray(kRawBytes, char(i)));
    }
}

// The least the work can take: the same throttled copies (yellow, blue) and deletions in a row.
double floorMs(const QString& root, const QByteArray& jpeg) {
    const QString from = root + QStringLiteral("/floor/from/");
    const QString to = root + QStringLiteral("/floor/to/");
    putPhotos(from, jpeg);
    QDir().mkpath(to + "a");
    QDir().mkpath(to + "b");
    SlowDrive drive;
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < kDrops; ++i) {
        const QString name = QStringLiteral("IMG_%1.jpg").arg(i, 4, 10, QChar(u'0'));
        safeCopy(drive, from + name, to + "a/" + name);
        safeCopy(drive, from + name, to + "b/" + name);
        drive.remove(from + name);
    }
    return msSince(t);
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir tmp;
    // A 24 MP photo just under 10 MB, so that the padding keeps it whole.
    QByteArray jpeg;
    for (int grain = 28; grain > 0 && (jpeg.isEmpty() || jpeg.size() >= kPhotoBytes); grain -= 4)
        jpeg = test::makePhotoLikeJpeg(6000, 4000, 11, grain);
    std::printf("photos: %d of %.1f MB (6000x4000 JPEG of %.1f MB, padded)\n", kDrops,
                kPhotoBytes / 1048576.0, jpeg.size() / 1048576.0);

    const double floor = floorMs(tmp.path(), jpeg);
    std::printf("floor: the throttled copies in a row: %.0f ms\n", floor);

    putPhotos(tmp.path() + QStringLiteral("/slow/slot0/"), jpeg);
    SlowDrive drive;
    const Figures slow =
        sortAll(tmp.path() + QStringLiteral("/slow"), tmp.path() + QStringLiteral("/slow"), &drive);
    if (!slow.ok) return 1;
    std::printf("slow drive: release to next photo %.1f ms median, %.1f ms p95; longest busy "
                "stretch %.1f ms; all work done in %.0f ms\n",
                slow.nextMedian, slow.nextP95, slow.stall, slow.total);

    // A real other file system, where the machine has one.
    struct stat a {
    }, b{};
    QTemporaryDir shm(QStringLiteral("/dev/shm/kps-bench-XXXXXX"));
    if (shm.isValid() && ::stat(QFile::encodeName(tmp.path()), &a) == 0 &&
        ::stat(QFile::encodeName(shm.path()), &b) == 0 && a.st_dev != b.st_dev) {
        putPhotos(tmp.path() + QStringLiteral("/real/slot0/"), jpeg);
        const Figures real = sortAll(tmp.path() + QStringLiteral("/real"), shm.path(), nullptr);
        if (real.ok)
            std::printf("onto tmpfs (another file system): release to next photo %.1f ms "
                        "median, %.1f ms p95; longest busy stretch %.1f ms; all work done in "
                        "%.0f ms\n",
                        real.nextMedian, real.nextP95, real.stall, real.total);
    } else {
        std::printf("onto tmpfs: no other file system here, skipped\n");
    }

    std::printf("RESULT slowdrop next_ms=%.1f\n", slow.nextMedian);
    std::printf("RESULT slowdrop p95_ms=%.1f\n", slow.nextP95);
    std::printf("RESULT slowdrop stall_ms=%.1f\n", slow.stall);
    std::printf("RESULT slowdrop ratio=%.2f\n", floor > 0 ? slow.total / floor : 0.0);

    // Each photo with its raw file: the release carries the group, the window still never waits.
    putPhotos(tmp.path() + QStringLiteral("/raw/slot0/"), jpeg, kRawDrops, true);
    SlowDrive rawDrive;
    const Figures raw = sortAll(tmp.path() + QStringLiteral("/raw"), tmp.path() + "/raw", &rawDrive,
                                kRawDrops, true);
    if (!raw.ok) return 1;
    std::printf("RESULT slowdrop_raw next_ms=%.1f\n", raw.nextMedian);
    std::printf("RESULT slowdrop_raw p95_ms=%.1f\n", raw.nextP95);
    std::printf("RESULT slowdrop_raw stall_ms=%.1f\n", raw.stall);
    return 0;
}
