#include "core/sources/commandline.h"

#include "support/testphotos.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace kps {
namespace {

TEST(CommandLine, EachKindOfArgument) {
    QTemporaryDir tmp;
    const QString root = tmp.path();
    QDir().mkpath(root + "/fotók/nyár");
    ASSERT_TRUE(test::writeJpeg(root + "/fotók/nyár/IMG_1.JPG", 8, 8));
    ASSERT_TRUE(test::writeFile(root + "/fotók/notes.txt", "x"));
    const QString folder = root + "/fotók/nyár/";
    const QString photo = folder + "IMG_1.JPG";
    const struct {
        const char* what;
        QStringList args;
        StartAction action;
        QString folder;
        QString photo;
        const char* error; // a word the message holds, or "" for none
    } cases[] = {
        {"nothing", {}, StartAction::Run, {}, {}, ""},
        {"an empty word", {""}, StartAction::Run, {}, {}, ""},
        {"--help", {"--help"}, StartAction::Help, {}, {}, ""},
        {"-h beside a folder", {folder, "-h"}, StartAction::Help, {}, {}, ""},
        {"--version", {"--version"}, StartAction::Version, {}, {}, ""},
        {"help wins over version", {"-v", "--help"}, StartAction::Help, {}, {}, ""},
        {"a folder", {folder}, StartAction::Run, folder, {}, ""},
        {"a folder without its slash", {root + "/fotók/nyár"}, StartAction::Run, folder, {}, ""},
        {"a relative folder", {"fotók/./nyár/../nyár"}, StartAction::Run, folder, {}, ""},
        {"a photo in a folder", {photo}, StartAction::Run, folder, photo, ""},
        {"a relative photo after --",
         {"--", "fotók/nyár/IMG_1.JPG"},
         StartAction::Run,
         folder,
         photo,
         ""},
        {"a missing path", {root + "/nincs"}, StartAction::Run, {}, {}, "Nincs ilyen"},
        {"a file that is no photo",
         {root + "/fotók/notes.txt"},
         StartAction::Run,
         {},
         {},
         "Nem JPEG"},
        {"an unknown option", {"--gyors", folder}, StartAction::Run, {}, {}, "--gyors"},
        {"two paths", {folder, photo}, StartAction::Run, {}, {}, "Csak egy"},
    };
    for (const auto& c : cases) {
        const CommandLine got = parseCommandLine(c.args, root);
        EXPECT_EQ(got.action, c.action) << c.what;
        EXPECT_EQ(got.folder, c.folder) << c.what;
        EXPECT_EQ(got.photo, c.photo) << c.what;
        if (*c.error)
            EXPECT_TRUE(got.error.contains(QString::fromUtf8(c.error))) << c.what;
        else
            EXPECT_TRUE(got.error.isEmpty()) << c.what << ": " << got.error.toStdString();
    }
}

TEST(CommandLine, HelpAndVersionSpeakHungarian) {
    EXPECT_TRUE(helpText().startsWith(QStringLiteral("Használat: kovrin-photo-sorter")));
    EXPECT_TRUE(helpText().contains(QStringLiteral("--version")));
    EXPECT_TRUE(helpText().contains(QStringLiteral(".config/kovrin-photo-sorter/")));
    EXPECT_TRUE(versionText(QStringLiteral("1.2.3"))
                    .startsWith(QStringLiteral("Kovrin Photo Sorter 1.2.3 verzió\nLicenc: ")));
    EXPECT_TRUE(versionText(QStringLiteral("1.2.3")).contains(QStringLiteral("GPL-3.0-or-later")));
}

} // namespace
} // namespace kps
