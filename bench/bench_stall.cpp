// A card that stalls: every file call on one folder waits 2 s, as a card reader that has gone to
// sleep or a network share that hangs. The real main window, offscreen, steps through 20 photos,
// drops 5 (one onto the card's folder, the others elsewhere), opens and closes the menu and loads
// again (the card's folder read slowly too). Prints the longest wait of a probe timer on the
// window's thread, and how many file calls of the photo path that thread made after start-up.

#include "benchkit.h"
#include "core/files/filecallguard.h"
#include "core/files/fileops.h"
#include "core/files/nativepath.h"
#include "core/sources/folderscan.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <cstdio>
#include <thread>

using namespace kps;

namespace {

constexpr auto kStall = std::chrono::seconds(2);
constexpr int kCardSlot = 4;

// Every call on the card's folder waits first.
class StalledCard : public RealFileOps {
  public:
    explicit StalledCard(QString card) : card_(std::move(card)) {}
    bool exists(const QString& p) override { return wait(p), RealFileOps::exists(p); }
    bool copyToTemp(const QString& from, const QString& tmp) override {
        return wait(tmp), RealFileOps::copyToTemp(from, tmp);
    }
    bool flush(const QString& p) override { return wait(p), RealFileOps::flush(p); }
    RenameResult renameNoReplace(const QString& from, const QString& to) override {
        return wait(to), RealFileOps::renameNoReplace(from, to);
    }

  private:
    void wait(const QString& path) const {
        if (path.startsWith(card_)) std::this_thread::sleep_for(kStall);
    }
    QString card_;
};

// A drag of the photo from the viewer onto a folder panel, released there.
void dropOn(MainWindow& w, int slot) {
    QWidget* image = w.findChild<QWidget*>(QStringLiteral("Image1"));
    QWidget* viewer = w.findChild<QWidget*>(QStringLiteral("Panel2"));
    const QWidget* panel = w.findChild<QWidget*>(QStringLiteral("Panel1%1").arg(slot));
    QTest::mousePress(image, Qt::LeftButton, {}, image->rect().center());
    QWidget* frame = w.findChild<QWidget*>(QStringLiteral("Panel1"));
    QTest::mouseMove(image, panel->geometry().center() - viewer->pos() - frame->pos());
    QTest::mouseRelease(image, Qt::LeftButton, {}, QPoint(1, 1));
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir tmp;
    const auto folders = bench::slotsUnder(tmp.path());
    bench::writePhotos(folders[0], 30, QSize(3000, 2000), 1);
    StalledCard card(folders[kCardSlot]);
    const auto window =
        bench::startWindow(tmp.path() + QStringLiteral("/program/"), folders, {1280, 800}, &card);
    MainWindow& w = *window;
    bench::loadAndWait(w);
    w.folderScan().setWorkerHook([&](const QString& folder) {
        if (folder == folders[kCardSlot]) std::this_thread::sleep_for(kStall);
    });

    setFileCallRule(FileCallRule::Counted);
    bench::BusyProbe probe;
    probe.start();
    for (int i = 0; i < 20; ++i) {
        QTest::keyClick(&w, Qt::Key_Space);
        QTest::qWait(50);
        if (i % 4 != 0) continue;
        bench::waitForPhoto(w); // a drag starts from a photo on the screen
        dropOn(w, i == 0 ? kCardSlot : 1 + (i / 4) % 3);
    }
    w.Panel22Click();
    QTest::qWait(300);
    w.Panel22Click();
    w.SpeedButton1Click(1);
    if (!QTest::qWaitFor([&] { return !w.scanning() && w.pendingDrops().empty(); }, 120000))
        std::printf("the work did not finish\n");
    const double longest = probe.stop();
    const int calls = fileCallsOnThisThread();
    setFileCallRule(FileCallRule::Allowed);
    std::printf("a card stalling every call %lld s: the window's thread waited at most %.1f ms "
                "and made %d file calls on photos after start-up\n",
                qint64(kStall.count()), longest, calls);
    int sorted = 0;
    for (int slot = 1; slot <= kCardSlot; ++slot)
        sorted += w.state().lists[size_t(slot)].count();
    std::printf("photos sorted: %d of 5, onto the card %d of 1\n", sorted,
                w.state().lists[kCardSlot].count());
    std::printf("RESULT stall window_ms=%.1f\n", longest);
    std::printf("RESULT stall fs_calls=%d\n", calls);
    return 0;
}
