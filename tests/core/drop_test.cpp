#include "core/drop/autorename.h"
#include "core/drop/drop.h"
#include "core/state/cursor.h"
#include "dropscene.h"
#include "faultyfileops.h"
#include "testphotos.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <map>
#include <string>

namespace kps {
namespace {

using test::kBlue;
using test::kGreen;
using test::kYellow;
using test::photo;
using test::Scene;

using test::FaultyFileOps;
using test::FileStep;
using test::inFolder;

TEST(Drop, YellowMoveCopiesPointsTheCursorAndShowsTheFollowingPhoto) {
    struct Case {
        const char* name;
        QStringList photos;
        QString dragged;
        QString shownNext; // "*" for the empty viewer
        QString counter;
    };
    const Case cases[] = {
        {"middle photo", {"a.jpg", "b.jpg", "c.jpg"}, "b.jpg", "c.jpg", "2/2"},
        {"last photo", {"a.jpg", "b.jpg", "c.jpg"}, "c.jpg", "b.jpg", "2/2"},
        {"only photo", {"a.jpg"}, "a.jpg", "*", "0/0"},
    };
    for (bool cross : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (cross ? ", copy and delete" : ", rename"));
            Scene s;
            s.ops.crossFileSystem = cross;
            for (int i = 0; i < c.photos.size(); ++i)
                s.put(kSourceSlot, c.photos[i], i + 1);
            s.put(kYellow, "0.jpg", 9);
            const QString dragged = s.folder(kSourceSlot) + c.dragged;
            const QByteArray bytes = test::readFile(dragged);
            s.load(kSourceSlot, dragged);

            const DropOutcome out = s.drop(kYellow);
            EXPECT_TRUE(out.volt);
            EXPECT_TRUE(out.ok);
            EXPECT_TRUE(out.message.isEmpty());
            EXPECT_EQ(s.plan.moveStep >= 0, !cross);
            EXPECT_FALSE(QFileInfo::exists(dragged));
            EXPECT_EQ(test::readFile(s.folder(kYellow) + c.dragged), bytes);
            EXPECT_EQ(s.cursorAt(kYellow), s.folder(kYellow) + c.dragged);
            const QString next = c.shownNext == "*" ? c.shownNext : s.folder(0) + c.shownNext;
            EXPECT_EQ(out.show, next);
            EXPECT_EQ(s.st.status[0], c.counter);
            EXPECT_FALSE(out.relayout);
            EXPECT_EQ(s.st.panelState[kYellow], PanelState::Normal);
            EXPECT_EQ(s.st.panelState[kSourceSlot], PanelState::Selected);
            s.expectListsMatchDisk();
        }
    }
}

TEST(Drop, GreenCopiesKeepsThePhotoAndAdvances) {
    struct Case {
        const char* name;
        QString dragged;
        QString shownNext;
        bool relayout;
    };
    const Case cases[] = {
        {"first photo", "a.jpg", "b.jpg", false},
        {"last photo stays, laid out again", "b.jpg", "b.jpg", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Scene s;
        s.st.png[kGreen] = kMarkGreen;
        s.put(kSourceSlot, "a.jpg", 1);
        s.put(kSourceSlot, "b.jpg", 2);
        const QString dragged = s.folder(0) + c.dragged;
        s.load(kSourceSlot, dragged);

        const DropOutcome out = s.drop(kGreen);
        EXPECT_TRUE(out.ok);
        EXPECT_EQ(s.plan.moveStep, -1);
        EXPECT_TRUE(QFileInfo::exists(dragged));
        EXPECT_EQ(test::readFile(s.folder(kGreen) + c.dragged), test::readFile(dragged));
        EXPECT_EQ(s.cursorAt(kGreen), s.folder(kGreen) + c.dragged);
        EXPECT_EQ(out.show, s.folder(0) + c.shownNext);
        EXPECT_EQ(out.relayout, c.relayout);
        EXPECT_EQ(s.st.globalnev == kRelayoutMarker, c.relayout);
        s.expectListsMatchDisk();
    }
}

TEST(Drop, BlueFoldersCollectEveryDropButTheTrashs) {
    for (bool cross : {false, true}) {
        SCOPED_TRACE(cross);
        Scene s;
        s.ops.crossFileSystem = cross;
        s.st.png[kBlue] = kMarkBlue;
        const QString p = s.put(kSourceSlot, "p.jpg", 1);
        const QString q = s.put(kSourceSlot, "q.jpg", 2);
        s.put(kBlue, "a.jpg", 3);
        s.put(kBlue, "z.jpg", 4);
        s.load();

        EXPECT_TRUE(s.drop(kYellow).ok);
        EXPECT_FALSE(QFileInfo::exists(p));
        EXPECT_EQ(test::readFile(s.folder(kYellow) + "p.jpg"), photo(1));
        EXPECT_EQ(test::readFile(s.folder(kBlue) + "p.jpg"), photo(1));
        EXPECT_EQ(s.cursorAt(kBlue), s.folder(kBlue) + "p.jpg");
        EXPECT_EQ(s.st.panelState[kBlue], PanelState::Normal);
        s.expectListsMatchDisk();

        s.st.globalnev = listbox(s.st, kSourceSlot);
        EXPECT_TRUE(s.drop(kTrashSlot).ok);
        EXPECT_FALSE(QFileInfo::exists(q));
        EXPECT_FALSE(QFileInfo::exists(s.folder(kBlue) + "q.jpg"));
        EXPECT_EQ(test::readFile(s.folder(kTrashSlot) + "q.jpg"), photo(2));
        s.expectListsMatchDisk();
    }
}

TEST(Drop, TrashTakesACopyAndANumberedUndoCopy) {
    struct Case {
        const char* name;
        QString dragged;
        int torol500;
        QString undoName;
    };
    const Case cases[] = {
        {"first undo", "IMG_0001.jpg", 1, "undo1.jpg"},
        {"extension as spelled", "IMG_0001.JPG", 17, "undo17.JPG"},
    };
    for (bool cross : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (cross ? ", copy" : ", rename"));
            Scene s;
            s.ops.crossFileSystem = cross;
            const QString p = s.put(kSourceSlot, c.dragged, 5);
            s.load();
            s.st.torol500 = c.torol500;

            const DropOutcome out = s.drop(kTrashSlot);
            EXPECT_TRUE(out.ok) << qPrintable(out.message);
            EXPECT_FALSE(QFileInfo::exists(p));
            EXPECT_EQ(test::readFile(s.folder(kTrashSlot) + c.dragged), photo(5));
            EXPECT_EQ(test::readFile(s.undoFolder() + c.undoName), photo(5));
            EXPECT_EQ(s.st.torol500, c.torol500 + 1);
            EXPECT_EQ(s.st.s3, s.undoFolder() + c.undoName);
            EXPECT_EQ(s.cursorAt(kTrashSlot), s.folder(kTrashSlot) + c.dragged);
            EXPECT_EQ(out.show, "*");
            EXPECT_EQ(s.st.panelState[kTrashSlot], PanelState::Normal);
            s.expectListsMatchDisk();
        }
    }
}

TEST(Drop, AnUndoNameAlreadyTakenIsSkippedNeverReplaced) {
    Scene s;
    s.put(kSourceSlot, "a.jpg", 1);
    ASSERT_TRUE(test::writeFile(s.undoFolder() + "undo4.jpg", "older undo"));
    s.load();
    s.st.torol500 = 4;
    EXPECT_TRUE(s.drop(kTrashSlot).ok);
    EXPECT_EQ(test::readFile(s.undoFolder() + "undo4.jpg"), "older undo");
    EXPECT_EQ(test::readFile(s.undoFolder() + "undo5.jpg"), photo(1));
    EXPECT_EQ(s.st.torol500, 6);
}

TEST(Drop, TheViewedTrashIsNeverATargetButItsPhotosCanLeave) {
    Scene s;
    const QString t = s.put(kTrashSlot, "t.jpg", 1);
    s.load(kTrashSlot);
    s.st.panelState[kTrashSlot] = PanelState::DropTarget; // a stale state must not count
    DropPlan plan = planDrop(s.st, s.ops);
    EXPECT_FALSE(plan.volt);
    DropOutcome out = executeDrop(s.st, plan, false, s.ops);
    EXPECT_FALSE(out.volt);
    EXPECT_TRUE(QFileInfo::exists(t));
    EXPECT_EQ(s.st.torol500, 1);

    out = s.drop(kYellow);
    EXPECT_TRUE(out.ok);
    EXPECT_FALSE(QFileInfo::exists(t));
    EXPECT_EQ(test::readFile(s.folder(kYellow) + "t.jpg"), photo(1));
    EXPECT_EQ(s.st.panelState[kTrashSlot], PanelState::Selected);
    s.expectListsMatchDisk();
}

TEST(Drop, NothingHappensWithoutATargetOrWithoutAPhoto) {
    Scene s;
    s.load();
    s.st.panelState[kYellow] = PanelState::DropTarget;
    DropOutcome out = s.drop(kYellow); // the source is empty
    EXPECT_FALSE(out.volt);
    EXPECT_TRUE(out.ok);
    EXPECT_EQ(out.show, "*");
    EXPECT_EQ(s.st.panelState[kYellow], PanelState::Normal);

    const QString p = s.put(kSourceSlot, "a.jpg");
    s.load();
    s.st.png[kBlue] = kMarkBlue; // a blue folder alone is no target
    out = executeDrop(s.st, planDrop(s.st, s.ops), false, s.ops);
    EXPECT_FALSE(out.volt);
    EXPECT_TRUE(QFileInfo::exists(p));
    EXPECT_TRUE(s.photosOnDisk(kBlue).isEmpty());
}

TEST(Drop, ABlueViewedFolderAlreadyHoldsThePhotoWhichStillLeavesIt) {
    Scene s;
    s.st.png[kSourceSlot] = kMarkBlue;
    const QString a = s.put(kSourceSlot, "a.jpg", 1);
    s.put(kSourceSlot, "b.jpg", 2);
    s.load();
    const DropOutcome out = s.drop(kYellow);
    EXPECT_TRUE(out.ok);
    ASSERT_EQ(s.plan.steps.size(), 2u);
    EXPECT_EQ(s.plan.steps[0].action, DropAction::Itself);
    EXPECT_FALSE(QFileInfo::exists(a));
    EXPECT_EQ(test::readFile(s.folder(kYellow) + "a.jpg"), photo(1));
    EXPECT_EQ(out.show, s.folder(0) + "b.jpg");
    EXPECT_EQ(s.st.panelState[kSourceSlot], PanelState::Selected);
    s.expectListsMatchDisk();
}

TEST(Drop, ATargetThatIsThePhotosOwnFolderKeepsIt) {
    Scene s;
    s.st.dirs[kYellow] = s.folder(kSourceSlot);
    const QString a = s.put(kSourceSlot, "a.jpg", 1);
    s.load();
    const DropOutcome out = s.drop(kYellow);
    EXPECT_TRUE(out.ok);
    EXPECT_EQ(test::readFile(a), photo(1));
    EXPECT_EQ(s.st.lists[0].paths(), QStringList{a});
    EXPECT_EQ(s.st.lists[kYellow].paths(), QStringList{a});
}

TEST(Drop, TwoBlueSlotsOnOneFolderShareOneCopy) {
    Scene s;
    s.st.png[kBlue] = kMarkBlue;
    s.st.png[5] = kMarkBlue;
    s.st.dirs[5] = s.folder(kBlue);
    const QString a = s.put(kSourceSlot, "a.jpg", 1);
    s.load();
    const DropOutcome out = s.drop(kYellow);
    EXPECT_TRUE(out.ok) << qPrintable(out.message);
    EXPECT_FALSE(QFileInfo::exists(a));
    EXPECT_EQ(s.st.lists[5].paths(), QStringList{s.folder(kBlue) + "a.jpg"});
    EXPECT_EQ(s.cursorAt(5), s.folder(kBlue) + "a.jpg");
    EXPECT_EQ(s.cursorAt(kBlue), s.folder(kBlue) + "a.jpg");
}

TEST(Drop, GreenNameClashAsksAndRenamesOrLeavesEverything) {
    struct Case {
        const char* name;
        QStringList present; // already in the green folder, other bytes
        bool confirm;
        QString proposed;
        QString cursor;
    };
    const Case cases[] = {
        {"renamed", {"IMG_1.jpg"}, true, "IMG_1_.jpg", "IMG_1_.jpg"},
        {"renamed past a renamed one",
         {"IMG_1.jpg", "IMG_1_.jpg"},
         true,
         "IMG_1__.jpg",
         "IMG_1__.jpg"},
        {"cancelled", {"IMG_1.jpg", "IMG_2.jpg"}, false, "IMG_1_.jpg", "IMG_1.jpg"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Scene s;
        s.st.png[kGreen] = kMarkGreen;
        const QString p = s.put(kSourceSlot, "IMG_1.jpg", 1);
        s.put(kSourceSlot, "IMG_2.jpg", 2);
        for (const QString& n : c.present)
            s.put(kGreen, n, 7);
        s.load();
        s.st.index[kGreen] = int(c.present.size()) - 1;
        const QStringList before = s.photosOnDisk(kGreen);

        const DropOutcome out = s.drop(kGreen, c.confirm);
        EXPECT_TRUE(s.plan.needsRenameQuestion);
        EXPECT_EQ(s.plan.proposedName, s.folder(kGreen) + c.proposed);
        EXPECT_TRUE(out.ok);
        EXPECT_EQ(test::readFile(p), photo(1));
        EXPECT_EQ(test::readFile(s.folder(kGreen) + "IMG_1.jpg"), photo(7));
        EXPECT_EQ(s.cursorAt(kGreen), s.folder(kGreen) + c.cursor);
        if (c.confirm) {
            EXPECT_EQ(test::readFile(s.folder(kGreen) + c.proposed), photo(1));
        } else {
            EXPECT_EQ(s.photosOnDisk(kGreen), before);
        }
        EXPECT_EQ(out.show, s.folder(0) + "IMG_2.jpg");
        s.expectListsMatchDisk();
    }
}

TEST(Drop, AClashWithOtherBytesKeepsThePhotoAndSaysSo) {
    struct Case {
        const char* name;
        int blueSlot; // -1: none
        int clashSlot;
        bool afterLoad; // the clashing file appears after the lists were made
        bool cross;
    };
    const Case cases[] = {
        {"yellow target", -1, kYellow, false, false},
        {"yellow target, copy mode", -1, kYellow, false, true},
        {"blue folder", kBlue, kBlue, false, false},
        {"blue folder, copy mode", kBlue, kBlue, false, true},
        {"yellow, unknown to the list", -1, kYellow, true, false},
        {"blue, unknown to the list", kBlue, kBlue, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Scene s;
        s.ops.crossFileSystem = c.cross;
        if (c.blueSlot >= 0) s.st.png[size_t(c.blueSlot)] = kMarkBlue;
        const QString p = s.put(kSourceSlot, "IMG_1.jpg", 1);
        s.put(kSourceSlot, "IMG_2.jpg", 2);
        if (!c.afterLoad) s.put(c.clashSlot, "IMG_1.jpg", 7);
        s.load();
        if (c.afterLoad) s.put(c.clashSlot, "IMG_1.jpg", 7);

        const DropOutcome out = s.drop(kYellow);
        EXPECT_TRUE(out.volt);
        EXPECT_FALSE(out.ok);
        EXPECT_TRUE(out.message.contains(s.folder(c.clashSlot) + "IMG_1.jpg"))
            << qPrintable(out.message);
        EXPECT_EQ(test::readFile(p), photo(1));
        EXPECT_EQ(test::readFile(s.folder(c.clashSlot) + "IMG_1.jpg"), photo(7));
        EXPECT_EQ(out.show, p); // stays on screen, laid out again
        EXPECT_TRUE(out.relayout);
        EXPECT_EQ(listbox(s.st, kSourceSlot), p);
        if (!c.afterLoad) {
            EXPECT_EQ(s.cursorAt(c.clashSlot), s.folder(c.clashSlot) + "IMG_1.jpg");
        }
        s.expectListedFilesExist();
        EXPECT_TRUE(s.leftoverTemporaries().isEmpty());
    }
}

TEST(Drop, TheSameBytesUnderTheSameNameCompleteTheMove) {
    for (bool afterLoad : {false, true}) {
        SCOPED_TRACE(afterLoad);
        Scene s;
        const QString p = s.put(kSourceSlot, "IMG_1.jpg", 1);
        s.put(kYellow, "A.jpg", 3);
        if (!afterLoad) s.put(kYellow, "IMG_1.jpg", 1);
        s.load();
        if (afterLoad) s.put(kYellow, "IMG_1.jpg", 1);

        const DropOutcome out = s.drop(kYellow);
        EXPECT_TRUE(out.ok);
        EXPECT_FALSE(QFileInfo::exists(p));
        EXPECT_EQ(s.cursorAt(kYellow), s.folder(kYellow) + "IMG_1.jpg");
        s.expectListsMatchDisk();
    }
}

TEST(Drop, ATrashClashTakesANewNameWithoutAskingAndMakesTheUndoCopy) {
    for (bool cross : {false, true}) {
        SCOPED_TRACE(cross);
        Scene s;
        s.ops.crossFileSystem = cross;
        const QString p = s.put(kSourceSlot, "IMG_1.jpg", 1);
        s.put(kTrashSlot, "IMG_1.jpg", 7);
        ASSERT_TRUE(QDir(s.folder(kTrashSlot)).mkdir("IMG_1_.jpg")); // a folder is in the way
        s.load();

        const DropOutcome out = s.drop(kTrashSlot);
        EXPECT_FALSE(s.plan.needsRenameQuestion);
        EXPECT_TRUE(out.ok) << qPrintable(out.message);
        EXPECT_FALSE(QFileInfo::exists(p));
        EXPECT_EQ(test::readFile(s.folder(kTrashSlot) + "IMG_1.jpg"), photo(7));
        EXPECT_EQ(test::readFile(s.folder(kTrashSlot) + "IMG_1__.jpg"), photo(1));
        EXPECT_EQ(test::readFile(s.undoFolder() + "undo1.jpg"), photo(1));
        EXPECT_EQ(s.cursorAt(kTrashSlot), s.folder(kTrashSlot) + "IMG_1__.jpg");
        s.expectListsMatchDisk();
    }
}

TEST(Drop, WhenEveryUnderscoredNameIsTakenNothingIsCopied) {
    for (int target : {kGreen, kTrashSlot}) {
        SCOPED_TRACE(target);
        Scene s;
        s.st.png[kGreen] = kMarkGreen;
        const QString p = s.put(kSourceSlot, "a.jpg", 1);
        QString name = QStringLiteral("a.jpg");
        for (int i = 0; i <= kMaxRenameUnderscores; ++i) {
            s.put(target, name, 7);
            name.insert(name.lastIndexOf(u'.'), u'_');
        }
        s.load();
        const QStringList before = s.photosOnDisk(target);
        const DropOutcome out = s.drop(target, true);
        EXPECT_FALSE(s.plan.needsRenameQuestion);
        EXPECT_FALSE(out.ok);
        EXPECT_TRUE(out.message.contains(s.folder(target) + "a.jpg")) << qPrintable(out.message);
        EXPECT_EQ(test::readFile(p), photo(1));
        EXPECT_EQ(s.photosOnDisk(target), before);
        EXPECT_EQ(s.st.torol500, 1);
    }
}

TEST(Drop, EveryCopyKeepsTheModificationTime) {
    const QDateTime when(QDate(2009, 7, 4), QTime(16, 20, 5));
    struct Case {
        const char* name;
        int target;
        bool cross;
        QStringList copies; // relative to the scene's folder
    };
    const Case cases[] = {
        {"moved by rename, blue copy", kYellow, false, {"f1/a.jpg", "f2/a.jpg"}},
        {"moved by copy, blue copy", kYellow, true, {"f1/a.jpg", "f2/a.jpg"}},
        {"green copy", kGreen, false, {"f3/a.jpg", "f2/a.jpg"}},
        {"trash and undo",
         kTrashSlot,
         false,
         {"trash/a.jpg", "trash/" + kUndoFolderName + "/undo1.jpg"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Scene s;
        s.ops.crossFileSystem = c.cross;
        s.st.png[kBlue] = kMarkBlue;
        s.st.png[kGreen] = kMarkGreen;
        const QString p = s.put(kSourceSlot, "a.jpg", 1);
        ASSERT_TRUE(test::setModified(p, when));
        s.load();
        EXPECT_TRUE(s.drop(c.target).ok);
        for (const QString& rel : c.copies) {
            EXPECT_EQ(QFileInfo(s.tmp.path() + u'/' + rel).lastModified(), when) << qPrintable(rel);
        }
    }
}

TEST(Drop, AFailedDeletionKeepsTheListedPhotoAndSaysSo) {
    Scene s;
    s.ops.crossFileSystem = true;
    s.st.png[kBlue] = kMarkBlue;
    const QString p = s.put(kSourceSlot, "a.jpg", 1);
    s.load();
    s.ops.failOn(FileStep::Remove, inFolder(s.folder(kSourceSlot)));
    const DropOutcome out = s.drop(kYellow);
    EXPECT_FALSE(out.ok);
    EXPECT_TRUE(out.message.contains(p));
    EXPECT_EQ(test::readFile(p), photo(1));
    EXPECT_EQ(out.show, p);
    EXPECT_TRUE(QFileInfo::exists(s.folder(kYellow) + "a.jpg"));
    EXPECT_TRUE(QFileInfo::exists(s.folder(kBlue) + "a.jpg"));
    s.expectListsMatchDisk();
}

TEST(Drop, FoldersAndFilesChangedAfterLoadingFailWithoutLoss) {
    { // the target folder was removed
        Scene s;
        const QString p = s.put(kSourceSlot, "a.jpg", 1);
        s.load();
        ASSERT_TRUE(QDir(s.folder(kYellow)).removeRecursively());
        const DropOutcome out = s.drop(kYellow);
        EXPECT_FALSE(out.ok);
        EXPECT_TRUE(out.message.contains(s.folder(kYellow))) << qPrintable(out.message);
        EXPECT_EQ(test::readFile(p), photo(1));
        EXPECT_EQ(s.st.lists[kYellow].count(), 0);
        EXPECT_EQ(s.st.lists[0].paths(), QStringList{p});
    }
    { // the undo folder was removed (or the Trash changed): it is made again when needed
        Scene s;
        const QString p = s.put(kSourceSlot, "a.jpg", 1);
        s.load();
        ASSERT_TRUE(QDir(s.undoFolder()).removeRecursively());
        const DropOutcome out = s.drop(kTrashSlot);
        EXPECT_TRUE(out.ok) << qPrintable(out.message);
        EXPECT_FALSE(QFileInfo::exists(p));
        EXPECT_EQ(test::readFile(s.undoFolder() + "undo1.jpg"), photo(1));
        EXPECT_EQ(s.st.torol500, 2);
        s.expectListsMatchDisk();
    }
    { // a file stands where the undo folder goes: no Trash drop without its undo copy
        Scene s;
        const QString p = s.put(kSourceSlot, "a.jpg", 1);
        s.load();
        ASSERT_TRUE(QDir(s.undoFolder()).removeRecursively());
        ASSERT_TRUE(test::writeFile(s.folder(kTrashSlot) + kUndoFolderName, "in the way"));
        const DropOutcome out = s.drop(kTrashSlot);
        EXPECT_FALSE(out.ok);
        EXPECT_TRUE(out.message.contains(s.undoFolder())) << qPrintable(out.message);
        EXPECT_EQ(test::readFile(p), photo(1));
        EXPECT_EQ(s.st.torol500, 1);
        s.expectListsMatchDisk();
    }
    { // a folder stands where the copy's name goes
        Scene s;
        const QString p = s.put(kSourceSlot, "a.jpg", 1);
        s.load();
        ASSERT_TRUE(QDir(s.folder(kYellow)).mkdir("a.jpg"));
        const DropOutcome out = s.drop(kYellow);
        EXPECT_FALSE(out.ok);
        EXPECT_EQ(test::readFile(p), photo(1));
        EXPECT_TRUE(QFileInfo(s.folder(kYellow) + "a.jpg").isDir());
        s.expectListsMatchDisk();
    }
    { // the dragged photo was removed: it leaves the list and the next one shows
        Scene s;
        const QString a = s.put(kSourceSlot, "a.jpg", 1);
        const QString b = s.put(kSourceSlot, "b.jpg", 2);
        s.load();
        ASSERT_TRUE(QFile::remove(a));
        const DropOutcome out = s.drop(kYellow);
        EXPECT_TRUE(out.volt);
        EXPECT_FALSE(out.ok);
        EXPECT_TRUE(out.message.contains(a));
        EXPECT_EQ(out.show, b);
        EXPECT_TRUE(s.photosOnDisk(kYellow).isEmpty());
        s.expectListsMatchDisk();
    }
    { // a slot without a folder
        Scene s;
        const QString p = s.put(kSourceSlot, "a.jpg", 1);
        s.load();
        s.st.dirs[kYellow].clear();
        const DropOutcome out = s.drop(kYellow);
        EXPECT_FALSE(out.ok);
        EXPECT_TRUE(out.message.contains(s.st.szoveg[kYellow]));
        EXPECT_EQ(test::readFile(p), photo(1));
    }
}

TEST(Drop, APlanForAnotherPhotoDoesNothing) {
    Scene s;
    const QString a = s.put(kSourceSlot, "a.jpg", 1);
    s.put(kSourceSlot, "b.jpg", 2);
    s.load();
    s.st.panelState[kYellow] = PanelState::DropTarget;
    const DropPlan plan = planDrop(s.st, s.ops);
    IncIndex(s.st, kSourceSlot);
    const DropOutcome out = executeDrop(s.st, plan, false, s.ops);
    EXPECT_FALSE(out.volt);
    EXPECT_FALSE(out.ok);
    EXPECT_TRUE(QFileInfo::exists(a));
    EXPECT_TRUE(s.photosOnDisk(kYellow).isEmpty());
}

// Whatever step fails, in every kind of drop: the photo survives intact, the lists hold
// only files that exist, nothing half-written is left, and the failure is reported.
TEST(Drop, FaultMatrix) {
    enum class Kind { Yellow, YellowBlue, Green, Trash };
    enum class Point { BlueCopy, TargetCopy, TrashCopy, UndoCopy, Flush, Verify, Rename, Delete };
    const std::pair<Kind, const char*> kinds[] = {{Kind::Yellow, "yellow"},
                                                  {Kind::YellowBlue, "yellow+blue"},
                                                  {Kind::Green, "green"},
                                                  {Kind::Trash, "trash"}};
    const std::pair<Point, const char*> points[] = {
        {Point::BlueCopy, "blue copy"},   {Point::TargetCopy, "target copy"},
        {Point::TrashCopy, "trash copy"}, {Point::UndoCopy, "undo copy"},
        {Point::Flush, "flush"},          {Point::Verify, "verify"},
        {Point::Rename, "rename"},        {Point::Delete, "delete"}};
    std::map<Point, int> trippedAt;

    for (bool cross : {false, true}) {
        for (const auto& [kind, kindName] : kinds) {
            for (const auto& [point, pointName] : points) {
                SCOPED_TRACE(std::string(kindName) + ", " + pointName +
                             (cross ? ", copy mode" : ", rename mode"));
                Scene s;
                s.ops.crossFileSystem = cross;
                if (kind == Kind::YellowBlue) s.st.png[kBlue] = kMarkBlue;
                if (kind == Kind::Green) s.st.png[kGreen] = kMarkGreen;
                const int target = kind == Kind::Green   ? kGreen
                                   : kind == Kind::Trash ? kTrashSlot
                                                         : kYellow;
                const QString p = s.put(kSourceSlot, "IMG_1.jpg", 1);
                s.put(kSourceSlot, "IMG_2.jpg", 2);
                s.load();
                const QByteArray bytes = test::readFile(p);

                switch (point) {
                case Point::BlueCopy:
                    s.ops.failOn(FileStep::CopyToTemp, inFolder(s.folder(kBlue)));
                    break;
                case Point::TargetCopy:
                    s.ops.failOn(FileStep::CopyToTemp, inFolder(s.folder(target)));
                    break;
                case Point::TrashCopy:
                    s.ops.failOn(FileStep::CopyToTemp, inFolder(s.folder(kTrashSlot)));
                    break;
                case Point::UndoCopy:
                    s.ops.failOn(FileStep::CopyToTemp, inFolder(s.undoFolder()));
                    break;
                case Point::Flush:
                    s.ops.failOn(FileStep::Flush, [](const QString& f) {
                        return f.endsWith(QStringLiteral(".part"));
                    });
                    break;
                case Point::Verify:
                    s.ops.failOn(FileStep::Verify);
                    break;
                case Point::Rename:
                    s.ops.failOn(FileStep::Rename);
                    break;
                case Point::Delete:
                    s.ops.failOn(FileStep::Remove, inFolder(s.folder(kSourceSlot)));
                    break;
                }
                const int torol500 = s.st.torol500;
                const DropOutcome out = s.drop(target);
                trippedAt[point] += s.ops.tripped;

                EXPECT_TRUE(out.volt);
                EXPECT_GE(s.copiesOf(bytes), 1);
                EXPECT_TRUE(s.leftoverTemporaries().isEmpty())
                    << qPrintable(s.leftoverTemporaries().join(' '));
                s.expectListsMatchDisk();
                if (s.ops.tripped > 0) {
                    EXPECT_FALSE(out.ok);
                    EXPECT_FALSE(out.message.isEmpty());
                    EXPECT_EQ(test::readFile(p), bytes); // the failed drop kept the photo
                    EXPECT_EQ(out.show, p);
                    EXPECT_EQ(listbox(s.st, kSourceSlot), p);
                    if (point == Point::UndoCopy) {
                        EXPECT_EQ(s.st.torol500, torol500);
                    }
                } else {
                    EXPECT_TRUE(out.ok) << qPrintable(out.message);
                    EXPECT_TRUE(out.message.isEmpty());
                }
            }
        }
    }
    for (const auto& [point, pointName] : points)
        EXPECT_GT(trippedAt[point], 0) << pointName;
}

// Each file-system call of a drop in turn fails, or is done and reported failed (a retried
// network request), on file systems with and without no-replace renames, across a bind mount
// and across file systems. Afterwards the photo is intact in some list, every list names
// exactly its folder's photos, the message tells where the photo is, and the undo counter
// counts exactly the undo copy that stays.
TEST(Drop, EveryCallFailingOrDoneThenReportedFailedKeepsThePhotoAndTheTruth) {
    enum class Kind { Yellow, YellowBlue, Green, Trash };
    enum class Fs { Local, LinkUnlink, BindMount, Cross };
    struct Case {
        Kind kind;
        Fs fs;
    };
    const Case cases[] = {
        {Kind::Yellow, Fs::Local},     {Kind::Yellow, Fs::LinkUnlink},
        {Kind::Yellow, Fs::BindMount}, {Kind::Yellow, Fs::Cross},
        {Kind::YellowBlue, Fs::Local}, {Kind::YellowBlue, Fs::LinkUnlink},
        {Kind::Green, Fs::Local},      {Kind::Trash, Fs::Local},
        {Kind::Trash, Fs::LinkUnlink}, {Kind::Trash, Fs::BindMount},
        {Kind::Trash, Fs::Cross},
    };
    for (const Case& c : cases) {
        const int target = c.kind == Kind::Green   ? kGreen
                           : c.kind == Kind::Trash ? kTrashSlot
                                                   : kYellow;
        // A scene with the photo IMG_1.jpg viewed; -1 runs the drop with no fault.
        const auto run = [&](Scene& s, int call, test::Fault how) {
            s.ops.crossFileSystem = c.fs == Fs::Cross;
            s.ops.noReplaceRename = c.fs != Fs::LinkUnlink;
            s.ops.bindMount = c.fs == Fs::BindMount;
            if (c.kind == Kind::YellowBlue) s.st.png[kBlue] = kMarkBlue;
            if (c.kind == Kind::Green) s.st.png[kGreen] = kMarkGreen;
            s.put(kSourceSlot, "IMG_1.jpg", 1);
            s.put(kSourceSlot, "IMG_2.jpg", 2);
            s.load();
            if (call >= 0) s.ops.failCall(call, how);
            return s.drop(target);
        };
        Scene clean;
        const DropOutcome cleanOut = run(clean, -1, test::Fault::Fails);
        SCOPED_TRACE(testing::Message() << "kind " << int(c.kind) << ", fs " << int(c.fs));
        EXPECT_TRUE(cleanOut.ok) << qPrintable(cleanOut.message);
        const int calls = int(clean.ops.calls.size()) + 4; // and the undoing a failure brings
        int tripped = 0;
        for (const test::Fault how : {test::Fault::Fails, test::Fault::DoneThenFails}) {
            for (int n = 0; n < calls; ++n) {
                SCOPED_TRACE(testing::Message() << "call " << n << ", fault " << int(how));
                Scene s;
                const DropOutcome out = run(s, n, how);
                tripped += s.ops.tripped;
                const QString p = s.folder(kSourceSlot) + "IMG_1.jpg";
                const bool stayed = QFileInfo::exists(p);

                EXPECT_TRUE(s.listedIntact(photo(1)));
                s.expectListsMatchDisk();
                const QString undo = s.undoFolder() + "undo1.jpg";
                EXPECT_EQ(s.st.torol500, QFileInfo::exists(undo) ? 2 : 1);
                if (QFileInfo::exists(undo)) {
                    EXPECT_EQ(test::readFile(undo), photo(1));
                }
                const test::FileCall* hit = n < int(s.ops.calls.size()) && s.ops.tripped
                                                ? &s.ops.calls[size_t(n)]
                                                : nullptr;
                const bool tempKept =
                    hit && how == test::Fault::Fails && hit->path.endsWith(".part") &&
                    (hit->step == FileStep::Remove || hit->step == FileStep::Unlink);
                if (!tempKept) {
                    EXPECT_TRUE(s.leftoverTemporaries().isEmpty());
                }
                if (out.ok) {
                    EXPECT_TRUE(out.message.isEmpty());
                    EXPECT_EQ(stayed, c.kind == Kind::Green);
                    EXPECT_EQ(test::readFile(s.folder(target) + "IMG_1.jpg"), photo(1));
                } else {
                    EXPECT_FALSE(out.message.isEmpty());
                    EXPECT_EQ(out.message.contains("A kép megmaradt itt: " + s.folder(kSourceSlot)),
                              stayed)
                        << qPrintable(out.message);
                }
                EXPECT_EQ(out.show == p, stayed && !(out.ok && c.kind == Kind::Green));
            }
        }
        EXPECT_GT(tripped, 0);
    }
}

TEST(Drop, ABlueSourceScannedWithItsSubfoldersLetsItsPhotosLeave) {
    for (const bool sameNameOnTop : {false, true}) {
        SCOPED_TRACE(sameNameOnTop);
        Scene s;
        s.st.png[kSourceSlot] = kMarkBlue;
        s.st.pirosmappa = true;
        ASSERT_TRUE(QDir(s.folder(kSourceSlot)).mkdir("sub"));
        const QString p = s.put(kSourceSlot, "sub/a.jpg", 1);
        const QString b = s.put(kSourceSlot, "b.jpg", 2);
        if (sameNameOnTop) s.put(kSourceSlot, "a.jpg", 3);
        s.load();
        s.st.lists[kSourceSlot].insert(p); // as the subfolder scan lists it
        s.view(kSourceSlot, p);

        const DropOutcome out = s.drop(kYellow);
        EXPECT_TRUE(out.ok) << qPrintable(out.message);
        EXPECT_FALSE(QFileInfo::exists(p));
        EXPECT_EQ(test::readFile(s.folder(kYellow) + "a.jpg"), photo(1));
        EXPECT_EQ(test::readFile(s.folder(kSourceSlot) + "a.jpg"), sameNameOnTop ? photo(3) : "");
        EXPECT_FALSE(s.st.lists[kSourceSlot].paths().contains(p));
        EXPECT_NE(out.show, p);
        s.expectListedFilesExist();
    }
}

// A listed link to a photo: the folder gets the photo's bytes as a file of its own, the link
// goes from the source, and the file it points to stays as it was.
TEST(Drop, ALinkedPhotoArrivesAsAFileAndItsTargetIsNeverTouched) {
    for (const int target : {kYellow, kTrashSlot}) {
        for (const bool cross : {false, true}) {
            SCOPED_TRACE(testing::Message() << target << (cross ? " copy" : " rename"));
            Scene s;
            s.ops.crossFileSystem = cross;
            ASSERT_TRUE(QDir(s.tmp.path()).mkdir("elsewhere"));
            const QString real = s.tmp.path() + "/elsewhere/real.jpg";
            ASSERT_TRUE(test::writeFile(real, photo(4)));
            const QString link = s.folder(kSourceSlot) + "l.jpg";
            ASSERT_TRUE(QFile::link("../elsewhere/real.jpg", link));
            s.load();
            const DropOutcome out = s.drop(target);
            EXPECT_TRUE(out.ok) << qPrintable(out.message);
            EXPECT_FALSE(QFileInfo(link).isSymLink());
            const QFileInfo arrived(s.folder(target) + "l.jpg");
            EXPECT_FALSE(arrived.isSymLink());
            EXPECT_EQ(test::readFile(arrived.filePath()), photo(4));
            EXPECT_EQ(test::readFile(real), photo(4));
            s.expectListsMatchDisk();
        }
    }
}

// Companions: a photo with its raw file and a sidecar travels as one group.

using test::rawBytes;
using test::sidecarBytes;

// IMG_1.JPG with IMG_1.CR2 and IMG_1.CR2.xmp in the source, and a lone IMG_2.jpg after it.
struct Group {
    QString jpg, raw, xmp;
};
Group putGroup(Scene& s, int seed = 1) {
    Group g{s.put(kSourceSlot, "IMG_1.JPG", seed),
            s.putFile(kSourceSlot, "IMG_1.CR2", rawBytes(seed)),
            s.putFile(kSourceSlot, "IMG_1.CR2.xmp", sidecarBytes(seed))};
    s.put(kSourceSlot, "IMG_2.jpg", 50);
    return g;
}

// The group stands in `folder` under the base name `stem`, byte for byte.
void expectGroupIn(const QString& folder, const QString& stem, const QString& photoExt = ".JPG",
                   int seed = 1) {
    EXPECT_EQ(test::readFile(folder + stem + photoExt), photo(seed)) << qPrintable(folder + stem);
    EXPECT_EQ(test::readFile(folder + stem + ".CR2"), rawBytes(seed)) << qPrintable(folder + stem);
    EXPECT_EQ(test::readFile(folder + stem + ".CR2.xmp"), sidecarBytes(seed));
}

TEST(DropGroup, EveryDropKindCarriesTheRawAndTheSidecarOnlyWithTheOption) {
    enum class Kind { Yellow, YellowBlue, Green, Trash };
    const std::pair<Kind, const char*> kinds[] = {{Kind::Yellow, "yellow"},
                                                  {Kind::YellowBlue, "yellow+blue"},
                                                  {Kind::Green, "green"},
                                                  {Kind::Trash, "trash"}};
    for (bool on : {true, false}) {
        for (bool cross : {false, true}) {
            for (const auto& [kind, name] : kinds) {
                SCOPED_TRACE(std::string(name) + (cross ? ", copy" : ", rename") +
                             (on ? ", option on" : ", option off"));
                Scene s;
                s.st.tarsfajlok = on;
                s.ops.crossFileSystem = cross;
                if (kind == Kind::YellowBlue) s.st.png[kBlue] = kMarkBlue;
                if (kind == Kind::Green) s.st.png[kGreen] = kMarkGreen;
                const int target = kind == Kind::Green   ? kGreen
                                   : kind == Kind::Trash ? kTrashSlot
                                                         : kYellow;
                const Group g = putGroup(s);
                s.load();
                s.st.torol500 = 17;

                const DropOutcome out = s.drop(target);
                EXPECT_TRUE(out.ok) << qPrintable(out.message);
                s.expectListsMatchDisk();
                const bool stays = kind == Kind::Green;
                EXPECT_EQ(QFileInfo::exists(g.jpg), stays);
                // Without the option the companions never move; with it they go as the photo.
                EXPECT_EQ(QFileInfo::exists(g.raw), stays || !on);
                EXPECT_EQ(QFileInfo::exists(g.xmp), stays || !on);
                QStringList receivers{s.folder(target)};
                if (kind == Kind::YellowBlue) receivers << s.folder(kBlue);
                if (kind == Kind::Trash) {
                    EXPECT_EQ(s.st.torol500, 18);
                }
                for (const QString& folder : receivers) {
                    if (on) {
                        expectGroupIn(folder, "IMG_1");
                        // The copy's entry knows its companions, so it can go on as a group.
                        const Companions listed =
                            s.st.lists[size_t(folder == s.folder(kBlue) ? kBlue : target)]
                                .companionsOf(folder + "IMG_1.JPG");
                        EXPECT_EQ(listed.size(), 2);
                    } else {
                        EXPECT_FALSE(QFileInfo::exists(folder + "IMG_1.CR2"));
                        EXPECT_FALSE(QFileInfo::exists(folder + "IMG_1.CR2.xmp"));
                    }
                }
                if (kind == Kind::Trash) { // the undo copies share the photo's number
                    EXPECT_EQ(test::readFile(s.undoFolder() + "undo17.JPG"), photo(1));
                    EXPECT_EQ(QFileInfo::exists(s.undoFolder() + "undo17.CR2"), on);
                    EXPECT_EQ(QFileInfo::exists(s.undoFolder() + "undo17.CR2.xmp"), on);
                    if (on) expectGroupIn(s.undoFolder(), "undo17");
                }
            }
        }
    }
}

TEST(DropGroup, AFailureAtAnyStepOfACompanionsCopyKeepsTheWholeGroupAtItsSource) {
    enum class Kind { Yellow, YellowBlue, Green, Trash, Undo };
    const std::pair<Kind, const char*> kinds[] = {{Kind::Yellow, "yellow"},
                                                  {Kind::YellowBlue, "blue copy"},
                                                  {Kind::Green, "green"},
                                                  {Kind::Trash, "trash copy"},
                                                  {Kind::Undo, "undo copy"}};
    const std::pair<FileStep, const char*> steps[] = {{FileStep::CopyToTemp, "copy"},
                                                      {FileStep::Flush, "flush"},
                                                      {FileStep::Verify, "verify"},
                                                      {FileStep::Rename, "rename"}};
    int tripped = 0;
    for (bool cross : {false, true}) {
        for (const auto& [kind, kindName] : kinds) {
            for (const auto& [step, stepName] : steps) {
                SCOPED_TRACE(std::string(kindName) + ", " + stepName + (cross ? ", copy" : ""));
                Scene s;
                s.st.tarsfajlok = true;
                s.ops.crossFileSystem = cross;
                if (kind == Kind::YellowBlue) s.st.png[kBlue] = kMarkBlue;
                if (kind == Kind::Green) s.st.png[kGreen] = kMarkGreen;
                const int target = kind == Kind::Green                         ? kGreen
                                   : kind == Kind::Trash || kind == Kind::Undo ? kTrashSlot
                                                                               : kYellow;
                const QString where = kind == Kind::YellowBlue ? s.folder(kBlue)
                                      : kind == Kind::Undo     ? s.undoFolder()
                                                               : s.folder(target);
                const Group g = putGroup(s);
                s.load();
                const int torol500 = s.st.torol500;
                // The raw file's step fails in that folder; the photo's would succeed.
                s.ops.failOn(step, [&](const QString& p) {
                    return levalasztodir(p) == where && p.contains(QStringLiteral(".CR2")) &&
                           !p.endsWith(QStringLiteral("xmp"));
                });
                const DropOutcome out = s.drop(target);
                tripped += s.ops.tripped;
                if (s.ops.tripped == 0) continue; // a rename mode move has no copy to fail
                EXPECT_FALSE(out.ok);
                EXPECT_TRUE(out.message.contains(QStringLiteral(".CR2")))
                    << qPrintable(out.message);
                expectGroupIn(s.folder(kSourceSlot), "IMG_1");
                // Nothing of the group is left anywhere else, and no temporary file.
                EXPECT_EQ(s.copiesOf(photo(1)), 1);
                EXPECT_EQ(s.copiesOf(rawBytes(1)), 1);
                EXPECT_EQ(s.copiesOf(sidecarBytes(1)), 1);
                EXPECT_TRUE(s.leftoverTemporaries().isEmpty());
                EXPECT_EQ(s.st.torol500, torol500);
                EXPECT_EQ(listbox(s.st, kSourceSlot), g.jpg);
                s.expectListsMatchDisk();
            }
        }
    }
    EXPECT_GE(tripped, 34); // every case but the rename mode's copies of a move
}

TEST(DropGroup, ACompanionsNameTakenIsTheGroupsClash) {
    enum class Kind { Yellow, GreenRenamed, GreenDeclined, Trash };
    const std::pair<Kind, const char*> kinds[] = {{Kind::Yellow, "yellow refuses"},
                                                  {Kind::GreenRenamed, "green renames"},
                                                  {Kind::GreenDeclined, "green declined"},
                                                  {Kind::Trash, "trash renames"}};
    for (bool cross : {false, true}) {
        for (const auto& [kind, name] : kinds) {
            SCOPED_TRACE(std::string(name) + (cross ? ", copy" : ", rename"));
            Scene s;
            s.st.tarsfajlok = true;
            s.ops.crossFileSystem = cross;
            const bool green = kind == Kind::GreenRenamed || kind == Kind::GreenDeclined;
            if (green) s.st.png[kGreen] = kMarkGreen;
            const int target = green ? kGreen : kind == Kind::Trash ? kTrashSlot : kYellow;
            const Group g = putGroup(s);
            // Only the raw file's name is taken there, by another raw file.
            const QString other = s.putFile(target, "IMG_1.CR2", rawBytes(9));
            s.load();

            const DropOutcome out = s.drop(target, kind == Kind::GreenRenamed);
            EXPECT_EQ(test::readFile(other), rawBytes(9));
            s.expectListsMatchDisk();
            switch (kind) {
            case Kind::Yellow:
                EXPECT_FALSE(out.ok);
                EXPECT_TRUE(out.message.contains(other)) << qPrintable(out.message);
                expectGroupIn(s.folder(kSourceSlot), "IMG_1");
                EXPECT_FALSE(QFileInfo::exists(s.folder(target) + "IMG_1.JPG"));
                break;
            case Kind::GreenRenamed:
            case Kind::Trash:
                EXPECT_TRUE(s.plan.needsRenameQuestion == green);
                EXPECT_TRUE(out.ok) << qPrintable(out.message);
                expectGroupIn(s.folder(target), "IMG_1_");
                EXPECT_EQ(QFileInfo::exists(g.raw), green);
                break;
            case Kind::GreenDeclined:
                EXPECT_TRUE(s.plan.needsRenameQuestion);
                expectGroupIn(s.folder(kSourceSlot), "IMG_1");
                EXPECT_EQ(QDir(s.folder(target)).entryList(QDir::Files), QStringList{"IMG_1.CR2"});
                break;
            }
        }
    }
}

} // namespace
} // namespace kps
