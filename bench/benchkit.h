#pragma once
// What the window benchmarks share: statistics, a main window started on folders of their own,
// waits for its background work, photos to step through, and a probe of the window's thread.

#include "app/mainwindow.h"
#include "testphotos.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <vector>

namespace kps::bench {

// The value that the fraction q of the samples do not exceed; 0 for no samples.
inline double quantile(std::vector<double> v, double q) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(double(v.size()) * q))];
}

inline double median(const std::vector<double>& v) {
    return quantile(v, 0.5);
}

inline double msSince(const QElapsedTimer& t) {
    return double(t.nsecsElapsed()) / 1e6;
}

// The nine slot folders of a benchmark window: `source` (root/slot0/ when empty) and
// root/slot1/ .. root/slot8/.
inline std::array<QString, kSlotCount> slotsUnder(const QString& root, const QString& source = {}) {
    std::array<QString, kSlotCount> folders;
    for (int slot = 0; slot < kSlotCount; ++slot)
        folders[size_t(slot)] = root + QStringLiteral("/slot%1/").arg(slot);
    if (!source.isEmpty()) folders[0] = source.endsWith(u'/') ? source : source + u'/';
    return folders;
}

// A main window whose settings.ini, in its own program folder, names these folders (all
// created), shown and then resized to `size` (an empty size keeps the stored one).
inline std::unique_ptr<MainWindow> startWindow(const QString& program,
                                               const std::array<QString, kSlotCount>& folders,
                                               QSize size = {}, FileOps* ops = nullptr) {
    QDir().mkpath(program);
    QString ini = QStringLiteral("[kezdo]\n");
    for (int slot = 0; slot < kSlotCount; ++slot) {
        QDir().mkpath(folders[size_t(slot)]);
        ini += QStringLiteral("path%1=%2\n").arg(slot).arg(folders[size_t(slot)]);
    }
    test::writeFile(program + QStringLiteral("/settings.ini"), ini.toUtf8());
    Environment env;
    env.programDir = program.endsWith(u'/') ? program : program + u'/';
    env.fileOps = ops;
    auto w = std::make_unique<MainWindow>(env);
    w->show();
    QCoreApplication::processEvents(); // the window settles at its stored size first
    if (size.isValid()) {
        w->resize(size);
        QCoreApplication::processEvents();
    }
    return w;
}

// Until the viewer holds the photo it asked for (decodes come from their own thread).
inline void waitForPhoto(MainWindow& w) {
    while (w.photoPending())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    w.repaint();
}

// Presses the source's load button and waits for the lists and the first photo.
inline void loadAndWait(MainWindow& w) {
    w.SpeedButton1Click(1);
    if (!QTest::qWaitFor([&] { return !w.scanning() && !w.photoPending(); }, 60000))
        std::fprintf(stderr, "the load did not finish\n");
    w.repaint();
}

// The viewer area in device pixels: the cover its decodes are made for.
inline QSize viewerCover(MainWindow& w) {
    QWidget* area = w.findChild<QWidget*>(QStringLiteral("Panel2"));
    const qreal dpr = w.devicePixelRatioF();
    return QSize(qRound(area->width() * dpr), qRound(area->height() * dpr));
}

// Writes `count` photo-like JPEGs IMG_0000.jpg.. into dir and returns their paths. Like a
// camera's, when `embedded`: an Exif thumbnail 160 pixels wide and an MPF preview 1080 pixels
// high, both at the photo's proportions.
inline QStringList writePhotos(const QString& dir, int count, QSize size, int seedBase,
                               bool embedded = false, bool progressive = false) {
    QDir().mkpath(dir);
    QStringList paths;
    double bytes = 0;
    for (int i = 0; i < count; ++i) {
        QByteArray jpeg =
            test::makePhotoLikeJpeg(size.width(), size.height(), seedBase + i, 28, progressive);
        if (embedded) {
            const auto scaled = [&](int width) {
                return test::makePhotoLikeJpeg(width, width * size.height() / size.width(),
                                               seedBase + i);
            };
            jpeg = test::withEmbeddedPictures(jpeg, scaled(160),
                                              scaled(1080 * size.width() / size.height()));
        }
        paths << dir + QStringLiteral("/IMG_%1.jpg").arg(i, 4, 10, QChar('0'));
        test::writeFile(paths.back(), jpeg);
        bytes += double(jpeg.size());
    }
    std::printf("generated %d photos of %dx%d (%.1f MP), %.1f MB each, %.2f bits per pixel\n",
                count, size.width(), size.height(), size.width() * size.height() / 1e6,
                bytes / count / 1e6, bytes * 8 / count / (double(size.width()) * size.height()));
    return paths;
}

// The largest gap between two ticks of a 1 ms timer on the window's thread: the longest stretch
// that thread spent on one thing.
class BusyProbe : public QObject {
  public:
    BusyProbe() {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(1);
        QObject::connect(&timer_, &QTimer::timeout, this, [this] { tick(); });
    }
    // Counts from now.
    void start() {
        clock_.start();
        last_ = 0;
        longest_ = 0;
        timer_.start();
    }
    // Counts the stretch up to now too, and stops.
    double stop() {
        tick();
        timer_.stop();
        return longest_;
    }

  private:
    void tick() {
        const double now = msSince(clock_);
        longest_ = std::max(longest_, now - last_);
        last_ = now;
    }
    QTimer timer_;
    QElapsedTimer clock_;
    double last_ = 0;
    double longest_ = 0;
};

} // namespace kps::bench
