#pragma once
// Nine slot folders in a temporary folder, for the drop tests: the scene the drops run in and
// the checks that no photo is lost.

#include "core/drop/drop.h"
#include "core/sources/scan.h"
#include "core/state/cursor.h"
#include "faultyfileops.h"
#include "testphotos.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace kps::test {

constexpr int kYellow = 1; // slots as the scenes below mark them
constexpr int kBlue = 2;
constexpr int kGreen = 3;

// Nine slot folders and an undo folder in a temporary folder, the source slot viewed.
class Scene {
  public:
    // `place`: a folder for the temporary folder (a RAM disk for long simulations); empty for
    // the system's.
    explicit Scene(const QString& place = {})
        : tmp(place.isEmpty() ? QDir::tempPath() + QStringLiteral("/kps-XXXXXX")
                              : place + QStringLiteral("/kps-XXXXXX")) {
        for (int slot = 0; slot < kSlotCount; ++slot) {
            const QString name =
                slot == kTrashSlot ? QStringLiteral("trash") : QStringLiteral("f%1").arg(slot);
            QDir(tmp.path()).mkpath(name);
            st.dirs[size_t(slot)] = tmp.path() + u'/' + name + u'/';
            st.szoveg[size_t(slot)] = name;
        }
        QDir(tmp.path()).mkpath(QStringLiteral("trash/") + kUndoFolderName);
        st.panelState[kSourceSlot] = PanelState::Selected;
    }

    QString folder(int slot) const { return st.dirs[size_t(slot)]; }
    QString undoFolder() const { return folder(kTrashSlot) + kUndoFolderName + u'/'; }

    // Writes a small JPEG whose bytes depend on seed; returns its path.
    QString put(int slot, const QString& name, int seed = 1) {
        const QString path = folder(slot) + name;
        EXPECT_TRUE(test::writeFile(path, test::makeJpegBytes(24, 16, seed)));
        return path;
    }

    // Writes any file (a raw file, a sidecar) with the given bytes; returns its path.
    QString putFile(int slot, const QString& name, const QByteArray& bytes) {
        const QString path = folder(slot) + name;
        EXPECT_TRUE(test::writeFile(path, bytes));
        return path;
    }

    QStringList photosOnDisk(int slot) const {
        QStringList out;
        const QDir d(folder(slot));
        const QStringList names =
            d.entryList({"*.jpg", "*.jpeg"}, QDir::Files | QDir::Hidden, QDir::Name);
        for (const QString& n : names)
            out << folder(slot) + n;
        PhotoList sorted;
        sorted.assign(out);
        return sorted.paths();
    }

    // Lists every folder as a load does and views `photo` in its slot.
    void load(int viewed = kSourceSlot, const QString& photo = {}) {
        st.megsemmi = false;
        for (int slot = 0; slot < kSlotCount; ++slot) {
            // The load's own scan, which also finds each photo's companions.
            FileList2(st.lists[size_t(slot)], folder(slot), QStringLiteral("*.jpg"),
                      QStringLiteral("*.jpeg"), 0);
            st.index[size_t(slot)] = 0;
            st.panelState[size_t(slot)] = PanelState::Normal;
        }
        view(viewed, photo);
    }

    void view(int slot, const QString& photo = {}) {
        st.panelState[size_t(st.indexpanel)] = PanelState::Normal;
        st.indexpanel = slot;
        st.panelState[size_t(slot)] = PanelState::Selected;
        const QStringList paths = st.lists[size_t(slot)].paths();
        st.index[size_t(slot)] = photo.isEmpty() ? 0 : int(paths.indexOf(photo));
        st.globalnev = listbox(st, slot);
    }

    DropOutcome drop(int target, bool confirmRename = false) {
        st.panelState[size_t(target)] = PanelState::DropTarget;
        plan = planDrop(st, ops);
        return executeDrop(st, plan, confirmRename, ops);
    }

    QString cursorAt(int slot) {
        const int i = st.index[size_t(slot)];
        const PhotoList& l = st.lists[size_t(slot)];
        return i >= 0 && i < l.count() ? l.at(i) : QString();
    }

    // Every list names exactly the photos its folder holds.
    void expectListsMatchDisk() const {
        for (int slot = 0; slot < kSlotCount; ++slot) {
            SCOPED_TRACE(slot);
            EXPECT_EQ(st.lists[size_t(slot)].paths(), photosOnDisk(slot));
        }
    }

    // Every list entry exists (for folders changed behind the lists' back).
    void expectListedFilesExist() const {
        for (const PhotoList& l : st.lists) {
            for (const QString& p : l.paths())
                EXPECT_TRUE(QFileInfo::exists(p)) << qPrintable(p);
        }
    }

    // Some list names a file that holds these bytes: the photo is in a place the user sees.
    bool listedIntact(const QByteArray& bytes) const {
        for (const PhotoList& l : st.lists) {
            for (const QString& e : l.paths()) {
                if (test::readFile(e) == bytes) return true;
            }
        }
        return false;
    }

    int copiesOf(const QByteArray& bytes) const {
        int n = 0;
        QDirIterator it(tmp.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext())
            n += test::readFile(it.next()) == bytes ? 1 : 0;
        return n;
    }

    QStringList leftoverTemporaries() const {
        QStringList out;
        QDirIterator it(tmp.path(), {"*.part"}, QDir::Files | QDir::Hidden,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            out << it.next();
        return out;
    }

    QTemporaryDir tmp;
    AppState st;
    FaultyFileOps ops;
    DropPlan plan;
};

inline QByteArray photo(int seed) {
    return test::makeJpegBytes(24, 16, seed);
}

// The bytes of a raw file and of a sidecar, different for every seed and from any photo's.
inline QByteArray rawBytes(int seed) {
    return QByteArray("raw ") + QByteArray::number(seed) + QByteArray(4096, char('a' + seed % 26));
}
inline QByteArray sidecarBytes(int seed) {
    return QByteArray("<x:xmpmeta ") + QByteArray::number(seed) + "/>";
}

} // namespace kps::test
