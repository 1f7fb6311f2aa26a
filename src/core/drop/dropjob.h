#pragma once
// A drop whose file work runs after the release. The lists change at the release as a drop that
// works would change them; the work runs later on a copy of the state; its result then settles
// every entry the drop touched by what the disk holds: a photo that did not arrive leaves the
// list it was added to, one that did not leave comes back to its own.

#include "core/drop/drop.h"

#include <atomic>
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
    std::function<void()> chore;       // set: no drop but other file work in the drops' turn
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
    QStringList made;     // the copies the work wrote (the undo copy included)
    QStringList madeFrom; // for each of made, the file it copies (the photo or a companion)
    bool chore = false;   // the result of a chore, not of a drop
};

// At the release, with the plan made and the rename question answered: changes the lists,
// cursors and panels at once as if every step works, and returns the outcome to show now (a
// failure the plan already knows, such as a name clash, included) with the job to run.
// photoBytes is the dragged photo's size; its companions' sizes come with the plan.
DropJob prepareDrop(AppState& st, const DropPlan& plan, bool renameConfirmed, qint64 photoBytes,
                    DropOutcome& now);

// On the worker: carries the job out with the real file steps. undoCounter carries the undo
// counter from one job to the next (0 before the first), as the window's copy of it changes only
// when results arrive.
DropResult runDropJob(DropJob job, FileOps& ops, int& undoCounter);

// After a drop stopped part-way (the user would not wait at close): the copies it wrote go
// again while the photo is still whole at its source, so nothing is left half-done. A copy is
// only removed after its bytes are checked against the file it was made from.
void takeBackCopies(const DropResult& result, FileOps& ops);

// The disk for a drop that may be told to stop: once `stop` is set, no step that writes,
// renames or deletes a photo is taken (removing a copy's temporary file still is), so the drop
// fails at its next step and keeps the photo where it was.
class StoppableOps : public FileOps {
  public:
    StoppableOps(FileOps& disk, const std::atomic<bool>& stop) : disk_(disk), stop_(stop) {}
    bool exists(const QString& path) override { return disk_.exists(path); }
    bool isLink(const QString& path) override { return disk_.isLink(path); }
    bool sameFile(const QString& a, const QString& b) override { return disk_.sameFile(a, b); }
    bool sameBytes(const QString& a, const QString& b) override { return disk_.sameBytes(a, b); }
    bool sameFileSystem(const QString& file, const QString& folder) override {
        return disk_.sameFileSystem(file, folder);
    }
    bool makeFolder(const QString& path) override { return !stop_ && disk_.makeFolder(path); }
    bool copyToTemp(const QString& from, const QString& tmp) override {
        return !stop_ && disk_.copyToTemp(from, tmp);
    }
    bool flush(const QString& path) override { return !stop_ && disk_.flush(path); }
    bool verify(const QString& from, const QString& tmp) override {
        return disk_.verify(from, tmp);
    }
    RenameResult renameNoReplace(const QString& from, const QString& to) override {
        return stop_ ? RenameResult::Failed : disk_.renameNoReplace(from, to);
    }
    bool remove(const QString& path) override;

  private:
    FileOps& disk_;
    const std::atomic<bool>& stop_;
};

// The drops released but not yet settled, kept on the window's thread.
class PendingDrops {
  public:
    void add(const DropJob& job);
    // Settles a finished drop's entries by the disk; an entry that a later pending drop also
    // changes is left to that drop. Cursors stay on the photos they showed.
    void settle(AppState& st, const DropResult& result);
    // Forgets drops that will never run (their photos were never touched).
    void discard(quint64 id);

    // A name the photo of a pending drop gets: listed already, on disk once the work is done.
    bool isArrival(const QString& path) const;
    // Where the photo listed as path was before the pending drops that bring it there.
    QString origin(const QString& path) const;

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
        Companions companions; // the photo's, for the entries this drop puts back or adds
    };
    bool laterDropChanges(size_t after, const ListChange& entry) const;
    std::deque<Item> items_;
};

// What a release knows without touching the disk: the lists, as the pending drops will leave
// them, and the mounts the last load found the folders on. A name stands in a folder when a list
// names it (a photo on its way counts); two names are one file when both lead back to the same
// place; bytes are never known to be the same (the work compares them when it runs). Planning
// never writes, so the writing steps refuse.
class ListedOps : public FileOps {
  public:
    // mounts: the mount each slot's folder lies on, 0 where not known.
    ListedOps(const AppState& st, const PendingDrops& pending,
              const std::array<quint64, kSlotCount>& mounts)
        : st_(st), pending_(pending), mounts_(mounts) {}
    bool exists(const QString& path) override;
    bool isLink(const QString&) override { return false; }
    bool sameFile(const QString& a, const QString& b) override;
    bool sameBytes(const QString&, const QString&) override { return false; }
    bool sameFileSystem(const QString& file, const QString& folder) override;
    bool makeFolder(const QString&) override { return false; }
    bool copyToTemp(const QString&, const QString&) override { return false; }
    bool flush(const QString&) override { return false; }
    bool verify(const QString&, const QString&) override { return false; }
    RenameResult renameNoReplace(const QString&, const QString&) override {
        return RenameResult::Failed;
    }
    bool remove(const QString&) override { return false; }

  private:
    quint64 mountOf(const QString& path) const; // of the slot folder holding path, or 0
    const AppState& st_;
    const PendingDrops& pending_;
    const std::array<quint64, kSlotCount>& mounts_;
};

// The pending-work text of the status bar: photos and megabytes left; empty when none.
QString pendingText(int photos, qint64 bytes);

} // namespace kps
