#include "core/drop/dropjob.h"

#include "core/drop/leftovers.h"
#include "core/files/nativepath.h"
#include "core/state/cursor.h"

#include <algorithm>

namespace kps {

namespace {

// A file system on which every step works and nothing is touched: the release shows what the
// drop will do when it works. Only the dragged photo stands anywhere, until it is removed.
class PretendFileOps : public FileOps {
  public:
    explicit PretendFileOps(QString source) : source_(std::move(source)) {}
    bool exists(const QString& path) override { return path == source_ && !removed_; }
    bool isLink(const QString&) override { return false; }
    bool sameFile(const QString&, const QString&) override { return false; }
    bool sameBytes(const QString&, const QString&) override { return false; }
    bool sameFileSystem(const QString&, const QString&) override { return true; }
    bool makeFolder(const QString&) override { return true; }
    bool copyToTemp(const QString&, const QString&) override { return true; }
    bool flush(const QString&) override { return true; }
    bool verify(const QString&, const QString&) override { return true; }
    RenameResult renameNoReplace(const QString& from, const QString&) override {
        removed_ = removed_ || from == source_;
        return RenameResult::Done;
    }
    bool remove(const QString& path) override {
        removed_ = removed_ || path == source_;
        return true;
    }

  private:
    QString source_;
    bool removed_ = false;
};

bool stepsInclude(const DropPlan& plan, int slot) {
    return std::any_of(plan.steps.begin(), plan.steps.end(),
                       [slot](const DropStep& s) { return s.slot == slot; });
}

// The state the work needs: the folders taking part keep their whole lists (clashes and cursors
// are decided there); every other list keeps only the dragged photo, whose entries go with it.
// A big source list is never copied on the window's thread.
AppState stateForWork(AppState& st, const DropPlan& plan) {
    std::array<PhotoList, kSlotCount> lists;
    lists.swap(st.lists);
    AppState out = st;
    lists.swap(st.lists);
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const PhotoList& list = st.lists[size_t(slot)];
        if (stepsInclude(plan, slot)) {
            out.lists[size_t(slot)] = list;
        } else if (list.indexOf(plan.source) >= 0) {
            out.lists[size_t(slot)].insert(plan.source);
            out.index[size_t(slot)] = 0;
        }
    }
    return out;
}

// The bytes the work writes: one copy of the group per folder that gets one, and the undo
// copies. Companions count with the sizes the listing gave them.
qint64 bytesToWrite(const DropPlan& plan, bool renameConfirmed, qint64 photoBytes) {
    qint64 copies = 0;
    for (size_t i = 0; i < plan.steps.size(); ++i) {
        const DropStep& step = plan.steps[i];
        if (step.action == DropAction::Copy && int(i) != plan.moveStep) ++copies;
        if (step.action == DropAction::AskRename && renameConfirmed) ++copies;
        if (step.slot == kTrashSlot) ++copies;
    }
    return copies * (std::max<qint64>(photoBytes, 0) + companionBytes(plan.companions));
}

void insertKeepingCursor(AppState& st, int slot, const QString& path,
                         const Companions& companions) {
    PhotoList& list = st.lists[size_t(slot)];
    const bool wasEmpty = list.isEmpty();
    const int pos = list.insert(path, companions);
    int& cursor = st.index[size_t(slot)];
    if (!wasEmpty && pos <= cursor) ++cursor;
}

void removeKeepingCursor(AppState& st, int slot, int i) {
    st.lists[size_t(slot)].removeAt(i);
    int& cursor = st.index[size_t(slot)];
    if (i < cursor) --cursor;
}

} // namespace

DropJob prepareDrop(AppState& st, const DropPlan& plan, bool renameConfirmed, qint64 photoBytes,
                    DropOutcome& now) {
    DropJob job;
    job.before = stateForWork(st, plan);
    job.plan = plan;
    job.renameConfirmed = renameConfirmed;
    job.bytes = bytesToWrite(plan, renameConfirmed, photoBytes);
    // The counter moves only when an undo copy is really kept, which only the work can tell.
    const int torol500 = st.torol500;
    PretendFileOps pretend(plan.source);
    now = executeDrop(st, plan, renameConfirmed, pretend, &job.predicted);
    st.torol500 = torol500;
    // A clash is sure only once the work has compared the bytes (an identical photo is no
    // clash): the photo stays for now, and what is wrong comes with the result.
    const bool clash = std::any_of(plan.steps.begin(), plan.steps.end(),
                                   [](const DropStep& s) { return s.action == DropAction::Clash; });
    if (clash) now.message.clear();
    for (const ListChange& c : job.predicted) {
        if (c.added && c.path != plan.source && !job.arrivals.contains(c.path))
            job.arrivals << c.path;
    }
    return job;
}

DropResult runDropJob(DropJob job, FileOps& ops, int& undoCounter) {
    AppState& st = job.before;
    st.torol500 = std::max(st.torol500, undoCounter);
    // A photo queued behind an earlier drop that did not bring it here is not where the
    // release expected it: nothing is done with it.
    if (job.plan.volt && !job.plan.sourceMissing && !ops.exists(job.plan.source))
        job.plan.sourceMissing = true;
    recheckPlan(st, job.plan, ops);
    std::vector<ListChange> done;
    const DropOutcome out = executeDrop(st, job.plan, job.renameConfirmed, ops, &done);
    undoCounter = st.torol500;

    DropResult result;
    result.id = job.id;
    result.source = job.plan.source;
    result.ok = out.ok;
    result.message = out.message;
    result.torol500 = st.torol500;
    result.made = out.made;
    result.madeFrom = out.madeFrom;
    for (const std::vector<ListChange>* changes : {&job.predicted, &done}) {
        for (const ListChange& c : *changes) {
            const bool known =
                std::any_of(result.facts.begin(), result.facts.end(),
                            [&](const EntryFact& f) { return f.entry.samePlace(c); });
            if (!known) result.facts.push_back({c, pathFacts(c.path).isFile});
        }
    }
    return result;
}

bool StoppableOps::remove(const QString& path) {
    return (!stop_ || isCopyLeftoverName(levalasztofile(path))) && disk_.remove(path);
}

void takeBackCopies(const DropResult& result, FileOps& ops) {
    if (!ops.exists(result.source)) return; // the copies are where the photo is now
    for (qsizetype i = 0; i < result.made.size(); ++i) {
        const QString& copy = result.made[i];
        const QString& from = i < result.madeFrom.size() ? result.madeFrom[i] : result.source;
        if (copy != result.source && copy != from && ops.sameBytes(from, copy)) ops.remove(copy);
    }
}

void PendingDrops::add(const DropJob& job) {
    items_.push_back(
        {job.id, job.plan.source, job.arrivals, job.predicted, job.bytes, job.plan.companions});
}

bool PendingDrops::laterDropChanges(size_t after, const ListChange& entry) const {
    for (size_t i = after; i < items_.size(); ++i) {
        for (const ListChange& c : items_[i].predicted) {
            if (c.samePlace(entry)) return true;
        }
    }
    return false;
}

void PendingDrops::settle(AppState& st, const DropResult& result) {
    const auto it = std::find_if(items_.begin(), items_.end(),
                                 [&](const Item& item) { return item.id == result.id; });
    if (it == items_.end()) return;
    const size_t after = size_t(it - items_.begin()) + 1;
    // Lists not loaded (a load was cancelled) stay empty: one entry would pass for a folder.
    for (const EntryFact& fact : st.megsemmi ? std::vector<EntryFact>{} : result.facts) {
        const int slot = fact.entry.slot;
        // A slot loaded again with another folder meanwhile is not this drop's business.
        if (!validSlot(slot) || !fact.entry.path.startsWith(st.dirs[size_t(slot)]) ||
            laterDropChanges(after, fact.entry))
            continue;
        const int i = st.lists[size_t(slot)].indexOf(fact.entry.path);
        // The photo back at its source, or at a place it was brought to, has its group there.
        const bool ours = fact.entry.path == it->source || it->arrivals.contains(fact.entry.path);
        if (fact.onDisk && i < 0)
            insertKeepingCursor(st, slot, fact.entry.path,
                                ours ? companionsAt(fact.entry.path, it->source, it->companions)
                                     : Companions());
        if (!fact.onDisk && i >= 0) removeKeepingCursor(st, slot, i);
    }
    st.torol500 = result.torol500;
    items_.erase(it);
}

void PendingDrops::discard(quint64 id) {
    items_.erase(std::remove_if(items_.begin(), items_.end(),
                                [id](const Item& item) { return item.id == id; }),
                 items_.end());
}

QString PendingDrops::origin(const QString& path) const {
    QString place = path;
    for (size_t guard = 0; guard < items_.size(); ++guard) {
        const auto it = std::find_if(items_.rbegin(), items_.rend(), [&](const Item& item) {
            return item.arrivals.contains(place);
        });
        if (it == items_.rend() || it->source == place) break;
        place = it->source;
    }
    return place;
}

bool PendingDrops::isArrival(const QString& path) const {
    return std::any_of(items_.begin(), items_.end(),
                       [&](const Item& item) { return item.arrivals.contains(path); });
}

qint64 PendingDrops::bytes() const {
    qint64 sum = 0;
    for (const Item& item : items_)
        sum += item.bytes;
    return sum;
}

bool ListedOps::exists(const QString& path) {
    if (pending_.isArrival(path)) return true;
    return std::any_of(st_.lists.begin(), st_.lists.end(), [&](const PhotoList& list) {
        return list.indexOf(path) >= 0 || list.holdsCompanion(path);
    });
}

bool ListedOps::sameFile(const QString& a, const QString& b) {
    return pending_.origin(a) == pending_.origin(b);
}

quint64 ListedOps::mountOf(const QString& path) const {
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const QString& folder = st_.dirs[size_t(slot)];
        if (!folder.isEmpty() && (path == folder || levalasztodir(path) == folder))
            return mounts_[size_t(slot)];
    }
    // A photo in a subfolder of the source lies, as far as a release can tell, on its mount.
    const QString& source = st_.dirs[kSourceSlot];
    return !source.isEmpty() && path.startsWith(source) ? mounts_[kSourceSlot] : 0;
}

// A photo on its way to a folder will lie on that folder's file system.
bool ListedOps::sameFileSystem(const QString& file, const QString& folder) {
    const quint64 a = mountOf(pending_.isArrival(file) ? levalasztodir(file) : file);
    const quint64 b = mountOf(folder);
    return a != 0 && a == b;
}

QString pendingText(int photos, qint64 bytes) {
    if (photos <= 0) return {};
    const double mb = double(bytes) / (1024.0 * 1024.0);
    // Hungarian writes a decimal comma.
    const QString megabytes = QString::number(mb, 'f', 1).replace(u'.', u',');
    return QStringLiteral("Hátravan: %1 kép, %2 MB").arg(photos).arg(megabytes);
}

} // namespace kps
