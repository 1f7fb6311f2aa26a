// A drop's file work runs behind the window: the window moves on at the release, a failure
// afterwards puts the photo back and says so, and closing waits for the work.

#include "dragdriver.h"

#include "app/widgets.h"
#include "core/dropqueue.h"
#include "core/faultyfileops.h"
#include "core/folderscan.h"
#include "turnstile.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <condition_variable>
#include <mutex>

using namespace kps;
using kps::test::Drag;
using kps::test::WindowFixture;

namespace {

// Holds the drop worker before each job until opened: a drive that has not answered yet.
class Gate {
  public:
    void hold(MainWindow& w) {
        w.dropQueue().setWorkerHook([this](const DropJob&) {
            std::unique_lock lock(mutex_);
            ++waiting_;
            opened_.wait(lock, [this] { return open_; });
        });
    }
    void open() {
        std::lock_guard lock(mutex_);
        open_ = true;
        opened_.notify_all();
    }
    bool someoneWaits() {
        std::lock_guard lock(mutex_);
        return waiting_ > 0;
    }
    ~Gate() { open(); }

  private:
    std::mutex mutex_;
    std::condition_variable opened_;
    bool open_ = false;
    int waiting_ = 0;
};

QString field(WindowFixture& fx, const QString& name) {
    return fx.find<QLabel>(name)->text();
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

} // namespace

class BackgroundTest : public QObject {
    Q_OBJECT

  private slots:
    // The user moved on before the work failed: the photo is back in its list and on disk,
    // the message says where, and the viewer stays where the user is.
    void aFailureAfterMovingOnPutsThePhotoBack() {
        test::FaultyFileOps faulty;
        faulty.crossFileSystem = true;
        Environment env;
        env.fileOps = &faulty;
        WindowFixture fx;
        MainWindow& w = test::startSized(fx, {}, env);
        Gate gate;
        gate.hold(w);
        const QString p = put(fx, 0, "IMG_1.jpg", 1);
        put(fx, 0, "IMG_2.jpg", 2);
        const QString third = put(fx, 0, "IMG_3.jpg", 3);
        fx.load();
        const QByteArray bytes = test::readFile(p);
        faulty.failOn(test::FileStep::Flush, test::inFolder(fx.slotFolder(1)));

        Drag(fx).press().toSlot(1).releaseOnly();
        QCOMPARE(w.state().globalnev, fx.slotFolder(0) + "IMG_2.jpg"); // at once
        QCOMPARE(w.state().lists[1].count(), 1);
        QVERIFY(field(fx, "StatusPending").startsWith(QStringLiteral("Hátravan: 1 kép")));
        QTest::keyClick(&w, Qt::Key_Space);
        QCOMPARE(w.state().globalnev, third);

        gate.open();
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
        Environment env;
        env.fileOps = &faulty;
        WindowFixture fx;
        MainWindow& w = test::startSized(fx, {}, env);
        Gate gate;
        gate.hold(w);
        const QString p = put(fx, 0, "IMG_1.jpg", 1);
        const QString second = put(fx, 0, "IMG_2.jpg", 2);
        fx.load();
        faulty.failOn(test::FileStep::Flush, test::inFolder(fx.slotFolder(1)));
        Drag(fx).press().toSlot(1).releaseOnly();
        QCOMPARE(w.state().globalnev, second);

        Drag drag(fx);
        drag.press().toSlot(2);
        gate.open();
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
        WindowFixture fx;
        MainWindow& w = test::startSized(fx);
        Gate gate;
        gate.hold(w);
        const QString p = put(fx, 0, "IMG_1.jpg", 1);
        put(fx, 0, "IMG_2.jpg", 2);
        fx.load();
        Drag(fx).press().toSlot(1).releaseOnly();

        test::Turnstile reads;
        const QString later = fx.slotFolder(2);
        w.folderScan().setWorkerHook([&](const QString& folder) {
            if (folder == later) reads.wait();
        });
        w.SpeedButton1Click(1);
        reads.waitForArrivals(1); // the source and folder 1 are read: the drop is not done
        gate.open();
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
        WindowFixture fx;
        MainWindow& w = test::startSized(fx);
        Gate gate;
        gate.hold(w);
        const QString p = put(fx, 0, "IMG_1.jpg", 1);
        put(fx, 0, "IMG_2.jpg", 2);
        fx.load();
        const QByteArray bytes = test::readFile(p);
        Drag(fx).press().toSlot(1).releaseOnly();
        QVERIFY(QTest::qWaitFor([&] { return gate.someoneWaits(); }));

        view(fx, 1);
        const QString atOne = fx.slotFolder(1) + "IMG_1.jpg";
        QVERIFY(!QFile::exists(atOne));
        QCOMPARE(w.state().globalnev, atOne);
        QVERIFY(!w.state().dError);
        QVERIFY(test::component(fx, "Panel1")->isVisible());
        QCOMPARE(field(fx, "StatusField1"), QStringLiteral("IMG_1.jpg"));
        QCOMPARE(field(fx, "StatusField2"), QStringLiteral("64x48"));

        Drag(fx).press().toSlot(2).releaseOnly();
        QCOMPARE(w.pendingDrops().count(), 2);
        QVERIFY(field(fx, "StatusPending").startsWith(QStringLiteral("Hátravan: 2 kép")));
        gate.open();
        QVERIFY(settled(w));
        QCOMPARE(test::readFile(fx.slotFolder(2) + "IMG_1.jpg"), bytes);
        QVERIFY(!QFile::exists(p));
        QVERIFY(!QFile::exists(atOne));
        QCOMPARE(test::listsVersusDisk(w), QString());
    }

    // Closing with work pending shows its progress and finishes it before the settings are
    // written and the Trash is emptied.
    void closingFinishesThePendingWorkFirst() {
        WindowFixture fx;
        MainWindow& w = test::startSized(fx);
        Gate gate;
        gate.hold(w);
        const QString p = put(fx, 0, "IMG_1.jpg", 1);
        fx.load();
        const QByteArray bytes = test::readFile(p);
        QFile::remove(fx.settingsFile());
        Drag(fx).press().toSlot(8).releaseOnly();

        QVERIFY(!fx.close());
        auto* progress = w.findChild<QProgressDialog*>(QStringLiteral("CloseProgress"));
        QVERIFY(progress);
        QVERIFY(progress->isVisible());
        QVERIFY(w.isVisible());
        QVERIFY(!QFile::exists(fx.settingsFile()));

        gate.open();
        QVERIFY(QTest::qWaitFor([&] { return !w.isVisible(); }, 10000));
        const QString undo = fx.slotFolder(8) + kUndoFolderName + u'/' + "undo1.jpg";
        QCOMPARE(test::readFile(undo), bytes);
        QVERIFY(!QFile::exists(p));
        QVERIFY(!QFile::exists(fx.slotFolder(8) + "IMG_1.jpg")); // the Trash was emptied
        QVERIFY(test::iniLines(fx.settingsFile()).contains(QStringLiteral("torol500=2")));
    }

    // Not waiting: the drops not started stay undone, and the Trash keeps its photos while a
    // drop may still be copying into it.
    void quittingAtOnceLeavesEveryPhotoWhole() {
        WindowFixture fx;
        MainWindow& w = test::startSized(fx);
        Gate gate;
        gate.hold(w);
        const QString first = put(fx, 0, "IMG_1.jpg", 1);
        const QString second = put(fx, 0, "IMG_2.jpg", 2);
        const QString old = put(fx, 8, "OLD.jpg", 9); // in the Trash since an earlier run
        fx.load();
        Drag(fx).press().toSlot(8).releaseOnly();
        Drag(fx).press().toSlot(1).releaseOnly();
        QVERIFY(QTest::qWaitFor([&] { return gate.someoneWaits(); }));

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
        gate.open(); // the drive answers after all: the running drop completes
        QVERIFY(QTest::qWaitFor([&] { return !QFile::exists(first); }, 10000));
        QVERIFY(QFile::exists(fx.slotFolder(8) + "IMG_1.jpg"));
    }
};

QTEST_MAIN(BackgroundTest)
#include "tst_background.moc"
