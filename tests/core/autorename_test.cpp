#include "core/drop/autorename.h"

#include <gtest/gtest.h>

namespace kps {
namespace {

PhotoList listOf(const QStringList& paths) {
    PhotoList l;
    l.assign(paths);
    return l;
}

TEST(AutoRename, InsertsUnderscoresBeforeTheFileNamesLastDot) {
    struct Case {
        const char* name;
        QString nev;
        QStringList listed;
        QString expected;
    };
    const Case cases[] = {
        {"free name kept", "/p/IMG_1.jpg", {"/p/IMG_2.jpg"}, "/p/IMG_1.jpg"},
        {"empty list", "/p/IMG_1.jpg", {}, "/p/IMG_1.jpg"},
        {"one clash", "/p/IMG_1.jpg", {"/p/IMG_1.jpg"}, "/p/IMG_1_.jpg"},
        {"two clashes", "/p/IMG_1.jpg", {"/p/IMG_1.jpg", "/p/IMG_1_.jpg"}, "/p/IMG_1__.jpg"},
        {"letter case ignored", "/p/img_1.JPG", {"/P/IMG_1.jpg"}, "/p/img_1_.JPG"},
        {"only the last dot", "/p/IMG.2.jpg", {"/p/IMG.2.jpg"}, "/p/IMG.2_.jpg"},
        {"no dot: before the file name", "/p/IMG", {"/p/IMG"}, "/p/_IMG"},
        {"dotted folder, plain name", "/p.q/IMG", {"/p.q/IMG"}, "/p.q/_IMG"},
        {"dotted folder, dotted name", "/p.q/IMG.jpg", {"/p.q/IMG.jpg"}, "/p.q/IMG_.jpg"},
        {"no folder, no dot", "IMG", {"IMG"}, "_IMG"},
        {"whole paths compared", "/p/IMG_1.jpg", {"/q/IMG_1.jpg"}, "/p/IMG_1.jpg"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(autoRename(c.nev, listOf(c.listed)), c.expected);
    }
}

TEST(AutoRename, StopsAfterThirtyOneUnderscoresEvenWhenStillTaken) {
    QStringList taken;
    QString name = QStringLiteral("/p/a.jpg");
    for (int i = 0; i <= 40; ++i) {
        taken << name;
        name.insert(name.lastIndexOf(u'.'), u'_');
    }
    const QString got = autoRename(QStringLiteral("/p/a.jpg"), listOf(taken));
    EXPECT_EQ(got, "/p/a" + QString(kMaxRenameUnderscores, u'_') + ".jpg");

    taken.resize(kMaxRenameUnderscores); // the 31-underscore name is now free
    EXPECT_EQ(autoRename(QStringLiteral("/p/a.jpg"), listOf(taken)), got);
    taken.resize(kMaxRenameUnderscores - 1);
    EXPECT_EQ(autoRename(QStringLiteral("/p/a.jpg"), listOf(taken)),
              "/p/a" + QString(kMaxRenameUnderscores - 1, u'_') + ".jpg");
}

TEST(AutoRename, AlsoAvoidsNamesTheCallerReportsTaken) {
    const PhotoList list = listOf({"/p/IMG_1.jpg"});
    auto onDisk = [](const QString& p) { return p == "/p/IMG_1_.jpg" || p == "/p/IMG_1__.jpg"; };
    EXPECT_EQ(autoRename("/p/IMG_1.jpg", list, onDisk), "/p/IMG_1___.jpg");
    EXPECT_EQ(autoRename("/p/IMG_1.jpg", PhotoList(), onDisk), "/p/IMG_1.jpg");
    EXPECT_EQ(autoRename("/p/IMG_1_.jpg", PhotoList(), onDisk), "/p/IMG_1___.jpg");
}

TEST(AutoRename, NameListedIgnoresLetterCaseButNotTheFolder) {
    const PhotoList list = listOf({"/p/Photo.JPG", "/q/x.jpg"});
    EXPECT_TRUE(nameListed("/P/photo.jpg", list));
    EXPECT_FALSE(nameListed("/q/photo.jpg", list));
    EXPECT_FALSE(nameListed("/p/Photo.JPG", PhotoList()));
}

} // namespace
} // namespace kps
