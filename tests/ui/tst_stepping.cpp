// Stepping through photos that are not decoded yet: the window keeps answering, the photo of the
// last press is the one shown, and "Loading..." appears only after a wait the user notices.

#include "dragdriver.h"

#include "app/widgets.h"
#include "core/files/filecallguard.h"
#include "core/photo/photocache.h"

#include <QLabel>
#include <QMutex>
#include <QSet>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <cerrno>

using namespace kps;
using kps::test::WindowFixture;

namespace {

// A hook on the viewer's decoding thread standing for a slow device: a request for one of the
// held photos waits until the test lets it go (or, if asked, until the request is abandoned).
struct Gate {
    Gate(QSet<QString> heldPaths, bool untilStopped)
        : held(std::move(heldPaths)), untilStop(untilStopped) {}

    PhotoCache::RequestHook hook() {
        return [this](const QString& path, const std::atomic<bool>& stop) {
            {
                QMutexLocker lock(&mutex);
                seen << path;
            }
            if (!held.contains(path)) return;
            entered = true;
            // Bounded, so a fault shows as a failed check rather than a hung test.
            for (int i = 0; i < 20000 && !released && !(untilStop && stop); ++i)
                QThread::msleep(1);
            if (stop) {
                QMutexLocker lock(&mutex);
                stopped << path;
            }
        };
    }
    QStringList seenPaths() {
        QMutexLocker lock(&mutex);
        return seen;
    }
    QStringList stoppedPaths() {
        QMutexLocker lock(&mutex);
        return stopped;
    }

    const QSet<QString> held;
    const bool untilStop;
    std::atomic<bool> entered{false};
    std::atomic<bool> released{false};
    QMutex mutex;
    QStringList seen, stopped;
};

} // namespace

class SteppingTest : public QObject {
    Q_OBJECT

    static QString field(WindowFixture& fx, int i) {
        return fx.find<QLabel>(QStringLiteral("StatusField%1").arg(i))->text();
    }
    static QString caption(WindowFixture& fx) {
        return fx.find<ViewerArea>(QStringLiteral("Panel2"))->caption();
    }
    static QWidget* frame(WindowFixture& fx) { return fx.find<QWidget>(QStringLiteral("Panel1")); }
    static PhotoView* photo(WindowFixture& fx) {
        return fx.find<PhotoView>(QStringLiteral("Image1"));
    }
    static QSize sizeOf(int i) { return QSize(40 + 8 * i, 30 + 6 * i); }
    static QString sizeText(int i) {
        return QStringLiteral("%1x%2").arg(sizeOf(i).width()).arg(sizeOf(i).height());
    }
    static QString name(int i) { return QStringLiteral("p%1.jpg").arg(i); }

    // `count` photos of different sizes, loaded, with the first shown and nothing else decoded:
    // the prefetch worker is held, so every later photo is decoded by the viewer's request.
    static MainWindow& loadedCold(WindowFixture& fx, int count) {
        MainWindow& w = test::startSized(fx);
        for (int i = 0; i < count; ++i)
            test::writeJpeg(fx.slotFolder(0) + name(i), sizeOf(i).width(), sizeOf(i).height(), i);
        fx.load();
        // The worker's prefetch of the second photo is over before it is held: no decode of it
        // can start later and count in the tests' figures.
        if (!QTest::qWaitFor(
                [&] { return w.photoCache().isCached(fx.slotFolder(0) + name(1), QSize(1, 1)); }))
            qWarning("the second photo was never decoded in advance");
        w.photoCache().setPaused(true);
        w.photoCache().clear();
        return w;
    }

    // Lets the decode's result in while no timer may fire, so "Loading..." cannot come however
    // slow the machine is; false when the photo never came.
    static bool arrivesWithoutTimers(MainWindow& w) {
        for (int i = 0; i < 20000 && w.photoPending(); ++i) {
            QCoreApplication::sendPostedEvents();
            if (w.photoPending()) QThread::msleep(1);
        }
        return !w.photoPending();
    }

  private slots:
    // Presses while the decode stalls are handled at once: each shows its position and name, and
    // no drag starts from the frame. In the end only the last press's photo is decoded and shown;
    // the one that was decoding is abandoned and never kept.
    void burstShowsOnlyTheLastPhoto() {
        WindowFixture fx;
        MainWindow& w = loadedCold(fx, 6);
        const QString folder = fx.slotFolder(0);
        Gate gate({folder + name(1)}, false);
        w.photoCache().setRequestHook(gate.hook());
        const int decodesBefore = w.photoCache().decodeCount();

        QTest::keyClick(&w, Qt::Key_Space);
        QTRY_VERIFY(gate.entered);
        for (int i = 2; i <= 4; ++i) {
            QTest::keyClick(&w, Qt::Key_Space);
            QCOMPARE(field(fx, 0), QStringLiteral("%1/6").arg(i + 1));
            QCOMPARE(field(fx, 1), name(i));
            QCOMPARE(field(fx, 2), QString()); // told by the decoding thread, which is held
            QCOMPARE(field(fx, 4), folder);
            QVERIFY(w.photoPending());
        }
        QTest::mousePress(photo(fx), Qt::LeftButton, {}, QPoint(2, 2));
        QVERIFY(!w.state().mozg);
        QTest::mouseRelease(photo(fx), Qt::LeftButton, {}, QPoint(2, 2));

        gate.released = true;
        QVERIFY(test::waitForPhoto(w));
        QCOMPARE(photo(fx)->fullSize(), sizeOf(4));
        QCOMPARE(field(fx, 2), sizeText(4));
        QVERIFY(frame(fx)->isVisible());
        QCOMPARE(caption(fx), QString());
        QCOMPARE(gate.seenPaths(), QStringList({folder + name(1), folder + name(4)}));
        QCOMPARE(gate.stoppedPaths(), QStringList({folder + name(1)}));
        QCOMPARE(w.photoCache().abandonedCount(), 1);
        QCOMPARE(w.photoCache().decodeCount() - decodesBefore, 1);
        QVERIFY(!w.photoCache().isCached(folder + name(1), QSize(1, 1)));
        QVERIFY(w.photoCache().isCached(folder + name(4), QSize(1, 1)));
    }

    // A photo with an embedded preview shows it at once while its decode stalls, with the
    // photo's own pixel size and date and without "Loading...", and the sharp photo replaces it.
    // Stepping through such photos, cached or not, makes no file call on the window's thread.
    void previewStandsInWithoutFileCallsOnTheWindowsThread() {
        WindowFixture fx;
        MainWindow& w = test::startSized(fx);
        const QString folder = fx.slotFolder(0);
        for (int i = 0; i < 4; ++i) {
            const QByteArray jpeg = test::withEmbeddedPictures(test::makeJpegBytes(300, 200, i),
                                                               test::makeJpegBytes(48, 32, i),
                                                               test::makeJpegBytes(150, 100, i));
            QVERIFY(test::writeFile(folder + name(i), jpeg));
            QVERIFY(test::setModified(folder + name(i), QDateTime(QDate(2017, 3, 5), QTime(9, i))));
        }
        fx.load();
        // The next photo's prefetch ends first: one still running would bring the photo itself.
        QTRY_VERIFY(w.photoCache().isCached(folder + name(1), QSize(1, 1)));
        w.photoCache().setPaused(true);
        w.photoCache().clear();
        Gate gate({folder + name(1)}, false);
        w.photoCache().setRequestHook(gate.hook());
        setFileCallRule(FileCallRule::Fatal);

        QTest::keyClick(&w, Qt::Key_Space);
        QTRY_VERIFY(w.standInShown());
        QVERIFY(frame(fx)->isVisible());
        QTRY_COMPARE(photo(fx)->image().size(), QSize(150, 100)); // after the thumbnail
        QCOMPARE(photo(fx)->fullSize(), QSize(300, 200));
        QCOMPARE(field(fx, 2), QStringLiteral("300x200"));
        QCOMPARE(field(fx, 3), QStringLiteral("2017.3.5 9:1"));
        QTest::qWait(250); // past the delay: a preview is better than the words
        QCOMPARE(caption(fx), QString());
        QVERIFY(w.photoPending());
        gate.released = true;
        QVERIFY(test::waitForPhoto(w));
        QVERIFY(!w.standInShown());
        QCOMPARE(photo(fx)->image().size(), QSize(300, 200));
        QCOMPARE(field(fx, 2), QStringLiteral("300x200"));

        // Forward through cold photos, back through cached ones.
        for (const Qt::Key key : {Qt::Key_Space, Qt::Key_Space, Qt::Key_Up, Qt::Key_Home}) {
            QTest::keyClick(&w, key);
            QVERIFY(test::waitForPhoto(w));
            const int i = w.state().index[0];
            QCOMPARE(field(fx, 1), name(i));
            QCOMPARE(field(fx, 3), QStringLiteral("2017.3.5 9:%1").arg(i));
            QCOMPARE(photo(fx)->image().size(), QSize(300, 200));
        }
        QCOMPARE(fileCallsOnThisThread(), 0);
        setFileCallRule(FileCallRule::Allowed);
    }

    // A read that fails is "Load Error" for now, not a damaged photo: nothing is kept, and the
    // photo shows when it is asked for again and reads well.
    void readErrorIsLoadErrorUntilShownAgain() {
        WindowFixture fx;
        MainWindow& w = loadedCold(fx, 3);
        w.photoCache().setFileRead([](int, unsigned char*, qint64) -> qint64 {
            errno = EIO;
            return -1;
        });
        QTest::keyClick(&w, Qt::Key_Space);
        QVERIFY(test::waitForPhoto(w));
        QCOMPARE(caption(fx), QStringLiteral("Load Error"));
        QVERIFY(w.state().dError);
        w.photoCache().setFileRead({});
        for (const Qt::Key key : {Qt::Key_Up, Qt::Key_Space}) {
            QTest::keyClick(&w, key);
            QVERIFY(test::waitForPhoto(w));
        }
        QCOMPARE(caption(fx), QString());
        QVERIFY(frame(fx)->isVisible());
        QCOMPARE(photo(fx)->fullSize(), sizeOf(1));
        QCOMPARE(field(fx, 2), sizeText(1));
    }

    // A wait shorter than the delay passes without "Loading..."; a longer one shows it (the frame
    // hidden), keeps it through further presses, and the photo replaces it when it comes.
    void loadingAppearsOnlyAfterAVisibleWait() {
        WindowFixture fx;
        MainWindow& w = loadedCold(fx, 5);
        const QString folder = fx.slotFolder(0);
        auto* delay = fx.find<QTimer>(QStringLiteral("LoadingDelay"));
        QVERIFY(delay);
        QCOMPARE(delay->interval(), 150);

        {
            Gate gate({folder + name(1)}, false);
            w.photoCache().setRequestHook(gate.hook());
            QTest::keyClick(&w, Qt::Key_Space);
            QCOMPARE(caption(fx), QString());
            QVERIFY(delay->isActive());
            // The previous photo stays meanwhile, as it was laid out.
            QVERIFY(frame(fx)->isVisible());
            QCOMPARE(photo(fx)->fullSize(), sizeOf(0));
            gate.released = true;
            QVERIFY(arrivesWithoutTimers(w));
            QVERIFY(!delay->isActive());
            QCOMPARE(caption(fx), QString());
            QCOMPARE(photo(fx)->fullSize(), sizeOf(1));
            QCOMPARE(field(fx, 2), sizeText(1));
            QVERIFY(frame(fx)->isVisible());
            w.photoCache().setRequestHook({});
        }
        {
            Gate gate({folder + name(2), folder + name(3)}, false);
            w.photoCache().setRequestHook(gate.hook());
            QTest::keyClick(&w, Qt::Key_Space);
            QTRY_COMPARE(caption(fx), QStringLiteral("Loading..."));
            QVERIFY(!frame(fx)->isVisible());
            QCOMPARE(field(fx, 1), name(2));
            // The wait goes on through the next press: no flicker of the caption.
            QTest::keyClick(&w, Qt::Key_Space);
            QCOMPARE(caption(fx), QStringLiteral("Loading..."));
            QVERIFY(!frame(fx)->isVisible());
            QCOMPARE(field(fx, 1), name(3));
            // A key that does not move keeps it too.
            QTest::keyClick(&w, Qt::Key_Left);
            QCOMPARE(caption(fx), QStringLiteral("Loading..."));
            gate.released = true;
            QVERIFY(test::waitForPhoto(w));
            QCOMPARE(caption(fx), QString());
            QVERIFY(frame(fx)->isVisible());
            QCOMPARE(photo(fx)->fullSize(), sizeOf(3));
            QCOMPARE(field(fx, 2), sizeText(3));
            w.photoCache().setRequestHook({});
        }
    }

    // A damaged photo reached by a key shows "Load Error" without a pixel size; the photo after
    // it shows normally, and going back shows the error again.
    void damagedPhotoShowsLoadErrorAndSpoilsNothing() {
        WindowFixture fx;
        MainWindow& w = test::startSized(fx);
        const QString folder = fx.slotFolder(0);
        QVERIFY(test::writeJpeg(folder + "a.jpg", 64, 48, 1));
        QVERIFY(test::writeFile(folder + "b.jpg", QByteArray("\xFF\xD8\xFF\xC0\x00\x11", 6)));
        QVERIFY(test::writeJpeg(folder + "c.jpg", 80, 60, 2));
        fx.load();
        w.photoCache().setPaused(true);
        w.photoCache().clear();

        const struct {
            Qt::Key key;
            QString name;
            QString size; // empty: "Load Error"
        } steps[] = {{Qt::Key_Space, "b.jpg", ""},
                     {Qt::Key_Space, "c.jpg", "80x60"},
                     {Qt::Key_Up, "b.jpg", ""},
                     {Qt::Key_Home, "a.jpg", "64x48"}};
        for (const auto& step : steps) {
            QTest::keyClick(&w, step.key);
            QVERIFY(test::waitForPhoto(w));
            QCOMPARE(field(fx, 1), step.name);
            QCOMPARE(field(fx, 2), step.size);
            QCOMPARE(w.state().dError, step.size.isEmpty());
            QCOMPARE(caption(fx), step.size.isEmpty() ? QStringLiteral("Load Error") : QString());
            QCOMPARE(frame(fx)->isVisible(), !step.size.isEmpty());
            if (!step.size.isEmpty())
                QCOMPARE(field(fx, 2), QStringLiteral("%1x%2")
                                           .arg(photo(fx)->fullSize().width())
                                           .arg(photo(fx)->fullSize().height()));
        }
    }

    // The photo under the pointer stays the current one until it is dropped: keys wait, and the
    // drop sorts the photo the frame shows.
    void keysWaitUntilTheDraggedPhotoIsDropped() {
        WindowFixture fx;
        MainWindow& w = loadedCold(fx, 3);
        const QString folder = fx.slotFolder(0);
        test::Drag drag(fx);
        drag.press().toSlot(1);
        QVERIFY(w.state().mozg);
        QTest::keyClick(&w, Qt::Key_Space);
        QCOMPARE(w.state().index[0], 0);
        QCOMPARE(w.state().globalnev, folder + name(0));
        QVERIFY(!w.photoPending());
        drag.release();
        QVERIFY(QFile::exists(fx.slotFolder(1) + name(0)));
        QVERIFY(!QFile::exists(folder + name(0)));
    }

    // Closing while a decode stalls abandons it instead of waiting for it.
    void closingAbandonsAStalledDecode() {
        WindowFixture fx;
        MainWindow& w = loadedCold(fx, 3);
        const QString held = fx.slotFolder(0) + name(1);
        Gate gate({held}, true);
        w.photoCache().setRequestHook(gate.hook());
        QTest::keyClick(&w, Qt::Key_Space);
        QTRY_VERIFY(gate.entered);
        QVERIFY(fx.close());
        fx.start(); // the closed window is destroyed
        QCOMPARE(gate.stoppedPaths(), QStringList({held}));
        QCoreApplication::processEvents(); // nothing arrives for the destroyed window
    }
};

QTEST_MAIN(SteppingTest)
#include "tst_stepping.moc"
