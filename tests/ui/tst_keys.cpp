// Keys step through the viewed photo list.

#include "dragdriver.h"
#include "support/testphotos.h"
#include "support/uitest.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QWindow>

using namespace kps;
using kps::test::WindowFixture;

class KeysTest : public QObject {
    Q_OBJECT

    static QString position(WindowFixture& fx) {
        return fx.find<QLabel>(QStringLiteral("StatusField0"))->text();
    }
    // A source folder with n small photos p00.jpg ..
    static MainWindow& startWithPhotos(WindowFixture& fx, int n) {
        MainWindow& w = fx.startWithFolders();
        for (int i = 0; i < n; ++i)
            test::writeJpeg(fx.slotFolder(0) + QStringLiteral("p%1.jpg").arg(i, 2, 10, QChar('0')),
                            32, 24, i);
        return w;
    }
    // The same, loaded and shown.
    static MainWindow& withPhotos(WindowFixture& fx, int n) {
        MainWindow& w = startWithPhotos(fx, n);
        fx.load();
        return w;
    }

    // A key as the window system delivers it: to the window, which hands it to its focus.
    static void press(MainWindow& w, Qt::Key key) { QTest::keyClick(w.windowHandle(), key); }
    static void click(WindowFixture& fx, const QString& name) {
        QWidget* widget = fx.find<QWidget>(name);
        QVERIFY2(widget, qPrintable(name));
        QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(4, 4));
    }
    // Every key of the viewer, in turn, moves through a list of 25 photos shown at position 0.
    static void everyKeyMoves(WindowFixture& fx, MainWindow& w) {
        const struct {
            Qt::Key key;
            int expected;
        } steps[] = {{Qt::Key_Down, 1},      {Qt::Key_Down, 2},   {Qt::Key_Up, 1},
                     {Qt::Key_PageDown, 11}, {Qt::Key_PageUp, 1}, {Qt::Key_End, 24},
                     {Qt::Key_Home, 0},      {Qt::Key_Space, 1}};
        for (const auto& step : steps) {
            press(w, step.key);
            QCOMPARE(w.state().index[0], step.expected);
            QCOMPARE(position(fx), QStringLiteral("%1/25").arg(step.expected + 1));
        }
    }

  private slots:
    // Whatever the menu page last held the focus with, once it hides every key moves the list
    // again and no key reaches a control of the hidden page.
    void keysWorkAfterTheMenuHides_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<bool>("byProgram");
        QTest::newRow("load button only") << QString() << false;
        QTest::newRow("name field") << QStringLiteral("Mapi4") << false;
        QTest::newRow("check box") << QStringLiteral("CheckBox2") << false;
        QTest::newRow("row background") << QStringLiteral("LoadPanel5") << false;
        QTest::newRow("name field, page hidden by the program") << QStringLiteral("Mapi5") << true;
    }

    void keysWorkAfterTheMenuHides() {
        QFETCH(QString, control);
        QFETCH(bool, byProgram);
        WindowFixture fx;
        MainWindow& w = startWithPhotos(fx, 25);
        QWidget* page = fx.find<QWidget>(QStringLiteral("Panel20"));
        click(fx, QStringLiteral("Panel22"));
        QVERIFY(page->isVisible());
        click(fx, QStringLiteral("SpeedButton1"));
        QVERIFY(!page->isVisible());
        fx.waitForScan();
        QCOMPARE(position(fx), QStringLiteral("1/25"));
        auto* option = fx.find<QCheckBox>(QStringLiteral("CheckBox2"));
        const bool optionWas = option->isChecked();
        auto* edit = qobject_cast<QLineEdit*>(fx.find<QWidget>(control));
        const QString typed = edit ? QStringLiteral("x") + edit->text() : QString();
        if (!control.isEmpty()) {
            click(fx, QStringLiteral("Panel22"));
            click(fx, control);
            if (edit) {
                QTRY_VERIFY(edit->hasFocus());
                QTest::keyClick(w.windowHandle(), 'x');
            }
            if (byProgram)
                page->hide();
            else
                click(fx, QStringLiteral("Panel22"));
            QVERIFY(!page->isVisible());
        }
        everyKeyMoves(fx, w);
        if (edit) QCOMPARE(edit->text(), typed);
        QCOMPARE(option->isChecked(),
                 control == QStringLiteral("CheckBox2") ? !optionWas : optionWas);
    }

    // Nothing of the window outside the menu page takes the focus, and a part that got it all the
    // same hands the keys on to the list.
    void onlyTheMenuPageTakesTheFocus() {
        WindowFixture fx;
        MainWindow& w = withPhotos(fx, 3);
        const QWidget* page = fx.find<QWidget>(QStringLiteral("Panel20"));
        QStringList focusable, swallowing;
        for (QWidget* child : w.findChildren<QWidget*>()) {
            if (child->window() != &w || child == page || page->isAncestorOf(child)) continue;
            const QString name =
                child->objectName() + QLatin1Char('/') + child->metaObject()->className();
            if (child->focusPolicy() != Qt::NoFocus) focusable << name;
            child->setFocus();
            press(w, Qt::Key_Down);
            const bool moved = w.state().index[0] == 1;
            press(w, Qt::Key_Up);
            if (!moved || w.state().index[0] != 0) swallowing << name;
        }
        QCOMPARE(focusable, QStringList());
        QCOMPARE(swallowing, QStringList());
    }

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

    // A failed drop's message stands beside the five fields, which keep showing the photo and
    // follow the keys while it shows.
    void failureMessageLeavesTheFieldsShowing() {
        WindowFixture fx;
        MainWindow& w = test::startSized(fx);
        QVERIFY(test::writeJpeg(fx.slotFolder(0) + "a.jpg", 40, 30, 1));
        QVERIFY(test::writeJpeg(fx.slotFolder(0) + "b.jpg", 64, 48, 2));
        QVERIFY(test::writeJpeg(fx.slotFolder(2) + "a.jpg", 40, 30, 3)); // a clash: other bytes
        fx.load();
        std::array<QLabel*, 5> fields{};
        QStringList before;
        for (int i = 0; i < 5; ++i) {
            fields[size_t(i)] = fx.find<QLabel>(QStringLiteral("StatusField%1").arg(i));
            before << fields[size_t(i)]->text();
        }
        QCOMPARE(before.mid(0, 3), QStringList({"1/2", "a.jpg", "40x30"}));

        const int width = w.width();
        test::dropOnSlot(fx, 2);
        QVERIFY(!test::statusMessage(w).isEmpty());
        auto* message = fx.find<QLabel>(QStringLiteral("StatusMessage"));
        QVERIFY(message);
        const auto fieldsShow = [&](const QStringList& texts) {
            const QRect bar = w.statusBar()->rect();
            for (int i = 0; i < 5; ++i) {
                const QLabel* f = fields[size_t(i)];
                QVERIFY2(f->isVisible(), qPrintable(f->objectName()));
                // The folder may be shortened to fit; its tooltip holds it whole.
                QCOMPARE(i == 4 ? f->toolTip() : f->text(), texts[i]);
                QVERIFY(bar.contains(f->geometry()));
                QVERIFY(!f->geometry().intersects(message->geometry()));
            }
        };
        fieldsShow(before);
        if (QTest::currentTestFailed()) return;
        QVERIFY(message->isVisible());
        QVERIFY(fx.find<QTimer>(QStringLiteral("StatusMessageTimer"))->isActive());

        press(w, Qt::Key_Down);
        QVERIFY(test::waitForPhoto(w));
        // (the date is the other photo's)
        const QStringList after{"2/2", "b.jpg", "64x48", fields[3]->text(), before[4]};
        fieldsShow(after);
        QVERIFY(!test::statusMessage(w).isEmpty() && message->isVisible());

        // A long message neither widens the window nor pushes the fields away.
        const QString longMessage(600, QLatin1Char('m'));
        w.showStatusMessage(longMessage);
        QCoreApplication::processEvents();
        QCOMPARE(w.width(), width);
        fieldsShow(after);
        QCOMPARE(test::statusMessage(w), longMessage);
        QCOMPARE(message->toolTip(), longMessage);

        // Without a message the folder takes the rest of the bar; a long one is shortened in
        // the middle, whole in its tooltip.
        w.showStatusMessage({});
        const QString deep = QStringLiteral("/home/anna/Képek/") + QString(300, 'x') + "/vége/";
        w.state().status[4] = deep;
        w.syncStatusBar();
        QCoreApplication::processEvents();
        QVERIFY(!message->isVisible());
        QTRY_VERIFY2(fields[4]->width() > w.width() - 600,
                     qPrintable(QString::number(fields[4]->width())));
        QVERIFY(fields[4]->text().startsWith(QStringLiteral("/home/anna/")));
        QVERIFY(fields[4]->text().endsWith(QStringLiteral("/vége/")));
        QVERIFY(fields[4]->text().contains(QChar(0x2026)));
        QCOMPARE(fields[4]->toolTip(), deep);
    }
};

QTEST_MAIN(KeysTest)
#include "tst_keys.moc"
