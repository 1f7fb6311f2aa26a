#include "core/drop/shutdown.h"

#include "core/files/filecallguard.h"

#include "core/files/nativepath.h"
#include "core/sources/scan.h"
#include "core/state/cursor.h"

#include <QStringList>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace kps {

namespace {

constexpr int kUndoKept = 500;                    // photos the undo folder keeps
constexpr int kMaxUndoDeletions = 1000;           // a bound on the work one close does
const QString kJpgMask = QStringLiteral("*.jpg"); // ".jpeg" files are left alone

#ifdef Q_OS_WIN
constexpr Qt::CaseSensitivity kPathCase = Qt::CaseInsensitive;
#else
constexpr Qt::CaseSensitivity kPathCase = Qt::CaseSensitive;
#endif

// The folder's path with every link and "." or ".." resolved, or "" when it does not exist.
QString canonicalPath(const QString& folder) {
    char resolved[PATH_MAX];
    if (folder.isEmpty() || !::realpath(nativePath(folder).constData(), resolved)) return {};
    return pathFromNative(resolved, qsizetype(std::strlen(resolved)));
}

// True when `folder` resolves to the same existing folder as a slot other than the Trash.
bool isAnotherSlotsFolder(const AppState& st, const QString& folder) {
    const QString canonical = canonicalPath(folder);
    if (canonical.isEmpty()) return false; // a missing folder holds nothing to protect
    for (int slot = 0; slot < kSlotCount; ++slot) {
        if (slot == kTrashSlot) continue;
        const QString other = canonicalPath(st.dirs[size_t(slot)]);
        if (!other.isEmpty() && other.compare(canonical, kPathCase) == 0) return true;
    }
    return false;
}

// Deletes a listed photo and, when `companions` is set, the companions the listing found beside
// it; true when the photo went.
bool removePhoto(const PhotoList& scratch, const QString& path, bool companions) {
    if (::unlink(nativePath(path).constData()) != 0) return false;
    if (companions) {
        for (const Companion& c : scratch.companionsOf(path))
            ::unlink(nativePath(levalasztodir(path) + c.name).constData());
    }
    return true;
}

// Deletes the first photos in name order until kUndoKept remain. A failed deletion is ignored
// and still counts, so a stubborn file cannot make the loop run on.
void pruneUndoFolder(PhotoList& scratch, const QString& undoFolder, bool companions) {
    filelist(scratch, undoFolder, kJpgMask);
    for (int done = 0; done < kMaxUndoDeletions && scratch.count() > kUndoKept; ++done) {
        removePhoto(scratch, scratch.at(0), companions);
        scratch.removeAt(0);
    }
}

// Deletes every "*.jpg" of the Trash folder; the list keeps only those that could not go.
void emptyTrash(PhotoList& scratch, const QString& trashFolder, bool companions) {
    filelist(scratch, trashFolder, kJpgMask);
    QStringList remaining;
    for (const QString& path : scratch.paths()) {
        if (!removePhoto(scratch, path, companions)) remaining << path;
    }
    scratch.assign(remaining);
}

} // namespace

// At close: trims the undo folder to 500 "*.jpg" and deletes the Trash's "*.jpg".
void shutdownCleanup(AppState& st, std::time_t leftoversBefore) {
    noteFileCall("shutdownCleanup");
    const QString& trash = st.dirs[kTrashSlot];
    if (trash.isEmpty()) return; // the masks would name the current folder, which is no Trash
    const QString undo = trash + kUndoFolderName + kSep;
    // Half-made copies are the program's own wherever they are; no load ever reads the undo
    // folder, so this is where its leftovers go.
    removeCopyLeftovers(trash, leftoversBefore);
    removeCopyLeftovers(undo, leftoversBefore);
    if (isAnotherSlotsFolder(st, trash) || isAnotherSlotsFolder(st, undo)) return;
    PhotoList& scratch = st.lists[kTrashSlot];
    pruneUndoFolder(scratch, undo, st.tarsfajlok);
    emptyTrash(scratch, trash, st.tarsfajlok);
}

} // namespace kps
