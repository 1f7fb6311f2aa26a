// Keys step through the viewed photo list.

#include "support/testphotos.h"
#include "support/uitest.h"

#include <QLabel>
#include <QLineEdit>
#include <QTest>

using namespace kps;
using kps::test::WindowFixture;

class KeysTest : public QObject {
    Q_OBJECT

    static QString position(WindowFixture& fx) {
        return fx.find<QLabel>(QStringLiteral("StatusField0"))->text();
    }
    // A source folder with n small photos p00.jpg .. loaded and shown.
    static MainWindow& withPhotos(WindowFixture& fx, int n) {
        MainWindow& w = fx.startWithFolders();
        for (int i = 0; i < n; ++i)
            test::writeJpeg(fx.slotFolder(0) + QStringLiteral("p%1.jpg").arg(i, 2, 10, QChar('0')),
                            32, 24, i);
        fx.load();
        return w;
    }

  private slots:
    void keysMoveTheCursor_data() {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("expected");
        QTest::newRow("space") << 0 << int(Qt::Key_Space) << 0 << 1;
        QTest::newRow("down") << 4 << int(Qt::Key_Down) << 0 << 5;
        QTest::newRow("shift+down") << 4 << int(Qt::Key_Down) << int(Qt::ShiftModifier) << 5;
        QTest::newRow("up") << 4 << int(Qt::Key_Up) << 0 << 3;
        QTest::newRow("up at first") << 0 << int(Qt::Key_Up) << 0 << 0;
        QTest::newRow("space on last") << 16 << int(Qt::Key_Space) << 0 << 16;
        QTest::newRow("home") << 9 << int(Qt::Key_Home) << 0 << 0;
        QTest::newRow("end") << 2 << int(Qt::Key_End) << 0 << 16;
        QTest::newRow("page down") << 2 << int(Qt::Key_PageDown) << 0 << 12;
        QTest::newRow("page down near end") << 12 << int(Qt::Key_PageDown) << 0 << 16;
        QTest::newRow("page up at 3") << 3 << int(Qt::Key_PageUp) << 0 << 0;
        QTest::newRow("left does nothing") << 5 << int(Qt::Key_Left) << 0 << 5;
        QTest::newRow("letter does nothing") << 5 << int(Qt::Key_A) << 0 << 5;
    }

    void keysMoveTheCursor() {
        QFETCH(int, start);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, expected);
        WindowFixture fx;
        MainWindow& w = withPhotos(fx, 17);
        w.state().index[0] = start;
        w.FormKeyDown(0); // shows the start position
        QTest::keyClick(&w, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(w.state().index[0], expected);
        QCOMPARE(position(fx), QStringLiteral("%1/17").arg(expected + 1));
        QCOMPARE(w.state().globalnev, w.state().lists[0].at(expected));
    }

    void anyKeyOnAnEmptyListShowsNothing() {
        WindowFixture fx;
        MainWindow& w = withPhotos(fx, 0);
        QTest::keyClick(&w, Qt::Key_Space);
        QTest::keyClick(&w, Qt::Key_End);
        QCOMPARE(position(fx), QStringLiteral("0/0"));
        QVERIFY(!fx.find<QWidget>(QStringLiteral("Panel1"))->isVisible());
        QCOMPARE(w.state().index[0], 0);
    }

    void keysGoToAFocusedMenuField() {
        WindowFixture fx;
        MainWindow& w = withPhotos(fx, 5);
        w.Panel22Click();
        auto* edit = fx.find<QLineEdit>(QStringLiteral("Mapi1"));
        edit->setFocus();
        QTRY_VERIFY(edit->hasFocus());
        edit->setText(QStringLiteral("ab"));
        QTest::keyClick(edit, Qt::Key_Down);
        QTest::keyClick(edit, Qt::Key_Space);
        QCOMPARE(w.state().index[0], 0);
        QCOMPARE(edit->text(), QStringLiteral("ab "));
    }
};

QTEST_MAIN(KeysTest)
#include "tst_keys.moc"
