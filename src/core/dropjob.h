#pragma once
// A drop whose file work runs after the release. The lists change at the release as a drop that
// works would change them; the work runs later on a copy of the state; its result then settles
// every entry the drop touched by what the disk holds: a photo that did not arrive leaves the
// list it was added to, one that did not leave comes back to its own.

#include "core/drop.h"

#include <deque>
#include <functional>

namespace kps {

struct DropJob {
    quint64 id = 0;
    AppState before; // the state at the release, before the drop changed it (lists it needs)
    DropPlan plan;
    bool renameConfirmed = false;
    std::vector<ListChange> predicted; // the entries the release added or removed
    QStringList arrivals;              // the names the photo gets in folders
    qint64 bytes = 0;                  // what the work writes, for the pending-work text
};

// One entry a drop touched, and whether its file is on disk once the work is done.
struct EntryFact {
    ListChange entry;
    bool onDisk = false;
};

struct DropResult {
    quint64 id = 0;
    QString source; // the dragged photo
    bool ok = true;
    QString message;  // what failed and where the photo is, in Hungarian; empty when ok
    int torol500 = 1; // the undo counter after this drop
    std::vector<EntryFact> facts;
};

// At the release, with the plan made and the rename question answered: changes the lists,
// cursors and panels at once as if every step works, and returns the outcome to show now (a
// failure the plan already knows, such as a name clash, included) with the job to run.
// photoBytes is the dragged photo's size.
DropJob prepareDrop(AppState& st, const DropPlan& plan, bool renameConfirmed, qint64 photoBytes,
                    DropOutcome& now);

// On the worker: carries the job out with the real file steps. undoCounter carries the undo
// counter from one job to the next (0 before the first), as the window's copy of it changes only
// when results arrive.
DropResult runDropJob(DropJob job, FileOps& ops, int& undoCounter);

// The drops released but not yet settled, kept on the window's thread.
class PendingDrops {
  public:
    void add(const DropJob& job);
    // Settles a finished drop's entries by the disk; an entry that a later pending drop also
    // changes is left to that drop. Cursors stay on the photos they showed.
    void settle(AppState& st, const DropResult& result);
    // Forgets drops that will never run (their photos were never touched).
    void discard(quint64 id);

    // Where the photo listed as `path` has its bytes now: at an earlier place while the work
    // that brings it to `path` is pending. `exists` looks at the disk.
    QString whereNow(const QString& path, const std::function<bool(const QString&)>& exists) const;

    // A name the photo of a pending drop gets: listed already, on disk once the work is done.
    bool isArrival(const QString& path) const;

    bool empty() const { return items_.empty(); }
    int count() const { return int(items_.size()); }
    qint64 bytes() const;

  private:
    struct Item {
        quint64 id = 0;
        QString source;
        QStringList arrivals;
        std::vector<ListChange> predicted;
        qint64 bytes = 0;
    };
    bool laterDropChanges(size_t after, const ListChange& entry) const;
    std::deque<Item> items_;
};

// The disk as the pending drops will leave it, for planning a release: a photo on its way to a
// folder already stands there, with the bytes it has now.
class PendingAwareOps : public FileOps {
  public:
    PendingAwareOps(FileOps& disk, const PendingDrops& pending) : disk_(disk), pending_(pending) {}
    bool exists(const QString& path) override;
    bool isLink(const QString& path) override;
    bool sameFile(const QString& a, const QString& b) override;
    bool sameBytes(const QString& a, const QString& b) override;
    bool sameFileSystem(const QString& file, const QString& folder) override;
    // Planning never writes; these go to the disk as they are.
    bool makeFolder(const QString& path) override { return disk_.makeFolder(path); }
    bool copyToTemp(const QString& from, const QString& tmp) override {
        return disk_.copyToTemp(from, tmp);
    }
    bool flush(const QString& path) override { return disk_.flush(path); }
    bool verify(const QString& from, const QString& tmp) override {
        return disk_.verify(from, tmp);
    }
    RenameResult renameNoReplace(const QString& from, const QString& to) override {
        return disk_.renameNoReplace(from, to);
    }
    bool remove(const QString& path) override { return disk_.remove(path); }

  private:
    QString now(const QString& path);
    FileOps& disk_;
    const PendingDrops& pending_;
};

// The pending-work text of the status bar: photos and megabytes left; empty when none.
QString pendingText(int photos, qint64 bytes);

} // namespace kps
