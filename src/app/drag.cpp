// Dragging the photo onto a folder panel sorts it.

#include "app/dropwork.h"
#include "app/loadscan.h"
#include "app/mainwindow.h"
#include "app/menupage.h"
#include "app/viewer.h"
#include "app/widgets.h"
#include "core/drop/dropjob.h"
#include "core/files/nativepath.h"
#include "core/state/cursor.h"
#include "core/state/dropgeometry.h"
#include "dialogs/renamedialog.h"

namespace kps {

bool panelkereso(int x, int y, const QWidget* obj) {
    return obj && obj->x() <= x && x < obj->x() + obj->width() && obj->y() <= y &&
           y < obj->y() + obj->height();
}

void MainWindow::Panel1MouseDown(QPoint p) {
    // A second button pressed during a drag must not restart it from the shrunk frame.
    if (menu_->panel20->isVisible() || st_.mozg) return;
    dragPress(st_, panel1_->geometry(), panel2_->size(), p);
}

void MainWindow::Panel1MouseMove(QPoint p) {
    if (!st_.mozg) return;
    const QRect frame = dragMove(st_, panel1_->geometry(), panel2_->pos(), p);
    panel1_->setGeometry(frame);
    image1_->setGeometry(QRect(QPoint(0, 0), frame.size()));
    for (int slot = 0; slot < kSlotCount; ++slot) {
        PanelState& state = st_.panelState[size_t(slot)];
        if (slot == st_.indexpanel)
            state = PanelState::Selected;
        else if (panelkereso(st_.nagyx, st_.nagyy, panels_[size_t(slot)]))
            state =
                slot == kSourceSlot && st_.pirosmappa ? PanelState::Normal : PanelState::DropTarget;
        else
            state = PanelState::Normal;
    }
    kepszinezo();
}

void MainWindow::Panel1MouseUp(QPoint) {
    if (!st_.mozg) return;
    // Decided from the lists alone: what needs the disk is decided by the work when it runs.
    ListedOps planning(st_, drops_->pending(), load_->scan().mounts());
    const DropPlan plan = planDrop(st_, planning);
    bool confirmed = false;
    if (plan.needsRenameQuestion) {
        const QPoint at = renameDialogPos(
            frameGeometry().topLeft(), QRect(panel2_->mapTo(this, QPoint(0, 0)), panel2_->size()),
            form3_->size());
        confirmed = form3_->ask(at);
    }
    // The lists change now; the file work runs behind, in order.
    DropOutcome out;
    // The photo's size as its decode found it: the release reads nothing from the disk.
    const qint64 size =
        plan.source == st_.globalnev ? std::max<qint64>(viewer_->shownBytes(), 0) : 0;
    DropJob job = prepareDrop(st_, plan, confirmed, size, out);
    if (out.volt) drops_->submit(std::move(job), out.show);
    if (!out.volt || !out.ok) {
        // Nothing dropped, or the photo stayed where it was: its frame goes back.
        panel1_->setGeometry(st_.eredeti);
        image1_->setGeometry(QRect(QPoint(0, 0), st_.eredeti.size()));
    }
    if (out.volt) {
        // A drop that worked takes an earlier failure's message away.
        showStatusMessage(out.ok ? QString() : displayPath(out.message));
        st_.s1 = out.show;
        kepbetoltes(out.show);
    }
    kepszinezo();
    syncStatusBar();
    drops_->showPendingWork();
    st_.mozg = false;
    drops_->settleHeldResults();
}

} // namespace kps
