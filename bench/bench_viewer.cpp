// Viewer benchmark: the real main window, offscreen, stepping through photo-like JPEGs.
// Prints the median time from a key press to the new photo on screen ("next"), a photo that
// is not cached ("cold"), a bare TurboJPEG decode at the viewer's scale ("floor"), and the
// peak memory while stepping through twenty 45 MP photos.

#include "benchkit.h"
#include "core/photo/jpegdecoder.h"
#include "core/photo/photocache.h"
#include "testphotos.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <turbojpeg.h>
#include <vector>

using namespace kps;
using bench::median;

namespace {

qint64 peakRssKb() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').first().toLongLong();
    return -1;
}

struct Window {
    explicit Window(const QString& root, const QString& source, QSize size)
        : w(bench::startWindow(
              root + QStringLiteral("/program%1x%2/").arg(size.width()).arg(size.height()),
              bench::slotsUnder(root, source), size)) {
        bench::loadAndWait(*w);
    }
    QSize size() const { return w->size(); }
    double press(Qt::Key key) {
        QElapsedTimer t;
        t.start();
        QTest::keyClick(w.get(), key);
        bench::waitForPhoto(*w); // the frame with the new photo is drawn
        return t.nsecsElapsed() / 1e6;
    }
    std::unique_ptr<MainWindow> w;
};

// A bare decode of one file, already in memory, at the size the viewer asks for.
double floorMs(const QString& path, QSize cover) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return 0;
    const QByteArray data = f.readAll();
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.constData());
    tjhandle h = tjInitDecompress();
    int w = 0, hgt = 0, sub = 0, cs = 0;
    tjDecompressHeader3(h, bytes, (unsigned long)data.size(), &w, &hgt, &sub, &cs);
    const QSize target = JpegDecoder::scaledSizeFor(QSize(w, hgt), cover);
    std::vector<unsigned char> out(size_t(target.width()) * size_t(target.height()) * 4);
    QElapsedTimer t;
    t.start();
    tjDecompress2(h, bytes, (unsigned long)data.size(), out.data(), target.width(), 0,
                  target.height(), TJPF_BGRX, 0);
    const double ms = t.nsecsElapsed() / 1e6;
    tjDestroy(h);
    return ms;
}

} // namespace

// Steps through the photos of `dir` at 1920 x 1080 and prints the peak resident memory in kB.
int memoryRun(const QString& dir) {
    QTemporaryDir tmp;
    qputenv("HOME", tmp.path().toLocal8Bit());
    Window win(tmp.path(), dir, QSize(1920, 1080));
    for (int i = 0; i < 20; ++i) {
        QTest::qWait(300);
        win.press(Qt::Key_Space);
    }
    std::printf("%lld\n", peakRssKb());
    return 0;
}

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "--memory")
        return memoryRun(QString::fromLocal8Bit(argv[2]));
    QTemporaryDir tmp;
    qputenv("HOME", tmp.path().toLocal8Bit());
    const QString root = tmp.path();
    const QString dir24 = root + QStringLiteral("/mp24");
    const QString dir45 = root + QStringLiteral("/mp45");
    bench::writePhotos(dir24, 14, QSize(6000, 4000), 1);
    bench::writePhotos(dir45, 20, QSize(8256, 5504), 100);

    double next1080 = 0, cold1080 = 0, floor1080 = 0;
    for (const QSize size : {QSize(1920, 1080), QSize(866, 581)}) {
        Window win(root, dir24, size);
        std::vector<double> next, cold, floors;
        for (int i = 0; i < 10; ++i) {
            QTest::qWait(300); // a person looks at the photo; the neighbours decode meanwhile
            next.push_back(win.press(Qt::Key_Space));
        }
        // Each cold show is paired with a bare decode of the same file right after it, so both
        // see the same machine.
        for (int i = 0; i < 8; ++i) {
            QTest::qWait(300);
            win.w->photoCache().clear();
            cold.push_back(win.press(i % 2 ? Qt::Key_End : Qt::Key_Home));
            floors.push_back(floorMs(win.w->state().globalnev, bench::viewerCover(*win.w)));
        }
        const double fl = median(floors);
        std::printf("window %dx%d: ", win.size().width(), win.size().height());
        std::printf("%dx%d, 24 MP: next %.1f ms, cold %.1f ms, floor %.1f ms\n", size.width(),
                    size.height(), median(next), median(cold), fl);
        if (size.width() == 1920) {
            next1080 = median(next);
            cold1080 = median(cold);
            floor1080 = fl;
        }
    }

    // Memory is measured in a fresh process, so this one's earlier windows do not count.
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--memory"), dir45});
    child.waitForFinished(600000);
    const qint64 peakKb = QString::fromLatin1(child.readAllStandardOutput()).trimmed().toLongLong();
    std::printf("peak resident memory stepping through twenty 45 MP photos: %.0f MB\n",
                peakKb / 1024.0);
    std::printf(
        "targets: next <= 30 ms and <= 0.35 x floor; cold <= 1.2 x floor; memory <= 150 MB\n");
    std::printf("RESULT next ratio=%.2f\n", floor1080 > 0 ? next1080 / floor1080 : 0.0);
    std::printf("RESULT cold ratio=%.2f\n", floor1080 > 0 ? cold1080 / floor1080 : 0.0);
    std::printf("RESULT memory mb=%.0f\n", peakKb / 1024.0);
    return 0;
}
