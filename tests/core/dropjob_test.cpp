// Drops whose file work runs after the release: the lists change at once, the work later, and
// its result settles the lists by the disk without ever losing a photo.

#include "core/dropjob.h"
#include "core/scan.h"
#include "core/shutdown.h"
#include "dropscene.h"

#include <ctime>

namespace kps {
namespace {

using test::kBlue;
using test::kGreen;
using test::kYellow;
using test::photo;
using test::Scene;

// A scene whose drops are released first and worked on later, as the window does.
class Background : public Scene {
  public:
    DropOutcome release(int target, bool confirmRename = false) {
        st.panelState[size_t(target)] = PanelState::DropTarget;
        PendingAwareOps planning(ops, pending);
        plan = planDrop(st, planning);
        DropOutcome now;
        DropJob job = prepareDrop(st, plan, confirmRename, 1000, now);
        job.id = ++lastId;
        pending.add(job);
        jobs.push_back(std::move(job));
        st.globalnev = now.show;
        return now;
    }
    // The worker's turn: the oldest released drop's file work, then its result settled.
    DropResult work() {
        DropResult r = runDropJob(jobs.front(), ops, undoCounter);
        jobs.erase(jobs.begin());
        pending.settle(st, r);
        return r;
    }
    QString shown() const { return listbox(const_cast<AppState&>(st), st.indexpanel); }
    QString whereNow(const QString& p) const {
        return pending.whereNow(p, [](const QString& q) { return QFileInfo::exists(q); });
    }

    PendingDrops pending;
    std::vector<DropJob> jobs;
    int undoCounter = 0;
    quint64 lastId = 0;
};

// The highest undo number on disk, 0 for none.
int highestUndo(const Scene& s) {
    int most = 0;
    for (const QString& name : QDir(s.undoFolder()).entryList(QDir::Files)) {
        const QString digits = name.mid(4, name.indexOf(u'.') - 4);
        most = std::max(most, digits.toInt());
    }
    return most;
}

TEST(BackgroundDrop, ListsChangeAtReleaseAndTheDiskWhenTheWorkIsDone) {
    Background s;
    s.st.png[kBlue] = kMarkBlue;
    const QString p = s.put(kSourceSlot, "IMG_1.jpg", 1);
    s.put(kSourceSlot, "IMG_2.jpg", 2);
    s.load();

    const DropOutcome now = s.release(kYellow);
    EXPECT_TRUE(now.ok);
    EXPECT_EQ(now.show, s.folder(kSourceSlot) + "IMG_2.jpg");
    EXPECT_EQ(s.st.lists[kYellow].paths(), QStringList{s.folder(kYellow) + "IMG_1.jpg"});
    EXPECT_EQ(s.st.lists[kBlue].paths(), QStringList{s.folder(kBlue) + "IMG_1.jpg"});
    EXPECT_TRUE(QFileInfo::exists(p)); // nothing on disk yet
    EXPECT_FALSE(QFileInfo::exists(s.folder(kYellow) + "IMG_1.jpg"));
    EXPECT_EQ(s.pending.count(), 1);
    EXPECT_EQ(s.whereNow(s.folder(kYellow) + "IMG_1.jpg"), p);
    EXPECT_EQ(s.whereNow(s.folder(kBlue) + "IMG_1.jpg"), p);

    const DropResult r = s.work();
    EXPECT_TRUE(r.ok) << qPrintable(r.message);
    EXPECT_TRUE(s.pending.empty());
    EXPECT_FALSE(QFileInfo::exists(p));
    EXPECT_EQ(test::readFile(s.folder(kYellow) + "IMG_1.jpg"), photo(1));
    EXPECT_EQ(test::readFile(s.folder(kBlue) + "IMG_1.jpg"), photo(1));
    s.expectListsMatchDisk();
}

TEST(BackgroundDrop, EveryCallFailingAfterTheUserMovedOnKeepsThePhotoAndTheTruth) {
    enum class Kind { Yellow, YellowBlue, Green, Trash };
    struct Case {
        Kind kind;
        bool cross; // the folders lie on another file system: copies, never a rename
    };
    const Case cases[] = {{Kind::Yellow, false}, {Kind::Yellow, true}, {Kind::YellowBlue, true},
                          {Kind::Green, false},  {Kind::Trash, false}, {Kind::Trash, true}};
    for (const Case& c : cases) {
        const int target = c.kind == Kind::Green   ? kGreen
                           : c.kind == Kind::Trash ? kTrashSlot
                                                   : kYellow;
        SCOPED_TRACE(testing::Message() << "kind " << int(c.kind) << ", cross " << c.cross);
        const auto run = [&](Background& s, int call, test::Fault how) {
            s.ops.crossFileSystem = c.cross;
            if (c.kind == Kind::YellowBlue) s.st.png[kBlue] = kMarkBlue;
            if (c.kind == Kind::Green) s.st.png[kGreen] = kMarkGreen;
            for (int i = 1; i <= 3; ++i)
                s.put(kSourceSlot, QStringLiteral("IMG_%1.jpg").arg(i), i);
            s.load();
            s.release(target);
            IncIndex(s.st, kSourceSlot); // the user moves on before the work is done
            s.st.globalnev = s.shown();
            if (call >= 0) s.ops.failCall(call, how);
            return s.work();
        };
        Background clean;
        EXPECT_TRUE(run(clean, -1, test::Fault::Fails).ok);
        const int calls = int(clean.ops.calls.size()) + 4;
        for (const test::Fault how : {test::Fault::Fails, test::Fault::DoneThenFails}) {
            for (int n = 0; n < calls; ++n) {
                SCOPED_TRACE(testing::Message() << "call " << n << ", fault " << int(how));
                Background s;
                const DropResult r = run(s, n, how);
                const QString p = s.folder(kSourceSlot) + "IMG_1.jpg";
                const bool stayed = QFileInfo::exists(p);

                EXPECT_TRUE(s.listedIntact(photo(1)));
                s.expectListsMatchDisk();
                EXPECT_EQ(s.st.torol500, highestUndo(s) + 1);
                // The user's place is kept: the photo looked at stays the current one.
                EXPECT_EQ(s.shown(), s.st.globalnev);
                EXPECT_TRUE(s.pending.empty());
                if (r.ok) {
                    EXPECT_TRUE(r.message.isEmpty());
                    EXPECT_EQ(stayed, c.kind == Kind::Green);
                } else {
                    EXPECT_EQ(r.message.contains("A kép megmaradt itt: " + s.folder(kSourceSlot)),
                              stayed)
                        << qPrintable(r.message);
                }
            }
        }
    }
}

TEST(BackgroundDrop, ThePhotoDroppedAgainBeforeItsWorkIsDoneMovesFromWhereItIs) {
    struct Case {
        const char* name;
        bool firstFails;
    };
    for (const Case& c : {Case{"both work", false}, Case{"the first fails", true}}) {
        SCOPED_TRACE(c.name);
        Background s;
        s.ops.crossFileSystem = true; // copies, so that a flush can fail
        const QString p = s.put(kSourceSlot, "IMG_1.jpg", 1);
        s.put(kSourceSlot, "IMG_2.jpg", 2);
        s.load();
        s.release(kYellow);
        const QString atY = s.folder(kYellow) + "IMG_1.jpg";
        s.view(kYellow, atY); // the photo shows in its new folder, from where it is now
        EXPECT_EQ(s.shown(), atY);
        EXPECT_EQ(s.whereNow(atY), p);
        EXPECT_TRUE(s.release(4).ok);
        const QString atZ = s.folder(4) + "IMG_1.jpg";
        EXPECT_EQ(s.whereNow(atZ), p);
        EXPECT_EQ(s.st.lists[4].paths(), QStringList{atZ});

        if (c.firstFails) s.ops.failOn(test::FileStep::Flush, test::inFolder(s.folder(kYellow)));
        const DropResult first = s.work();
        const DropResult second = s.work();
        EXPECT_EQ(first.ok, !c.firstFails);
        EXPECT_EQ(second.ok, !c.firstFails);
        if (c.firstFails) {
            EXPECT_EQ(test::readFile(p), photo(1));
            EXPECT_FALSE(QFileInfo::exists(atZ));
            EXPECT_TRUE(second.message.contains("A kép már nincs meg"))
                << qPrintable(second.message);
        } else {
            EXPECT_EQ(test::readFile(atZ), photo(1));
            EXPECT_FALSE(QFileInfo::exists(p));
            EXPECT_FALSE(QFileInfo::exists(atY));
        }
        EXPECT_EQ(s.copiesOf(photo(1)), 1);
        s.expectListsMatchDisk();
        EXPECT_TRUE(s.leftoverTemporaries().isEmpty());
    }
}

TEST(BackgroundDrop, QueuedTrashDropsNumberTheirUndoCopiesOnAndCountOnlyKeptOnes) {
    for (const bool firstFails : {false, true}) {
        SCOPED_TRACE(firstFails);
        Background s;
        for (int i = 1; i <= 3; ++i)
            s.put(kSourceSlot, QStringLiteral("IMG_%1.jpg").arg(i), i);
        s.load();
        s.release(kTrashSlot);
        s.release(kTrashSlot);
        EXPECT_EQ(s.st.torol500, 1); // counted only when an undo copy is kept
        if (firstFails) s.ops.failOn(test::FileStep::Flush, test::inFolder(s.undoFolder()));
        EXPECT_EQ(s.work().ok, !firstFails);
        s.ops.failCall(-1, test::Fault::Fails); // the second works
        EXPECT_TRUE(s.work().ok);
        EXPECT_EQ(test::readFile(s.undoFolder() + "undo1.jpg"), photo(firstFails ? 2 : 1));
        EXPECT_EQ(QFileInfo::exists(s.undoFolder() + "undo2.jpg"), !firstFails);
        EXPECT_EQ(s.st.torol500, highestUndo(s) + 1);
        s.expectListsMatchDisk();
    }
}

TEST(BackgroundDrop, APhotoOnItsWayCountsAsThereWhenTheNextDropIsPlanned) {
    Background s;
    s.put(kSourceSlot, "IMG_1.jpg", 1);
    const QString other = s.put(5, "IMG_1.jpg", 5); // another photo of the same name
    s.load();
    s.release(kTrashSlot);
    s.view(5, other);
    EXPECT_TRUE(s.release(kTrashSlot).ok);
    // The second takes a free name in the Trash rather than the one the first is getting.
    EXPECT_TRUE(s.pending.isArrival(s.folder(kTrashSlot) + "IMG_1_.jpg"));
    EXPECT_TRUE(s.work().ok);
    EXPECT_TRUE(s.work().ok);
    EXPECT_EQ(test::readFile(s.folder(kTrashSlot) + "IMG_1.jpg"), photo(1));
    EXPECT_EQ(test::readFile(s.folder(kTrashSlot) + "IMG_1_.jpg"), photo(5));
    s.expectListsMatchDisk();
}

TEST(BackgroundDrop, AResultAfterTheSlotsWereLoadedWithOtherFoldersLeavesThemAlone) {
    for (const bool fails : {false, true}) {
        SCOPED_TRACE(fails);
        Background s;
        s.ops.crossFileSystem = true;
        if (fails) s.ops.failOn(test::FileStep::Flush, test::inFolder(s.folder(kYellow)));
        const QString p = s.put(kSourceSlot, "IMG_1.jpg", 1);
        const QString arrived = s.folder(kYellow) + "IMG_1.jpg";
        s.load();
        s.release(kYellow);
        // Loaded again meanwhile, with another folder in the yellow slot and the source swapped.
        s.st.dirs[kYellow] = s.folder(5);
        s.st.dirs[kSourceSlot] = s.folder(6);
        s.st.lists[kYellow].clear();
        s.st.lists[kSourceSlot].clear();
        EXPECT_EQ(s.work().ok, !fails);
        EXPECT_TRUE(s.st.lists[kYellow].isEmpty());
        EXPECT_TRUE(s.st.lists[kSourceSlot].isEmpty());
        EXPECT_EQ(test::readFile(fails ? p : arrived), photo(1));
    }
}

TEST(BackgroundDrop, PendingWorkIsToldInPhotosAndMegabytes) {
    EXPECT_EQ(pendingText(0, 0), QString());
    EXPECT_EQ(pendingText(3, 31457280), QStringLiteral("Hátravan: 3 kép, 30,0 MB"));
    Background s;
    s.ops.crossFileSystem = true;
    s.st.png[kBlue] = kMarkBlue;
    s.put(kSourceSlot, "IMG_1.jpg", 1);
    s.load();
    s.release(kYellow); // a copy to the yellow folder and one to the blue, of 1000 bytes each
    EXPECT_EQ(s.pending.bytes(), 2000);
    s.work();
    EXPECT_EQ(s.pending.bytes(), 0);
}

// The program killed at any step of a queued drop: the photo is whole somewhere, and the next
// load finds no copy leftovers in the folders (the clean-up at close takes the undo folder's).
TEST(BackgroundDropDeathTest, AKillAtAnyStepLosesNoPhotoAndLeavesNothingBehindTheNextStart) {
    enum class Kind { YellowBlue, Trash };
    for (const Kind kind : {Kind::YellowBlue, Kind::Trash}) {
        SCOPED_TRACE(int(kind));
        const auto prepare = [&](Background& s) {
            s.ops.crossFileSystem = true;
            s.st.png[kBlue] = kMarkBlue;
            s.put(kSourceSlot, "IMG_1.jpg", 1);
            s.load();
            s.release(kind == Kind::Trash ? kTrashSlot : kYellow);
        };
        Background clean;
        prepare(clean);
        clean.work();
        const int calls = int(clean.ops.calls.size());
        ASSERT_GT(calls, 3);
        for (int n = 0; n <= calls; ++n) {
            SCOPED_TRACE(n);
            Background s;
            prepare(s);
            EXPECT_EXIT(
                {
                    s.ops.exitBeforeCall = n;
                    s.work();
                    ::_exit(n == calls ? 0 : 1);
                },
                testing::ExitedWithCode(0), "");
            EXPECT_GE(s.copiesOf(photo(1)), 1);
            const std::time_t later = std::time(nullptr) + 3600;
            for (int slot = 0; slot < kSlotCount; ++slot)
                FileList2(s.st.lists[size_t(slot)], s.folder(slot), "*.jpg", "*.jpeg", later);
            shutdownCleanup(s.st, later);
            EXPECT_TRUE(s.leftoverTemporaries().isEmpty())
                << qPrintable(s.leftoverTemporaries().join(", "));
        }
    }
}

} // namespace
} // namespace kps
