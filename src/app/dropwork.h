#pragma once
// The drops' file work behind the window: the drops released and not done yet, their results
// settling the lists, the pending-work figure, and the close that waits for them.

#include "core/drop/dropjob.h"

#include <QObject>
#include <memory>
#include <vector>

class QProgressDialog;

namespace kps {

class DropQueue;
class MainWindow;

class DropWork : public QObject {
  public:
    DropWork(MainWindow& window, AppState& st, std::shared_ptr<FileOps> ops);
    ~DropWork() override;

    const PendingDrops& pending() const { return pending_; }
    DropQueue& queue() { return *queue_; }
    // Where the photo listed as path has its bytes now (earlier, while its move is pending).
    QString bytesOf(const QString& path) const;
    // A release's file work, queued; `shown` is the photo the release left on the screen.
    void submit(DropJob job, const QString& shown);
    void settleHeldResults(); // the results that came during a drag or a scan
    void showPendingWork();   // the pending-work text and the close progress
    bool cleaningUp() const { return cleaning_ && !cleanedUp_; }
    // Whether the window may close now; if not, starts what has to come first.
    bool mayClose();

  private:
    void finished(const DropResult& result); // settles the lists by what the work did
    void finishBeforeClosing();              // the close waits, with a progress dialog
    void showCloseProgress();                // shows it, with "Kilépés most"
    void dismissCloseProgress();             // takes that dialog away
    void cleanUpBehind(); // the close's clean-up (undo trim, Trash) on the drops' worker

    MainWindow& window_;
    AppState& st_;
    PendingDrops pending_;
    std::unique_ptr<DropQueue> queue_; // after pending_: its results stop before pending_ goes
    quint64 nextId_ = 1;
    // The last release and the photo it showed: while that photo stays shown, a failure of the
    // drop brings its photo back onto the screen.
    struct LastRelease {
        quint64 id = 0;
        int slot = -1;
        QString shown;
    } lastRelease_;
    std::vector<DropResult> held_;             // arrived during a drag or a scan, settled after it
    QProgressDialog* closeProgress_ = nullptr; // the close waiting for the work
    bool writeFailed_ = false;                 // a failed settings write keeps the window open once
    bool closeNow_ = false;                    // the user would not wait for the pending work
    bool workMayRun_ = false;                  // closing with a drop still running: the Trash stays
    bool cleaning_ = false;                    // the close's clean-up runs behind the window
    bool cleanedUp_ = false;                   // it is done: the next close closes
};

} // namespace kps
