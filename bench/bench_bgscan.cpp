// A load of a big source with its subfolders, in the real window: how long the window's thread
// is busy in one go while the folders are read, and how long the load takes against a plain
// DirList4 of the same tree.
//
// Usage: bench_bgscan [TREE]   (without TREE a tree of 200,000 files in 4,000 folders is
// generated under /tmp and removed after)

#include "benchkit.h"
#include "core/sources/scan.h"
#include "scantree.h"
#include "testphotos.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

using namespace kps;
using bench::median;
using bench::msSince;

namespace {

constexpr int kFolders = 4000;
constexpr int kFiles = 200000;
constexpr int kMaxDepth = 5;
constexpr int kRuns = 11;

struct LoadFigures {
    double stall = 0; // the longest stretch the window's thread was busy, ms
    double full = 0;  // from the press until the list is shown, ms
    int photos = 0;
};

// A main window whose source is the tree, with subfolders searched, and whose other eight
// slots are empty folders.
struct Window {
    Window(const QString& root, const QString& tree)
        : w(bench::startWindow(root + QStringLiteral("/program/"), bench::slotsUnder(root, tree))) {
        w->findChild<QCheckBox*>(QStringLiteral("CheckBox1"))->setChecked(true);
    }

    // Presses the load button from inside the event loop, with a probe ticking on the window's
    // thread; ends when the list is shown.
    LoadFigures load() {
        QEventLoop loop;
        QElapsedTimer clock;
        clock.start();
        bench::BusyProbe probe;
        double pressed = 0, shown = 0, stall = 0;
        const auto conn = QObject::connect(w.get(), &MainWindow::loaded, [&] {
            w->repaint(); // the list's first photo and the panels, drawn
            shown = msSince(clock);
            stall = probe.stop();
            loop.quit();
        });
        QTimer::singleShot(20, [&] {
            pressed = msSince(clock);
            probe.start(); // the press handler counts as busy from here
            w->SpeedButton1Click(1);
        });
        loop.exec();
        QObject::disconnect(conn);
        return {stall, shown - pressed, w->state().lists[kSourceSlot].count()};
    }

    std::unique_ptr<MainWindow> w;
};

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir work(QStringLiteral("/tmp/bench_bgscan-XXXXXX"));
    if (!work.isValid()) {
        std::fprintf(stderr, "cannot create a temporary folder\n");
        return 1;
    }
    QString tree;
    if (argc > 1) {
        tree = QFile::decodeName(argv[1]);
    } else {
        tree = work.path() + QStringLiteral("/tree/");
        std::printf("generating %d files in %d folders under %s\n", kFiles, kFolders,
                    qPrintable(tree));
        if (!kps::bench::generateScanTree(tree, kFolders, kFiles, kMaxDepth)) {
            std::fprintf(stderr, "cannot generate the tree\n");
            return 1;
        }
    }
    if (!tree.endsWith('/')) tree += '/';

    // The scan alone, into an empty list: freeing the list it made is not counted.
    const auto syncScan = [&](PhotoList& list) {
        QElapsedTimer t;
        t.start();
        DirList4(list, tree, QStringLiteral("*.jpg"), QStringLiteral("*.jpeg"));
        return msSince(t);
    };
    Window win(work.path(), tree);
    PhotoList warm;
    syncScan(warm); // warm-up, untimed
    const int expected = warm.count();
    win.load();

    std::vector<double> syncTimes, fullTimes, stalls;
    for (int run = 0; run < kRuns; ++run) {
        {
            PhotoList list;
            syncTimes.push_back(syncScan(list));
        }
        const LoadFigures f = win.load();
        if (f.photos != expected) {
            std::printf("MISMATCH: the load listed %d photos, DirList4 %d\n", f.photos, expected);
            return 1;
        }
        fullTimes.push_back(f.full);
        stalls.push_back(f.stall);
        std::printf("run %d: DirList4 %.1f ms, load shown after %.1f ms, longest stall %.1f ms\n",
                    run + 1, syncTimes.back(), f.full, f.stall);
    }
    const double sync = median(syncTimes);
    const double full = median(fullTimes);
    const double longest = *std::max_element(stalls.begin(), stalls.end());
    std::printf("%d photos; DirList4 median %.1f ms, background load median %.1f ms over %d runs\n",
                expected, sync, full, kRuns);
    std::printf("longest stall: median %.1f ms, worst %.1f ms\n", median(stalls), longest);
    std::printf("RESULT bgscan stall_ms=%.1f\n", longest);
    std::printf("RESULT bgscan ratio=%.2f\n", full / sync);
    return 0;
}
