// A load of a big source with its subfolders, in the real window: how long the window's thread
// is busy in one go while the folders are read, and how long the load takes against a plain
// DirList4 of the same tree.
//
// Usage: bench_bgscan [TREE]   (without TREE a tree of 200,000 files in 4,000 folders is
// generated under /tmp and removed after)

#include "app/mainwindow.h"
#include "core/scan.h"
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

namespace {

constexpr int kFolders = 4000;
constexpr int kFiles = 200000;
constexpr int kMaxDepth = 5;
constexpr int kRuns = 11;

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double msSince(const QElapsedTimer& t) {
    return double(t.nsecsElapsed()) / 1e6;
}

struct LoadFigures {
    double stall = 0; // the longest stretch the window's thread was busy, ms
    double full = 0;  // from the press until the list is shown, ms
    int photos = 0;
};

// A main window whose source is the tree, with subfolders searched, and whose other eight
// slots are empty folders.
struct Window {
    Window(const QString& root, const QString& tree) {
        const QString program = root + QStringLiteral("/program/");
        QDir().mkpath(program);
        QString ini = QStringLiteral("[kezdo]\npath0=%1\n").arg(tree);
        for (int slot = 1; slot < kSlotCount; ++slot) {
            const QString folder = root + QStringLiteral("/slot%1/").arg(slot);
            QDir().mkpath(folder);
            ini += QStringLiteral("path%1=%2\n").arg(slot).arg(folder);
        }
        test::writeFile(program + QStringLiteral("settings.ini"), ini.toUtf8());
        Environment env;
        env.programDir = program;
        w = std::make_unique<MainWindow>(env);
        w->show();
        QCoreApplication::processEvents();
        w->findChild<QCheckBox*>(QStringLiteral("CheckBox1"))->setChecked(true);
    }

    // Presses the load button from inside the event loop, with a probe ticking on the window's
    // thread; ends when the list is shown.
    LoadFigures load() {
        QEventLoop loop;
        QTimer probe;
        probe.setTimerType(Qt::PreciseTimer);
        probe.setInterval(1);
        QElapsedTimer clock;
        clock.start();
        double lastTick = 0, stall = 0;
        QObject::connect(&probe, &QTimer::timeout, [&] {
            const double now = msSince(clock);
            stall = std::max(stall, now - lastTick);
            lastTick = now;
        });
        double pressed = 0, shown = 0;
        const auto conn = QObject::connect(w.get(), &MainWindow::loaded, [&] {
            w->repaint(); // the list's first photo and the panels, drawn
            shown = msSince(clock);
            stall = std::max(stall, shown - lastTick);
            loop.quit();
        });
        QTimer::singleShot(20, [&] {
            pressed = msSince(clock);
            lastTick = pressed; // the press handler counts as busy from here
            w->SpeedButton1Click(1);
        });
        probe.start();
        loop.exec();
        probe.stop();
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
