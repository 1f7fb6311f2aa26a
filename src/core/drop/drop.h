#pragma once
// The file work of a drop: which folders take part, what each receives, and carrying it out so
// that no photo is ever lost. The release is split in two so that the window can ask the rename
// question between planning and doing.

#include "core/drop/companions.h"
#include "core/files/fileops.h"
#include "core/state/state.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace kps {

// What one folder taking part in a drop receives.
enum class DropAction {
    Copy,       // the photo is copied to dest
    Present,    // dest already holds the same bytes: counts as copied
    Itself,     // the folder already has the dragged file (viewed, scanned deep, or the same)
    AskRename,  // keeping folder, name taken: copy to the proposed name if the user agrees
    Clash,      // name taken by another photo: no copy here, and the dragged photo is kept
    NoFreeName, // every underscored variant of the name is taken: no copy, the photo is kept
    NoFolder,   // the slot has no folder: no copy, the photo is kept
};

struct DropStep {
    int slot = 0;
    DropAction action = DropAction::Copy;
    QString dest; // s2: the folder + the photo's file name (for the Trash, a free name)
};

struct DropPlan {
    bool volt = false;           // some folder takes part
    QString source;              // s1: the dragged photo
    Companions companions;       // with tarsfajlok: the files beside it that go with it
    bool sourceMissing = false;  // the dragged file is gone from the disk
    bool keep = false;           // a keeping (green) folder takes part: a copy, not a move
    std::vector<DropStep> steps; // slot order 0..7, then the Trash
    int moveStep = -1; // the step done last by renaming the dragged file into place, or -1
    bool needsRenameQuestion = false;
    QString proposedName; // the path a confirmed rename copies to
};

// One list entry a drop added or removed: the pair a later look at the disk settles.
struct ListChange {
    int slot = 0;
    QString path;
    bool added = true; // false: removed
    bool samePlace(const ListChange& o) const { return slot == o.slot && path == o.path; }
};

struct DropOutcome {
    bool volt = false;     // some folder took part; when false the frame goes back to its place
    bool ok = true;        // every copy and deletion the drop needed was done
    QString message;       // what failed, in Hungarian, for the status bar; empty when ok
    QString show;          // the path to hand the viewer next ("*" for none)
    bool relayout = false; // globalnev holds the marker: the viewer lays out its picture again
    QStringList made;      // the copies this drop wrote (the undo copy included)
    QStringList madeFrom;  // for each of made, the file it copies (the photo or a companion)
};

// The drop's decisions from the panel states and the disk; changes nothing. With tarsfajlok on,
// the photo's companions as its list knows them go with it as one group: every copy, the
// move, the undo number and a new name are the group's, and a failure keeps the whole group.
DropPlan planDrop(const AppState& st, FileOps& ops);

// Nothing the release decided from what it saw is trusted when the work runs: just before it,
// the plan is checked against the disk. A folder that seemed to hold the photo (a same-named
// identical file, one an earlier drop was bringing, the dragged file under another name) is
// looked at again; a name taken by an identical photo is no clash; a Trash name taken since gets
// a free one; a move ends with a rename only where the disk allows it. A companion gone since
// is not carried; one whose name is taken since by other bytes refuses the group.
void recheckPlan(const AppState& st, DropPlan& plan, FileOps& ops);

// Carries the plan out: copies, list entries, cursors, the undo copy, the deletion of the dragged
// file, the panel states and the photo to show next. renameConfirmed answers the rename question.
// Every list entry added or removed is also recorded in `changes` when given.
DropOutcome executeDrop(AppState& st, const DropPlan& plan, bool renameConfirmed, FileOps& ops,
                        std::vector<ListChange>* changes = nullptr);

// The undo copy's path for counter value n: dir_trash + undo folder + "undo" + n + extension.
QString undoPath(const AppState& st, const QString& photo, int n);

} // namespace kps
