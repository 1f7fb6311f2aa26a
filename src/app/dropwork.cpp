#include "app/dropwork.h"

#include "app/loadscan.h"
#include "app/mainwindow.h"
#include "app/statusline.h"
#include "app/viewer.h"
#include "core/drop/dropqueue.h"
#include "core/drop/shutdown.h"
#include "core/files/nativepath.h"
#include "core/state/cursor.h"

#include <QProgressDialog>
#include <QTimer>

namespace kps {

DropWork::DropWork(MainWindow& window, AppState& st, std::shared_ptr<FileOps> ops)
    : QObject(&window), window_(window), st_(st),
      queue_(std::make_unique<DropQueue>(std::move(ops),
                                         [this](const DropResult& result) { finished(result); })) {}

DropWork::~DropWork() = default;

// A photo on its way keeps its bytes where it came from until its move is done: the result of
// that work is the moment it is read from its new place.
QString DropWork::bytesOf(const QString& path) const {
    if (pending_.empty() || path.isEmpty() || path == kNoPhoto) return path;
    return pending_.origin(path);
}

void DropWork::submit(DropJob job, const QString& shown) {
    job.id = nextId_++;
    lastRelease_ = {job.id, st_.indexpanel, shown};
    pending_.add(job);
    queue_->submit(std::move(job));
}

void DropWork::finished(const DropResult& result) {
    if (result.chore) { // the close's clean-up is done: the window closes now
        cleanedUp_ = true;
        dismissCloseProgress();
        QTimer::singleShot(0, &window_, &QWidget::close);
        return;
    }
    // A drag in progress (its rename question included) plans against the lists it saw, and a
    // load's scan may have read the folder before the work was done: results wait for both.
    if (st_.mozg || window_.scanning()) {
        held_.push_back(result);
        return;
    }
    pending_.settle(st_, result);
    if (!result.ok) window_.showStatusMessage(displayPath(result.message));
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
        window_.kepbetoltes(now);
    } else {
        window_.viewer().rereadWhenArrived();
    }
    window_.kepszinezo();
    window_.syncStatusBar();
    showPendingWork();
}

void DropWork::settleHeldResults() {
    std::vector<DropResult> held;
    held.swap(held_);
    for (const DropResult& result : held)
        finished(result);
}

void DropWork::showPendingWork() {
    window_.statusLine().setPending(pendingText(pending_.count(), pending_.bytes()));
    if (!closeProgress_) return;
    if (pending_.empty() && !cleaning_) {
        dismissCloseProgress();
        QTimer::singleShot(0, &window_, &QWidget::close);
        return;
    }
    if (cleaning_) return; // the clean-up tells nothing on its way
    closeProgress_->setMaximum(std::max(closeProgress_->maximum(), pending_.count()));
    closeProgress_->setValue(closeProgress_->maximum() - pending_.count());
    closeProgress_->setLabelText(QStringLiteral("A függő munka befejezése...\n") +
                                 window_.statusLine().pending());
}

bool DropWork::mayClose() {
    // The settings and the Trash wait for the drops' file work, and so does the close after a
    // failed write: quitting never leaves a released drop undone without the user's word.
    if (!pending_.empty() && !closeNow_) {
        finishBeforeClosing();
        return false;
    }
    // A failed write keeps the window open once; the next close request always closes. So does
    // one after the clean-up, or when the user would not wait for it.
    if (writeFailed_ || cleanedUp_ || (cleaning_ && closeNow_)) return true;
    if (cleaning_) return false; // its end closes the window
    if (!window_.kiment()) {
        writeFailed_ = true;
        return false;
    }
    // The Trash is emptied behind the window, unless a drop may still be at work there or the
    // user would not wait; its photos then go at a later close.
    if (workMayRun_ || closeNow_) return true;
    cleanUpBehind();
    return false;
}

void DropWork::cleanUpBehind() {
    cleaning_ = true;
    // The clean-up needs only the folders; the Trash's list is its scratch.
    AppState folders;
    folders.dirs = st_.dirs;
    queue_->submitChore([folders]() mutable { shutdownCleanup(folders); });
    showCloseProgress();
}

void DropWork::dismissCloseProgress() {
    QProgressDialog* dialog = std::exchange(closeProgress_, nullptr);
    if (!dialog) return;
    dialog->disconnect(this); // closing it would count as the user's cancel
    dialog->hide();
    dialog->deleteLater();
}

void DropWork::finishBeforeClosing() {
    if (closeProgress_) return;
    st_.mozg = false; // closing ends a drag; what it held back settles now
    settleHeldResults();
    if (pending_.empty()) {
        QTimer::singleShot(0, &window_, &QWidget::close);
        return;
    }
    showCloseProgress();
}

void DropWork::showCloseProgress() {
    if (closeProgress_) return;
    closeProgress_ = new QProgressDialog(&window_);
    closeProgress_->setObjectName(QStringLiteral("CloseProgress"));
    closeProgress_->setWindowTitle(window_.windowTitle());
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
        for (const quint64 id : queue_->takeWaiting())
            pending_.discard(id);
        queue_->stop();
        workMayRun_ = !pending_.empty();
        closeNow_ = true;
        dismissCloseProgress();
        QTimer::singleShot(0, &window_, &QWidget::close);
    });
    showPendingWork();
    closeProgress_->show();
}

} // namespace kps
