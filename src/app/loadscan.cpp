// A load's folder scans run in the background: the source panel tells how far the scan got,
// and the nine lists arrive together.

#include "app/mainwindow.h"
#include "app/panelpainter.h"
#include "core/state/cursor.h"

#include <QTimer>
#include <QWindow>

namespace kps {

namespace {
// How long a load's start stays off the screen; most loads have their lists by then.
constexpr int kRevealMs = 50;
} // namespace

void MainWindow::connectScan() {
    scanReveal_ = new QTimer(this);
    scanReveal_->setSingleShot(true);
    scanReveal_->setInterval(kRevealMs);
    connect(scanReveal_, &QTimer::timeout, this, [this] { setUpdatesEnabled(true); });
    connect(scan_.get(), &FolderScan::finished, this, &MainWindow::scanFinished);
    connect(scan_.get(), &FolderScan::progress, this,
            [this](int photos, int) { scanProgress(photos); });
}

bool MainWindow::scanning() const {
    return scan_->isRunning();
}

void MainWindow::scanProgress(int photos) {
    scanText_[kSourceSlot] = scanningText(st_.szoveg[kSourceSlot], photos);
    kepszinezo();
}

void MainWindow::holdScanStart() {
    // Only a window already on the screen has a picture to keep: one not painted yet (a folder
    // given at start) would lose its first paint to the hold and stay black.
    const QWindow* win = windowHandle();
    if (!win || !win->isExposed()) return;
    setUpdatesEnabled(false);
    scanReveal_->start();
}

void MainWindow::scanFinished(const std::shared_ptr<ScanLists>& lists) {
    scanReveal_->stop();
    setUpdatesEnabled(true);
    scanText_.fill(QString());
    st_.lists = std::move(*lists);
    listedDirs_ = st_.dirs;
    // As at the load's start: every cursor at the top, the source viewed, whatever panel was
    // clicked meanwhile.
    st_.index.fill(0);
    st_.panelState[size_t(st_.indexpanel)] = PanelState::Normal;
    st_.indexpanel = kSourceSlot;
    st_.panelState[kSourceSlot] = PanelState::Selected;
    st_.s1 = listbox(st_, st_.indexpanel);
    kepbetoltes(st_.s1);
    syncStatusBar();
    kepszinezo();
    settleHeldResults(); // drops done while the folders were read, settled by the disk
    emit loaded();
}

void MainWindow::cancelScan() {
    if (!scan_->isRunning()) return;
    scan_->cancel();
    scanReveal_->stop();
    setUpdatesEnabled(true);
    scanText_.fill(QString());
    // The lists the load took come back when they are of the folders the slots hold now; lists
    // of other folders would be wrong, so the panels then say that nothing is loaded.
    if (beforeLoad_.dirs == st_.dirs) {
        st_.lists = std::exchange(beforeLoad_.lists, {});
        st_.index = beforeLoad_.index;
        st_.panelState[size_t(st_.indexpanel)] = PanelState::Normal;
        st_.indexpanel = beforeLoad_.indexpanel;
        st_.panelState[size_t(st_.indexpanel)] = PanelState::Selected;
        listedDirs_ = st_.dirs;
    } else {
        st_.megsemmi = true;
    }
    st_.s1 = listbox(st_, st_.indexpanel);
    kepbetoltes(st_.s1);
    syncStatusBar();
    kepszinezo();
    settleHeldResults();
}

} // namespace kps
