// A drop's file work runs behind the window: the window moves on at the release, a failure
// afterwards puts the photo back and says so, and closing waits for the work.

#include "dragdriver.h"

#include "app/widgets.h"
#include "core/drop/dropqueue.h"
#include "core/faultyfileops.h"
#include "core/files/filecallguard.h"
#include "core/sources/folderscan.h"
#include "turnstile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <atomic>
#include <thread>
#include <tuple>

using namespace kps;
using kps::test::Drag;
using kps::test::WindowFixture;

namespace {

QString field(WindowFixture& fx, const QString& name) {
    const auto* label = fx.find<QLabel>(name);
    const auto* elided = qobject_cast<const ElidedLabel*>(label);
    return elided ? elided->fullText() : label->text();
}

QString put(WindowFixture& fx, int slot, const QString& name, int seed) {
    const QString path = fx.slotFolder(slot) + name;
    if (!test::writeJpeg(path, 64, 48, seed)) qFatal("cannot write %s", qPrintable(path));
    return path;
}

void view(WindowFixture& fx, int slot) {
    QTest::mouseClick(fx.find<PanelPicture>(QStringLiteral("Image%1").arg(10 + slot)),
                      Qt::LeftButton, {}, QPoint(5, 5));
}

bool settled(MainWindow& w) {
    return QTest::qWaitFor([&w] { return w.pendingDrops().empty(); }, 10000);
}

// A window with photos IMG_1.. loaded from the source, whose drop worker waits at a turnstile
// before each drop, as a drive that has not answered yet.
struct Held {
    explicit Held(int count, FileOps* ops = nullptr) {
        Environment env;
        env.fileOps = ops;
        w = &test::startSized(fx, {}, env);
        w->dropQueue().setWorkerHook([this](const DropJob&) { drops.wait(); });
        for (int i = 1; i <= count; ++i)
            photos << put(fx, 0, QStringLiteral("IMG_%1.jpg").arg(i), i);
        fx.load();
    }
    ~Held() { drops.open(); } // a worker still waiting goes on before the window goes
    void dropOn(int slot) { Drag(fx).press().toSlot(slot).releaseOnly(); }

    WindowFixture fx;
    MainWindow* w = nullptr;
    test::Turnstile drops;
    QStringList photos;
};

} // namespace

class BackgroundTest : public QObject {
    Q_OBJECT

  private slots:
    // The user moved on before the work failed: the photo is back in its list and on disk,
    // the message says where, and the viewer stays where the user is.
    void aFailureAfterMovingOnPutsThePhotoBack() {
        test::FaultyFileOps faulty;
        faulty.crossFileSystem = true;
        Held h(3, &faulty);
        auto [fx, w, p, third] = std::tie(h.fx, *h.w, h.photos[0], h.photos[2]);
        const QByteArray bytes = test::readFile(p);
        faulty.failOn(test::FileStep::Flush, test::inFolder(fx.slotFolder(1)));

        h.dropOn(1);
        QCOMPARE(w.state().globalnev, fx.slotFolder(0) + "IMG_2.jpg"); // at once
        QCOMPARE(w.state().lists[1].count(), 1);
        QVERIFY(field(fx, "StatusPending").startsWith(QStringLiteral("Hátravan: 1 kép")));
        QTest::keyClick(&w, Qt::Key_Space);
        QCOMPARE(w.state().globalnev, third);

        h.drops.open();
        QVERIFY(settled(w));
        QCOMPARE(test::readFile(p), bytes);
        QCOMPARE(test::listsVersusDisk(w), QString());
        QVERIFY(w.state().lists[0].paths().contains(p));
        QCOMPARE(w.state().globalnev, third);
        QCOMPARE(field(fx, "StatusField0"), QStringLiteral("3/3"));
        const QString message = test::statusMessage(w);
        QVERIFY2(message.contains(QStringLiteral("Nem sikerült")), qPrintable(message));
        QVERIFY2(message.contains(QStringLiteral("A kép megmaradt itt: ") + fx.slotFolder(0)),
                 qPrintable(message));
        QCOMPARE(field(fx, "StatusPending"), QString());
    }

    // A result that comes during a drag waits for its release: the drag's plan is made against
    // the lists it started with.
    void aResultDuringADragWaitsForTheRelease() {
        test::FaultyFileOps faulty;
        faulty.crossFileSystem = true;
        Held h(2, &faulty);
        auto [fx, w, p, second] = std::tie(h.fx, *h.w, h.photos[0], h.photos[1]);
        faulty.failOn(test::FileStep::Flush, test::inFolder(fx.slotFolder(1)));
        h.dropOn(1);
        QCOMPARE(w.state().globalnev, second);

        Drag drag(fx);
        drag.press().toSlot(2);
        h.drops.open();
        QVERIFY(QTest::qWaitFor([&] { return faulty.tripped > 0 && !w.dropQueue().busy(); }));
        QTest::qWait(50);
        QVERIFY(!w.state().lists[0].paths().contains(p)); // held back
        QCOMPARE(w.pendingDrops().count(), 1);
        drag.release();
        QVERIFY(QFile::exists(fx.slotFolder(2) + "IMG_2.jpg"));
        QVERIFY(!QFile::exists(second));
        QVERIFY(w.state().lists[0].paths().contains(p));
        QCOMPARE(test::listsVersusDisk(w), QString());
    }

    // A load that read a folder before a drop's work was done there gets that work's result
    // after its lists: they match the disk in the end.
    void aDropDoneWhileALoadReadsTheFoldersIsSettledAfterIt() {
        Held h(2);
        auto [fx, w, p] = std::tie(h.fx, *h.w, h.photos[0]);
        h.dropOn(1);

        test::Turnstile reads;
        const QString later = fx.slotFolder(2);
        w.folderScan().setWorkerHook([&](const QString& folder) {
            if (folder == later) reads.wait();
        });
        w.SpeedButton1Click(1);
        reads.waitForArrivals(1); // the source and folder 1 are read: the drop is not done
        h.drops.open();
        QVERIFY(QTest::qWaitFor([&] { return !QFile::exists(p); }));
        QTest::qWait(50);
        reads.open();
        fx.waitForScan();
        QVERIFY(settled(w));
        QCOMPARE(test::listsVersusDisk(w), QString());
        QVERIFY(w.state().lists[1].paths().contains(fx.slotFolder(1) + "IMG_1.jpg"));
    }

    // A photo whose move is pending shows in its new folder from where its bytes are, and a
    // second drop of it waits for the first.
    void aPendingPhotoCanBeViewedAndDraggedOn() {
        Held h(2);
        auto [fx, w, p] = std::tie(h.fx, *h.w, h.photos[0]);
        const QByteArray bytes = test::readFile(p);
        h.dropOn(1);
        h.drops.waitForArrivals(1);

        view(fx, 1);
        const QString atOne = fx.slotFolder(1) + "IMG_1.jpg";
        QVERIFY(!QFile::exists(atOne));
        QCOMPARE(w.state().globalnev, atOne);
        QVERIFY(!w.state().dError);
        QVERIFY(test::component(fx, "Panel1")->isVisible());
        QCOMPARE(field(fx, "StatusField1"), QStringLiteral("IMG_1.jpg"));
        QCOMPARE(field(fx, "StatusField2"), QStringLiteral("64x48"));

        h.dropOn(2);
        QCOMPARE(w.pendingDrops().count(), 2);
        QVERIFY(field(fx, "StatusPending").startsWith(QStringLiteral("Hátravan: 2 kép")));
        h.drops.open();
        QVERIFY(settled(w));
        QCOMPARE(test::readFile(fx.slotFolder(2) + "IMG_1.jpg"), bytes);
        QVERIFY(!QFile::exists(p));
        QVERIFY(!QFile::exists(atOne));
        QCOMPARE(test::listsVersusDisk(w), QString());
    }

    // Closing with work pending shows its progress and finishes it before the settings are
    // written and the Trash is emptied.
    void closingFinishesThePendingWorkFirst() {
        Held h(1);
        auto [fx, w, p] = std::tie(h.fx, *h.w, h.photos[0]);
        const QByteArray bytes = test::readFile(p);
        QFile::remove(fx.settingsFile());
        h.dropOn(8);

        QVERIFY(!fx.close());
        auto* progress = w.findChild<QProgressDialog*>(QStringLiteral("CloseProgress"));
        QVERIFY(progress);
        QVERIFY(progress->isVisible());
        QVERIFY(w.isVisible());
        QVERIFY(!QFile::exists(fx.settingsFile()));

        h.drops.open();
        QVERIFY(QTest::qWaitFor([&] { return !w.isVisible(); }, 10000));
        const QString undo = fx.slotFolder(8) + kUndoFolderName + u'/' + "undo1.jpg";
        QCOMPARE(test::readFile(undo), bytes);
        QVERIFY(!QFile::exists(p));
        QVERIFY(!QFile::exists(fx.slotFolder(8) + "IMG_1.jpg")); // the Trash was emptied
        QVERIFY(test::iniLines(fx.settingsFile()).contains(QStringLiteral("torol500=2")));
    }

    // The close after a failed settings write quits, but still not before the drops released
    // since are done.
    void aCloseAfterAFailedWriteStillWaitsForTheWork() {
        Held h(1);
        auto [fx, w, first] = std::tie(h.fx, *h.w, h.photos[0]);
        h.drops.open();
        QFile::remove(fx.settingsFile());
        QVERIFY(QDir().mkpath(fx.settingsFile())); // the settings cannot be written
        QVERIFY(!fx.close());
        QVERIFY(w.isVisible());
        test::Turnstile later;
        w.dropQueue().setWorkerHook([&](const DropJob&) { later.wait(); });
        h.dropOn(1);
        QVERIFY(!fx.close());
        QVERIFY(w.findChild<QProgressDialog*>(QStringLiteral("CloseProgress")));
        QVERIFY(QFile::exists(first));
        later.open();
        QVERIFY(QTest::qWaitFor([&] { return !w.isVisible(); }, 10000));
        QVERIFY(!QFile::exists(first));
        QVERIFY(QFile::exists(fx.slotFolder(1) + "IMG_1.jpg"));
    }

    // Not waiting: the drops not started stay undone, the running one stops at its next step,
    // and the Trash keeps its photos while a drop may still be at work there.
    void quittingAtOnceLeavesEveryPhotoWhole() {
        Held h(2);
        auto [fx, w, first, second] = std::tie(h.fx, *h.w, h.photos[0], h.photos[1]);
        const QString old = put(fx, 8, "OLD.jpg", 9); // in the Trash since an earlier run
        h.dropOn(8);
        h.dropOn(1);
        h.drops.waitForArrivals(1);

        QVERIFY(!fx.close());
        auto* progress = w.findChild<QProgressDialog*>(QStringLiteral("CloseProgress"));
        QVERIFY(progress);
        auto* quit = progress->findChild<QPushButton*>();
        QVERIFY(quit);
        QCOMPARE(quit->text(), QStringLiteral("Kilépés most"));
        QTest::mouseClick(quit, Qt::LeftButton);
        QVERIFY(QTest::qWaitFor([&] { return !w.isVisible(); }, 10000));
        QVERIFY(QFile::exists(old));
        QVERIFY(QFile::exists(fx.settingsFile()));
        QVERIFY(QFile::exists(second)); // its drop never started
        QVERIFY(!QFile::exists(fx.slotFolder(1) + "IMG_2.jpg"));
        h.drops.open(); // the drive answers after all: the running drop stops before its steps
        QVERIFY(QTest::qWaitFor([&] { return !w.dropQueue().busy(); }, 10000));
        QTest::qWait(50);
        QVERIFY(QFile::exists(first));
        QVERIFY(!QFile::exists(fx.slotFolder(8) + "IMG_1.jpg"));
    }

    // A card that stalls every file call for seconds never holds the window: after start-up its
    // thread makes no file call on a photo or a photo folder (one would stop the program here)
    // while the user steps, drops, opens the menu, loads and closes, and it keeps answering.
    void aStalledCardNeverHoldsTheWindow() {
        test::FaultyFileOps faulty;
        const auto stalled = std::make_shared<std::atomic<bool>>(false);
        Held h(5, &faulty);
        auto [fx, w] = std::tie(h.fx, *h.w);
        faulty.beforeCall = [card = fx.slotFolder(4), stalled](const test::FileCall& call) {
            if (levalasztodir(call.path) == card && !stalled->exchange(true))
                std::this_thread::sleep_for(std::chrono::seconds(3));
        };
        w.folderScan().setWorkerHook([card = fx.slotFolder(4)](const QString& folder) {
            if (folder == card) std::this_thread::sleep_for(std::chrono::seconds(3));
        });
        w.state().png[2] = kMarkBlue;
        h.drops.open();
        QElapsedTimer clock;
        qint64 last = 0, longest = 0;
        QTimer probe;
        connect(&probe, &QTimer::timeout, [&] {
            longest = std::max(longest, clock.elapsed() - last);
            last = clock.elapsed();
        });
        clock.start();
        probe.start(1);
        setFileCallRule(FileCallRule::Fatal);

        h.dropOn(4); // its work waits for the card
        for (int i = 0; i < 2; ++i)
            QTest::keyClick(&w, Qt::Key_Space);
        h.dropOn(1);
        h.dropOn(8);
        w.Panel22Click();
        QTRY_VERIFY(fx.find<QWidget>(QStringLiteral("Panel20"))->isVisible());
        w.Panel22Click();
        w.SpeedButton1Click(1); // the card's folder is read slowly too
        QVERIFY(QTest::qWaitFor([&] { return !w.scanning() && w.pendingDrops().empty(); }, 20000));
        QVERIFY(fx.close());
        setFileCallRule(FileCallRule::Allowed);
        probe.stop();
        QCOMPARE(fileCallsOnThisThread(), 0);
        // Far below the card's three seconds: the window never waited for it.
        QVERIFY2(longest < 1000, qPrintable(QString::number(longest)));
        QVERIFY(QFile::exists(fx.slotFolder(4) + "IMG_1.jpg"));
        QVERIFY(QFile::exists(fx.slotFolder(2) + "IMG_1.jpg"));
    }

    // A drop stopped half-way by quitting takes back the copy it had already written.
    void quittingAtOnceTakesBackAHalfDoneDrop() {
        test::FaultyFileOps faulty;
        faulty.crossFileSystem = true; // copies, the yellow one first
        test::Turnstile secondCopy;
        Held h(1, &faulty);
        auto [fx, w, p] = std::tie(h.fx, *h.w, h.photos[0]);
        const QByteArray bytes = test::readFile(p);
        faulty.beforeCall = [&, blue = fx.slotFolder(2)](const test::FileCall& call) {
            if (call.step == test::FileStep::CopyToTemp && levalasztodir(call.path) == blue)
                secondCopy.wait();
        };
        w.state().png[2] = kMarkBlue;
        h.drops.open();
        h.dropOn(1);
        secondCopy.waitForArrivals(1);
        QVERIFY(QFile::exists(fx.slotFolder(1) + "IMG_1.jpg"));

        QVERIFY(!fx.close());
        auto* progress = w.findChild<QProgressDialog*>(QStringLiteral("CloseProgress"));
        QVERIFY(progress);
        QTest::mouseClick(progress->findChild<QPushButton*>(), Qt::LeftButton);
        QVERIFY(QTest::qWaitFor([&] { return !w.isVisible(); }, 10000));
        secondCopy.open();
        QVERIFY(QTest::qWaitFor([&] { return !w.dropQueue().busy(); }, 10000));
        QTest::qWait(50);
        QCOMPARE(test::readFile(p), bytes);
        QVERIFY(!QFile::exists(fx.slotFolder(1) + "IMG_1.jpg"));
        QVERIFY(!QFile::exists(fx.slotFolder(2) + "IMG_1.jpg"));
        QStringList parts;
        for (int slot : {1, 2})
            parts << QDir(fx.slotFolder(slot)).entryList({"*.part"}, QDir::Files | QDir::Hidden);
        QVERIFY2(parts.isEmpty(), qPrintable(parts.join(u' ')));
    }
};

QTEST_MAIN(BackgroundTest)
#include "tst_background.moc"
