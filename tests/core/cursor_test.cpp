#include "core/state/cursor.h"

#include <functional>
#include <gtest/gtest.h>

namespace kps {
namespace {

// A state whose slot 2 holds n photos named /p/f00.jpg .. in order.
AppState stateWith(int n) {
    AppState st;
    QStringList paths;
    for (int i = 0; i < n; ++i)
        paths << QStringLiteral("/p/f%1.jpg").arg(i, 2, 10, QChar(u'0'));
    st.lists[2].assign(paths);
    return st;
}

TEST(ListboxEmpty, ShowsNoPhotoAndClearsSizeAndDate) {
    AppState st;
    st.status = {"9/9", "name.jpg", "800x600", "2020.01.01", "dir"};
    st.index[4] = -3;
    EXPECT_EQ(listbox(st, 4), kNoPhoto);
    EXPECT_EQ(st.index[4], 0);
    EXPECT_EQ(st.status[0], "0/0");
    EXPECT_TRUE(st.status[2].isEmpty());
    EXPECT_TRUE(st.status[3].isEmpty());
    EXPECT_EQ(st.status[1], "name.jpg"); // the viewer owns fields 1 and 4
    EXPECT_EQ(st.status[4], "dir");
}

TEST(ListboxEmpty, KeepsACursorAboveZeroUntilTheListFills) {
    AppState st;
    st.index[2] = 5;
    EXPECT_EQ(listbox(st, 2), kNoPhoto);
    EXPECT_EQ(st.index[2], 5);
    st.lists[2].assign({"/p/a.jpg", "/p/b.jpg"});
    EXPECT_EQ(listbox(st, 2), "/p/b.jpg");
    EXPECT_EQ(st.index[2], 1);
}

struct MoveCase {
    const char* name;
    int start;
    std::function<void(AppState&, int)> move;
    int stored;   // cursor right after the move, before listbox clamps it
    int position; // cursor after listbox
    const char* shown;
};

class CursorMoves : public ::testing::TestWithParam<MoveCase> {};

TEST_P(CursorMoves, MoveThenListboxClampsWithoutWrapping) {
    const MoveCase& c = GetParam();
    AppState st = stateWith(17);
    st.index[2] = c.start;
    c.move(st, 2);
    EXPECT_EQ(st.index[2], c.stored);
    EXPECT_EQ(listbox(st, 2), st.lists[2].at(c.position));
    EXPECT_EQ(st.index[2], c.position);
    EXPECT_EQ(st.status[0], QString::fromUtf8(c.shown));
}

INSTANTIATE_TEST_SUITE_P(
    OnSeventeen, CursorMoves,
    ::testing::Values(MoveCase{"IncOnLast", 16, IncIndex, 17, 16, "17/17"},
                      MoveCase{"IncInside", 3, IncIndex, 4, 4, "5/17"},
                      MoveCase{"DecAtZero", 0, DecIndex, 0, 0, "1/17"},
                      MoveCase{"DecInside", 5, DecIndex, 4, 4, "5/17"},
                      MoveCase{"Minus10AtZero", 0, Minus10Index, -10, 0, "1/17"},
                      MoveCase{"Minus10OnThree", 3, Minus10Index, -7, 0, "1/17"},
                      MoveCase{"Minus10OnSixteen", 16, Minus10Index, 6, 6, "7/17"},
                      MoveCase{"Plus10OnTwelve", 12, Plus10Index, 22, 16, "17/17"},
                      MoveCase{"Plus10OnTwo", 2, Plus10Index, 12, 12, "13/17"},
                      MoveCase{"Home", 9, HomeIndex, 0, 0, "1/17"},
                      MoveCase{"End", 2, EndIndex, 16, 16, "17/17"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CursorMoves, EndOnEmptyStoresMinusOneThenListboxStoresZero) {
    AppState st;
    EndIndex(st, 6);
    EXPECT_EQ(st.index[6], -1);
    EXPECT_EQ(listbox(st, 6), kNoPhoto);
    EXPECT_EQ(st.index[6], 0);
}

TEST(CursorMoves, OtherSlotNumbersChangeNothing) {
    AppState st = stateWith(3);
    for (int bad : {-1, 9, 100}) {
        IncIndex(st, bad);
        DecIndex(st, bad);
        HomeIndex(st, bad);
        EndIndex(st, bad);
        Plus10Index(st, bad);
        Minus10Index(st, bad);
        listboxdelete(st, bad);
        dirXindex(st, bad, 7);
        EXPECT_EQ(listbox(st, bad), kNoPhoto);
        EXPECT_TRUE(dirXPeek(st, bad).isEmpty());
    }
    EXPECT_EQ(st.lists[2].count(), 3);
    EXPECT_EQ(st.index, AppState().index);
}

TEST(ListboxDelete, CursorThenPointsAtTheFollowingEntry) {
    AppState st = stateWith(5);
    st.index[2] = 1;
    listboxdelete(st, 2);
    EXPECT_EQ(st.index[2], 1);
    EXPECT_EQ(listbox(st, 2), "/p/f02.jpg");
    EXPECT_EQ(st.status[0], "2/4");
}

TEST(ListboxDelete, OnTheLastEntryListboxMovesToTheNewLast) {
    AppState st = stateWith(5);
    st.index[2] = 4;
    listboxdelete(st, 2);
    EXPECT_EQ(listbox(st, 2), "/p/f03.jpg");
    EXPECT_EQ(st.index[2], 3);
    EXPECT_EQ(st.status[0], "4/4");
}

TEST(ListboxDelete, OutOfRangeCursorDeletesNothing) {
    AppState st = stateWith(5);
    for (int c : {-1, 5}) {
        st.index[2] = c;
        listboxdelete(st, 2);
        EXPECT_EQ(st.lists[2].count(), 5) << c;
    }
}

struct SplitCase {
    const char* path;
    const char* file;
    const char* dir;
    const char* kit;
};

class PathSplitters : public ::testing::TestWithParam<SplitCase> {};

TEST_P(PathSplitters, SplitAtTheLastSeparatorOrDot) {
    const SplitCase& c = GetParam();
    const QString s = QString::fromUtf8(c.path);
    EXPECT_EQ(levalasztofile(s), QString::fromUtf8(c.file));
    EXPECT_EQ(levalasztodir(s), QString::fromUtf8(c.dir));
    EXPECT_EQ(levalasztokit(s), QString::fromUtf8(c.kit));
}

INSTANTIATE_TEST_SUITE_P(Paths, PathSplitters,
                         ::testing::Values(SplitCase{"/media/x/Photos/IMG_1.JPG", "IMG_1.JPG",
                                                     "/media/x/Photos/", ".JPG"},
                                           SplitCase{"/media/x/Trip.2019/IMG", "IMG",
                                                     "/media/x/Trip.2019/", ".2019/IMG"},
                                           SplitCase{"IMG_1.JPG", "", "", ".JPG"},
                                           SplitCase{"/media/x/", "", "/media/x/", ""},
                                           SplitCase{"/a.b/c.d.jpeg", "c.d.jpeg", "/a.b/", ".jpeg"},
                                           SplitCase{"", "", "", ""}));

TEST(Listboxkereso, MatchesTheFileNameExactlyIgnoringTheFolder) {
    PhotoList list;
    list.assign({"/a/IMG_1.JPG", "/b/IMG_1.JPG", "/b/img_2.jpg"});
    EXPECT_EQ(listboxkereso(list, "/other/IMG_1.JPG"), 0); // the first of two
    EXPECT_EQ(listboxkereso(list, "/b/img_2.jpg"), 2);
    EXPECT_EQ(listboxkereso(list, "/a/img_1.jpg"), -1); // letter case counts
    EXPECT_EQ(listboxkereso(list, "/a/IMG_1"), -1);
    EXPECT_EQ(listboxkereso(list, "img_2.jpg"), -1); // a bare name has no file-name part
    EXPECT_EQ(listboxkereso(PhotoList(), "/a/IMG_1.JPG"), -1);
}

TEST(PhotoListOrder, InsertKeepsAscendingCaseInsensitiveOrder) {
    PhotoList list;
    EXPECT_EQ(list.insert("/p/c.jpg"), 0);
    EXPECT_EQ(list.insert("/p/A.jpg"), 0);
    EXPECT_EQ(list.insert("/p/b.JPG"), 1);
    EXPECT_EQ(list.insert("/p/B2.jpg"), 2);
    EXPECT_EQ(list.insert("/P/z.jpg"), 4); // the folder part is compared too
    EXPECT_EQ(list.paths(),
              (QStringList{"/p/A.jpg", "/p/b.JPG", "/p/B2.jpg", "/p/c.jpg", "/P/z.jpg"}));
}

TEST(PhotoListOrder, AssignSortsLikeInsertAndReplacesTheContent) {
    const QStringList input{"/p/undo10.jpg", "/p/B.jpg", "/p/undo1.jpg", "/p/a.jpg", "/p/b.jpg"};
    PhotoList inserted;
    for (const QString& p : input)
        inserted.insert(p);
    PhotoList assigned;
    assigned.assign({"/old/x.jpg"});
    assigned.assign(input);
    EXPECT_EQ(assigned.paths(), inserted.paths());
    EXPECT_EQ(assigned.paths(),
              (QStringList{"/p/a.jpg", "/p/B.jpg", "/p/b.jpg", "/p/undo1.jpg", "/p/undo10.jpg"}));
}

TEST(PhotoListOrder, IndexOfFindsOnlyTheExactPath) {
    PhotoList list;
    list.assign({"/p/B.jpg", "/p/a.jpg", "/p/b.jpg", "/q/a.jpg"});
    EXPECT_EQ(list.indexOf("/p/a.jpg"), 0);
    EXPECT_EQ(list.indexOf("/p/B.jpg"), 1);
    EXPECT_EQ(list.indexOf("/p/b.jpg"), 2); // names that differ only in case are told apart
    EXPECT_EQ(list.indexOf("/q/a.jpg"), 3);
    EXPECT_EQ(list.indexOf("/p/A.jpg"), -1);
    EXPECT_EQ(list.indexOf("/p/c.jpg"), -1);
    EXPECT_EQ(PhotoList().indexOf("/p/a.jpg"), -1);
}

TEST(PhotoListOrder, RemoveAtOutsideTheListIsIgnored) {
    PhotoList list;
    list.assign({"/p/a.jpg", "/p/b.jpg"});
    list.removeAt(-1);
    list.removeAt(2);
    list.removeAt(0);
    EXPECT_EQ(list.paths(), QStringList{"/p/b.jpg"});
}

TEST(SlotLookups, MarkFolderAndCursorBySlot) {
    AppState st;
    st.png[3] = kMarkGreen;
    st.dirs[8] = "/t/";
    EXPECT_EQ(mappaszinszam(st, 3), kMarkGreen);
    EXPECT_EQ(mappaszinszam(st, 0), kMarkYellow);
    EXPECT_EQ(mappaszinszam(st, kTrashSlot), 0);
    EXPECT_EQ(mappaszinszam(st, -1), 0);
    EXPECT_EQ(dirXPeek(st, kTrashSlot), "/t/");
    dirXindex(st, 5, 12);
    EXPECT_EQ(st.index[5], 12);
}

} // namespace
} // namespace kps
