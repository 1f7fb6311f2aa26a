// What an installed program adds: starting from a folder or photo named on the command line,
// closing on SIGTERM, and the help page from the data folder.

#include "app/closesignals.h"
#include "app/startarguments.h"
#include "support/testphotos.h"
#include "support/uitest.h"

#include <QDesktopServices>
#include <QLabel>
#include <QTest>
#include <csignal>

using namespace kps;
using kps::test::WindowFixture;

class InstalledProgramTest : public QObject {
    Q_OBJECT

  private slots:
    void aPhotoLoadsItsFolderAndIsShownFirst() {
        WindowFixture fx;
        MainWindow& w = fx.startWithFolders();
        const QString dir = fx.folder(QStringLiteral("nyár"));
        for (const char* name : {"a.jpg", "b.jpg", "c.JPEG"})
            QVERIFY(test::writeJpeg(dir + name, 40, 30));
        const QString photo = dir + QStringLiteral("b.jpg");

        QCOMPARE(openFromCommandLine(w, parseCommandLine({photo}, QStringLiteral("/"))), QString());
        fx.waitForScan();
        QCOMPARE(fx.find<QLabel>(QStringLiteral("path1"))->text(), dir);
        QVERIFY(!w.state().megsemmi);
        QCOMPARE(w.state().lists[0].count(), 3);
        QCOMPARE(w.state().index[0], 1);
        QCOMPARE(w.state().s1, photo);
        QCOMPARE(fx.find<QLabel>(QStringLiteral("StatusField0"))->text(), QStringLiteral("2/3"));
        QVERIFY(fx.close());
        QVERIFY(test::iniLines(fx.settingsFile()).contains(QStringLiteral("path0=") + dir));
    }

    void aFolderLoadsFromItsFirstPhoto() {
        WindowFixture fx;
        MainWindow& w = fx.startWithFolders();
        const QString dir = fx.folder(QStringLiteral("tél"));
        QVERIFY(test::writeJpeg(dir + "b.jpg", 40, 30));
        QVERIFY(test::writeJpeg(dir + "a.jpg", 40, 30));
        QCOMPARE(openFromCommandLine(w, parseCommandLine({dir}, QStringLiteral("/"))), QString());
        fx.waitForScan();
        QCOMPARE(w.state().s1, dir + QStringLiteral("a.jpg"));
        QVERIFY(!fx.find<QWidget>(QStringLiteral("Panel20"))->isVisible());
    }

    void aBadArgumentIsToldAndNothingLoads() {
        WindowFixture fx;
        MainWindow& w = fx.startWithFolders();
        w.resize(1700, 600);
        const QString missing = fx.folder(QStringLiteral("x")) + QStringLiteral("nincs.jpg");
        const QString told = openFromCommandLine(w, parseCommandLine({missing}, "/"));
        QVERIFY(told.startsWith(QStringLiteral("Nincs ilyen mappa vagy fájl")));
        // Whole in the message field, as on the terminal.
        auto* message = fx.find<QLabel>(QStringLiteral("StatusMessage"));
        QCoreApplication::processEvents();
        QVERIFY(message->isVisible());
        QCOMPARE(message->toolTip(), told);
        QCOMPARE(message->text(), told);
        QVERIFY(w.state().megsemmi);
        QCOMPARE(fx.find<QLabel>(QStringLiteral("path1"))->text(), fx.slotFolder(0));
    }

    void aFolderOfAnotherRowIsNotLoaded() {
        WindowFixture fx;
        MainWindow& w = fx.startWithFolders();
        const QString told =
            openFromCommandLine(w, parseCommandLine({fx.slotFolder(3)}, QStringLiteral("/")));
        QVERIFY(told.contains(fx.slotFolder(3)));
        QVERIFY(w.state().megsemmi);
        QVERIFY(fx.find<QWidget>(QStringLiteral("Panel20"))->isVisible()); // its red row shows
    }

    void terminationClosesAsTheUserWould() {
        WindowFixture fx;
        MainWindow& w = fx.start();
        closeOnTerminationSignals(&w);
        QVERIFY(!QFile::exists(fx.settingsFile()));
        ::raise(SIGTERM);
        QTRY_VERIFY(!w.isVisible());
        QVERIFY(QFile::exists(fx.settingsFile()));
    }

    void theInstalledHelpPageOpensWhereItIs() {
        WindowFixture fx;
        const QString page =
            fx.folder(QStringLiteral("share/kovrin-photo-sorter")) + "help_hu.html";
        QVERIFY(test::writeFile(page, "<html></html>"));
        Environment env;
        env.helpPage = page;
        fx.start(env);
        QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "openedUrl");
        fx.window().Label1Click();
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QCOMPARE(opened_, QList<QUrl>{QUrl::fromLocalFile(page)});
    }

  public slots:
    void openedUrl(const QUrl& url) { opened_.append(url); }

  private:
    QList<QUrl> opened_;
};

QTEST_MAIN(InstalledProgramTest)
#include "tst_installed.moc"
