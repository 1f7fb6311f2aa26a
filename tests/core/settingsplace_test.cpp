#include "core/settings/settingsplace.h"

#include "core/files/nativepath.h"

#include "support/testphotos.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace kps {
namespace {

TEST(SettingsPlace, TheRuleForEveryKindOfProgramFolder) {
    const QString copy = QStringLiteral("/media/stick/sorter/");
    const QString bin = QStringLiteral("/usr/bin/");
    const UserFolders xdg{QStringLiteral("/home/anna/cfg"), QStringLiteral("/home/anna")};
    const UserFolders unset{{}, QStringLiteral("/home/anna")};
    const UserFolders relative{QStringLiteral("cfg"), QStringLiteral("/home/anna")};
    const UserFolders nothing{{}, {}};
    const QString inXdg = QStringLiteral("/home/anna/cfg/kovrin-photo-sorter/");
    const QString inHome = QStringLiteral("/home/anna/.config/kovrin-photo-sorter/");
    const struct {
        const char* what;
        ProgramFolder program;
        UserFolders user;
        SettingsPlace place;
        QString dir;
        QString seed;
    } cases[] = {
        {"copied folder without settings.ini",
         {copy, false, true, false},
         xdg,
         SettingsPlace::BesideProgram,
         copy,
         {}},
        {"copied folder with settings.ini",
         {copy, false, true, true},
         xdg,
         SettingsPlace::BesideProgram,
         copy,
         {}},
        {"installed", {bin, true, false, false}, xdg, SettingsPlace::UserConfig, inXdg, {}},
        {"installed, run as root (writable)",
         {bin, true, true, false},
         xdg,
         SettingsPlace::UserConfig,
         inXdg,
         {}},
        {"installed with a stray settings.ini",
         {bin, true, true, true},
         xdg,
         SettingsPlace::UserConfig,
         inXdg,
         {}},
        {"unwritable copy", {copy, false, false, false}, xdg, SettingsPlace::UserConfig, inXdg, {}},
        {"unwritable copy carrying settings.ini",
         {copy, false, false, true},
         xdg,
         SettingsPlace::UserConfig,
         inXdg,
         copy + "settings.ini"},
        {"XDG_CONFIG_HOME unset or empty",
         {bin, true, false, false},
         unset,
         SettingsPlace::UserConfig,
         inHome,
         {}},
        {"XDG_CONFIG_HOME relative",
         {bin, true, false, false},
         relative,
         SettingsPlace::UserConfig,
         inHome,
         {}},
        {"no home folder known",
         {bin, true, false, false},
         nothing,
         SettingsPlace::BesideProgram,
         bin,
         {}},
    };
    for (const auto& c : cases) {
        const SettingsFolder got = settingsFolder(c.program, c.user);
        EXPECT_EQ(got.place, c.place) << c.what;
        EXPECT_EQ(got.dir, c.dir) << c.what;
        EXPECT_EQ(got.seedFrom, c.seed) << c.what;
    }
}

// A prefix laid out as an installation leaves it: bin/ and the program's data folder.
struct InstalledTree {
    QTemporaryDir tmp;
    QString prefix = tmp.path() + QStringLiteral("/usr");
    InstalledTree() {
        QDir().mkpath(prefix + QStringLiteral("/bin"));
        QDir().mkpath(prefix + QStringLiteral("/share/kovrin-photo-sorter"));
    }
};

TEST(SettingsPlace, AnInstallationIsKnownByItsBinaryAndDataFolders) {
    InstalledTree tree;
    const InstallLayout layout;
    EXPECT_EQ(installPrefix(tree.prefix + "/bin/", layout), tree.prefix);
    EXPECT_EQ(installPrefix(tree.prefix + "/bin", layout), tree.prefix);
    const ProgramFolder installed = lookAtProgramFolder(tree.prefix + "/bin", layout);
    EXPECT_TRUE(installed.installed);
    EXPECT_EQ(installed.dir, tree.prefix + "/bin/");

    // A bin folder without the data folder beside it, and the build folder, are copies.
    QDir().mkpath(tree.tmp.path() + "/home/bin");
    QDir().mkpath(tree.tmp.path() + "/build");
    EXPECT_TRUE(installPrefix(tree.tmp.path() + "/home/bin/", layout).isEmpty());
    EXPECT_TRUE(installPrefix(tree.tmp.path() + "/build/", layout).isEmpty());
    EXPECT_TRUE(installPrefix(tree.prefix + "/share/", layout).isEmpty());
    const ProgramFolder copy = lookAtProgramFolder(tree.tmp.path() + "/build", layout);
    EXPECT_FALSE(copy.installed);
    EXPECT_TRUE(copy.writable);
    EXPECT_FALSE(copy.hasSettings);
    ASSERT_TRUE(test::writeFile(tree.tmp.path() + "/build/settings.ini", "[ablak]\n"));
    EXPECT_TRUE(lookAtProgramFolder(tree.tmp.path() + "/build", layout).hasSettings);
    EXPECT_FALSE(lookAtProgramFolder(tree.tmp.path() + "/missing", layout).writable);
}

TEST(SettingsPlace, TheConfigurationFolderIsMadePrivateAndSeededOnce) {
    QTemporaryDir tmp;
    const QString seed = tmp.path() + QStringLiteral("/stick/settings.ini");
    QDir().mkpath(tmp.path() + QStringLiteral("/stick"));
    ASSERT_TRUE(test::writeFile(seed, "[panel]\npanel1=Forrás\n"));
    const QString dir = tmp.path() + QStringLiteral("/cfg/deeper/kovrin-photo-sorter/");
    ASSERT_TRUE(prepareSettingsFolder({SettingsPlace::UserConfig, dir, seed}));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(dir).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(test::readFile(dir + "settings.ini"), QByteArray("[panel]\npanel1=Forrás\n"));

    // The user's own file is never replaced by the seed.
    ASSERT_TRUE(test::writeFile(dir + "settings.ini", "[ablak]\nwidth=700\n"));
    ASSERT_TRUE(prepareSettingsFolder({SettingsPlace::UserConfig, dir, seed}));
    EXPECT_EQ(test::readFile(dir + "settings.ini"), QByteArray("[ablak]\nwidth=700\n"));

    // A folder that cannot be made is told.
    ASSERT_TRUE(test::writeFile(tmp.path() + "/file", "x"));
    EXPECT_FALSE(prepareSettingsFolder({SettingsPlace::UserConfig, tmp.path() + "/file/sub/", {}}));
}

TEST(SettingsPlace, OnlyAnInstalledProgramOpensItsInstalledHelpPage) {
    InstalledTree tree;
    const InstallLayout layout;
    EXPECT_TRUE(installedHelpPage(tree.prefix + "/bin/", layout).isEmpty()); // not there yet
    const QString page = tree.prefix + QStringLiteral("/share/kovrin-photo-sorter/help_hu.html");
    ASSERT_TRUE(test::writeFile(page, "<html></html>"));
    EXPECT_EQ(installedHelpPage(tree.prefix + "/bin/", layout), page);
    EXPECT_TRUE(installedHelpPage(tree.tmp.path() + "/", layout).isEmpty());
}

// The environment's folders and the program's own come by their bytes, whatever they are.
TEST(SettingsPlace, FoldersOfTheEnvironmentKeepTheirBytes) {
    const QByteArray oldHome = qgetenv("HOME"), oldXdg = qgetenv("XDG_CONFIG_HOME");
    const QByteArray home = "/home/\xe1rv\357\273\277", xdg = "/c\357\273\277\xe9/";
    qputenv("HOME", home);
    qputenv("XDG_CONFIG_HOME", xdg);
    const UserFolders user = userFoldersOfEnvironment();
    qputenv("HOME", oldHome);
    qputenv("XDG_CONFIG_HOME", oldXdg);
    EXPECT_EQ(nativePath(user.home), home);
    EXPECT_EQ(nativePath(user.xdgConfigHome), xdg);

    const QString program = executableFolder();
    EXPECT_TRUE(program.endsWith(QLatin1Char('/')));
    EXPECT_TRUE(pathFacts(program + QStringLiteral("core_tests")).isFile);
}

} // namespace
} // namespace kps
