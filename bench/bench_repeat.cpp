// Stepping benchmark: the real main window, offscreen, at 1920 x 1080, with Space pressed every
// 33 ms (a held key's auto-repeat) through twenty 24 MP photos that are not decoded yet. Prints
// the longest stretch the window's thread was busy (the largest gap between ticks of a 1 ms probe
// timer) and the time from the last press until its photo is painted, against one bare decode
// of such a photo at the same viewer size (JpegDecoder directly, median).

#include "benchkit.h"
#include "core/jpegdecoder.h"
#include "core/photocache.h"
#include "testphotos.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace kps;

namespace {

constexpr int kPresses = 20;
constexpr int kPressIntervalMs = 33;
constexpr int kRounds = 3;

// One decode of each file as the viewer asks for it, without the window: the time a decode takes.
double bareDecodeMs(const QStringList& paths, QSize cover) {
    JpegDecoder decoder;
    std::vector<double> times;
    for (const QString& path : paths) {
        QElapsedTimer t;
        t.start();
        const DecodedPhoto photo = decoder.decode(path, cover);
        times.push_back(t.nsecsElapsed() / 1e6);
        if (!photo.ok) std::printf("bare decode of %s failed\n", qPrintable(path));
    }
    return bench::median(times);
}

// Catches the paint of the photo after the last press.
class PaintWatch : public QObject {
  public:
    PaintWatch(MainWindow& w, const QElapsedTimer& clock) : w_(w), clock_(clock) {}
    bool armed = false;
    double paintedAt = -1;
    std::function<void()> done; // called at that paint

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && armed && paintedAt < 0 && !w_.photoPending()) {
            paintedAt = clock_.nsecsElapsed() / 1e6;
            if (done) done();
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    MainWindow& w_;
    const QElapsedTimer& clock_;
};

struct Round {
    double stallMs = 0;
    double lastMs = 0;
};

Round burst(MainWindow& w) {
    QElapsedTimer clock;
    clock.start();
    PaintWatch watch(w, clock);
    QWidget* image = w.findChild<QWidget*>(QStringLiteral("Image1"));
    image->installEventFilter(&watch);

    QEventLoop loop;
    double lastPress = 0;
    watch.done = [&loop] { loop.quit(); };
    bench::BusyProbe probe;
    int presses = 0;
    QTimer keys;
    keys.setTimerType(Qt::PreciseTimer);
    keys.setInterval(kPressIntervalMs);
    QObject::connect(&keys, &QTimer::timeout, [&] {
        QTest::keyClick(&w, Qt::Key_Space);
        if (++presses == kPresses) {
            keys.stop();
            lastPress = clock.nsecsElapsed() / 1e6;
            watch.armed = true;
        }
    });
    QTimer::singleShot(60000, &loop, &QEventLoop::quit); // never hang on a fault
    probe.start();
    keys.start();
    loop.exec();
    const double stall = probe.stop();
    image->removeEventFilter(&watch);
    if (watch.paintedAt < 0) std::printf("the last photo was never painted\n");
    return {stall, watch.paintedAt - lastPress};
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir tmp;
    qputenv("HOME", tmp.path().toLocal8Bit());
    const QString source = tmp.path() + QStringLiteral("/mp24");
    const QStringList photos = bench::writePhotos(source, kPresses + 1, QSize(6000, 4000), 300);

    auto w = bench::startWindow(tmp.path() + QStringLiteral("/program/"),
                                bench::slotsUnder(tmp.path(), source), QSize(1920, 1080));
    bench::loadAndWait(*w);
    const QSize cover = bench::viewerCover(*w);

    std::vector<double> stalls, lasts, decodes;
    for (int round = 0; round < kRounds; ++round) {
        QTest::keyClick(w.get(), Qt::Key_Home);
        bench::waitForPhoto(*w);
        QTest::qWait(300); // the neighbours' prefetch is done
        w->photoCache().clear();
        const int abandonedBefore = w->photoCache().abandonedCount();
        const int decodesBefore = w->photoCache().decodeCount();
        const Round r = burst(*w);
        // Each round is paired with bare decodes right after it, so both see the same machine.
        const double bare = bareDecodeMs(photos.mid(1 + round * 5, 5), cover);
        std::printf("round %d: longest busy stretch %.1f ms, last press to its photo %.1f ms, "
                    "bare decode %.1f ms (%d decodes started, %d abandoned)\n",
                    round + 1, r.stallMs, r.lastMs, bare,
                    w->photoCache().decodeCount() - decodesBefore,
                    w->photoCache().abandonedCount() - abandonedBefore);
        stalls.push_back(r.stallMs);
        lasts.push_back(r.lastMs);
        decodes.push_back(bare);
    }
    const double stall = *std::max_element(stalls.begin(), stalls.end());
    const double last = bench::median(lasts), bare = bench::median(decodes);
    std::printf("viewer %dx%d, %d presses %d ms apart: longest busy stretch %.1f ms, "
                "last photo %.1f ms after its press, bare decode %.1f ms\n",
                cover.width(), cover.height(), kPresses, kPressIntervalMs, stall, last, bare);
    std::printf("targets: stall <= 50 ms; last <= 1.5 x bare decode\n");
    std::printf("RESULT repeat stall_ms=%.1f\n", stall);
    std::printf("RESULT repeat last_ratio=%.2f\n", bare > 0 ? last / bare : 0.0);
    return 0;
}
