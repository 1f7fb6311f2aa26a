// The window's place across starts and closes: byte for byte the same settings.ini when nothing
// changed, positions off the screen brought back, a maximised window kept maximised. The suite
// runs it offscreen, on a bare X server, and under a window manager that draws frames.

#include "support/testphotos.h"
#include "support/uitest.h"

#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>

using namespace kps;
using kps::test::WindowFixture;

namespace {

QByteArray settingsOf(const WindowFixture& fx) {
    QFile f(fx.settingsFile());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray windowSection(int left, int top, int width, int height) {
    return QStringLiteral("[ablak]\nleft=%1\ntop=%2\nwidth=%3\nheight=%4\n")
        .arg(left)
        .arg(top)
        .arg(width)
        .arg(height)
        .toUtf8();
}

QRect screenArea() {
    return QGuiApplication::primaryScreen()->availableGeometry();
}

} // namespace

class GeometryTest : public QObject {
    Q_OBJECT

  private slots:
    void startAndCloseLeaveTheFileAlone_data() {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QSize>("frame");
        QTest::newRow("first start") << QByteArray() << QSize(866, 581);
        QTest::newRow("placed") << windowSection(40, 32, 700, 500) << QSize(700, 500);
        QTest::newRow("default size, placed") << windowSection(10, 60, 866, 581) << QSize(866, 581);
    }
    void startAndCloseLeaveTheFileAlone() {
        QFETCH(QByteArray, stored);
        QFETCH(QSize, frame);
        WindowFixture fx;
        if (!stored.isEmpty()) QVERIFY(kps::test::writeFile(fx.settingsFile(), stored));
        QByteArray before;
        for (int round = 0; round < 5; ++round) {
            MainWindow& w = fx.start();
            // The frame is as large as the file says once the window manager has framed it.
            QTRY_COMPARE(w.frameGeometry().size(), frame);
            QTest::qWait(300);
            QVERIFY(fx.close());
            const QByteArray after = settingsOf(fx);
            // The first close writes every key; from then on nothing moves.
            if (round > 0) QCOMPARE(after, before);
            before = after;
        }
        QVERIFY(before.contains("maximized=0\n"));
    }

    void lostPositionsComeBackOntoTheScreen_data() {
        QTest::addColumn<QPoint>("stored");
        QTest::addColumn<QPoint>("expected");
        const QRect area = screenArea();
        QTest::newRow("title bar above the screen") << QPoint(-3, -30) << area.topLeft();
        QTest::newRow("a screen that is gone")
            << QPoint(area.right() + 900, 200) << QPoint(area.right() + 1 - 700, 200);
        QTest::newRow("below the screen")
            << QPoint(100, area.bottom() + 50) << QPoint(100, area.bottom() + 1 - 500);
    }
    void lostPositionsComeBackOntoTheScreen() {
        QFETCH(QPoint, stored);
        QFETCH(QPoint, expected);
        WindowFixture fx;
        QVERIFY(kps::test::writeFile(fx.settingsFile(),
                                     windowSection(stored.x(), stored.y(), 700, 500)));
        MainWindow& w = fx.start();
        QTRY_COMPARE(w.frameGeometry(), QRect(expected, QSize(700, 500)));
        QTest::qWait(300);
        QVERIFY(fx.close());
        const QStringList lines = kps::test::iniLines(fx.settingsFile());
        QVERIFY(lines.contains(QStringLiteral("left=%1").arg(expected.x())));
        QVERIFY(lines.contains(QStringLiteral("top=%1").arg(expected.y())));
    }

    void sizeLargerThanTheScreenIsFitted() {
        WindowFixture fx;
        const QRect area = screenArea();
        QVERIFY(kps::test::writeFile(fx.settingsFile(),
                                     windowSection(0, 0, area.width() + 500, area.height() + 400)));
        MainWindow& w = fx.start();
        QTRY_COMPARE(w.frameGeometry(), area);
    }

    void maximisedComesBackMaximised() {
        WindowFixture fx;
        QVERIFY(kps::test::writeFile(fx.settingsFile(), windowSection(30, 40, 700, 500)));
        MainWindow& first = fx.start();
        QTRY_COMPARE(first.frameGeometry().size(), QSize(700, 500));
        first.showMaximized();
        QTRY_VERIFY(first.isMaximized());
        QTest::qWait(300);
        QVERIFY(fx.close());
        const QByteArray closedMaximised = settingsOf(fx);
        // The normal rectangle, as before, and the one key more.
        QVERIFY(closedMaximised.startsWith(windowSection(30, 40, 700, 500) + "maximized=1\n"));

        MainWindow& second = fx.start();
        QTRY_VERIFY(second.isMaximized());
        QTest::qWait(300);
        QVERIFY(fx.close());
        QCOMPARE(settingsOf(fx), closedMaximised);

        // Back to normal, it takes the stored rectangle again.
        MainWindow& third = fx.start();
        QTRY_VERIFY(third.isMaximized());
        third.showNormal();
        QTRY_COMPARE(third.frameGeometry().size(), QSize(700, 500));
    }
};

QTEST_MAIN(GeometryTest)
#include "tst_geometry.moc"
