#include "app/loadscan.h"

#include "app/dropwork.h"
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

LoadScan::LoadScan(MainWindow& window, AppState& st)
    : QObject(&window), window_(window), st_(st), scan_(std::make_unique<FolderScan>()) {
    reveal_ = new QTimer(this);
    reveal_->setSingleShot(true);
    reveal_->setInterval(kRevealMs);
    connect(reveal_, &QTimer::timeout, this, [this] { window_.setUpdatesEnabled(true); });
    connect(scan_.get(), &FolderScan::finished, this, &LoadScan::finished);
    connect(scan_.get(), &FolderScan::progress, this, [this](int photos, int) {
        scanText_[kSourceSlot] = scanningText(st_.szoveg[kSourceSlot], photos);
        window_.kepszinezo();
    });
}

LoadScan::~LoadScan() = default;

void LoadScan::start() {
    // The lists empty at once and the new ones arrive together when every folder is read;
    // until then there is nothing to show, step through or sort. The lists go aside for a
    // cancelled load to put back; the worker frees the ones set aside before.
    ScanLists stale;
    if (!running()) {
        stale = std::exchange(beforeLoad_.lists, std::exchange(st_.lists, {}));
        beforeLoad_.index = st_.index;
        beforeLoad_.indexpanel = st_.indexpanel;
        beforeLoad_.dirs = listedDirs_;
    }
    st_.lists = {};
    st_.index.fill(0);
    holdStart();
    scan_->start({st_.dirs, st_.pirosmappa}, std::move(stale));
    scanText_[kSourceSlot] = scanningText(st_.szoveg[kSourceSlot], 0);
}

void LoadScan::holdStart() {
    // Only a window already on the screen has a picture to keep: one not painted yet (a folder
    // given at start) would lose its first paint to the hold and stay black.
    const QWindow* win = window_.windowHandle();
    if (!win || !win->isExposed()) return;
    window_.setUpdatesEnabled(false);
    reveal_->start();
}

void LoadScan::finished(const std::shared_ptr<ScanLists>& lists) {
    reveal_->stop();
    window_.setUpdatesEnabled(true);
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
    window_.kepbetoltes(st_.s1);
    window_.syncStatusBar();
    window_.kepszinezo();
    window_.drops().settleHeldResults(); // drops done while the folders were read, settled
    emit window_.loaded();
}

void LoadScan::cancel() {
    if (!running()) return;
    scan_->cancel();
    reveal_->stop();
    window_.setUpdatesEnabled(true);
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
    window_.kepbetoltes(st_.s1);
    window_.syncStatusBar();
    window_.kepszinezo();
    window_.drops().settleHeldResults();
}

} // namespace kps
