// The drops' file work runs behind the window: its results settle the lists, the status bar
// tells what is left, and closing waits for it.

#include "app/mainwindow.h"
#include "core/drop/dropqueue.h"
#include "core/files/nativepath.h"
#include "core/photo/photocache.h"
#include "core/state/cursor.h"

#include <QLabel>
#include <QProgressDialog>
#include <QTimer>

namespace kps {

// A photo on its way keeps its bytes where it came from until its move is done: the result of
// that work is the moment it is read from its new place (rereadWhenMoved_).
QString MainWindow::bytesOf(const QString& path) const {
    if (pending_.empty() || path.isEmpty() || path == kNoPhoto) return path;
    return pending_.origin(path);
}

void MainWindow::dropFinished(const DropResult& result) {
    if (result.chore) { // the close's clean-up is done: the window closes now
        cleanedUp_ = true;
        dismissCloseProgress();
        QTimer::singleShot(0, this, &QWidget::close);
        return;
    }
    // A drag in progress (its rename question included) plans against the lists it saw, and a
    // load's scan may have read the folder before the work was done: results wait for both.
    if (st_.mozg || scanning()) {
        heldResults_.push_back(result);
        return;
    }
    pending_.settle(st_, result);
    if (!result.ok) showStatusMessage(displayPath(result.message));
    // The user has not moved on since the release: the photo that stayed shows again.
    if (!result.ok && result.id == lastRelease_.id && st_.indexpanel == lastRelease_.slot &&
        st_.globalnev == lastRelease_.shown) {
        const int i = st_.lists[size_t(st_.indexpanel)].indexOf(result.source);
        if (i >= 0) st_.index[size_t(st_.indexpanel)] = i;
    }
    // A photo that did not arrive leaves the list being viewed, and the viewer follows.
    const QString now = listbox(st_, st_.indexpanel);
    if (now != st_.globalnev && st_.globalnev != kRelayoutMarker) {
        st_.s1 = now;
        kepbetoltes(now);
    } else if (rereadWhenMoved_ && !pending_.isArrival(st_.globalnev)) {
        rereadWhenMoved_ = false;
        st_.dError = false;
        pendingRequest_ = cache_->request(bytesOf(st_.globalnev), decodeCover());
    }
    kepszinezo();
    syncStatusBar();
    showPendingWork();
}

void MainWindow::settleHeldResults() {
    std::vector<DropResult> held;
    held.swap(heldResults_);
    for (const DropResult& result : held)
        dropFinished(result);
}

void MainWindow::showPendingWork() {
    statusPending_->setText(pendingText(pending_.count(), pending_.bytes()));
    if (!closeProgress_) return;
    if (pending_.empty() && !cleaning_) {
        dismissCloseProgress();
        QTimer::singleShot(0, this, &QWidget::close);
        return;
    }
    if (cleaning_) return; // the clean-up tells nothing on its way
    closeProgress_->setMaximum(std::max(closeProgress_->maximum(), pending_.count()));
    closeProgress_->setValue(closeProgress_->maximum() - pending_.count());
    closeProgress_->setLabelText(QStringLiteral("A függő munka befejezése...\n") +
                                 statusPending_->text());
}

void MainWindow::dismissCloseProgress() {
    QProgressDialog* dialog = std::exchange(closeProgress_, nullptr);
    if (!dialog) return;
    dialog->disconnect(this); // closing it would count as the user's cancel
    dialog->hide();
    dialog->deleteLater();
}

void MainWindow::finishWorkBeforeClosing() {
    if (closeProgress_) return;
    st_.mozg = false; // closing ends a drag; what it held back settles now
    settleHeldResults();
    if (pending_.empty()) {
        QTimer::singleShot(0, this, &QWidget::close);
        return;
    }
    showCloseProgress();
}

void MainWindow::showCloseProgress() {
    if (closeProgress_) return;
    closeProgress_ = new QProgressDialog(this);
    closeProgress_->setObjectName(QStringLiteral("CloseProgress"));
    closeProgress_->setWindowTitle(windowTitle());
    closeProgress_->setCancelButtonText(QStringLiteral("Kilépés most"));
    closeProgress_->setWindowModality(Qt::WindowModal);
    closeProgress_->setMinimumDuration(0);
    closeProgress_->setAutoClose(false);
    closeProgress_->setAutoReset(false);
    closeProgress_->setMaximum(std::max(pending_.count(), 1));
    closeProgress_->setLabelText(QStringLiteral("A függő munka befejezése..."));
    // Quitting at once: the drops not started stay undone (their photos were never touched),
    // the running one stops at its next step and takes back what it wrote; the Trash is not
    // emptied while it may still be at work there.
    connect(closeProgress_, &QProgressDialog::canceled, this, [this] {
        for (const quint64 id : drops_->takeWaiting())
            pending_.discard(id);
        drops_->stop();
        workMayRun_ = !pending_.empty();
        closeNow_ = true;
        dismissCloseProgress();
        QTimer::singleShot(0, this, &QWidget::close);
    });
    showPendingWork();
    closeProgress_->show();
}

} // namespace kps
