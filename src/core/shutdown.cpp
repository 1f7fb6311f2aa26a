#include "core/shutdown.h"

#include "core/scan.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

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

// True when `folder` resolves to the same existing folder as a slot other than the Trash.
bool isAnotherSlotsFolder(const AppState& st, const QString& folder) {
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    if (canonical.isEmpty()) return false; // a missing folder holds nothing to protect
    for (int slot = 0; slot < kSlotCount; ++slot) {
        if (slot == kTrashSlot) continue;
        const QString other = QFileInfo(st.dirs[size_t(slot)]).canonicalFilePath();
        if (!other.isEmpty() && other.compare(canonical, kPathCase) == 0) return true;
    }
    return false;
}

// Deletes the first photos in name order until kUndoKept remain. A failed deletion is ignored
// and still counts, so a stubborn file cannot make the loop run on.
void pruneUndoFolder(PhotoList& scratch, const QString& undoFolder) {
    filelist(scratch, undoFolder, kJpgMask);
    for (int done = 0; done < kMaxUndoDeletions && scratch.count() > kUndoKept; ++done) {
        QFile::remove(scratch.at(0));
        scratch.removeAt(0);
    }
}

// Deletes every "*.jpg" of the Trash folder; the list keeps only those that could not go.
void emptyTrash(PhotoList& scratch, const QString& trashFolder) {
    filelist(scratch, trashFolder, kJpgMask);
    QStringList remaining;
    for (const QString& path : scratch.paths()) {
        if (!QFile::remove(path)) remaining << path;
    }
    scratch.assign(remaining);
}

} // namespace

// At close: trims the undo folder to 500 "*.jpg" and deletes the Trash's "*.jpg".
void shutdownCleanup(AppState& st) {
    const QString& trash = st.dirs[kTrashSlot];
    if (trash.isEmpty()) return; // the masks would name the current folder, which is no Trash
    const QString undo = trash + kUndoFolderName + kSep;
    if (isAnotherSlotsFolder(st, trash) || isAnotherSlotsFolder(st, undo)) return;
    PhotoList& scratch = st.lists[kTrashSlot];
    pruneUndoFolder(scratch, undo);
    emptyTrash(scratch, trash);
}

} // namespace kps
