// A load reads its folders in the background: the window keeps working while a slow folder is
// read, the source panel tells how far the scan got, and a newer load or a close wins.

#include "dragdriver.h"
#include "support/testphotos.h"
#include "support/turnstile.h"
#include "support/uitest.h"

#include "app/widgets.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <memory>

using namespace kps;
using kps::test::Turnstile;
using kps::test::WindowFixture;

class LoadScanTest : public QObject {
    Q_OBJECT

    static PanelPicture* picture(WindowFixture& fx, int slot) {
        return fx.find<PanelPicture>(QStringLiteral("Image%1").arg(10 + slot));
    }
    static QString statusField(WindowFixture& fx, int i) {
        return fx.find<QLabel>(QStringLiteral("StatusField%1").arg(i))->text();
    }
    // Every folder read of the scans started from now on waits at the gate.
    static std::shared_ptr<Turnstile> holdScans(MainWindow& w) {
        auto gate = std::make_shared<Turnstile>();
        w.folderScan().setWorkerHook([gate](const QString&) { gate->wait(); });
        return gate;
    }
    // Lets the held scan go and handles whatever it posted; it was cancelled, so nothing.
    static void releaseCancelled(MainWindow& w, Turnstile& gate) {
        w.folderScan().setWorkerHook({});
        gate.open();
        QVERIFY(w.folderScan().waitForWorker(std::chrono::seconds(20)));
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
    static void writePhotos(WindowFixture& fx) {
        QVERIFY(test::writeJpeg(fx.slotFolder(0) + "a.jpg", 40, 30));
        QVERIFY(test::writeJpeg(fx.slotFolder(0) + "b.jpg", 40, 30));
        QDir().mkpath(fx.slotFolder(0) + "sub");
        QVERIFY(test::writeJpeg(fx.slotFolder(0) + "sub/c.jpg", 40, 30));
        QVERIFY(test::writeJpeg(fx.slotFolder(2) + "t.jpg", 40, 30));
    }

  private slots:
    void stalledScanKeepsTheWindowWorkingAndTellsItsProgress() {
        WindowFixture fx;
        MainWindow& w = fx.startWithFolders();
        writePhotos(fx);
        fx.load(); // a first load, whose photo and lists go at the next
        QCOMPARE(w.state().lists[0].count(), 2);
        QVERIFY(fx.find<QWidget>(QStringLiteral("Panel1"))->isVisible());
        QVERIFY(w.updatesEnabled());

        fx.find<QCheckBox>(QStringLiteral("CheckBox1"))->setChecked(true);
        auto gate = holdScans(w);
        w.SpeedButton1Click(1);
        QVERIFY(w.scanning());
        // The load's empty start stays off the screen for a moment, then shows the search.
        QVERIFY(!w.updatesEnabled());
        QTRY_VERIFY(w.updatesEnabled());
        gate->waitForArrivals(1); // held before the source's top folder
        // The lists are empty at once: no photo, nothing to step through or drag.
        for (int slot = 0; slot < 9; ++slot)
            QVERIFY(w.state().lists[size_t(slot)].isEmpty());
        QCOMPARE(w.state().s1, QStringLiteral("*"));
        QVERIFY(!fx.find<QWidget>(QStringLiteral("Panel1"))->isVisible());
        QCOMPARE(statusField(fx, 0), QStringLiteral("0/0"));
        QCOMPARE(picture(fx, 0)->text(), QStringLiteral("Forrás (Keresés... 0)"));
        QCOMPARE(picture(fx, 2)->text(), QStringLiteral("Mappa2 (0/0)"));

        // The window's thread goes on handling events and keys meanwhile.
        bool ticked = false;
        QTimer::singleShot(0, &w, [&] { ticked = true; });
        QTRY_VERIFY(ticked);
        QTest::keyClick(&w, Qt::Key_Right);
        QCOMPARE(w.state().s1, QStringLiteral("*"));
        test::dropOnSlot(fx, 2); // even a drag that reaches the photo's place moves nothing
        QVERIFY(!w.state().mozg);
        QVERIFY(QFile::exists(fx.slotFolder(0) + "a.jpg"));
        QVERIFY(!QFile::exists(fx.slotFolder(2) + "a.jpg"));
        QVERIFY(w.state().lists[2].isEmpty());

        // The top folder read, held at the subfolder: the panel follows the count.
        gate->pass();
        gate->waitForArrivals(2);
        QTRY_COMPARE(picture(fx, 0)->text(), QStringLiteral("Forrás (Keresés... 2)"));
        QVERIFY(w.scanning());
        QVERIFY(w.state().lists[0].isEmpty()); // nothing arrives before the whole scan

        gate->open();
        fx.waitForScan();
        QCOMPARE(w.state().lists[0].count(), 3);
        QCOMPARE(w.state().lists[2].count(), 1);
        QCOMPARE(w.state().s1, fx.slotFolder(0) + "a.jpg");
        QVERIFY(fx.find<QWidget>(QStringLiteral("Panel1"))->isVisible());
        QCOMPARE(picture(fx, 0)->text(), QStringLiteral("Forrás (1/3)"));
        QCOMPARE(statusField(fx, 0), QStringLiteral("1/3"));
    }

    void panelClickedDuringTheScanGivesWayToTheSource() {
        WindowFixture fx;
        MainWindow& w = fx.startWithFolders();
        writePhotos(fx);
        auto gate = holdScans(w);
        w.SpeedButton1Click(1);
        gate->waitForArrivals(1);
        w.Panel10MouseDown(2);
        QCOMPARE(w.state().indexpanel, 2);
        gate->open();
        fx.waitForScan();
        QCOMPARE(w.state().indexpanel, 0);
        QVERIFY(w.state().panelState[0] == PanelState::Selected);
        QVERIFY(w.state().panelState[2] == PanelState::Normal);
        QCOMPARE(w.state().s1, fx.slotFolder(0) + "a.jpg");
    }

    void secondLoadDuringAStalledScanWins() {
        WindowFixture fx;
        MainWindow& w = fx.startWithFolders();
        writePhotos(fx);
        fx.find<QCheckBox>(QStringLiteral("CheckBox1"))->setChecked(true);
        auto gate = holdScans(w);
        w.SpeedButton1Click(1); // with subfolders: would list three photos
        gate->waitForArrivals(1);

        w.folderScan().setWorkerHook({});
        fx.find<QCheckBox>(QStringLiteral("CheckBox1"))->setChecked(false);
        fx.load(); // the top folder alone: two photos
        QCOMPARE(w.state().lists[0].count(), 2);
        QVERIFY(!w.state().pirosmappa);

        releaseCancelled(w, *gate);
        QVERIFY(!w.scanning());
        QCOMPARE(w.state().lists[0].count(), 2);
        QCOMPARE(picture(fx, 0)->text(), QStringLiteral("Forrás (1/2)"));
    }

    // A close that does not happen (the settings cannot be written) still cancels the load:
    // the lists it took come back whole, with the place the user was at.
    void aCancelledReloadPutsItsListsBack() {
        WindowFixture fx;
        MainWindow& w = fx.startWithFolders();
        writePhotos(fx);
        fx.load();
        QTest::keyClick(&w, Qt::Key_Space);
        auto gate = holdScans(w);
        w.SpeedButton1Click(1);
        gate->waitForArrivals(1);
        QVERIFY(w.state().lists[0].isEmpty());
        QFile::remove(fx.settingsFile());
        QVERIFY(QDir().mkpath(fx.settingsFile())); // the settings cannot be written
        QVERIFY(!fx.close());
        QVERIFY(!w.scanning());
        QCOMPARE(w.state().lists[0].count(), 2);
        QCOMPARE(w.state().lists[2].count(), 1);
        QCOMPARE(picture(fx, 0)->text(), QStringLiteral("Forrás (2/2)"));
        QCOMPARE(w.state().s1, fx.slotFolder(0) + "b.jpg");
        releaseCancelled(w, *gate);
        QCOMPARE(w.state().lists[0].count(), 2);
    }

    void closeDuringAStalledScanClosesAndDestroysNothing() {
        WindowFixture fx;
        MainWindow& w = fx.startWithFolders();
        writePhotos(fx);
        QVERIFY(test::writeJpeg(fx.slotFolder(8) + "trash.jpg", 40, 30));
        auto gate = holdScans(w);
        w.SpeedButton1Click(1);
        gate->waitForArrivals(1);

        // The scan is still held: the close does not wait for it.
        QVERIFY(fx.close());
        QVERIFY(!w.isVisible());
        QVERIFY(!w.scanning());
        QVERIFY(QFile::exists(fx.settingsFile()));
        QVERIFY(!QFile::exists(fx.slotFolder(8) + "trash.jpg")); // the Trash empties as always
        for (const char* name : {"a.jpg", "b.jpg", "sub/c.jpg"})
            QVERIFY(QFile::exists(fx.slotFolder(0) + name));
        QVERIFY(QFile::exists(fx.slotFolder(2) + "t.jpg"));

        releaseCancelled(w, *gate);
        for (int slot = 0; slot < 9; ++slot)
            QVERIFY(w.state().lists[size_t(slot)].isEmpty());
        QCOMPARE(w.state().s1, QStringLiteral("*"));
    }
};

QTEST_MAIN(LoadScanTest)
#include "tst_loadscan.moc"
