#include "core/drop/drop.h"

#include "core/drop/autorename.h"
#include "core/files/nativepath.h"
#include "core/state/cursor.h"

#include <QStringList>
#include <algorithm>
#include <climits>

namespace kps {

namespace {

// The viewed slot's panel is selected, so it is never a target whatever its state says.
bool isTarget(const AppState& st, int slot) {
    return slot != st.indexpanel && st.panelState[size_t(slot)] == PanelState::DropTarget;
}

// The slot's current photo, without moving its cursor or touching the status bar.
QString currentPhoto(const AppState& st, int slot) {
    const PhotoList& list = st.lists[size_t(slot)];
    if (list.isEmpty()) return kNoPhoto;
    return list.at(std::clamp(st.index[size_t(slot)], 0, list.count() - 1));
}

// The path a companion of the plan's photo has beside the photo's copy at dest.
QString companionDest(const DropPlan& plan, const QString& dest, const Companion& c) {
    return companionPath(dest, plan.source, c.name);
}

// The path a companion of the plan's photo has now, beside the photo.
QString companionSource(const DropPlan& plan, const Companion& c) {
    return levalasztodir(plan.source) + c.name;
}

// Some companion's name beside the photo's copy at dest is taken (on disk or in the list).
bool companionNameTaken(const DropPlan& plan, const QString& dest, const PhotoList& list,
                        FileOps& ops) {
    return std::any_of(plan.companions.begin(), plan.companions.end(), [&](const Companion& c) {
        const QString to = companionDest(plan, dest, c);
        return list.holdsCompanion(to) || ops.exists(to);
    });
}

// The first companion whose name beside dest holds other bytes, or "" when none does.
QString companionClash(const DropPlan& plan, const QString& dest, FileOps& ops) {
    for (const Companion& c : plan.companions) {
        const QString to = companionDest(plan, dest, c);
        if (ops.exists(to) && !ops.sameBytes(companionSource(plan, c), to)) return to;
    }
    return {};
}

// A free name for a photo (and its companions) whose name is taken in a folder, or "" when
// none is left.
QString freeName(const QString& dest, const PhotoList& list, FileOps& ops, const DropPlan& plan) {
    auto taken = [&](const QString& p) {
        return ops.exists(p) || companionNameTaken(plan, p, list, ops);
    };
    const QString c = autoRename(dest, list, taken);
    return nameListed(c, list) || taken(c) ? QString() : c;
}

DropStep planStep(const AppState& st, FileOps& ops, int slot, DropPlan& plan) {
    const QString& folder = st.dirs[size_t(slot)];
    const PhotoList& list = st.lists[size_t(slot)];
    DropStep step{slot, DropAction::Copy, folder + levalasztofile(plan.source)};
    if (folder.isEmpty()) {
        step.action = DropAction::NoFolder;
        return step;
    }
    // A folder whose list holds the dragged photo already has it: the viewed folder (also
    // when the photo lies in one of its subfolders), or another slot with the same folder.
    if (list.indexOf(plan.source) >= 0) {
        step.action = DropAction::Itself;
        step.dest = plan.source;
        return step;
    }
    if (ops.sameFile(plan.source, step.dest)) {
        step.action = DropAction::Itself;
        return step;
    }
    const bool onDisk = ops.exists(step.dest);
    const bool companionTaken = companionNameTaken(plan, step.dest, list, ops);
    if (onDisk && !companionTaken && ops.sameBytes(plan.source, step.dest)) {
        step.action = DropAction::Present;
        return step;
    }
    // A listed name whose file is gone is still treated as taken: list and disk disagree,
    // and only a new scan can tell which is right. A companion's name counts as the photo's.
    if (!onDisk && !companionTaken && listboxkereso(list, plan.source) == -1) return step;

    if (slot == kTrashSlot) { // the Trash takes any photo, under a new name if need be
        const QString renamed = freeName(step.dest, list, ops, plan);
        if (renamed.isEmpty()) {
            step.action = DropAction::NoFreeName;
        } else {
            step.dest = renamed;
        }
        return step;
    }
    if (mappaszinszam(st, slot) != kMarkGreen) {
        step.action = DropAction::Clash;
        return step;
    }
    const QString proposal = freeName(step.dest, list, ops, plan);
    if (proposal.isEmpty()) {
        step.action = DropAction::NoFreeName;
    } else if (proposal.compare(step.dest, Qt::CaseInsensitive) == 0) {
        // Only an entry of another folder shares the name: nothing to rename, nothing copied.
        step.action = DropAction::Clash;
    } else {
        step.action = DropAction::AskRename;
        plan.needsRenameQuestion = true;
        plan.proposedName = proposal;
    }
    return step;
}

// Carries out one drop and collects what went wrong.
class DropRun {
  public:
    DropRun(AppState& st, const DropPlan& plan, FileOps& ops, std::vector<ListChange>* changes)
        : st_(st), plan_(plan), ops_(ops), changes_(changes), source_(plan.source) {}

    void runStep(const DropStep& step, bool renameConfirmed) {
        st_.s2 = step.dest;
        switch (step.action) {
        case DropAction::Copy:
            copyInto(step.slot, step.dest);
            return;
        case DropAction::Present:
            pointAtPresent(step.slot, step.dest);
            ++holders_;
            return;
        case DropAction::Itself:
            itself_ << step.dest;
            pointAtExisting(step.slot, step.dest);
            return;
        case DropAction::AskRename:
            listIfUnknown(step.slot, step.dest);
            if (renameConfirmed) {
                st_.s2 = plan_.proposedName;
                copyInto(step.slot, plan_.proposedName);
            } else {
                pointAtExisting(step.slot, step.dest);
            }
            return;
        case DropAction::Clash: {
            listIfUnknown(step.slot, step.dest);
            pointAtExisting(step.slot, step.dest);
            // When the photo's own name is free, a companion's name is the one taken.
            const QString taken =
                ops_.exists(step.dest) ? QString() : companionClash(plan_, step.dest, ops_);
            fail(taken.isEmpty()
                     ? QStringLiteral("Más kép van már ezen a néven: %1.").arg(step.dest)
                     : QStringLiteral("Más fájl van már ezen a néven: %1.").arg(taken));
            return;
        }
        case DropAction::NoFreeName:
            fail(QStringLiteral("Nincs szabad név ehhez: %1.").arg(step.dest));
            return;
        case DropAction::NoFolder:
            fail(QStringLiteral("Nincs mappa megadva: %1.").arg(st_.szoveg[size_t(step.slot)]));
            return;
        }
    }

    // The copy into the undo folder under the next free running number. The folder is made
    // here, so a Trash chosen after start, or an undo folder removed since, still works.
    void undoCopy() {
        const QString folder = levalasztodir(undoPath(st_, source_, 1));
        const QString failed = QStringLiteral("Nem sikerült a másolás ide: %1.").arg(folder);
        if (!ops_.makeFolder(folder)) {
            fail(failed);
            return;
        }
        // The companions' undo copies share the photo's number, so it must be free for all.
        const auto taken = [&](const QString& path) {
            return ops_.exists(path) ||
                   std::any_of(plan_.companions.begin(), plan_.companions.end(),
                               [&](const Companion& c) {
                                   return ops_.exists(companionDest(plan_, path, c));
                               });
        };
        int n = std::max(st_.torol500, 1);
        QString path = undoPath(st_, source_, n);
        while (taken(path) && n < INT_MAX)
            path = undoPath(st_, source_, ++n);
        st_.s3 = path;
        const CopyResult r = taken(path) ? CopyResult::Taken : safeCopy(ops_, source_, path);
        if (r == CopyResult::Done || r == CopyResult::LeftBehind) { // its number is used now
            noteMade(source_, path);
            undoCopy_ = path;
            undoNumber_ = n;
            st_.torol500 = n < INT_MAX ? n + 1 : n;
        }
        if (r != CopyResult::Done) {
            fail(failed);
            return;
        }
        copyCompanions(path);
    }

    // Moves the dragged file (its companions first) into the step's folder by renaming it.
    void moveInto(const DropStep& step) {
        st_.s2 = step.dest;
        const RenameResult companions = moveCompanions(step.dest);
        if (companions == RenameResult::Failed) return;
        const RenameResult r = companions == RenameResult::CrossDevice
                                   ? RenameResult::CrossDevice
                                   : ops_.renameNoReplace(source_, step.dest);
        switch (r) {
        case RenameResult::Done:
            arrived(step);
            return;
        case RenameResult::CrossDevice: // a bind mount: one device, yet no rename across it
            putBackCompanions();
            copyInto(step.slot, step.dest);
            if (!failed_) deleteSource();
            return;
        case RenameResult::Failed:
            break;
        }
        // A rename can take effect and still report failure: the disk tells what happened.
        const bool sourceHere = ops_.exists(source_);
        const bool destHere = ops_.exists(step.dest);
        if (!sourceHere && destHere) {
            arrived(step);
        } else if (sourceHere && destHere &&
                   (ops_.sameFile(source_, step.dest) || ops_.sameBytes(source_, step.dest))) {
            pointAtPresent(step.slot, step.dest); // half a move, or another step's copy
            ++holders_;
            deleteSource();
        } else if (!sourceHere) {
            putBackCompanions();
            sourceMissing();
        } else {
            putBackCompanions();
            listIfUnknown(step.slot, step.dest);
            fail(QStringLiteral("Nem sikerült az áthelyezés ide: %1.")
                     .arg(levalasztodir(step.dest)));
        }
    }

    // The dragged file goes once every folder that takes part holds the photo, and then its
    // companions: a photo that cannot go keeps its whole group. A removal can happen and still
    // report failure, so the disk decides.
    void deleteSource() {
        if (!ops_.remove(source_) && ops_.exists(source_)) {
            fail(QStringLiteral("Nem sikerült törölni: %1.").arg(source_));
            return;
        }
        sourceGone();
        for (const Companion& c : plan_.companions) {
            const QString from = companionSource(plan_, c);
            if (!ops_.remove(from) && ops_.exists(from))
                fail(QStringLiteral("Nem sikerült törölni: %1.").arg(from));
        }
    }

    // A group that failed stays whole at its source, and nowhere else: the copies this drop made
    // of it go again, each once its bytes are checked against the file it was made from.
    void takeBackGroup() {
        if (plan_.companions.isEmpty() || !failed_ || deleted_ || !ops_.exists(source_)) return;
        for (qsizetype i = 0; i < made_.size(); ++i) {
            if (made_[i] != source_ && ops_.sameBytes(madeFrom_[i], made_[i]) &&
                ops_.remove(made_[i]))
                forget(made_[i]);
        }
    }

    // A drop that failed with the photo still in place needs no undo copy: it goes again
    // (the photo is intact where it was), and so does its number. One that cannot go keeps it.
    void settleUndo() {
        if (undoCopy_.isEmpty() || deleted_ || !ops_.exists(source_)) return;
        if (ops_.sameBytes(source_, undoCopy_)) ops_.remove(undoCopy_);
        if (!ops_.exists(undoCopy_) && st_.torol500 == undoNumber_ + 1) st_.torol500 = undoNumber_;
    }

    // A photo that vanished from the disk leaves every list.
    void sourceMissing() {
        forget(source_);
        failed_ = true;
        messages_ << QStringLiteral("A kép már nincs meg: %1.").arg(source_);
    }

    bool mayDelete() const { return !failed_ && !plan_.keep; }
    bool hasCopies() const { return holders_ > 0; }
    bool failed() const { return failed_; }
    const QStringList& made() const { return made_; }
    const QStringList& madeFrom() const { return madeFrom_; }
    // What failed, and where the photo is now as the disk shows it.
    QString message() const {
        QStringList all = messages_;
        if (failed_ && !deleted_ && ops_.exists(source_))
            all << QStringLiteral("A kép megmaradt itt: %1.").arg(levalasztodir(source_));
        return all.join(u' ');
    }

  private:
    void fail(const QString& what) {
        failed_ = true;
        messages_ << what;
    }

    void noteMade(const QString& from, const QString& copy) {
        made_ << copy;
        madeFrom_ << from;
    }

    // Copies the companions beside the photo's copy at dest; false (and the drop failed) when
    // one cannot go, which keeps the whole group.
    bool copyCompanions(const QString& dest) {
        for (const Companion& c : plan_.companions) {
            const QString from = companionSource(plan_, c);
            const QString to = companionDest(plan_, dest, c);
            const CopyResult r = safeCopy(ops_, from, to);
            if (r == CopyResult::Done || r == CopyResult::LeftBehind) noteMade(from, to);
            if (r == CopyResult::Done || (r == CopyResult::Taken && ops_.sameBytes(from, to)))
                continue;
            fail(r == CopyResult::Taken
                     ? QStringLiteral("Más fájl van már ezen a néven: %1.").arg(to)
                     : QStringLiteral("Nem sikerült a társfájl másolása ide: %1.").arg(to));
            return false;
        }
        return true;
    }

    // Renames the companions beside the photo's new place at dest. Done: all went (or were
    // already gone); CrossDevice: none did, copy instead; Failed: none did, and the drop failed.
    RenameResult moveCompanions(const QString& dest) {
        for (const Companion& c : plan_.companions) {
            const QString from = companionSource(plan_, c);
            const QString to = companionDest(plan_, dest, c);
            const RenameResult r = ops_.renameNoReplace(from, to);
            // A rename can take effect and still report failure: the disk tells.
            if (r == RenameResult::Done ||
                (r == RenameResult::Failed && !ops_.exists(from) && ops_.exists(to))) {
                movedCompanions_.push_back({from, to});
                continue;
            }
            if (r == RenameResult::Failed && !ops_.exists(from)) continue; // gone: not carried
            const bool there = r == RenameResult::Failed && ops_.exists(to);
            if (there && ops_.sameBytes(from, to)) { // already there: goes once the photo has
                companionsThere_ << from;
                continue;
            }
            putBackCompanions();
            if (r == RenameResult::CrossDevice) return r;
            fail(there ? QStringLiteral("Más fájl van már ezen a néven: %1.").arg(to)
                       : QStringLiteral("Nem sikerült az áthelyezés ide: %1.").arg(to));
            return RenameResult::Failed;
        }
        return RenameResult::Done;
    }

    // Companions renamed ahead of a photo that could not follow go back beside it. One that
    // cannot is whole where it went, and the message says where.
    void putBackCompanions() {
        for (const auto& [from, to] : movedCompanions_) {
            if (ops_.renameNoReplace(to, from) != RenameResult::Done && !ops_.exists(from))
                fail(QStringLiteral("A társfájl itt maradt: %1.").arg(to));
        }
        movedCompanions_.clear();
        companionsThere_.clear();
    }

    void copyInto(int slot, const QString& dest) {
        // A group that failed copies nothing more: it stays whole at its source alone.
        if (failed_ && !plan_.companions.isEmpty()) return;
        if (!copyCompanions(dest)) return; // a companion that cannot go keeps the whole group
        const CopyResult r = safeCopy(ops_, source_, dest);
        if (r == CopyResult::Done || r == CopyResult::LeftBehind) noteMade(source_, dest);
        switch (r) {
        case CopyResult::Done:
            addEntry(slot, dest);
            ++holders_;
            return;
        case CopyResult::Taken:
            if (ops_.sameBytes(source_, dest)) { // another slot with this folder made it
                pointAtPresent(slot, dest);
                ++holders_;
                return;
            }
            listIfUnknown(slot, dest);
            fail(QStringLiteral("Más kép van már ezen a néven: %1.").arg(dest));
            return;
        case CopyResult::LeftBehind: // a copy, but no holder the photo may be deleted for
            addEntry(slot, dest);
            break;
        case CopyResult::Failed:
            listIfUnknown(slot, dest);
            break;
        }
        fail(QStringLiteral("Nem sikerült a másolás ide: %1.").arg(levalasztodir(dest)));
    }

    // The dragged file now stands under dest.
    void arrived(const DropStep& step) {
        // The rename is atomic; a failed folder flush cannot lose the photo.
        ops_.flush(levalasztodir(step.dest));
        addEntry(step.slot, step.dest);
        sourceGone();
        for (const QString& from : companionsThere_) {
            if (!ops_.remove(from) && ops_.exists(from))
                fail(QStringLiteral("Nem sikerült törölni: %1.").arg(from));
        }
    }

    // Lists a file that now exists (the photo's copy with its companions beside it, unless
    // `ours` is false); the slot's cursor goes to it, but the viewed slot keeps its cursor on
    // the dragged photo.
    void addEntry(int slot, const QString& path, bool ours = true) {
        if (changes_) changes_->push_back({slot, path, true});
        const int pos = st_.lists[size_t(slot)].insert(
            path, ours ? companionsAt(path, source_, plan_.companions) : Companions());
        int& cursor = st_.index[size_t(slot)];
        if (slot != st_.indexpanel) {
            cursor = pos;
        } else if (pos <= cursor) {
            ++cursor;
        }
    }

    void pointAtPresent(int slot, const QString& dest) {
        const int i = st_.lists[size_t(slot)].indexOf(dest);
        if (i < 0) {
            addEntry(slot, dest); // on disk, but loaded before it came
        } else if (slot != st_.indexpanel) {
            dirXindex(st_, slot, i);
        }
    }

    // A photo that came into the folder after its list was made joins the list, as the next
    // scan would list it; a folder of that name does not.
    void listIfUnknown(int slot, const QString& dest) {
        if (st_.lists[size_t(slot)].indexOf(dest) < 0 && ops_.exists(dest) &&
            pathFacts(dest).isFile)
            addEntry(slot, dest, false);
    }

    void pointAtExisting(int slot, const QString& dest) {
        const PhotoList& list = st_.lists[size_t(slot)];
        int i = list.indexOf(dest);
        if (i < 0) i = listboxkereso(list, dest);
        if (i >= 0 && slot != st_.indexpanel) dirXindex(st_, slot, i);
    }

    // Removes every entry naming path; cursors stay on the photos they showed, and one on a
    // removed entry moves to the photo that followed it.
    void forget(const QString& path) {
        for (int slot = 0; slot < kSlotCount; ++slot) {
            PhotoList& list = st_.lists[size_t(slot)];
            for (int i = list.count() - 1; i >= 0; --i) {
                if (list.at(i) != path) continue;
                if (changes_) changes_->push_back({slot, path, false});
                list.removeAt(i);
                if (i < st_.index[size_t(slot)]) --st_.index[size_t(slot)];
            }
        }
    }

    void sourceGone() {
        deleted_ = true;
        forget(source_);
        for (const QString& same : itself_)
            forget(same);
    }

    AppState& st_;
    const DropPlan& plan_;
    FileOps& ops_;
    std::vector<ListChange>* changes_;
    const QString source_;
    QStringList messages_;
    QStringList itself_;   // other names of the dragged file, gone with it
    QStringList made_;     // the copies written
    QStringList madeFrom_; // for each copy, the file it copies
    std::vector<std::pair<QString, QString>> movedCompanions_; // renamed ahead of the photo
    QStringList companionsThere_; // identical at the target already: they go after the photo
    QString undoCopy_;            // the undo copy this drop made, and its running number
    int undoNumber_ = 0;
    int holders_ = 0; // folders that now hold a copy of the photo
    bool failed_ = false;
    bool deleted_ = false;
};

// The drop-target panel goes back to normal, and so does every folder that took part; the
// viewed slot's panel stays selected.
void settlePanels(AppState& st, const DropPlan& plan) {
    for (PanelState& p : st.panelState) {
        if (p == PanelState::DropTarget) p = PanelState::Normal;
    }
    for (const DropStep& step : plan.steps) {
        PanelState& p = st.panelState[size_t(step.slot)];
        if (p != PanelState::Selected) p = PanelState::Normal;
    }
    if (validSlot(st.indexpanel)) st.panelState[size_t(st.indexpanel)] = PanelState::Selected;
}

bool takesPart(const AppState& st, int slot, bool trashTarget) {
    return isTarget(st, slot) || (st.png[size_t(slot)] == kMarkBlue && !trashTarget);
}

} // namespace

QString undoPath(const AppState& st, const QString& photo, int n) {
    return st.dirs[kTrashSlot] + kUndoFolderName + kSep + QStringLiteral("undo") +
           QString::number(n) + levalasztokit(levalasztofile(photo));
}

// planDrop: decides from the panel states, marks, lists and disk what a release does.
DropPlan planDrop(const AppState& st, FileOps& ops) {
    DropPlan plan;
    if (!validSlot(st.indexpanel)) return plan;
    bool anyTarget = false;
    for (int slot = 0; slot < kSlotCount; ++slot)
        anyTarget = anyTarget || isTarget(st, slot);
    plan.source = currentPhoto(st, st.indexpanel);
    if (!anyTarget || plan.source == kNoPhoto) return plan;

    plan.volt = true;
    if (st.tarsfajlok) plan.companions = st.lists[size_t(st.indexpanel)].companionsOf(plan.source);
    if (!ops.exists(plan.source)) {
        plan.sourceMissing = true;
        return plan;
    }
    const bool trashTarget = isTarget(st, kTrashSlot);
    for (int slot = 0; slot < kMarkedSlots; ++slot) {
        if (!takesPart(st, slot, trashTarget)) continue;
        if (mappaszinszam(st, slot) == kMarkGreen) plan.keep = true;
        plan.steps.push_back(planStep(st, ops, slot, plan));
    }
    if (trashTarget) plan.steps.push_back(planStep(st, ops, kTrashSlot, plan));

    // On one file system a move ends with a rename: instant, and the photo is never half-way.
    if (!plan.keep) {
        for (size_t i = 0; i < plan.steps.size(); ++i) {
            const DropStep& step = plan.steps[i];
            // A link is never renamed: the folder gets the photo, not a link that may dangle.
            if (isTarget(st, step.slot) && step.action == DropAction::Copy &&
                ops.sameFileSystem(plan.source, st.dirs[size_t(step.slot)]) &&
                !ops.isLink(plan.source)) {
                plan.moveStep = int(i);
                break;
            }
        }
    }
    return plan;
}

void recheckPlan(const AppState& st, DropPlan& plan, FileOps& ops) {
    if (!plan.volt || plan.sourceMissing) return;
    plan.companions.removeIf(
        [&](const Companion& c) { return !ops.exists(companionSource(plan, c)); });
    const auto sameHere = [&](const QString& dest) {
        return ops.exists(dest) && ops.sameBytes(plan.source, dest);
    };
    for (DropStep& step : plan.steps) {
        switch (step.action) {
        case DropAction::Present: // a copy accepts an identical file only after reading it now
            step.action = DropAction::Copy;
            break;
        case DropAction::Itself:
            if (step.dest != plan.source && !ops.sameFile(plan.source, step.dest))
                step.action = DropAction::Copy;
            break;
        case DropAction::Clash: // the name may have been freed, or hold this very photo
            if ((!ops.exists(step.dest) || sameHere(step.dest)) &&
                companionClash(plan, step.dest, ops).isEmpty())
                step.action = DropAction::Copy;
            break;
        case DropAction::AskRename: // no second copy of a photo the folder already holds
            if (sameHere(step.dest)) step.action = DropAction::Copy;
            break;
        case DropAction::Copy: {
            const bool taken = (ops.exists(step.dest) && !sameHere(step.dest)) ||
                               !companionClash(plan, step.dest, ops).isEmpty();
            if (step.slot == kTrashSlot && taken) {
                const QString renamed = freeName(step.dest, st.lists[kTrashSlot], ops, plan);
                if (!renamed.isEmpty()) step.dest = renamed;
            } else if (taken && !plan.companions.isEmpty()) {
                step.action = DropAction::Clash; // a companion's name taken since refuses all
            }
            break;
        }
        case DropAction::NoFreeName:
        case DropAction::NoFolder:
            break;
        }
    }
    if (plan.moveStep >= 0) {
        const DropStep& move = plan.steps[size_t(plan.moveStep)];
        if (move.action != DropAction::Copy || ops.isLink(plan.source) ||
            !ops.sameFileSystem(plan.source, st.dirs[size_t(move.slot)]))
            plan.moveStep = -1;
    }
}

// executeDrop: the release's file work, list updates and choice of the next photo to show.
DropOutcome executeDrop(AppState& st, const DropPlan& plan, bool renameConfirmed, FileOps& ops,
                        std::vector<ListChange>* changes) {
    DropOutcome out;
    settlePanels(st, plan);
    const QString current = listbox(st, st.indexpanel);
    if (!plan.volt || current != plan.source) {
        out.show = current;
        if (plan.volt) { // the viewed photo changed since the plan was made
            out.ok = false;
            out.message = QStringLiteral("A kép közben megváltozott, nem történt semmi.");
        }
        return out;
    }
    out.volt = true;
    st.s1 = plan.source;

    DropRun run(st, plan, ops, changes);
    if (plan.sourceMissing) {
        run.sourceMissing();
    } else {
        bool trash = false;
        for (size_t i = 0; i < plan.steps.size(); ++i) {
            trash = trash || plan.steps[i].slot == kTrashSlot;
            if (int(i) != plan.moveStep) run.runStep(plan.steps[i], renameConfirmed);
        }
        if (trash && run.mayDelete()) run.undoCopy();
        if (run.mayDelete()) {
            if (plan.moveStep >= 0) {
                run.moveInto(plan.steps[size_t(plan.moveStep)]);
            } else if (run.hasCopies()) {
                run.deleteSource();
            }
        }
        run.takeBackGroup();
        run.settleUndo();
    }

    // The next photo; a kept photo that stays current is laid out again at full size.
    QString s1 = listbox(st, st.indexpanel);
    if (s1 == st.globalnev && !run.failed()) {
        IncIndex(st, st.indexpanel);
        s1 = listbox(st, st.indexpanel);
    }
    if (s1 == st.globalnev) st.globalnev = kRelayoutMarker;
    st.s1 = s1;
    out.show = s1;
    out.relayout = st.globalnev == kRelayoutMarker;
    out.ok = !run.failed();
    out.message = run.message();
    out.made = run.made();
    out.madeFrom = run.madeFrom();
    return out;
}

} // namespace kps
