// The menu page: the "Menü" button, folder pickers, colours, names, loading a source, the
// clash check, the device search and the animated cursor over the photo.

#include "support/fakevolumes.h"
#include "support/testphotos.h"
#include "support/uitest.h"

#include "app/widgets.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

using namespace kps;
using kps::test::FakeVolumes;
using kps::test::WindowFixture;

namespace {

const QColor kSilver(192, 192, 192);
const QColor kRed(255, 0, 0);
const QString kSearching = QStringLiteral("Eszköz keresése...");

// Answers the folder picker with `answer` and remembers how it was asked.
struct FolderAnswer {
    QString answer;
    QString title, start, root;
    int calls = 0;
    FolderPicker picker() {
        return [this](QWidget*, const QString& t, const QString& s, const QString& r) {
            ++calls;
            title = t;
            start = s;
            root = r;
            return answer;
        };
    }
};

QImage resource(const char* name) {
    return QImage(QStringLiteral(":/images/%1.png").arg(QLatin1String(name)))
        .convertToFormat(QImage::Format_ARGB32);
}

QImage asImage(const QPixmap& p) {
    return p.toImage().convertToFormat(QImage::Format_ARGB32);
}

QImage glyph(QToolButton* b) {
    return asImage(b->icon().pixmap(24, 24));
}

// The serial and settings lines of a device taught as device 1.
QString taughtDevice1(const QString& serial, const QString& path, const QString& icon = "1") {
    return QStringLiteral("reservedSerial1=%1\nreservedPath1=%2\nreservedIcon1=%3\n")
        .arg(serial, path, icon);
}

} // namespace

class MenuTest : public QObject {
    Q_OBJECT

    static QLabel* path(WindowFixture& fx, int row) {
        return fx.find<QLabel>(QStringLiteral("path%1").arg(row));
    }
    static QColor rowColour(WindowFixture& fx, int row) {
        return fx.find<QWidget>(QStringLiteral("LoadPanel%1").arg(row))
            ->palette()
            .color(QPalette::Window);
    }
    static QToolButton* loadButton(WindowFixture& fx, int row) {
        return fx.find<QToolButton>(QStringLiteral("SpeedButton%1").arg(row));
    }
    static int tag(WindowFixture& fx, int row) {
        return loadButton(fx, row)->property("tag").toInt();
    }
    static PanelPicture* picture(WindowFixture& fx, int slot) {
        return fx.find<PanelPicture>(QStringLiteral("Image%1").arg(10 + slot));
    }
    static QTimer* searchTimer(WindowFixture& fx) {
        // The main window's own timer, not the wizard's of the same name.
        for (QTimer* t : fx.window().findChildren<QTimer*>(QStringLiteral("Timer1"),
                                                           Qt::FindDirectChildrenOnly))
            return t;
        return nullptr;
    }
    // Opens the menu page with the "Menü" button, as the user does.
    static void openMenu(WindowFixture& fx) {
        if (!fx.find<QWidget>(QStringLiteral("Panel20"))->isVisible())
            QTest::mouseClick(fx.find<QWidget>(QStringLiteral("Panel22")), Qt::LeftButton);
    }
    static void pick(WindowFixture& fx, int row) {
        QTest::mouseClick(fx.find<QPushButton>(QStringLiteral("selbutton%1").arg(row)),
                          Qt::LeftButton);
    }
    static QColor textColour(QWidget* w) { return w->palette().color(QPalette::WindowText); }

  private slots:
    // --- the page and its button ---

    void menuButtonTogglesThePageAndTheSearchStopsAtTheNextTick() {
        WindowFixture fx;
        MainWindow& w = fx.startWithFolders();
        QTimer* timer = searchTimer(fx);
        QVERIFY(timer);
        QVERIFY(timer->isActive()); // one search right after start
        QWidget* page = fx.find<QWidget>(QStringLiteral("Panel20"));
        QWidget* button = fx.find<QWidget>(QStringLiteral("Panel22"));

        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(page->isVisible());
        QVERIFY(timer->isActive());
        w.Timer1Timer();
        QVERIFY(timer->isActive()); // keeps searching while the page is shown

        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(!page->isVisible());
        QVERIFY(timer->isActive()); // until its next tick
        path(fx, 2)->setText(QStringLiteral("stale"));
        const bool phase = w.state().villogo;
        w.Timer1Timer();
        QVERIFY(!timer->isActive());
        // That last tick still searched.
        QCOMPARE(w.state().villogo, !phase);
        QCOMPARE(path(fx, 2)->text(), kSearching);

        // Opening again restarts the search.
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(timer->isActive());
    }

    void menuButtonLightsUnderThePointer() {
        WindowFixture fx;
        fx.startWithFolders();
        QWidget* button = fx.find<QWidget>(QStringLiteral("Panel22"));
        QCOMPARE(qobject_cast<QLabel*>(button)->text(), QStringLiteral("Menü"));
        QCOMPARE(button->palette().color(QPalette::Window), QColor(255, 185, 185));
        QEvent enter(QEvent::Enter);
        QCoreApplication::sendEvent(button, &enter);
        QCOMPARE(button->palette().color(QPalette::Window), QColor(255, 106, 106));
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(button, &leave);
        QCOMPARE(button->palette().color(QPalette::Window), QColor(255, 185, 185));
    }

    void pageShowsItsPictures() {
        WindowFixture fx;
        fx.startWithFolders(QStringLiteral("reservedIcon2=9\n"));
        auto picture = [&](const char* name) {
            return asImage(fx.find<QLabel>(QLatin1String(name))->pixmap());
        };
        QCOMPARE(picture("Image23"), resource("title"));
        QCOMPARE(picture("Image25"), resource("info"));
        QCOMPARE(picture("Image24"), resource("folder_red_small"));
        QCOMPARE(picture("Image3"), resource("folder_silver"));
        for (int row = 4; row <= 11; ++row)
            QCOMPARE(picture(qPrintable(QStringLiteral("rowIcon%1").arg(row))),
                     resource("folder_grey"));
        // Device 1 shows its stored icon ("1" by default: the USB plug); device 2's unknown
        // number leaves the row's own picture, the SD card.
        QCOMPARE(picture("Image2"), resource("usb"));
        QCOMPARE(picture("Image21"), resource("sdcard"));
        const QString about = fx.find<QPlainTextEdit>(QStringLiteral("Memo1"))->toPlainText();
        QVERIFY(about.contains(QStringLiteral("kovrin@example.org")));
        // The author section names the version and the licence.
        QVERIFY(about.startsWith(QStringLiteral("Kovrin Photo Sorter %1 verzió\n")
                                     .arg(QLatin1String(KPS_TEST_VERSION))));
        QVERIFY(about.contains(QStringLiteral("GPL-3.0-or-later")));
    }

    void rowsAndOptionsLeaveRoomForEachOther() {
        WindowFixture fx;
        fx.startWithFolders();
        // In a folder row the path reaches the "..." button at the right edge; in a source
        // row it is 200 wide and the "..." and the load button follow it.
        for (int row : {1, 2, 3, 4, 11}) {
            const QRect edit = fx.find<QWidget>(QStringLiteral("Mapi%1").arg(row))->geometry();
            const QRect label = path(fx, row)->geometry();
            const QRect sel = fx.find<QWidget>(QStringLiteral("selbutton%1").arg(row))->geometry();
            QVERIFY(label.left() > edit.right());
            QVERIFY(sel.left() > label.right());
            if (row <= 3) {
                QCOMPARE(label.width(), 200);
                QVERIFY(loadButton(fx, row)->geometry().left() > sel.right());
            } else {
                QVERIFY(sel.right() < 465);
                QVERIFY(sel.right() >= 465 - 4);
                QVERIFY(sel.left() - label.right() <= 6);
            }
        }
        // The red folder follows the subfolder option's text without covering it.
        const QRect option = fx.find<QWidget>(QStringLiteral("CheckBox1"))->geometry();
        const QRect red = fx.find<QWidget>(QStringLiteral("Image24"))->geometry();
        QCOMPARE(red.top(), 73);
        QVERIFY(red.left() >= 175);
        QVERIFY(red.left() > option.right());
        // A one-pixel black frame around the grey scrolling area.
        auto* scroll = fx.find<QScrollArea>(QStringLiteral("ScrollBox1"));
        QWidget* page = fx.find<QWidget>(QStringLiteral("Panel20"));
        QCOMPARE(page->palette().color(QPalette::Window), QColor(Qt::black));
        QCOMPARE(scroll->geometry(), page->rect().adjusted(1, 1, -1, -1));
        QCOMPARE(scroll->viewport()->palette().color(QPalette::Window), QColor(160, 160, 160));
    }

    // --- folder pickers ---

    void pickerWritesTheFolderWithOneSeparator_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("after");
        QTest::newRow("chosen folder gains the separator") << 1 << "/old/"
                                                           << "/media/photos"
                                                           << "/media/photos/";
        QTest::newRow("chosen folder with separator") << 4 << "/old/"
                                                      << "/a/b/"
                                                      << "/a/b/";
        QTest::newRow("root gets no second separator") << 11 << "/old/"
                                                       << "/"
                                                       << "/";
        QTest::newRow("cancel keeps the text") << 5 << "/keep/me/"
                                               << ""
                                               << "/keep/me/";
        QTest::newRow("cancel adds a missing separator") << 6 << "/keep/me"
                                                         << ""
                                                         << "/keep/me/";
        QTest::newRow("cancel on an empty text keeps it empty") << 7 << ""
                                                                << ""
                                                                << "";
        QTest::newRow("folder for an empty text") << 10 << ""
                                                  << "/x"
                                                  << "/x/";
    }

    void pickerWritesTheFolderWithOneSeparator() {
        QFETCH(int, row);
        QFETCH(QString, before);
        QFETCH(QString, answer);
        QFETCH(QString, after);
        FolderAnswer folder;
        folder.answer = answer;
        Environment env;
        env.pickFolder = folder.picker();
        WindowFixture fx;
        fx.startWithFolders({}, env);
        openMenu(fx);
        path(fx, row)->setText(before);
        pick(fx, row);
        QCOMPARE(folder.calls, 1);
        QCOMPARE(folder.title, QStringLiteral("Select a directory"));
        QCOMPARE(folder.start, before); // preselects the row's folder
        QVERIFY(folder.root.isEmpty()); // and lets the user go anywhere
        QCOMPARE(path(fx, row)->text(), after);
    }

    void sameFolderForTwoRowsPaintsBothRed() {
        FolderAnswer folder;
        Environment env;
        env.pickFolder = folder.picker();
        WindowFixture fx;
        fx.startWithFolders({}, env);
        openMenu(fx);
        for (int row = 1; row <= 11; ++row)
            QCOMPARE(rowColour(fx, row), kSilver);

        folder.answer = fx.slotFolder(3); // row 6's folder, for row 5
        pick(fx, 5);
        for (int row = 1; row <= 11; ++row)
            QCOMPARE(rowColour(fx, row), row == 5 || row == 6 ? kRed : kSilver);

        folder.answer = fx.folder(QStringLiteral("elsewhere"));
        pick(fx, 5);
        for (int row = 1; row <= 11; ++row)
            QCOMPARE(rowColour(fx, row), kSilver);
    }

    void devicePickersOpenNoFolderPicker() {
        FolderAnswer folder;
        folder.answer = QStringLiteral("/never/");
        Environment env;
        env.pickFolder = folder.picker();
        WindowFixture fx;
        fx.startWithFolders({}, env);
        auto* wizard = fx.find<QDialog>(QStringLiteral("Form4"));
        bool shown = false;
        QTimer::singleShot(0, wizard, [&] {
            shown = wizard->isVisible();
            wizard->reject();
        });
        openMenu(fx);
        pick(fx, 3);
        QVERIFY(shown);
        QCOMPARE(folder.calls, 0);
        QCOMPARE(path(fx, 3)->text(), kSearching);
    }

    // --- colours ---

    void newHoverColourShowsAtOnce() {
        QColor offered;
        QColor answer(255, 0, 0);
        Environment env;
        env.pickColour = [&](QWidget*, const QColor& initial) {
            offered = initial;
            return answer;
        };
        WindowFixture fx;
        MainWindow& win = fx.startWithFolders({}, env);
        openMenu(fx);
        const Colour oldTarget = win.state().szin2;
        const Colour oldSelected = win.state().szin4;
        QTest::mouseClick(fx.find<QPushButton>(QStringLiteral("ButtonColor3")), Qt::LeftButton);
        QCOMPARE(offered, QColor(0x70, 0x70, 0x70)); // the stored hover colour
        QCOMPARE(win.state().szin3, Colour(0x0000FF));
        QCOMPARE(win.state().szin2, oldTarget);
        QCOMPARE(win.state().szin4, oldSelected);
        // The button's swatch shows the new colour.
        auto* button = fx.find<QPushButton>(QStringLiteral("ButtonColor3"));
        const QImage swatch = button->icon().pixmap(button->iconSize()).toImage();
        QCOMPARE(swatch.pixelColor(swatch.width() / 2, swatch.height() / 2), answer);

        // Hovering a panel shows it without loading anything (a window system reports the real
        // pointer's move when it gets to it).
        QTest::mouseMove(picture(fx, 4), QPoint(10, 10));
        QTRY_COMPARE(picture(fx, 4)->image().pixelColor(1, 1), answer);

        // A cancelled colour dialog changes nothing.
        answer = QColor();
        QTest::mouseClick(fx.find<QPushButton>(QStringLiteral("ButtonColor2")), Qt::LeftButton);
        QCOMPARE(win.state().szin2, oldTarget);
        QCOMPARE(win.state().szin3, Colour(0x0000FF));
    }

    // --- names and loading ---

    void typedNameReachesThePanelAtTheNextLoad() {
        WindowFixture fx;
        fx.startWithFolders();
        fx.load();
        QCOMPARE(picture(fx, 2)->text(), QStringLiteral("Mappa2 (0/0)"));
        openMenu(fx);
        auto* mapi5 = fx.find<QLineEdit>(QStringLiteral("Mapi5"));
        mapi5->clear();
        QTest::keyClicks(mapi5, QStringLiteral("Tenger"));
        fx.window().kepszinezo();
        QCOMPARE(picture(fx, 2)->text(), QStringLiteral("Mappa2 (0/0)"));
        QTest::mouseClick(loadButton(fx, 1), Qt::LeftButton);
        QCOMPARE(picture(fx, 2)->text(), QStringLiteral("Tenger (0/0)"));
    }

    void rowOneLoadsTheSourceAndEveryFolder() {
        WindowFixture fx;
        MainWindow& w = fx.startWithFolders();
        QVERIFY(test::writeJpeg(fx.slotFolder(0) + "b.jpg", 40, 30));
        QVERIFY(test::writeJpeg(fx.slotFolder(0) + "A.JPG", 40, 30));
        QVERIFY(test::writeJpeg(fx.slotFolder(4) + "c.jpeg", 40, 30));
        QVERIFY(test::writeJpeg(fx.slotFolder(8) + "t.jpg", 40, 30));
        openMenu(fx);
        QTest::mouseClick(loadButton(fx, 1), Qt::LeftButton);
        fx.waitForScan();
        QVERIFY(!fx.find<QWidget>(QStringLiteral("Panel20"))->isVisible());
        QVERIFY(!w.state().megsemmi);
        QCOMPARE(w.state().lists[0].count(), 2);
        QCOMPARE(w.state().lists[4].count(), 1);
        QCOMPARE(w.state().lists[8].count(), 1);
        QCOMPARE(w.state().indexpanel, 0);
        QCOMPARE(w.state().s1, fx.slotFolder(0) + "A.JPG");
        QCOMPARE(w.state().globalnev, fx.slotFolder(0) + "A.JPG");
        QVERIFY(test::waitForPhoto(w));
        QVERIFY(fx.find<QWidget>(QStringLiteral("Panel1"))->isVisible());
        QCOMPARE(picture(fx, 0)->text(), QStringLiteral("Forrás (1/2)"));
    }

    void deviceRowLoadsTheDeviceButCloseSavesRowOne() {
        WindowFixture fx;
        const QString card = fx.folder(QStringLiteral("media/anna/CARD"));
        QVERIFY(QDir().mkpath(card + "DCIM"));
        QVERIFY(test::writeJpeg(card + "DCIM/p1.jpg", 40, 30));
        FakeVolumes vols;
        vols.list = {{QStringLiteral("/"), QStringLiteral("0000:0001")},
                     {card.chopped(1), QStringLiteral("1A2B:3C4D")}};
        Environment env;
        env.volumes = &vols;
        MainWindow& w = fx.startWithFolders(
            taughtDevice1(QStringLiteral("1A2B:3C4D"), QStringLiteral(":/DCIM/")) +
                QStringLiteral("panel1b=Kamera\n"),
            env);
        openMenu(fx);
        w.Timer1Timer();
        QCOMPARE(path(fx, 2)->text(), card + "DCIM/");
        QCOMPARE(tag(fx, 2), 1);
        QTest::mouseClick(loadButton(fx, 2), Qt::LeftButton);
        fx.waitForScan();
        QCOMPARE(w.state().szoveg[0], QStringLiteral("Kamera"));
        QCOMPARE(w.state().dirs[0], card + "DCIM/");
        QCOMPARE(w.state().lists[0].count(), 1);
        QCOMPARE(w.state().s1, card + "DCIM/p1.jpg");

        QVERIFY(fx.close());
        const QStringList lines = test::iniLines(fx.settingsFile());
        QVERIFY(lines.contains(QStringLiteral("panel1=Forrás")));
        QVERIFY(lines.contains(QStringLiteral("path0=") + fx.slotFolder(0)));
        QVERIFY(lines.contains(QStringLiteral("panel1b=Kamera")));
        QVERIFY(lines.contains(QStringLiteral("reservedPath1=:/DCIM/")));
    }

    void subfolderOptionListsOnlyTheSourceSubfolders() {
        WindowFixture fx;
        MainWindow& w = fx.startWithFolders();
        QVERIFY(test::writeJpeg(fx.slotFolder(0) + "top.jpg", 40, 30));
        QDir().mkpath(fx.slotFolder(0) + "sub");
        QVERIFY(test::writeJpeg(fx.slotFolder(0) + "sub/deep.jpg", 40, 30));
        QVERIFY(test::writeJpeg(fx.slotFolder(1) + "c.jpg", 40, 30));
        QDir().mkpath(fx.slotFolder(1) + "sub");
        QVERIFY(test::writeJpeg(fx.slotFolder(1) + "sub/hidden.jpg", 40, 30));
        openMenu(fx);
        fx.find<QCheckBox>(QStringLiteral("CheckBox1"))->setChecked(true);
        QVERIFY(!w.state().pirosmappa); // acts at the next load, not at the click
        QTest::mouseClick(loadButton(fx, 1), Qt::LeftButton);
        fx.waitForScan();
        QVERIFY(w.state().pirosmappa);
        QCOMPARE(w.state().lists[0].count(), 2);
        QVERIFY(w.state().lists[0].paths().contains(fx.slotFolder(0) + "sub/deep.jpg"));
        QCOMPARE(w.state().lists[1].count(), 1);
        QCOMPARE(w.state().lists[1].at(0), fx.slotFolder(1) + "c.jpg");

        fx.find<QCheckBox>(QStringLiteral("CheckBox1"))->setChecked(false);
        fx.load();
        QCOMPARE(w.state().lists[0].count(), 1);
    }

    void loadingAgainStartsEveryListAtZero() {
        WindowFixture fx;
        MainWindow& w = fx.startWithFolders();
        for (int slot : {0, 2, 8})
            for (int i = 0; i < 3; ++i)
                QVERIFY(test::writeJpeg(fx.slotFolder(slot) + QStringLiteral("p%1.jpg").arg(i), 20,
                                        20));
        fx.load();
        w.state().index = {2, 0, 1, 0, 0, 0, 0, 0, 2};
        w.Panel10MouseDown(2);
        QVERIFY(test::writeJpeg(fx.slotFolder(2) + "p9.jpg", 20, 20));
        fx.load();
        for (int slot = 0; slot < 9; ++slot)
            QCOMPARE(w.state().index[size_t(slot)], 0);
        QCOMPARE(w.state().indexpanel, 0);
        QCOMPARE(w.state().lists[2].count(), 4); // read again
        QCOMPARE(w.state().s1, fx.slotFolder(0) + "p0.jpg");
    }

    // --- the clash check and row 1's availability ---

    void searchingDeviceRowsNeverClash() {
        WindowFixture fx;
        MainWindow& w = fx.startWithFolders();
        openMenu(fx);
        w.Timer1Timer();
        QCOMPARE(path(fx, 2)->text(), kSearching);
        QCOMPARE(path(fx, 3)->text(), kSearching);
        for (int row = 1; row <= 11; ++row)
            QCOMPARE(rowColour(fx, row), kSilver);
        QCOMPARE(tag(fx, 1), 1);
        QCOMPARE(glyph(loadButton(fx, 1)), resource("arrow1"));
    }

    void rowOneEqualToATargetBlocksItsLoadButton() {
        FolderAnswer folder;
        Environment env;
        env.pickFolder = folder.picker();
        WindowFixture fx;
        MainWindow& w = fx.startWithFolders({}, env);
        QVERIFY(test::writeJpeg(fx.slotFolder(0) + "a.jpg", 20, 20));
        openMenu(fx);
        folder.answer = fx.slotFolder(1);
        pick(fx, 1);
        QCOMPARE(rowColour(fx, 1), kRed);
        QCOMPARE(rowColour(fx, 4), kRed);
        QCOMPARE(tag(fx, 1), 1); // the button follows at the next tick
        w.Timer1Timer();
        QCOMPARE(tag(fx, 1), 0);
        QCOMPARE(glyph(loadButton(fx, 1)), resource("arrow3"));
        QTest::mouseClick(loadButton(fx, 1), Qt::LeftButton);
        QVERIFY(w.state().megsemmi); // ignored
        QVERIFY(fx.find<QWidget>(QStringLiteral("Panel20"))->isVisible());

        folder.answer = fx.slotFolder(0);
        pick(fx, 1);
        w.Timer1Timer();
        QCOMPARE(tag(fx, 1), 1);
        QCOMPARE(glyph(loadButton(fx, 1)), resource("arrow1"));
        QTest::mouseClick(loadButton(fx, 1), Qt::LeftButton);
        QVERIFY(!w.state().megsemmi);
    }

    void twoEqualTargetsBlockRowOneToo() {
        FolderAnswer folder;
        Environment env;
        env.pickFolder = folder.picker();
        WindowFixture fx;
        MainWindow& w = fx.startWithFolders({}, env);
        openMenu(fx);
        folder.answer = fx.slotFolder(8); // the Trash's folder for target 1
        pick(fx, 4);
        QCOMPARE(rowColour(fx, 4), kRed);
        QCOMPARE(rowColour(fx, 11), kRed);
        QCOMPARE(rowColour(fx, 1), kSilver);
        w.Timer1Timer();
        QCOMPARE(tag(fx, 1), 0);
    }

    void deviceFoundAtRowOnesFolderStillLoads() {
        WindowFixture fx;
        FakeVolumes vols;
        Environment env;
        env.volumes = &vols;
        MainWindow& w = fx.startWithFolders(
            taughtDevice1(QStringLiteral("0000:0000"), QStringLiteral(":/")), env);
        vols.list = {{fx.slotFolder(0).chopped(1), QStringLiteral("0000:0000")}};
        openMenu(fx);
        w.Timer1Timer();
        QCOMPARE(path(fx, 2)->text(), fx.slotFolder(0));
        QCOMPARE(rowColour(fx, 1), kRed);
        QCOMPARE(rowColour(fx, 2), kRed);
        QCOMPARE(tag(fx, 1), 0);
        QCOMPARE(tag(fx, 2), 1);
        QTest::mouseClick(loadButton(fx, 2), Qt::LeftButton);
        QVERIFY(!w.state().megsemmi);
    }

    // --- the device search tick ---

    void neverTaughtDeviceBlinksAndCannotLoad() {
        WindowFixture fx;
        FakeVolumes vols;
        vols.list = {{QStringLiteral("/"), QStringLiteral("1234:5678")}};
        Environment env;
        env.volumes = &vols;
        MainWindow& w = fx.startWithFolders({}, env);
        openMenu(fx);
        const QColor grey(128, 128, 128);
        QColor previous;
        for (int tick = 0; tick < 3; ++tick) {
            w.Timer1Timer();
            QCOMPARE(path(fx, 2)->text(), kSearching);
            const QColor now = textColour(path(fx, 2));
            QCOMPARE(now, w.state().villogo ? grey : QColor(Qt::black));
            if (tick > 0) QVERIFY(now != previous);
            previous = now;
            QCOMPARE(tag(fx, 2), 0);
            QCOMPARE(tag(fx, 3), 0);
            QCOMPARE(glyph(loadButton(fx, 2)), resource("arrow3"));
        }
        QVERIFY(vols.reads >= 3);
    }

    void deviceSearchFindsTheTaughtVolumes() {
        const Volume sys{QStringLiteral("/"), QStringLiteral("0000:0001")};
        const Volume cardA{QStringLiteral("/media/a"), QStringLiteral("1A2B:3C4D")};
        const Volume cardB{QStringLiteral("/media/b"), QStringLiteral("1A2B:3C4D")};
        const Volume zero{QStringLiteral("/media/zero"), QStringLiteral("0000:0000")};
        const struct {
            const char* what;
            std::vector<Volume> volumes;
            QString serial1, path1, serial2, path2;
            QString row2, row3;
        } table[] = {
            {"two volumes with one serial: the earlier",
             {sys, cardA, cardB},
             "1A2B:3C4D",
             ":/DCIM/",
             "qqqq:qqqq",
             ":/",
             "/media/a/DCIM/",
             kSearching},
            {"both devices taught with one serial",
             {sys, cardB},
             "1A2B:3C4D",
             ":/x/",
             "1A2B:3C4D",
             ":/y/",
             "/media/b/x/",
             "/media/b/y/"},
            {"a lower-case serial never matches",
             {sys, cardA},
             "1a2b:3c4d",
             ":/",
             "1A2B:3C4D",
             ":/",
             kSearching,
             "/media/a/"},
            {"\":/\" is the volume's root",
             {cardA},
             "1A2B:3C4D",
             ":/",
             "0000:0001",
             ":/",
             "/media/a/",
             kSearching},
            {"a root mount point",
             {sys},
             "0000:0001",
             ":/DCIM/",
             "qqqq:qqqq",
             ":/",
             "/DCIM/",
             kSearching},
            {"serial 0 matches like any other",
             {sys, zero},
             "0000:0000",
             ":/",
             "0000:0001",
             ":/",
             "/media/zero/",
             "/"},
            {"no volumes at all", {}, "0000:0001", ":/", "0000:0000", ":/", kSearching, kSearching},
        };
        for (const auto& c : table) {
            WindowFixture fx;
            FakeVolumes vols;
            vols.list = c.volumes;
            Environment env;
            env.volumes = &vols;
            MainWindow& w =
                fx.startWithFolders(QStringLiteral("reservedSerial1=%1\nreservedPath1=%2\n"
                                                   "reservedSerial2=%3\nreservedPath2=%4\n")
                                        .arg(c.serial1, c.path1, c.serial2, c.path2),
                                    env);
            openMenu(fx);
            w.Timer1Timer();
            QVERIFY2(path(fx, 2)->text() == c.row2, c.what);
            QVERIFY2(path(fx, 3)->text() == c.row3, c.what);
            QVERIFY2(tag(fx, 2) == (c.row2 != kSearching ? 1 : 0), c.what);
            QVERIFY2(tag(fx, 3) == (c.row3 != kSearching ? 1 : 0), c.what);
        }
    }

    void foundDeviceShowsItsIconAndGreenGlyph() {
        WindowFixture fx;
        FakeVolumes vols;
        vols.list = {{QStringLiteral("/media/card"), QStringLiteral("AAAA:BBBB")}};
        Environment env;
        env.volumes = &vols;
        MainWindow& w = fx.startWithFolders(
            taughtDevice1(QStringLiteral("AAAA:BBBB"), QStringLiteral(":/"), QStringLiteral("3")),
            env);
        openMenu(fx);
        QCOMPARE(asImage(fx.find<QLabel>(QStringLiteral("Image2"))->pixmap()), resource("sdcard"));
        w.Timer1Timer();
        w.Timer1Timer(); // found on both blink phases: always black
        QCOMPARE(textColour(path(fx, 2)), QColor(Qt::black));
        QCOMPARE(glyph(loadButton(fx, 2)), resource("arrow2"));
        // Unplugged: searching again at the next tick.
        vols.list.clear();
        w.Timer1Timer();
        QCOMPARE(path(fx, 2)->text(), kSearching);
        QCOMPARE(tag(fx, 2), 0);
        QCOMPARE(glyph(loadButton(fx, 2)), resource("arrow3"));
    }

    // --- the animated cursor over the photo ---

    void blinkingCursorAlternatesItsFrames() {
        WindowFixture fx;
        fx.startWithFolders(QStringLiteral("kurzor=1\n"));
        QVERIFY(test::writeJpeg(fx.slotFolder(0) + "a.jpg", 40, 30));
        fx.load();
        QWidget* photo = fx.find<QWidget>(QStringLiteral("Image1"));
        QCOMPARE(photo->cursor().shape(), Qt::BitmapCursor);
        QCOMPARE(photo->cursor().hotSpot(), QPoint(15, 17));
        const QImage frame0 = resource("cur1_0");
        const QImage frame1 = resource("cur1_1");
        QVERIFY(frame0 != frame1);
        auto shown = [&] { return asImage(photo->cursor().pixmap()); };
        QVERIFY(shown() == frame0 || shown() == frame1);
        const QImage first = shown();
        QTRY_VERIFY_WITH_TIMEOUT(shown() != first, 1000);
        QTRY_VERIFY_WITH_TIMEOUT(shown() == first, 1000);
        QCOMPARE(photo->cursor().hotSpot(), QPoint(15, 17));

        // Unticked, the next load gives the default arrow back.
        fx.find<QCheckBox>(QStringLiteral("CheckBox2"))->setChecked(false);
        QCOMPARE(photo->cursor().shape(), Qt::BitmapCursor); // not at the click
        fx.load();
        QCOMPARE(photo->cursor().shape(), Qt::ArrowCursor);
        QTest::qWait(120);
        QCOMPARE(photo->cursor().shape(), Qt::ArrowCursor);
    }

    // --- raw and sidecar files ---

    // Ticking the option marks a photo with a raw file at once, and the close keeps it ticked.
    void companionOptionMarksThePhotoAndIsKept() {
        WindowFixture fx;
        fx.startWithFolders();
        QVERIFY(test::writeJpeg(fx.slotFolder(0) + "a.jpg", 40, 30));
        QVERIFY(test::writeFile(fx.slotFolder(0) + "a.NEF", "raw"));
        fx.load();
        auto* marker = fx.find<QLabel>(QStringLiteral("CompanionMarker"));
        QVERIFY(!marker->isVisible());
        openMenu(fx);
        auto* option = fx.find<QCheckBox>(QStringLiteral("CheckBox3"));
        QCOMPARE(option->text(), QStringLiteral("RAW és XMP társfájlokkal együtt"));
        QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(6, option->height() / 2));
        QVERIFY(option->isChecked());
        QVERIFY(marker->isVisible());
        QCOMPARE(marker->text(), QStringLiteral("RAW"));
        QVERIFY(fx.close());
        QVERIFY(test::iniLines(fx.settingsFile()).contains(QStringLiteral("tarsfajlok=1")));
    }

    // --- the help link ---

    void helpLinkLightsAndOpensTheHelpPage() {
        WindowFixture fx;
        fx.startWithFolders();
        qputenv("TMPDIR", fx.folder(QStringLiteral("tmp")).toLocal8Bit());
        QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "openedUrl");
        openMenu(fx);
        auto* link = fx.find<QLabel>(QStringLiteral("Label1"));
        QCOMPARE(link->text(), QStringLiteral("Segítség a használatához"));
        QEvent enter(QEvent::Enter);
        QCoreApplication::sendEvent(link, &enter);
        QCOMPARE(textColour(link), QColor(Qt::blue));
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(link, &leave);
        QCOMPARE(textColour(link), QColor(Qt::black));

        QTest::mouseClick(link, Qt::LeftButton);
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        qunsetenv("TMPDIR");
        QCOMPARE(opened_.size(), 1);
        QVERIFY(opened_.front().toLocalFile().startsWith(fx.folder(QStringLiteral("tmp"))));
        QFile page(opened_.front().toLocalFile());
        QFile shipped(QStringLiteral(":/help/help_hu.html"));
        QVERIFY(page.open(QIODevice::ReadOnly) && shipped.open(QIODevice::ReadOnly));
        QCOMPARE(page.readAll(), shipped.readAll());
    }

    // The page is written into a folder of the session's own, never through a link planted where
    // someone could guess the name, and the folder goes with the window.
    void helpPageIsWrittenIntoAPrivateFolder() {
        WindowFixture fx;
        fx.startWithFolders();
        const QString tmp = fx.folder(QStringLiteral("tmp"));
        const QString victim = fx.folder(QStringLiteral("home")) + QStringLiteral("victim.html");
        const QString planted = tmp + QStringLiteral("kovrin-photo-sorter-help.html");
        QVERIFY(QFile::link(victim, planted));
        qputenv("TMPDIR", tmp.toLocal8Bit());
        QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "openedUrl");
        opened_.clear();
        openMenu(fx);
        auto* link = fx.find<QLabel>(QStringLiteral("Label1"));
        QTest::mouseClick(link, Qt::LeftButton);
        QCOMPARE(opened_.size(), 1);
        const QString page = opened_.front().toLocalFile();
        const QString folder = QFileInfo(page).absolutePath() + QLatin1Char('/');
        QVERIFY2(folder.startsWith(tmp) && folder != tmp, qPrintable(page));
        const auto others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                            QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
        QCOMPARE(QFile::permissions(folder) & others, QFileDevice::Permissions());
        QVERIFY(QFileInfo(planted).isSymLink());
        QVERIFY(!QFileInfo::exists(victim));

        // Even a link at the page's own name is replaced, not written through.
        QVERIFY(QFile::remove(page));
        QVERIFY(QFile::link(victim, page));
        QTest::mouseClick(link, Qt::LeftButton);
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        qunsetenv("TMPDIR");
        QCOMPARE(opened_.size(), 2);
        QCOMPARE(opened_.back().toLocalFile(), page);
        QVERIFY(!QFileInfo::exists(victim));
        QVERIFY(!QFileInfo(page).isSymLink());
        QFile written(page);
        QFile shipped(QStringLiteral(":/help/help_hu.html"));
        QVERIFY(written.open(QIODevice::ReadOnly) && shipped.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), shipped.readAll());

        fx.start(); // the window goes, and a new one starts
        QVERIFY(!QFileInfo::exists(folder));
    }

  public slots:
    void openedUrl(const QUrl& url) { opened_.append(url); }

  private:
    QList<QUrl> opened_;
};

QTEST_MAIN(MenuTest)
#include "tst_menu.moc"
