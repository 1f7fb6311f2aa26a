// Stepping benchmark: the real main window, offscreen, at 1920 x 1080, with Space pressed every
// 33 ms (a held key's auto-repeat) through twenty 24 MP photos that are not decoded yet, first
// camera-like ones (an Exif thumbnail and a 1620 x 1080 MPF preview inside), then plain ones.
// Prints the time from each press to the first picture of its photo on the screen (a preview or
// the photo), the frames painted with "Loading...", the longest stretch the window's thread was
// busy (the largest gap between ticks of a 1 ms probe timer) and the time from the last press
// until its photo is painted, against one bare decode of such a photo at the same viewer size
// (JpegDecoder directly, median).

#include "app/widgets.h"
#include "benchkit.h"
#include "core/photo/jpegdecoder.h"
#include "core/photo/photocache.h"
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

// Watches the viewer's paints: the first picture of each press's photo, "Loading..." frames, and
// the photo after the last press.
class PaintWatch : public QObject {
  public:
    PaintWatch(MainWindow& w, const QElapsedTimer& clock) : w_(w), clock_(clock) {}
    bool armed = false;
    double paintedAt = -1;
    std::function<void()> done;             // called at that paint
    std::vector<double> pressedAt, firstAt; // per press; firstAt -1 until its picture shows
    int loadingFrames = 0;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Paint) return QObject::eventFilter(watched, event);
        const double now = clock_.nsecsElapsed() / 1e6;
        if (auto* area = qobject_cast<ViewerArea*>(watched)) {
            if (area->caption() == QStringLiteral("Loading...")) ++loadingFrames;
        } else {
            // Only the last press's photo can be on the screen.
            const bool picture = w_.standInShown() || !w_.photoPending();
            if (picture && !firstAt.empty() && firstAt.back() < 0)
                firstAt.back() = now - pressedAt.back();
            if (armed && paintedAt < 0 && !w_.photoPending()) {
                paintedAt = now;
                if (done) done();
            }
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
    std::vector<double> firstMs; // per press; a press whose photo never showed counts as 1 s
    int loadingFrames = 0;
};

Round burst(MainWindow& w) {
    QElapsedTimer clock;
    clock.start();
    PaintWatch watch(w, clock);
    QWidget* image = w.findChild<QWidget*>(QStringLiteral("Image1"));
    QWidget* area = w.findChild<QWidget*>(QStringLiteral("Panel2"));
    image->installEventFilter(&watch);
    area->installEventFilter(&watch);

    QEventLoop loop;
    double lastPress = 0;
    watch.done = [&loop] { loop.quit(); };
    bench::BusyProbe probe;
    int presses = 0;
    QTimer keys;
    keys.setTimerType(Qt::PreciseTimer);
    keys.setInterval(kPressIntervalMs);
    QObject::connect(&keys, &QTimer::timeout, [&] {
        watch.pressedAt.push_back(clock.nsecsElapsed() / 1e6);
        watch.firstAt.push_back(-1);
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
    area->removeEventFilter(&watch);
    if (watch.paintedAt < 0) std::printf("the last photo was never painted\n");
    Round r{stall, watch.paintedAt - lastPress, {}, watch.loadingFrames};
    for (const double first : watch.firstAt)
        r.firstMs.push_back(first < 0 ? 1000.0 : first);
    return r;
}

// Bursts through `count` photos of one kind written into `root`/`name`, each round paired with
// bare decodes; prints the figures under the result name `name`.
void measure(const QString& root, const QString& name, bool embedded, bool progressive = false) {
    const QString source = root + u'/' + name;
    const QStringList photos =
        bench::writePhotos(source, kPresses + 1, QSize(6000, 4000), 300, embedded, progressive);
    auto w =
        bench::startWindow(root + QStringLiteral("/program-") + name + u'/',
                           bench::slotsUnder(root + u'/' + name + QStringLiteral("-slots"), source),
                           QSize(1920, 1080));
    bench::loadAndWait(*w);
    const QSize cover = bench::viewerCover(*w);

    std::vector<double> stalls, lasts, decodes, firsts, lastFirsts;
    int loadingFrames = 0;
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
        std::printf("%s round %d: longest busy stretch %.1f ms, press to first picture %.1f ms "
                    "median, %.1f ms worst, %d frames of \"Loading...\", last press to its photo "
                    "%.1f ms, bare decode %.1f ms (%d decodes started, %d abandoned)\n",
                    qPrintable(name), round + 1, r.stallMs, bench::median(r.firstMs),
                    *std::max_element(r.firstMs.begin(), r.firstMs.end()), r.loadingFrames,
                    r.lastMs, bare, w->photoCache().decodeCount() - decodesBefore,
                    w->photoCache().abandonedCount() - abandonedBefore);
        stalls.push_back(r.stallMs);
        lasts.push_back(r.lastMs);
        decodes.push_back(bare);
        firsts.insert(firsts.end(), r.firstMs.begin(), r.firstMs.end());
        lastFirsts.push_back(r.firstMs.back());
        loadingFrames += r.loadingFrames;
    }
    const double stall = *std::max_element(stalls.begin(), stalls.end());
    const double last = bench::median(lasts), bare = bench::median(decodes);
    std::printf("%s: viewer %dx%d, %d presses %d ms apart: press to first picture %.1f ms median, "
                "longest busy stretch %.1f ms, last photo %.1f ms after its press, bare decode "
                "%.1f ms, %d frames of \"Loading...\" in %d bursts\n",
                qPrintable(name), cover.width(), cover.height(), kPresses, kPressIntervalMs,
                bench::median(firsts), stall, last, bare, loadingFrames, kRounds);
    std::printf("RESULT %s first_ms=%.1f\n", qPrintable(name), bench::median(firsts));
    std::printf("RESULT %s loading_frames=%d\n", qPrintable(name), loadingFrames);
    // The one press whose photo is still wanted once the keys stop: how soon something shows.
    std::printf("RESULT %s last_first_ms=%.1f\n", qPrintable(name), bench::median(lastFirsts));
    std::printf("RESULT %s stall_ms=%.1f\n", qPrintable(name), stall);
    std::printf("RESULT %s last_ratio=%.2f\n", qPrintable(name), bare > 0 ? last / bare : 0.0);
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir tmp;
    qputenv("HOME", tmp.path().toLocal8Bit());
    std::printf("targets: first <= 16 ms, no \"Loading...\" frame, stall <= 50 ms, last <= 1.5 x "
                "bare decode (repeat: camera-like photos; repeat_plain: no embedded pictures; "
                "repeat_prog: progressive, no embedded pictures)\n");
    measure(tmp.path(), QStringLiteral("repeat"), true);
    measure(tmp.path(), QStringLiteral("repeat_plain"), false);
    measure(tmp.path(), QStringLiteral("repeat_prog"), false, true);
    return 0;
}
