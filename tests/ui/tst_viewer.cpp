// The viewer shows photos fitted into the middle of the real window.

#include "support/testphotos.h"
#include "support/uitest.h"

#include "app/widgets.h"
#include "core/photo/photocache.h"

#include <QFile>
#include <QLabel>
#include <QTest>

using namespace kps;
using kps::test::WindowFixture;

class ViewerTest : public QObject {
    Q_OBJECT

    static QString field(WindowFixture& fx, int i) {
        return fx.find<QLabel>(QStringLiteral("StatusField%1").arg(i))->text();
    }
    static QWidget* frame(WindowFixture& fx) { return fx.find<QWidget>(QStringLiteral("Panel1")); }
    static QString caption(WindowFixture& fx) {
        return fx.find<ViewerArea>(QStringLiteral("Panel2"))->caption();
    }

    // A window whose viewer area is 750 x 426, as at the design size.
    static MainWindow& designWindow(WindowFixture& fx) {
        MainWindow& w = fx.startWithFolders();
        w.resize(850, 545);
        QCoreApplication::processEvents();
        return w;
    }

  private slots:
    void photosAreFittedIntoTheViewer_data() {
        QTest::addColumn<QSize>("photo");
        QTest::addColumn<QRect>("frame");
        QTest::newRow("4000x3000") << QSize(4000, 3000) << QRect(91, 0, 568, 426);
        QTest::newRow("640x480") << QSize(640, 480) << QRect(90, 0, 571, 426);
        QTest::newRow("300x200") << QSize(300, 200) << QRect(225, 113, 300, 200);
        QTest::newRow("1000x10") << QSize(1000, 10) << QRect(0, 210, 750, 7);
    }

    void photosAreFittedIntoTheViewer() {
        QFETCH(QSize, photo);
        QFETCH(QRect, frame);
        WindowFixture fx;
        MainWindow& w = designWindow(fx);
        const QString path = fx.slotFolder(0) + "IMG_1.jpg";
        QVERIFY(test::writeJpeg(path, photo.width(), photo.height()));
        fx.load();
        QCOMPARE(fx.find<QWidget>(QStringLiteral("Panel2"))->size(), QSize(750, 426));
        QCOMPARE(ViewerTest::frame(fx)->geometry(), frame);
        QVERIFY(ViewerTest::frame(fx)->isVisible());
        QCOMPARE(field(fx, 0), QStringLiteral("1/1"));
        QCOMPARE(field(fx, 1), QStringLiteral("IMG_1.jpg"));
        QCOMPARE(field(fx, 2), QStringLiteral("%1x%2").arg(photo.width()).arg(photo.height()));
        QCOMPARE(field(fx, 4), fx.slotFolder(0));
        QCOMPARE(w.state().globalnev, path);
    }

    void emptyFolderShowsNothing() {
        WindowFixture fx;
        designWindow(fx);
        fx.load();
        QVERIFY(!frame(fx)->isVisible());
        QCOMPARE(field(fx, 0), QStringLiteral("0/0"));
        QCOMPARE(field(fx, 1), QString());
        QCOMPARE(field(fx, 4), QString());
        QCOMPARE(caption(fx), QString());
    }

    void badFilesShowLoadError_data() {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray jpeg = test::makeJpegBytes(64, 48);
        QByteArray png("\x89PNG\r\n\x1a\n", 8);
        png += QByteArray(200, 'x');
        QTest::newRow("png named jpg") << png;
        QTest::newRow("truncated") << jpeg.left(100);
        QTest::newRow("zero bytes") << QByteArray();
        QTest::newRow("text") << QByteArray("not a photo at all");
    }

    void badFilesShowLoadError() {
        QFETCH(QByteArray, bytes);
        WindowFixture fx;
        MainWindow& w = designWindow(fx);
        QVERIFY(test::writeFile(fx.slotFolder(0) + "bad.jpg", bytes));
        fx.load();
        QCOMPARE(caption(fx), QStringLiteral("Load Error"));
        QVERIFY(!frame(fx)->isVisible());
        QVERIFY(w.state().dError);
        QCOMPARE(field(fx, 1), QStringLiteral("bad.jpg"));
        // The same path again only clears the caption, leaving an empty grey area.
        w.kepbetoltes(w.state().globalnev);
        QCOMPARE(caption(fx), QString());
        QVERIFY(!frame(fx)->isVisible());
    }

    // A damaged photo shows "Load Error"; the photos after it still show, whether the worker
    // decoded them in advance or the viewer does.
    void damagedPhotoSpoilsNothingElse() {
        WindowFixture fx;
        MainWindow& w = designWindow(fx);
        const QString folder = fx.slotFolder(0);
        QVERIFY(test::writeJpeg(folder + "a.jpg", 64, 48, 1));
        QVERIFY(test::writeFile(folder + "b.jpg", QByteArray("\xFF\xD8\xFF\xC0", 4)));
        QVERIFY(test::writeJpeg(folder + "c.jpg", 80, 60, 2));
        QVERIFY(test::writeJpeg(folder + "d.jpg", 96, 72, 3));
        fx.load();
        QVERIFY(frame(fx)->isVisible());
        QTRY_VERIFY(w.photoCache().decodeCount() >= 2); // the worker has met the damaged one
        QTest::keyClick(&w, Qt::Key_Space);
        QCOMPARE(field(fx, 1), QStringLiteral("b.jpg"));
        QVERIFY(test::waitForPhoto(w));
        QCOMPARE(caption(fx), QStringLiteral("Load Error"));
        QTRY_VERIFY(w.photoCache().isCached(folder + "c.jpg", QSize(1, 1)));
        for (const char* size : {"80x60", "96x72"}) {
            QTest::keyClick(&w, Qt::Key_Space);
            QVERIFY(test::waitForPhoto(w));
            QCOMPARE(caption(fx), QString());
            QVERIFY(frame(fx)->isVisible());
            QCOMPARE(field(fx, 2), QString::fromLatin1(size));
        }
    }

    void hugeHeaderNeverCrashes() {
        WindowFixture fx;
        MainWindow& w = designWindow(fx);
        QByteArray jpeg = test::makeJpegBytes(64, 48);
        // Patch the frame header to claim 60000 x 60000 pixels.
        const int sof = jpeg.indexOf(QByteArray("\xFF\xC0", 2));
        QVERIFY(sof > 0);
        jpeg[sof + 5] = char(0xEA);
        jpeg[sof + 6] = char(0x60);
        jpeg[sof + 7] = char(0xEA);
        jpeg[sof + 8] = char(0x60);
        QVERIFY(test::writeFile(fx.slotFolder(0) + "huge.jpg", jpeg));
        fx.load();
        if (w.state().dError) {
            QCOMPARE(caption(fx), QStringLiteral("Load Error"));
        } else {
            QCOMPARE(field(fx, 2), QStringLiteral("60000x60000"));
            QVERIFY(frame(fx)->width() <= 750 && frame(fx)->height() <= 426);
        }
    }

    void missingFileShowsLoadErrorAndNoDate() {
        WindowFixture fx;
        MainWindow& w = designWindow(fx);
        const QString path = fx.slotFolder(0) + "gone.jpg";
        QVERIFY(test::writeJpeg(path, 64, 48));
        fx.load();
        QVERIFY(frame(fx)->isVisible());
        QVERIFY(QFile::remove(path));
        w.kepbetoltes(fx.slotFolder(0) + "other.jpg");
        QVERIFY(test::waitForPhoto(w));
        QCOMPARE(caption(fx), QStringLiteral("Load Error"));
        QCOMPARE(field(fx, 3), QString());
    }

    void starHidesThePhoto() {
        WindowFixture fx;
        MainWindow& w = designWindow(fx);
        QVERIFY(test::writeJpeg(fx.slotFolder(0) + "a.jpg", 64, 48));
        fx.load();
        w.kepbetoltes(QStringLiteral("*"));
        QVERIFY(!frame(fx)->isVisible());
        QCOMPARE(field(fx, 1), QString());
        QCOMPARE(field(fx, 4), QString());
    }

    void dateIsTheModificationTime_data() {
        QTest::addColumn<QDateTime>("when");
        QTest::addColumn<QString>("text");
        QTest::newRow("morning") << QDateTime(QDate(2017, 3, 5), QTime(9, 7, 41))
                                 << QStringLiteral("2017.3.5 9:7");
        QTest::newRow("year end") << QDateTime(QDate(2016, 12, 31), QTime(23, 59))
                                  << QStringLiteral("2016.12.31 23:59");
        QTest::newRow("midnight") << QDateTime(QDate(2018, 1, 1), QTime(0, 0))
                                  << QStringLiteral("2018.1.1 0:0");
    }

    void dateIsTheModificationTime() {
        QFETCH(QDateTime, when);
        QFETCH(QString, text);
        WindowFixture fx;
        designWindow(fx);
        const QString path = fx.slotFolder(0) + "d.jpg";
        QVERIFY(test::writeJpeg(path, 64, 48));
        QVERIFY(test::setModified(path, when));
        fx.load();
        QCOMPARE(field(fx, 3), text);
    }

    void resizingRefitsTheShownPhoto() {
        WindowFixture fx;
        MainWindow& w = designWindow(fx);
        QVERIFY(test::writeJpeg(fx.slotFolder(0) + "a.jpg", 4000, 3000));
        fx.load();
        w.resize(1920, 1080);
        QCoreApplication::processEvents();
        const QSize area = fx.find<QWidget>(QStringLiteral("Panel2"))->size();
        QCOMPARE(frame(fx)->height(), area.height());
        QVERIFY(frame(fx)->isVisible());
        // Once the resizing pauses, the picture is decoded again sharp enough for the frame.
        auto* photo = fx.find<PhotoView>(QStringLiteral("Image1"));
        QTRY_VERIFY(photo->image().width() >= frame(fx)->width());
        QVERIFY(photo->image().height() >= frame(fx)->height());
        QCOMPARE(photo->fullSize(), QSize(4000, 3000));
        // A tiny window keeps everything at zero size or more.
        w.resize(60, 60);
        QCoreApplication::processEvents();
        QVERIFY(frame(fx)->width() >= 0 && frame(fx)->height() >= 0);
        QVERIFY(fx.find<QWidget>(QStringLiteral("Panel2"))->width() >= 0);
    }
};

QTEST_MAIN(ViewerTest)
#include "tst_viewer.moc"
