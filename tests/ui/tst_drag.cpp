// Sorting by dragging the photo onto a folder panel, through the real window.

#include "dragdriver.h"

#include "app/widgets.h"
#include "core/faultyfileops.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QRegularExpression>

using namespace kps;
using kps::test::Drag;
using kps::test::WindowFixture;

class DragTest : public QObject {
    Q_OBJECT

    // What a status field says; a long folder may be shortened on the screen.
    static QString field(WindowFixture& fx, int i) {
        return fx.find<ElidedLabel>(QStringLiteral("StatusField%1").arg(i))->fullText();
    }
    static QWidget* frame(WindowFixture& fx) {
        return test::component(fx, QStringLiteral("Panel1"));
    }
    static PanelPicture* picture(WindowFixture& fx, int slot) {
        return fx.find<PanelPicture>(QStringLiteral("Image%1").arg(10 + slot));
    }
    // Writes a small photo into a slot's folder and returns its path.
    static QString put(WindowFixture& fx, int slot, const QString& name, int seed = 1) {
        const QString path = fx.slotFolder(slot) + name;
        if (!test::writeJpeg(path, 64, 48, seed)) qFatal("cannot write %s", qPrintable(path));
        return path;
    }
    // Shows a folder's photos, as a click on its panel does.
    static void view(WindowFixture& fx, int slot) {
        QTest::mouseClick(picture(fx, slot), Qt::LeftButton, {}, QPoint(5, 5));
    }
    static int targets(const MainWindow& w) {
        int n = 0;
        for (PanelState s : w.state().panelState)
            n += s == PanelState::DropTarget;
        return n;
    }
    // The viewed photo is still there, shown at full fitted size, with its bytes intact.
    static void photoStays(WindowFixture& fx, MainWindow& w, const QString& photo,
                           const QByteArray& bytes, QRect fitted) {
        QCOMPARE(test::readFile(photo), bytes);
        QCOMPARE(w.state().globalnev, photo);
        QVERIFY(frame(fx)->isVisible());
        QCOMPARE(frame(fx)->geometry(), fitted);
        QVERIFY(!w.state().mozg);
    }

  private slots:
    // A release that is not over a folder panel leaves files, lists and viewer as they were.
    void releaseOverNothingDropsNothing_data() {
        QTest::addColumn<QList<QPoint>>("path"); // client points the pointer visits
        QTest::newRow("no move") << QList<QPoint>{};
        QTest::newRow("inside the viewer") << QList<QPoint>{{400, 200}, {120, 300}};
        QTest::newRow("corner box") << QList<QPoint>{{10, 10}};
        QTest::newRow("over the status bar") << QList<QPoint>{{400, 410}};
        QTest::newRow("outside the window") << QList<QPoint>{{-300, -40}, {1500, 900}};
        QTest::newRow("over a folder, then off") << QList<QPoint>{{25, 120}, {400, 200}};
        QTest::newRow("the viewed panel") << QList<QPoint>{{500, 25}};
    }

    void releaseOverNothingDropsNothing() {
        QFETCH(QList<QPoint>, path);
        WindowFixture fx;
        MainWindow& w = test::startSized(fx);
        const QString a = put(fx, 0, "a.jpg");
        put(fx, 0, "b.jpg", 2);
        fx.load();
        const QRect fitted = frame(fx)->geometry();
        Drag drag(fx);
        drag.press();
        QVERIFY(w.state().mozg);
        for (QPoint p : path)
            drag.toClient(p);
        QCOMPARE(targets(w), 0);
        QCOMPARE(w.state().panelState[0], PanelState::Selected);
        drag.release();
        QVERIFY(!w.state().mozg);
        QCOMPARE(frame(fx)->geometry(), fitted);
        QCOMPARE(test::component(fx, QStringLiteral("Image1"))->size(), fitted.size());
        QCOMPARE(w.state().globalnev, a);
        QCOMPARE(test::photosOnDisk(fx.slotFolder(0)).size(), 2);
        for (int slot = 1; slot < kSlotCount; ++slot)
            QVERIFY(test::photosOnDisk(fx.slotFolder(slot)).isEmpty());
        QCOMPARE(test::listsVersusDisk(w), QString());
        QCOMPARE(field(fx, 0), QStringLiteral("1/2"));
        QCOMPARE(test::statusMessage(w), QString());
    }

    // The panel under the pointer lights up in the drop colour, and only while it is under it.
    void panelUnderThePointerIsTheTarget() {
        WindowFixture fx;
        MainWindow& w = test::startSized(fx);
        w.state().szin2 = 0x0000FF; // pure red drop target
        put(fx, 0, "a.jpg");
        fx.load();
        Drag drag(fx);
        drag.press().toSlot(3);
        QCOMPARE(w.state().panelState[3], PanelState::DropTarget);
        QCOMPARE(targets(w), 1);
        QCOMPARE(picture(fx, 3)->image().pixelColor(1, 1), QColor(255, 0, 0));
        drag.toSlot(8);
        QCOMPARE(w.state().panelState[3], PanelState::Normal);
        QCOMPARE(w.state().panelState[8], PanelState::DropTarget);
        QVERIFY(picture(fx, 3)->image().pixelColor(1, 1) != QColor(255, 0, 0));
        drag.toViewer({350, 150}).release();
        QCOMPARE(targets(w), 0);
    }

    // With subfolder search on, the source panel never takes a photo.
    void subfolderSearchKeepsTheSourceOut_data() {
        QTest::addColumn<bool>("subfolders");
        QTest::newRow("subfolder search off") << false;
        QTest::newRow("subfolder search on") << true;
    }

    void subfolderSearchKeepsTheSourceOut() {
        QFETCH(bool, subfolders);
        WindowFixture fx;
        MainWindow& w =
            test::startSized(fx, subfolders ? QStringLiteral("pirosmappa=1\n") : QString());
        const QString p = put(fx, 3, "p.jpg");
        fx.load();
        view(fx, 3);
        QCOMPARE(w.state().globalnev, p);
        Drag drag(fx);
        drag.press().toSlot(0);
        QCOMPARE(w.state().panelState[0], subfolders ? PanelState::Normal : PanelState::DropTarget);
        drag.release();
        QCOMPARE(QFile::exists(p), subfolders);
        QCOMPARE(QFile::exists(fx.slotFolder(0) + "p.jpg"), !subfolders);
        QCOMPARE(w.state().panelState[3], PanelState::Selected);
        QCOMPARE(test::listsVersusDisk(w), QString());
    }

    // A yellow folder takes the photo away from the source; the viewer shows what follows.
    void yellowDropMovesThePhoto_data() {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("start");
        QTest::addColumn<QString>("next"); // photo shown afterwards, empty for none
        QTest::addColumn<QString>("position");
        QTest::newRow("first of three") << 3 << 0 << "p1.jpg"
                                        << "1/2";
        QTest::newRow("middle of three") << 3 << 1 << "p2.jpg"
                                         << "2/2";
        QTest::newRow("last of three") << 3 << 2 << "p1.jpg"
                                       << "2/2";
        QTest::newRow("only photo") << 1 << 0 << ""
                                    << "0/0";
    }

    void yellowDropMovesThePhoto() {
        QFETCH(int, count);
        QFETCH(int, start);
        QFETCH(QString, next);
        QFETCH(QString, position);
        WindowFixture fx;
        MainWindow& w = test::startSized(fx);
        put(fx, 1, "a_existing.jpg", 9);
        put(fx, 1, "z_existing.jpg", 8);
        for (int i = 0; i < count; ++i)
            put(fx, 0, QStringLiteral("p%1.jpg").arg(i), i);
        fx.load();
        w.state().index[0] = start;
        w.FormKeyDown(0);
        QVERIFY(test::waitForPhoto(w));
        const QString dragged = w.state().globalnev;
        const QByteArray bytes = test::readFile(dragged);
        const QSize fitted = frame(fx)->size();
        const QString moved =
            fx.slotFolder(1) + test::photosOnDisk(fx.slotFolder(0)).at(start).section(u'/', -1);

        test::dropOnSlot(fx, 1);

        QVERIFY(!QFile::exists(dragged));
        QCOMPARE(test::readFile(moved), bytes);
        QCOMPARE(w.state().lists[1].at(w.state().index[1]), moved);
        QCOMPARE(test::listsVersusDisk(w), QString());
        QCOMPARE(field(fx, 0), position);
        QCOMPARE(picture(fx, 1)->text(), QStringLiteral("Mappa1 (2/3)"));
        QCOMPARE(w.state().panelState[1], PanelState::Normal);
        QCOMPARE(w.state().panelState[0], PanelState::Selected);
        QCOMPARE(test::statusMessage(w), QString());
        if (next.isEmpty()) {
            QCOMPARE(w.state().globalnev, QStringLiteral("*"));
            QVERIFY(!frame(fx)->isVisible());
            QCOMPARE(field(fx, 1), QString());
            QCOMPARE(field(fx, 4), QString());
        } else {
            QCOMPARE(w.state().globalnev, fx.slotFolder(0) + next);
            QCOMPARE(field(fx, 1), next);
            QCOMPARE(field(fx, 4), fx.slotFolder(0));
            QVERIFY(frame(fx)->isVisible());
            QCOMPARE(frame(fx)->size(), fitted); // fitted again, not left shrunk
        }
    }

    // A green folder keeps the dragged photo where it was: the drop is a copy.
    void greenDropCopies_data() {
        QTest::addColumn<int>("start");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("position");
        QTest::newRow("first of two: the viewer moves on") << 0 << "b.jpg"
                                                           << "2/2";
        QTest::newRow("last of two: it stays, laid out again") << 1 << "b.jpg"
                                                               << "2/2";
    }

    void greenDropCopies() {
        QFETCH(int, start);
        QFETCH(QString, shown);
        QFETCH(QString, position);
        WindowFixture fx;
        MainWindow& w = test::startSized(fx);
        w.state().png[4] = kMarkGreen;
        put(fx, 0, "a.jpg", 1);
        put(fx, 0, "b.jpg", 2);
        fx.load();
        w.state().index[0] = start;
        w.FormKeyDown(0);
        QVERIFY(test::waitForPhoto(w));
        const QRect fitted = frame(fx)->geometry();
        const QString dragged = w.state().globalnev;
        const QString copy = fx.slotFolder(4) + dragged.section(u'/', -1);

        Drag drag(fx);
        drag.press().toSlot(4);
        QVERIFY(frame(fx)->width() < fitted.width());
        drag.release();
        QVERIFY(test::waitForPhoto(w));

        QCOMPARE(test::readFile(copy), test::readFile(dragged));
        QCOMPARE(w.state().lists[4].at(w.state().index[4]), copy);
        QCOMPARE(test::listsVersusDisk(w), QString());
        QCOMPARE(w.state().globalnev, fx.slotFolder(0) + shown);
        QCOMPARE(field(fx, 0), position);
        QVERIFY(frame(fx)->isVisible());
        QCOMPARE(frame(fx)->geometry(), fitted);
        QCOMPARE(test::statusMessage(w), QString());
    }

    // A blue folder collects a copy of every drop except one onto the Trash. With the option
    // ticked, the photo's raw file and sidecar go wherever the photo goes.
    void blueFolderCollects_data() {
        QTest::addColumn<int>("target");
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("marker");
        QTest::newRow("onto a yellow folder") << 1 << ""
                                              << "";
        QTest::newRow("onto the Trash") << 8 << ""
                                        << "";
        QTest::newRow("with its raw file, onto a yellow folder") << 1 << "tarsfajlok=1\n"
                                                                 << "RAW+XMP";
        QTest::newRow("with its raw file, onto the Trash") << 8 << "tarsfajlok=1\n"
                                                           << "RAW+XMP";
        QTest::newRow("option off: the raw file stays") << 1 << "tarsfajlok=0\n"
                                                        << "";
    }

    void blueFolderCollects() {
        QFETCH(int, target);
        QFETCH(QString, option);
        QFETCH(QString, marker);
        WindowFixture fx;
        MainWindow& w = test::startSized(fx, option);
        w.state().png[2] = kMarkBlue;
        const QString p = put(fx, 0, "p.jpg");
        put(fx, 0, "q.jpg", 2);
        // A raw file and its sidecar beside the photo.
        const QStringList companions{"p.CR2", "p.xmp"};
        for (const QString& name : companions)
            test::writeFile(fx.slotFolder(0) + name, name.toUtf8().repeated(1000));
        fx.load();
        QCOMPARE(fx.find<QCheckBox>("CheckBox3")->isChecked(), !marker.isEmpty());
        auto* shownMarker = fx.find<QLabel>("CompanionMarker");
        QCOMPARE(shownMarker->isVisible() ? shownMarker->text() : QString(), marker);
        const QByteArray bytes = test::readFile(p);
        test::dropOnSlot(fx, target);
        QVERIFY(!QFile::exists(p));
        QCOMPARE(test::readFile(fx.slotFolder(target) + "p.jpg"), bytes);
        QCOMPARE(QFile::exists(fx.slotFolder(2) + "p.jpg"), target != kTrashSlot);
        for (const QString& name : companions) {
            const bool carried = !marker.isEmpty();
            QCOMPARE(QFile::exists(fx.slotFolder(0) + name), !carried);
            QCOMPARE(test::readFile(fx.slotFolder(target) + name),
                     carried ? name.toUtf8().repeated(1000) : QByteArray());
            QCOMPARE(QFile::exists(fx.slotFolder(2) + name), carried && target != kTrashSlot);
        }
        if (target != kTrashSlot)
            QCOMPARE(w.state().lists[2].at(w.state().index[2]), fx.slotFolder(2) + "p.jpg");
        QCOMPARE(test::listsVersusDisk(w), QString());
        QCOMPARE(w.state().globalnev, fx.slotFolder(0) + "q.jpg");
        QVERIFY(!shownMarker->isVisible()); // q.jpg has nothing beside it
    }

    // A blue folder being viewed already holds the photo: it leaves without a copy left behind.
    void photoLeavesTheViewedBlueFolder() {
        WindowFixture fx;
        MainWindow& w = test::startSized(fx);
        w.state().png[2] = kMarkBlue;
        const QString p = put(fx, 2, "p.jpg");
        const QByteArray bytes = test::readFile(p);
        fx.load();
        view(fx, 2);
        test::dropOnSlot(fx, 1);
        QVERIFY(!QFile::exists(p));
        QCOMPARE(test::readFile(fx.slotFolder(1) + "p.jpg"), bytes);
        QVERIFY(w.state().lists[2].isEmpty());
        QCOMPARE(test::listsVersusDisk(w), QString());
        QCOMPARE(w.state().globalnev, QStringLiteral("*"));
    }

    // With subfolder search on and the source blue, a photo from a subfolder is already in the
    // source's list: it leaves for the target, and no copy goes to the source's top folder.
    void photoLeavesABlueSourceScannedWithSubfolders() {
        WindowFixture fx;
        MainWindow& w = test::startSized(fx, QStringLiteral("pirosmappa=1\n"));
        w.state().png[0] = kMarkBlue;
        QVERIFY(QDir(fx.slotFolder(0)).mkdir("sub"));
        const QString p = put(fx, 0, "sub/p.jpg");
        const QByteArray bytes = test::readFile(p);
        fx.load();
        QCOMPARE(w.state().globalnev, p);
        test::dropOnSlot(fx, 1);
        QCOMPARE(test::statusMessage(w), QString());
        QVERIFY(!QFile::exists(p));
        QVERIFY(!QFile::exists(fx.slotFolder(0) + "p.jpg"));
        QCOMPARE(test::readFile(fx.slotFolder(1) + "p.jpg"), bytes);
        QVERIFY(w.state().lists[0].isEmpty());
    }

    // An undo folder removed (or a Trash chosen) after start is made when a photo needs it.
    void trashWorksWithoutItsUndoFolder() {
        WindowFixture fx;
        MainWindow& w = test::startSized(fx);
        const QString undo = fx.slotFolder(8) + kUndoFolderName;
        QVERIFY(QDir(undo).removeRecursively());
        const QString p = put(fx, 0, "IMG_7.jpg");
        const QByteArray bytes = test::readFile(p);
        fx.load();
        test::dropOnSlot(fx, kTrashSlot);
        QCOMPARE(test::statusMessage(w), QString());
        QVERIFY(!QFile::exists(p));
        QCOMPARE(test::readFile(undo + "/undo1.jpg"), bytes);
        QCOMPARE(w.state().torol500, 2);
    }

    // The Trash keeps a copy under the running number in its undo folder.
    void trashKeepsAnUndoCopy() {
        WindowFixture fx;
        MainWindow& w = test::startSized(fx, QStringLiteral("[panel]\ntorol500=1\n"));
        QCOMPARE(w.state().torol500, 1);
        const QString p = put(fx, 0, "IMG_7.jpg");
        const QByteArray bytes = test::readFile(p);
        fx.load();
        test::dropOnSlot(fx, kTrashSlot);
        const QString undo = fx.slotFolder(8) + kUndoFolderName + "/undo1.jpg";
        QCOMPARE(test::readFile(fx.slotFolder(8) + "IMG_7.jpg"), bytes);
        QCOMPARE(test::readFile(undo), bytes);
        QVERIFY(!QFile::exists(p));
        QCOMPARE(w.state().torol500, 2);
        QCOMPARE(w.state().s3, undo);
        QCOMPARE(w.state().lists[8].at(w.state().index[8]), fx.slotFolder(8) + "IMG_7.jpg");
        QCOMPARE(test::listsVersusDisk(w), QString());
        QCOMPARE(field(fx, 0), QStringLiteral("0/0"));

        QVERIFY(fx.close());
        const QString ini = QString::fromUtf8(test::readFile(fx.settingsFile()));
        QVERIFY2(ini.contains(QRegularExpression(QStringLiteral("\\btorol500\\s*=\\s*2\\b"))),
                 qPrintable(ini));
    }

    // With the Trash viewed its panel is selected, so photos can only leave it.
    void photosLeaveTheViewedTrash() {
        WindowFixture fx;
        MainWindow& w = test::startSized(fx);
        const QString t = put(fx, 8, "t.jpg");
        const QByteArray bytes = test::readFile(t);
        fx.load();
        view(fx, 8);
        QCOMPARE(w.state().panelState[8], PanelState::Selected);
        QCOMPARE(w.state().globalnev, t);
        Drag(fx).press().toSlot(8).release();
        QCOMPARE(w.state().panelState[8], PanelState::Selected);
        QVERIFY(QFile::exists(t));

        test::dropOnSlot(fx, 5);
        QCOMPARE(test::readFile(fx.slotFolder(5) + "t.jpg"), bytes);
        QVERIFY(!QFile::exists(t));
        QCOMPARE(w.state().torol500, 1);
        QVERIFY(QDir(fx.slotFolder(8) + kUndoFolderName).isEmpty());
        QCOMPARE(w.state().panelState[8], PanelState::Selected);
        QCOMPARE(test::listsVersusDisk(w), QString());
    }

    // Viewer 700 x 300, frame 400 x 200 at (150, 50), press at frame point (200, 100), pointer
    // to viewer point (75, 150): the horizontal axis halves the photo.
    void workedGeometryExample() {
        WindowFixture fx;
        MainWindow& w = test::startSized(fx);
        QVERIFY(test::writeJpeg(fx.slotFolder(0) + "w.jpg", 400, 200));
        fx.load();
        QCOMPARE(test::component(fx, QStringLiteral("Panel2"))->geometry(),
                 QRect(50, 50, 700, 300));
        QCOMPARE(frame(fx)->geometry(), QRect(150, 50, 400, 200));

        Drag drag(fx);
        drag.press({200, 100});
        const AppState& st = w.state();
        QCOMPARE(QPoint(st.rx, st.ry), QPoint(350, 150));
        QCOMPARE(QList<int>({st.xtavbal, st.xtavjobb, st.ytavbal, st.ytavjobb}),
                 QList<int>({550, 550, 350, 350}));
        QCOMPARE(st.rataW, 2.0);
        QCOMPARE(st.rataH, 2.0);
        QCOMPARE(st.eredeti, QRect(150, 50, 400, 200));

        drag.toViewer({75, 150});
        QCOMPARE(QPoint(st.xhossz, st.yhossz), QPoint(275, 0));
        QCOMPARE(st.rataX, 50.0);
        QCOMPARE(st.rataY, 100.0);
        QCOMPARE(frame(fx)->geometry(), QRect(-25, 100, 200, 100));
        QCOMPARE(test::component(fx, QStringLiteral("Image1"))->size(), QSize(200, 100));
        QCOMPARE(QPoint(st.nagyx, st.nagyy), QPoint(125, 200));

        // 200 pixels beyond the left edge the photo is gone; half-way there it is small.
        drag.toViewer({-100, 150});
        QCOMPARE(frame(fx)->size(), QSize(72, 36));
        drag.toViewer({-200, 150});
        QCOMPARE(frame(fx)->size(), QSize(0, 0));
        drag.release();
        QCOMPARE(frame(fx)->geometry(), QRect(150, 50, 400, 200));
    }

    // Presses on the first row or column and drags far past every edge: the frame never takes
    // a negative size, and it comes back where it was.
    void dragsFarPastTheEdges_data() {
        QTest::addColumn<QPoint>("press");
        QTest::newRow("left column") << QPoint(0, 100);
        QTest::newRow("top row") << QPoint(200, 0);
        QTest::newRow("top-left corner") << QPoint(0, 0);
        QTest::newRow("bottom-right corner") << QPoint(399, 199);
    }

    void dragsFarPastTheEdges() {
        QFETCH(QPoint, press);
        WindowFixture fx;
        MainWindow& w = test::startSized(fx);
        QVERIFY(test::writeJpeg(fx.slotFolder(0) + "w.jpg", 400, 200));
        fx.load();
        const QRect fitted = frame(fx)->geometry();
        Drag drag(fx);
        drag.press(press);
        const QList<QPoint> far{{-5000, 150},   {5000, 150},  {350, -5000}, {350, 5000},
                                {-5000, -5000}, {5000, 5000}, {-201, -201}, {901, 501},
                                {350, 150},     {0, 0},       {-1, -1}};
        for (QPoint p : far) {
            drag.toViewer(p);
            const QRect r = frame(fx)->geometry();
            QVERIFY2(r.width() >= 0 && r.height() >= 0,
                     qPrintable(QStringLiteral("at %1,%2").arg(p.x()).arg(p.y())));
            QVERIFY(r.width() <= fitted.width() && r.height() <= fitted.height());
        }
        drag.toViewer({-5000, 150});
        QCOMPARE(frame(fx)->size(), QSize(0, 0));
        drag.release();
        QCOMPARE(frame(fx)->geometry(), fitted);
        QCOMPARE(test::listsVersusDisk(w), QString());
    }

    // While the menu page is open the photo does not move.
    void menuPageStopsTheDrag() {
        WindowFixture fx;
        MainWindow& w = test::startSized(fx);
        const QString p = put(fx, 0, "a.jpg");
        fx.load();
        const QRect fitted = frame(fx)->geometry();
        w.Panel22Click();
        QVERIFY(test::component(fx, QStringLiteral("Panel20"))->isVisible());
        Drag drag(fx);
        drag.press();
        QVERIFY(!w.state().mozg);
        drag.toSlot(1);
        QCOMPARE(targets(w), 0);
        QCOMPARE(frame(fx)->geometry(), fitted);
        drag.release();
        QVERIFY(QFile::exists(p));
    }

    // A second button pressed during a drag does not restart it from the shrunk frame.
    void secondButtonKeepsTheDragsStart() {
        WindowFixture fx;
        MainWindow& w = test::startSized(fx);
        put(fx, 0, "a.jpg");
        fx.load();
        const QRect fitted = frame(fx)->geometry();
        QWidget* image = test::component(fx, QStringLiteral("Image1"));
        Drag drag(fx);
        drag.press().toViewer({100, 100});
        QVERIFY(frame(fx)->width() < fitted.width());
        QTest::mousePress(image, Qt::RightButton, {}, QPoint(3, 3));
        QCOMPARE(w.state().eredeti, fitted);
        QTest::mouseRelease(image, Qt::RightButton, {}, QPoint(3, 3));
        QVERIFY(!w.state().mozg);
        QCOMPARE(frame(fx)->geometry(), fitted);
        drag.release();
        QCOMPARE(frame(fx)->geometry(), fitted);
    }

    // Things that go wrong on disk after loading: the photo is never lost, the lists follow the
    // disk, and the status bar says what happened.
    void diskChangesKeepThePhoto_data() {
        QTest::addColumn<int>("change");
        QTest::newRow("target folder removed") << 0;
        QTest::newRow("a folder where the copy goes") << 1;
        QTest::newRow("another photo of that name") << 2;
        QTest::newRow("the Trash folder removed") << 3;
    }

    void diskChangesKeepThePhoto() {
        QFETCH(int, change);
        WindowFixture fx;
        MainWindow& w = test::startSized(fx);
        const QString p = put(fx, 0, "IMG_1.jpg", 1);
        put(fx, 0, "IMG_2.jpg", 2);
        fx.load();
        const QByteArray bytes = test::readFile(p);
        const QRect fitted = frame(fx)->geometry();
        int target = 1;
        switch (change) {
        case 0:
            QVERIFY(QDir(fx.slotFolder(1)).removeRecursively());
            break;
        case 1:
            QVERIFY(QDir().mkdir(fx.slotFolder(1) + "IMG_1.jpg"));
            break;
        case 2:
            put(fx, 1, "IMG_1.jpg", 7);
            break;
        case 3:
            QVERIFY(QDir(fx.slotFolder(8)).removeRecursively());
            target = kTrashSlot;
            break;
        }
        test::dropOnSlot(fx, target);
        photoStays(fx, w, p, bytes, fitted);
        QCOMPARE(test::listsVersusDisk(w), QString());
        QVERIFY(!test::statusMessage(w).isEmpty());
        QCOMPARE(field(fx, 0), QStringLiteral("1/2"));
        QCOMPARE(w.state().torol500, 1);
    }

    // A drop that works takes an earlier failure's message away.
    void successClearsTheLastFailure() {
        WindowFixture fx;
        MainWindow& w = test::startSized(fx);
        const QString a = put(fx, 0, "a.jpg", 1);
        put(fx, 0, "b.jpg", 2);
        put(fx, 2, "a.jpg", 3);
        fx.load();
        const QByteArray bytes = test::readFile(a);
        test::dropOnSlot(fx, 2);
        QVERIFY(!test::statusMessage(w).isEmpty());
        QVERIFY(QFile::exists(a));
        QCOMPARE(w.state().globalnev, a);
        test::dropOnSlot(fx, 1);
        QCOMPARE(test::readFile(fx.slotFolder(1) + "a.jpg"), bytes);
        QVERIFY(!QFile::exists(a));
        QCOMPARE(test::statusMessage(w), QString());
        QVERIFY(fx.find<QLabel>(QStringLiteral("StatusField0"))->isVisible());
    }

    // The dragged photo vanished after loading: it leaves the lists, nothing is made of it.
    void vanishedPhotoLeavesTheLists() {
        WindowFixture fx;
        MainWindow& w = test::startSized(fx);
        const QString p = put(fx, 0, "IMG_1.jpg", 1);
        const QString next = put(fx, 0, "IMG_2.jpg", 2);
        fx.load();
        QVERIFY(QFile::remove(p));
        test::dropOnSlot(fx, 1);
        QVERIFY(test::photosOnDisk(fx.slotFolder(1)).isEmpty());
        QCOMPARE(test::listsVersusDisk(w), QString());
        QVERIFY(!test::statusMessage(w).isEmpty());
        QCOMPARE(w.state().globalnev, next);
        QVERIFY(frame(fx)->isVisible());
    }

    // Each way a drop can take part, with one file step made to fail through the window's file
    // operations: the photo stays where it was, whole, and shown.
    void injectedFailuresKeepThePhoto_data() {
        using test::FileStep;
        QTest::addColumn<int>("target");
        QTest::addColumn<int>("targetMark"); // 0 for the Trash
        QTest::addColumn<int>("blueSlot");   // -1 for none
        QTest::addColumn<bool>("crossFs");   // moves copy and delete instead of renaming
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("failIn"); // slot whose folder fails; 9 for the undo folder
        auto row = [](const char* name, int target, int mark, int blue, bool cross, FileStep step,
                      int failIn) {
            QTest::newRow(name) << target << mark << blue << cross << int(step) << failIn;
        };
        row("yellow: rename into place", 1, 1, -1, false, FileStep::Rename, 1);
        row("yellow: copy across file systems", 1, 1, -1, true, FileStep::CopyToTemp, 1);
        row("yellow: flush of the copy", 1, 1, -1, true, FileStep::Flush, 1);
        row("yellow: delete of the original", 1, 1, -1, true, FileStep::Remove, 0);
        row("yellow+blue: copy into blue", 1, 1, 2, false, FileStep::CopyToTemp, 2);
        row("yellow+blue: verify in blue", 1, 1, 2, false, FileStep::Verify, 2);
        row("yellow+blue: rename into yellow", 1, 1, 2, false, FileStep::Rename, 1);
        row("green: copy", 3, 3, -1, false, FileStep::CopyToTemp, 3);
        row("green: rename of the copy", 3, 3, -1, false, FileStep::Rename, 3);
        row("Trash: copy into the Trash", 8, 0, -1, true, FileStep::CopyToTemp, 8);
        row("Trash: undo copy", 8, 0, -1, false, FileStep::CopyToTemp, 9);
        row("Trash: rename into the Trash", 8, 0, -1, false, FileStep::Rename, 8);
        row("Trash: delete of the original", 8, 0, -1, true, FileStep::Remove, 0);
    }

    void injectedFailuresKeepThePhoto() {
        QFETCH(int, target);
        QFETCH(int, targetMark);
        QFETCH(int, blueSlot);
        QFETCH(bool, crossFs);
        QFETCH(int, step);
        QFETCH(int, failIn);
        test::FaultyFileOps faulty;
        faulty.crossFileSystem = crossFs;
        Environment env;
        env.fileOps = &faulty;
        WindowFixture fx;
        MainWindow& w = test::startSized(fx, {}, env);
        if (targetMark) w.state().png[size_t(target)] = targetMark;
        if (blueSlot >= 0) w.state().png[size_t(blueSlot)] = kMarkBlue;
        const QString p = put(fx, 0, "IMG_1.jpg", 1);
        put(fx, 0, "IMG_2.jpg", 2);
        fx.load();
        const QByteArray bytes = test::readFile(p);
        const QRect fitted = frame(fx)->geometry();
        const QString failing =
            failIn == 9 ? fx.slotFolder(8) + kUndoFolderName + u'/' : fx.slotFolder(failIn);
        faulty.failOn(test::FileStep(step), test::inFolder(failing));

        test::dropOnSlot(fx, target);

        QVERIFY(faulty.tripped > 0);
        photoStays(fx, w, p, bytes, fitted);
        QCOMPARE(test::listsVersusDisk(w), QString());
        QVERIFY(!test::statusMessage(w).isEmpty());
        // The running number is past every undo copy made.
        const QDir undo(fx.slotFolder(8) + kUndoFolderName);
        QCOMPARE(w.state().torol500, 1 + int(undo.entryList(QDir::Files).size()));
        if (blueSlot >= 0) QVERIFY(!QFile::exists(fx.slotFolder(1) + "IMG_1.jpg"));
    }

    // Copies keep the photo's modification time, which the viewer shows as its date.
    void copiesKeepTheDate_data() {
        QTest::addColumn<int>("mark");
        QTest::addColumn<bool>("crossFs");
        QTest::newRow("move by renaming") << kMarkYellow << false;
        QTest::newRow("move by copying") << kMarkYellow << true;
        QTest::newRow("green copy") << kMarkGreen << false;
    }

    void copiesKeepTheDate() {
        QFETCH(int, mark);
        QFETCH(bool, crossFs);
        test::FaultyFileOps ops; // fails nothing
        ops.crossFileSystem = crossFs;
        Environment env;
        env.fileOps = &ops;
        WindowFixture fx;
        MainWindow& w = test::startSized(fx, {}, env);
        w.state().png[6] = mark;
        const QString p = put(fx, 0, "dated.jpg");
        QVERIFY(test::setModified(p, QDateTime(QDate(2017, 3, 5), QTime(9, 7, 41))));
        fx.load();
        QCOMPARE(field(fx, 3), QStringLiteral("2017.3.5 9:7"));
        test::dropOnSlot(fx, 6);
        QCOMPARE(QFile::exists(p), mark == kMarkGreen);
        view(fx, 6);
        QCOMPARE(w.state().globalnev, fx.slotFolder(6) + "dated.jpg");
        QCOMPARE(field(fx, 1), QStringLiteral("dated.jpg"));
        // The date comes from the decoding thread with the file's facts.
        QTRY_COMPARE(field(fx, 3), QStringLiteral("2017.3.5 9:7"));
    }
};

QTEST_MAIN(DragTest)
#include "tst_drag.moc"
