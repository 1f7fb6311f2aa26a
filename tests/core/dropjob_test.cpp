// Drops whose file work runs after the release: the lists change at once, the work later, and
// its result settles the lists by the disk without ever losing a photo.

#include "core/drop/dropjob.h"
#include "core/drop/shutdown.h"
#include "core/sources/scan.h"
#include "dropscene.h"

#include <QRandomGenerator>
#include <ctime>
#include <map>

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
    using Scene::Scene;
    DropOutcome release(int target, bool confirmRename = false) {
        st.panelState[size_t(target)] = PanelState::DropTarget;
        std::array<quint64, kSlotCount> mounts{};
        for (int slot = 0; slot < kSlotCount; ++slot) // one mount, or one for each folder
            mounts[size_t(slot)] = ops.crossFileSystem ? quint64(slot + 1) : 1;
        ListedOps planning(st, pending, mounts);
        plan = planDrop(st, planning);
        if (misjudge) misjudge(plan);
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
    QString origin(const QString& p) const { return pending.origin(p); }

    PendingDrops pending;
    std::function<void(DropPlan&)> misjudge; // a release that believed what was no longer true
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
    EXPECT_EQ(s.origin(s.folder(kYellow) + "IMG_1.jpg"), p);
    EXPECT_EQ(s.origin(s.folder(kBlue) + "IMG_1.jpg"), p);

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
        EXPECT_EQ(s.origin(atY), p);
        EXPECT_TRUE(s.release(4).ok);
        const QString atZ = s.folder(4) + "IMG_1.jpg";
        EXPECT_EQ(s.origin(atZ), p);
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

// A release may see a folder holding the photo already: a same-named identical file, or one an
// earlier pending drop brings. When the work runs that may no longer be true, and the dragged
// photo must not go on the strength of it.
TEST(BackgroundDrop, APhotoSeenThereAtTheReleaseIsLookedForAgainBeforeTheSourceGoes) {
    struct Case {
        const char* name;
        int twinSlot;     // where the identical same-named photo lies at the start
        int twinTarget;   // where an earlier drop takes the twin (viewed in twinSlot)
        bool twinFails;   // that earlier drop fails (the yellow folder's drive is full)
        int secondTarget; // where the source's photo is dropped next
    };
    const Case cases[] = {
        {"the twin is trashed first", kYellow, kTrashSlot, false, kYellow},
        {"the twin moves on first", kYellow, 4, false, kYellow},
        {"the twin from the Trash fails to arrive", kTrashSlot, kYellow, true, kYellow},
        {"the twin from the Trash arrives", kTrashSlot, kYellow, false, kYellow},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Background s;
        s.ops.crossFileSystem = true; // copies, so that a flush can fail
        const QString src = s.put(kSourceSlot, "IMG_1.jpg", 1);
        const QString twin = s.put(c.twinSlot, "IMG_1.jpg", 1);
        s.load();
        s.view(c.twinSlot, twin);
        s.release(c.twinTarget);
        s.view(kSourceSlot, src);
        s.release(c.secondTarget);
        if (c.twinFails) s.ops.failOn(test::FileStep::Flush, test::inFolder(s.folder(kYellow)));
        EXPECT_EQ(s.work().ok, !c.twinFails);
        s.ops.failCall(-1, test::Fault::Fails);
        s.work();
        s.expectListsMatchDisk();
        EXPECT_TRUE(s.leftoverTemporaries().isEmpty());
        // The Trash is emptied at close: the photo must also be kept where the user sorted it.
        shutdownCleanup(s.st, std::time(nullptr) + 3600);
        s.load();
        EXPECT_TRUE(s.listedIntact(photo(1)));
        EXPECT_EQ(test::readFile(s.folder(c.secondTarget) + "IMG_1.jpg"), photo(1));
    }
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

// With the option on, the work looks at the group again before anything goes: a companion gone
// since the release is not carried; one whose name was taken since by other bytes refuses the
// group; the pending figure counts the companions' bytes as the listing knew them.
TEST(BackgroundDrop, AGroupIsLookedAtAgainWhenItsWorkRuns) {
    enum class Change { None, CompanionGone, NameTaken, SameBytesThere };
    const std::pair<Change, const char*> changes[] = {
        {Change::None, "unchanged"},
        {Change::CompanionGone, "xmp gone"},
        {Change::NameTaken, "raw name taken"},
        {Change::SameBytesThere, "raw already there"}};
    for (bool cross : {false, true}) {
        for (const auto& [change, name] : changes) {
            SCOPED_TRACE(std::string(name) + (cross ? ", copy" : ", rename"));
            Background s;
            s.st.tarsfajlok = true;
            s.ops.crossFileSystem = cross;
            const QString jpg = s.put(kSourceSlot, "IMG_1.JPG", 1);
            const QString raw = s.putFile(kSourceSlot, "IMG_1.CR2", test::rawBytes(1));
            const QString xmp = s.putFile(kSourceSlot, "IMG_1.xmp", test::sidecarBytes(1));
            s.load();
            EXPECT_TRUE(s.release(kYellow).ok);
            const qint64 group = 1000 + test::rawBytes(1).size() + test::sidecarBytes(1).size();
            EXPECT_EQ(s.pending.bytes(), cross ? group : 0); // a rename writes nothing
            const QString target = s.folder(kYellow) + "IMG_1.CR2";
            if (change == Change::CompanionGone) QFile::remove(xmp);
            if (change == Change::NameTaken) test::writeFile(target, test::rawBytes(7));
            if (change == Change::SameBytesThere) test::writeFile(target, test::rawBytes(1));

            const DropResult r = s.work();
            s.expectListsMatchDisk();
            if (change == Change::NameTaken) {
                EXPECT_FALSE(r.ok);
                EXPECT_TRUE(r.message.contains(target)) << qPrintable(r.message);
                EXPECT_EQ(test::readFile(target), test::rawBytes(7));
                EXPECT_EQ(test::readFile(jpg), photo(1));
                EXPECT_EQ(test::readFile(raw), test::rawBytes(1));
                EXPECT_EQ(s.shown(), jpg);
                // Back in its list, the photo still knows its group for the next try.
                EXPECT_EQ(s.st.lists[kSourceSlot].companionsOf(jpg).size(), 2);
                continue;
            }
            EXPECT_TRUE(r.ok) << qPrintable(r.message);
            EXPECT_FALSE(QFileInfo::exists(jpg));
            EXPECT_FALSE(QFileInfo::exists(raw));
            EXPECT_EQ(test::readFile(target), test::rawBytes(1));
            EXPECT_EQ(QFileInfo::exists(s.folder(kYellow) + "IMG_1.xmp"),
                      change != Change::CompanionGone);
        }
    }
}

// Random sequences of views, releases, work with failing steps, loads and closes over a few
// photos that share names and bytes across the folders. Whatever happens, a photo the user sorted
// or left outside the Trash is still there on disk, the lists tell the truth, and no temporary
// file is left. KPS_DROP_SEED and KPS_DROP_RUNS replay or widen the search.
class Simulation : public Background {
  public:
    // Thousands of sequences: on a RAM disk where there is one.
    explicit Simulation(quint32 seed)
        : Background(QFileInfo(QStringLiteral("/dev/shm")).isWritable() ? QStringLiteral("/dev/shm")
                                                                        : QString()),
          rng(seed) {
        ops.fastFlush = true;
        ops.crossFileSystem = pick(2) == 0;
        // Whatever the release believed, the work must be safe: some releases take a folder
        // for one that already holds the photo.
        misjudge = [this](DropPlan& plan) {
            for (DropStep& step : plan.steps) {
                if (step.action != DropAction::NoFolder && pick(4) == 0)
                    step.action = DropAction::Present;
            }
        };
        st.png[2] = pick(2) ? kMarkBlue : kMarkYellow;
        st.png[3] = pick(2) ? kMarkGreen : kMarkYellow;
        // Half the sequences carry companions: photo 1 has a raw file wherever it lies.
        st.tarsfajlok = pick(2) == 0;
        const int slotsWithPhotos[] = {kSourceSlot, kYellow, kGreen, 4, kTrashSlot};
        for (int i = 0; i < 5; ++i) {
            const int slot = slotsWithPhotos[pick(5)];
            const QString path = folder(slot) + QStringLiteral("IMG_%1.jpg").arg(1 + pick(2));
            if (QFileInfo::exists(path)) continue;
            const int seed = 1 + pick(2);
            model[path] = test::readFile(put(slot, path.section(u'/', -1), seed));
            if (st.tarsfajlok && seed == 1)
                putFile(slot, path.section(u'/', -1).replace(".jpg", ".CR2"), test::rawBytes(1));
            log << QStringLiteral("%1 holds photo %2").arg(path).arg(qHash(model[path]) % 100);
        }
        load();
    }

    void step() {
        switch (pick(6)) {
        case 0: { // view a photo of any folder that has one
            std::vector<int> filled;
            for (int slot = 0; slot < kSlotCount; ++slot) {
                if (!st.lists[size_t(slot)].isEmpty()) filled.push_back(slot);
            }
            const int slot =
                filled.empty() ? kSourceSlot : filled[size_t(pick(int(filled.size())))];
            const QStringList paths = st.lists[size_t(slot)].paths();
            view(slot, paths.isEmpty() ? QString() : paths[pick(int(paths.size()))]);
            log << QStringLiteral("view %1 %2").arg(slot).arg(st.globalnev);
            return;
        }
        case 1:
        case 2: {
            const int target = pickOther(st.indexpanel);
            const DropOutcome now = release(target, pick(2) == 0);
            log << QStringLiteral("release on %1: %2 %3").arg(target).arg(now.ok).arg(now.message);
            st.globalnev = shown();
            return;
        }
        case 3:
            workOne();
            return;
        case 4:
            load(pick(2) ? kSourceSlot : pick(kSlotCount));
            log << QStringLiteral("load");
            return;
        case 5:
            if (pick(3) == 0) closeAndStart();
            return;
        }
    }

    // The oldest job's work, sometimes with one of its calls failing; the model follows the drops
    // that report success.
    void workOne() {
        if (jobs.empty()) return;
        const DropJob job = jobs.front();
        if (pick(3) == 0) {
            const auto how = pick(2) ? test::Fault::Fails : test::Fault::DoneThenFails;
            ops.failCall(int(ops.calls.size()) + pick(24), how);
        } else {
            ops.failCall(-1, test::Fault::Fails);
        }
        const DropResult r = work();
        log << QStringLiteral("work %1: %2 %3").arg(job.plan.source).arg(r.ok).arg(r.message);
        for (const QString& copy : r.made) { // a failed drop may leave copies that now count
            if (QFileInfo::exists(copy)) model[copy] = test::readFile(copy);
        }
        if (!r.ok || !job.plan.volt) return;
        const auto it = model.find(job.plan.source);
        if (it == model.end()) return; // a name the model does not follow
        const QByteArray bytes = it->second;
        if (!job.plan.keep) model.erase(it);
        for (const EntryFact& f : r.facts) { // where the photo arrived, as the work found it
            if (f.entry.added && f.onDisk && f.entry.path != r.source) model[f.entry.path] = bytes;
        }
    }

    void closeAndStart() {
        log << QStringLiteral("close");
        while (!jobs.empty())
            workOne();
        expectKept();
        shutdownCleanup(st, std::time(nullptr) + 3600);
        for (auto it = model.begin(); it != model.end();)
            it = it->first.startsWith(folder(kTrashSlot)) ? model.erase(it) : std::next(it);
        load();
    }

    // Every photo the drops left outside the Trash is on disk outside the Trash.
    void expectKept() {
        expectListsMatchDisk();
        EXPECT_TRUE(leftoverTemporaries().isEmpty())
            << qPrintable(leftoverTemporaries().join(u' '));
        QList<QByteArray> outside;
        for (int slot = 0; slot < kMarkedSlots; ++slot) {
            for (const QString& p : photosOnDisk(slot))
                outside << test::readFile(p);
            for (const QString& raw : QDir(folder(slot)).entryList({"*.CR2"}, QDir::Files))
                outside << test::readFile(folder(slot) + raw);
        }
        for (const auto& [path, bytes] : model) {
            if (!path.startsWith(folder(kTrashSlot))) {
                EXPECT_TRUE(outside.contains(bytes)) << "lost: " << qPrintable(path);
                // A photo that carries a raw file never reaches a place without it.
                if (st.tarsfajlok && bytes == photo(1)) {
                    const QString raw = path.chopped(4) + QStringLiteral(".CR2");
                    EXPECT_EQ(test::readFile(raw), test::rawBytes(1))
                        << "raw lost: " << qPrintable(raw);
                }
            }
        }
    }

    std::map<QString, QByteArray> model; // what each name holds if the drops did what they said
    QStringList log;                     // what happened, for a failure's report

  private:
    int pick(int n) { return int(rng.bounded(quint32(n))); }
    int pickOther(int slot) {
        const int t = pick(kSlotCount - 1);
        return t >= slot ? t + 1 : t;
    }
    QRandomGenerator rng;
};

TEST(BackgroundDrop, RandomSequencesLoseNoPhotoAndLeaveListsTrue) {
    const quint32 first = qEnvironmentVariableIntValue("KPS_DROP_SEED");
    const int runs = qEnvironmentVariableIsSet("KPS_DROP_RUNS")
                         ? qEnvironmentVariableIntValue("KPS_DROP_RUNS")
                         : 2000;
    for (quint32 seed = first; seed < first + quint32(runs); ++seed) {
        SCOPED_TRACE(testing::Message() << "KPS_DROP_SEED=" << seed << " KPS_DROP_RUNS=1");
        Simulation sim(seed);
        for (int i = 0; i < 14; ++i)
            sim.step();
        sim.closeAndStart();
        sim.expectKept();
        if (testing::Test::HasFailure()) { // one reproducible sequence is enough
            ADD_FAILURE() << qPrintable(sim.log.join(u'\n'));
            break;
        }
    }
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
