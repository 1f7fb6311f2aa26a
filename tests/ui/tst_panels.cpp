// The folder panels: texts, marks, state colours, presses and the layout around the viewer.

#include "support/testphotos.h"
#include "support/uitest.h"

#include "app/widgets.h"
#include "dialogs/artwork.h"

#include <QLabel>
#include <QTest>

using namespace kps;
using kps::test::WindowFixture;

class PanelsTest : public QObject {
    Q_OBJECT

    static PanelPicture* picture(WindowFixture& fx, int slot) {
        return fx.find<PanelPicture>(QStringLiteral("Image%1").arg(10 + slot));
    }
    static QColor background(WindowFixture& fx, int slot) {
        return picture(fx, slot)->image().pixelColor(1, 1);
    }
    static QImage resource(const char* name) {
        return QImage(QStringLiteral(":/images/%1.png").arg(QLatin1String(name)));
    }

  private slots:
    void beforeLoadingEveryPanelReadsEmpty() {
        WindowFixture fx;
        fx.startWithFolders();
        for (int slot = 0; slot < 9; ++slot)
            QCOMPARE(picture(fx, slot)->text(), QStringLiteral("--empty--"));
        QCOMPARE(picture(fx, 8)->icon(), resource("t"));
        QCOMPARE(picture(fx, 1)->icon(), resource("sb"));
        QCOMPARE(picture(fx, 6)->icon(), resource("sj"));
    }

    void panelsShowNameAndPosition() {
        WindowFixture fx;
        fx.startWithFolders();
        for (int i = 0; i < 5; ++i)
            QVERIFY(test::writeJpeg(fx.slotFolder(3) + QStringLiteral("p%1.jpg").arg(i), 32, 24));
        fx.load();
        QCOMPARE(picture(fx, 8)->text(), QStringLiteral("Kuka (0/0)"));
        QCOMPARE(picture(fx, 3)->text(), QStringLiteral("Mappa3 (1/5)"));
        QCOMPARE(picture(fx, 0)->text(), QStringLiteral("Forrás (0/0)"));
    }

    void subfolderSearchShowsTheRedSourceMark() {
        WindowFixture fx;
        fx.startWithFolders(QStringLiteral("pirosmappa=1\n"));
        fx.load();
        QCOMPARE(picture(fx, 0)->icon(), resource("pir"));
        fx.window().state().pirosmappa = false;
        fx.window().kepszinezo();
        QCOMPARE(picture(fx, 0)->icon(), resource("sk"));
    }

    void hoverColoursOnlyTheHoveredPanel() {
        WindowFixture fx;
        MainWindow& w = fx.startWithFolders();
        w.state().szin3 = 0x0000FF; // pure red hover
        // The pointer is moved for real: a window system reports the move when it gets to it.
        QTest::mouseMove(picture(fx, 4), QPoint(10, 10));
        QTRY_COMPARE(w.state().panelState[4], PanelState::Hover);
        QCOMPARE(background(fx, 4), QColor(255, 0, 0));
        QVERIFY(background(fx, 5) != QColor(255, 0, 0));
        // The selected source panel stays selected when hovered.
        w.Panel10MouseMove(0);
        QCOMPARE(w.state().panelState[0], PanelState::Selected);
        w.Panel10MouseLeave(4);
        QCOMPARE(w.state().panelState[4], PanelState::Normal);
    }

    void anyButtonSelectsAPanel() {
        WindowFixture fx;
        MainWindow& w = fx.startWithFolders();
        QVERIFY(test::writeJpeg(fx.slotFolder(5) + "x.jpg", 40, 30));
        fx.load();
        QTest::mouseClick(picture(fx, 5), Qt::RightButton, {}, QPoint(5, 5));
        QCOMPARE(w.state().indexpanel, 5);
        QCOMPARE(w.state().panelState[5], PanelState::Selected);
        QCOMPARE(w.state().panelState[0], PanelState::Normal);
        QCOMPARE(w.state().globalnev, fx.slotFolder(5) + "x.jpg");
        QTest::mouseClick(picture(fx, 8), Qt::MiddleButton, {}, QPoint(5, 5));
        QCOMPARE(w.state().indexpanel, 8);
        QCOMPARE(w.state().globalnev, QStringLiteral("*"));
    }

    void threeDoubleClicksReturnAMark() {
        WindowFixture fx;
        MainWindow& w = fx.startWithFolders();
        QCOMPARE(w.state().png[2], 1);
        QTest::mouseDClick(picture(fx, 2), Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(w.state().png[2], 2);
        QCOMPARE(picture(fx, 2)->icon(), resource("kb"));
        QTest::mouseDClick(picture(fx, 2), Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(w.state().png[2], 3);
        QTest::mouseDClick(picture(fx, 2), Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(w.state().png[2], 1);
        // The Trash has no mark; its double click only selects it.
        QTest::mouseDClick(picture(fx, 8), Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(w.state().indexpanel, 8);
    }

    void markOutsideTheCycleDrawsNoIcon() {
        WindowFixture fx;
        MainWindow& w = fx.startWithFolders();
        w.state().png[3] = 7;
        w.Image10DblClick(3);
        QCOMPARE(w.state().png[3], 7);
        w.kepszinezo();
        QVERIFY(picture(fx, 3)->icon().isNull());
    }

    void folderPictures() {
        Artwork art;
        LoadPng(art);
        QCOMPARE(*pngmappa(art, 2, 3), resource("zb"));
        QCOMPARE(*pngmappa(art, 1, 1), resource("sk"));
        QVERIFY(pngmappa(art, 0, 1) == nullptr);
        QVERIFY(pngmappa(art, 1, 4) == nullptr);
    }

    void hitTestEdges() {
        QWidget parent;
        QWidget child(&parent);
        child.setGeometry(50, 0, 250, 50);
        QVERIFY(panelkereso(50, 0, &child));
        QVERIFY(panelkereso(299, 49, &child));
        QVERIFY(!panelkereso(300, 10, &child));
        QVERIFY(!panelkereso(60, 50, &child));
        QVERIFY(!panelkereso(49, 10, &child));
    }

    void layoutAtTheDesignSize() {
        WindowFixture fx;
        MainWindow& w = fx.startWithFolders();
        w.resize(850, 545);
        QCoreApplication::processEvents();
        auto geometry = [&](const char* name) {
            return fx.find<QWidget>(QLatin1String(name))->geometry();
        };
        QCOMPARE(geometry("Panel18"), QRect(50, 0, 250, 50));
        QCOMPARE(geometry("Panel10"), QRect(300, 0, 500, 50));
        QCOMPARE(geometry("Panel11"), QRect(0, 50, 50, 213));
        QCOMPARE(geometry("Panel12"), QRect(0, 263, 50, 213));
        QCOMPARE(geometry("Panel13").top(), 476);
        QCOMPARE(geometry("Panel2"), QRect(50, 50, 750, 426));
        QCOMPARE(geometry("Panel17"), QRect(800, 50, 50, 213));
        QCOMPARE(geometry("Panel9").topLeft(), QPoint(800, 0));
        const QRect menu = geometry("Panel20");
        QCOMPARE(menu.left(), 113);
        QCOMPARE(menu.top(), 10);
        QCOMPARE(menu.height(), 406);
        // No photo yet: the frame is 0 x 0 in the middle of the viewer.
        QCOMPARE(geometry("Panel1"), QRect(375, 213, 0, 0));

        w.resize(851, 545);
        QCoreApplication::processEvents();
        QCOMPARE(geometry("Panel10").right() + 1, 800);
        QCOMPARE(geometry("Panel17").left(), 801);
    }

    void tinyWindowStaysUsable() {
        WindowFixture fx;
        MainWindow& w = fx.startWithFolders();
        QVERIFY(test::writeJpeg(fx.slotFolder(0) + "a.jpg", 300, 200));
        fx.load();
        w.resize(80, 90);
        QCoreApplication::processEvents();
        for (const char* name : {"Panel1", "Panel2", "Panel10", "Panel11", "Panel18"}) {
            const QRect r = fx.find<QWidget>(QLatin1String(name))->geometry();
            QVERIFY2(r.width() >= 0 && r.height() >= 0, name);
        }
        w.resize(866, 581);
        QCoreApplication::processEvents();
        QVERIFY(fx.find<QWidget>(QStringLiteral("Panel1"))->width() > 0);
    }
};

QTEST_MAIN(PanelsTest)
#include "tst_panels.moc"
