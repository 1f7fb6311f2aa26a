// The device-teaching wizard: its controls, the before-and-after search, "Kész", "Mégse" and
// its place over the viewer, driven through the real main window with a fake volume list.

#include "support/fakevolumes.h"
#include "support/uitest.h"

#include "dialogs/devicewizard.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <functional>

using namespace kps;
using kps::test::FakeVolumes;
using kps::test::WindowFixture;

namespace {

const QString kSearching = QStringLiteral("Eszköz keresése...");
const Volume kSystem{QStringLiteral("/"), QStringLiteral("0000:0001")};
const Volume kHome{QStringLiteral("/home"), QStringLiteral("0000:0002")};

QImage resource(const char* name) {
    return QImage(QStringLiteral(":/images/%1.png").arg(QLatin1String(name)))
        .convertToFormat(QImage::Format_ARGB32);
}

} // namespace

class WizardTest : public QObject {
    Q_OBJECT

    // A main window with a fake volume list and a folder picker that answers `folderAnswer_`.
    MainWindow& start(WindowFixture& fx, const QString& extraKezdo = {}) {
        Environment env;
        env.volumes = &vols_;
        env.pickFolder = [this](QWidget*, const QString& title, const QString& start,
                                const QString& root) {
            pickerTitle_ = title;
            pickerStart_ = start;
            pickerRoot_ = root;
            return folderAnswer_;
        };
        return fx.startWithFolders(extraKezdo, env);
    }

    static DeviceWizard* wizard(WindowFixture& fx) {
        return fx.find<DeviceWizard>(QStringLiteral("Form4"));
    }
    template <typename T> static T* in(DeviceWizard* w, const char* name) {
        T* child = w->findChild<T*>(QLatin1String(name));
        if (!child) qFatal("no %s in the wizard", name);
        return child;
    }
    static QLineEdit* edit(DeviceWizard* w, int n) {
        return in<QLineEdit>(w, qPrintable(QStringLiteral("LabeledEdit%1").arg(n)));
    }
    static QPushButton* button(DeviceWizard* w, int n) {
        return in<QPushButton>(w, qPrintable(QStringLiteral("Button%1").arg(n)));
    }
    static QTimer* timer(DeviceWizard* w) { return in<QTimer>(w, "Timer1"); }
    static void click(QAbstractButton* b) { QTest::mouseClick(b, Qt::LeftButton); }

    // Presses a row's "..." while `whileOpen` is scheduled to run inside the modal wizard; a
    // wizard still open afterwards is cancelled so that a failing test cannot hang.
    static void openFromRow(WindowFixture& fx, int row,
                            std::function<void(DeviceWizard*)> whileOpen) {
        DeviceWizard* w = wizard(fx);
        QTimer::singleShot(0, w, [w, whileOpen] {
            whileOpen(w);
            if (w->isVisible()) w->Button2Click();
        });
        fx.window().selbutton1Click(row);
    }

    // The state of step 1 at a first opening.
    static void checkStepOne(DeviceWizard* w) {
        for (const char* name : {"Label1", "Label2", "Button1", "Button2", "Button5"})
            QVERIFY2(w->findChild<QWidget*>(QLatin1String(name))->isEnabled(), name);
        for (const char* name :
             {"Label3", "Label4", "LabeledEdit1", "LabeledEdit2", "LabeledEdit3", "RadioButton1",
              "RadioButton2", "RadioButton3", "Button3", "Button4"})
            QVERIFY2(!w->findChild<QWidget*>(QLatin1String(name))->isEnabled(), name);
        for (const char* name : {"Image1", "Image2", "Image3"})
            QVERIFY2(w->findChild<QWidget*>(QLatin1String(name))->isHidden(), name);
        QVERIFY(!timer(w)->isActive());
    }

  private slots:
    void init() {
        vols_.list = {kSystem, kHome};
        folderAnswer_.clear();
        pickerTitle_.clear();
        pickerStart_.clear();
        pickerRoot_.clear();
    }

    void firstOpeningShowsStepOne() {
        WindowFixture fx;
        start(fx);
        DeviceWizard* w = wizard(fx);
        QCOMPARE(w->windowTitle(), QStringLiteral("Talvex photo sorter"));
        QCOMPARE(w->size(), QSize(450, 450));
        QVERIFY(!(w->windowFlags() & Qt::WindowCloseButtonHint));
        QVERIFY(!(w->windowFlags() & Qt::WindowMinMaxButtonsHint));
        const struct {
            const char* name;
            const char* text;
            QRect bounds; // a zero width or height is not checked
        } table[] = {
            {"Label5",
             "Beállíthat meghajtóval rendelkező eszközöket (fényképező, SD kártya), amit azután "
             "szériaszám alapján fog  keresni a program.",
             QRect(25, 16, 408, 41)},
            {"Label1", "1. Lépés", QRect(24, 72, 0, 0)},
            {"Label2", "Válaszd le az eszközt a számítógépről, majd nyomd meg a Tovább gombot",
             QRect(80, 72, 353, 0)},
            {"Button1", "Tovább", QRect(136, 120, 75, 25)},
            {"Button2", "Mégse", QRect(240, 120, 75, 25)},
            {"Label3", "2. Lépés", QRect(24, 168, 0, 0)},
            {"Label4",
             "Kapcsold össze az eszközt a számítógéppel, add meg az elérési utat, adj nevet az "
             "eszköznek, és állíts be ikont",
             QRect(76, 168, 353, 33)},
            {"LabeledEdit1", "", QRect(24, 240, 121, 0)},
            {"LabeledEdit2", "Én eszközöm", QRect(24, 280, 121, 0)},
            {"LabeledEdit3", "", QRect(24, 320, 217, 0)},
            {"LabeledEdit1Label", "Szériaszám", QRect()},
            {"LabeledEdit2Label", "Neve", QRect()},
            {"LabeledEdit3Label", "Elérési út", QRect()},
            {"Button5", "...", QRect(247, 318, 26, 25)},
            {"Button3", "Kész", QRect(136, 408, 75, 25)},
            {"Button4", "Mégse", QRect(240, 408, 75, 25)},
        };
        for (const auto& c : table) {
            QWidget* widget = w->findChild<QWidget*>(QLatin1String(c.name));
            QVERIFY2(widget, c.name);
            QString text;
            if (auto* l = qobject_cast<QLabel*>(widget)) text = l->text();
            if (auto* e = qobject_cast<QLineEdit*>(widget)) text = e->text();
            if (auto* b = qobject_cast<QAbstractButton*>(widget)) text = b->text();
            QVERIFY2(text == QString::fromUtf8(c.text), c.name);
            if (c.bounds.isNull()) continue;
            const QRect g = widget->geometry();
            QVERIFY2(g.topLeft() == c.bounds.topLeft(), c.name);
            if (c.bounds.width()) QVERIFY2(g.width() == c.bounds.width(), c.name);
            if (c.bounds.height()) QVERIFY2(g.height() == c.bounds.height(), c.name);
        }
        QVERIFY(edit(w, 1)->isReadOnly());
        QVERIFY(in<QLabel>(w, "Label5")->wordWrap());
        QVERIFY(in<QLabel>(w, "Label5")->font().bold());
        QVERIFY(in<QLabel>(w, "Label3")->font().bold());
        for (int i = 1; i <= 3; ++i) {
            auto* image = in<QLabel>(w, qPrintable(QStringLiteral("Image%1").arg(i)));
            QCOMPARE(image->geometry().top(), 360);
            auto* radio = in<QRadioButton>(w, qPrintable(QStringLiteral("RadioButton%1").arg(i)));
            QCOMPARE(radio->geometry().top(), 363);
            QCOMPARE(radio->isChecked(), i == 1);
            QVERIFY(radio->geometry().left() > image->geometry().right());
        }
        QCOMPARE(in<QLabel>(w, "Image1")->pixmap().toImage().convertToFormat(QImage::Format_ARGB32),
                 resource("usb"));
        QCOMPARE(in<QLabel>(w, "Image3")->pixmap().toImage().convertToFormat(QImage::Format_ARGB32),
                 resource("sdcard"));
        QCOMPARE(timer(w)->interval(), 300);
        checkStepOne(w);
    }

    void volumePresentAtStepOneIsNeverNew() {
        WindowFixture fx;
        start(fx);
        DeviceWizard* w = wizard(fx);
        w->show();
        click(button(w, 1));
        QVERIFY(timer(w)->isActive());
        QVERIFY(!button(w, 1)->isEnabled());
        QVERIFY(!button(w, 2)->isEnabled());
        QVERIFY(button(w, 4)->isEnabled());
        QVERIFY(in<QLabel>(w, "Label3")->isEnabled());
        QVERIFY(in<QLabel>(w, "Label4")->isEnabled());
        // The same volumes under other letters are still not new.
        vols_.list = {kHome, kSystem};
        w->Timer1Timer();
        QVERIFY(edit(w, 1)->text().isEmpty());
        QVERIFY(!button(w, 3)->isEnabled());
        // A volume that cannot be queried is skipped.
        vols_.list = {{QStringLiteral("/media/broken"), QStringLiteral("*")}, kHome, kSystem};
        w->Timer1Timer();
        QVERIFY(edit(w, 1)->text().isEmpty());
        QVERIFY(!edit(w, 1)->isEnabled());
        w->Button2Click();
    }

    void earlierOfTwoNewVolumesIsTakenAndKept() {
        WindowFixture fx;
        start(fx);
        DeviceWizard* w = wizard(fx);
        w->show();
        click(button(w, 1));
        const Volume first{QStringLiteral("/media/anna/A"), QStringLiteral("AAAA:0001")};
        const Volume second{QStringLiteral("/media/anna/B"), QStringLiteral("BBBB:0002")};
        vols_.list = {kSystem, first, kHome, second};
        // The real 300 ms timer finds it.
        QTRY_COMPARE_WITH_TIMEOUT(edit(w, 1)->text(), QStringLiteral("AAAA:0001"), 2000);
        QCOMPARE(edit(w, 3)->text(), QStringLiteral("/media/anna/A/"));
        for (int n = 1; n <= 3; ++n)
            QVERIFY(edit(w, n)->isEnabled());
        QVERIFY(button(w, 3)->isEnabled());
        QVERIFY(button(w, 4)->isEnabled());
        for (const char* name : {"RadioButton1", "RadioButton2", "RadioButton3"})
            QVERIFY2(in<QWidget>(w, name)->isEnabled(), name);
        for (const char* name : {"Image1", "Image2", "Image3"})
            QVERIFY2(!in<QWidget>(w, name)->isHidden(), name);

        // The first detached while the second stays: the fields keep the first.
        vols_.list = {kSystem, kHome, second};
        w->Timer1Timer();
        QCOMPARE(edit(w, 1)->text(), QStringLiteral("AAAA:0001"));
        QCOMPARE(edit(w, 3)->text(), QStringLiteral("/media/anna/A/"));
        QVERIFY(button(w, 3)->isEnabled());
        w->Button2Click();
    }

    void detachingEmptiesAndDisablesTheFields() {
        WindowFixture fx;
        start(fx);
        DeviceWizard* w = wizard(fx);
        w->show();
        click(button(w, 1));
        vols_.list.push_back({QStringLiteral("/media/card"), QStringLiteral("1234:ABCD")});
        w->Timer1Timer();
        QCOMPARE(edit(w, 1)->text(), QStringLiteral("1234:ABCD"));
        edit(w, 2)->setText(QStringLiteral("Kártya"));
        vols_.list.pop_back();
        w->Timer1Timer();
        QVERIFY(edit(w, 1)->text().isEmpty());
        QVERIFY(edit(w, 3)->text().isEmpty());
        QCOMPARE(edit(w, 2)->text(), QStringLiteral("Kártya")); // the name stays
        for (int n = 1; n <= 3; ++n)
            QVERIFY(!edit(w, n)->isEnabled());
        QVERIFY(!button(w, 3)->isEnabled());
        QVERIFY(button(w, 4)->isEnabled());
        QVERIFY(!in<QWidget>(w, "RadioButton2")->isEnabled());
        QVERIFY(in<QWidget>(w, "Image2")->isHidden());
        QVERIFY(timer(w)->isActive()); // still waiting for the device
        w->Button2Click();
    }

    void pathPickerStaysOnTheDevice() {
        WindowFixture fx;
        start(fx);
        DeviceWizard* w = wizard(fx);
        w->show();
        // Step 1: a folder chosen before the device is found...
        folderAnswer_ = QStringLiteral("/somewhere/else");
        click(button(w, 5));
        QCOMPARE(pickerTitle_, QStringLiteral("Select a directory"));
        QCOMPARE(edit(w, 3)->text(), QStringLiteral("/somewhere/else/"));
        click(button(w, 1));
        vols_.list.push_back({QStringLiteral("/media/card"), QStringLiteral("1234:ABCD")});
        w->Timer1Timer();
        // ...is overwritten by the device's root.
        QCOMPARE(edit(w, 3)->text(), QStringLiteral("/media/card/"));

        folderAnswer_ = QStringLiteral("/media/card/DCIM");
        click(button(w, 5));
        QCOMPARE(pickerStart_, QStringLiteral("/media/card/"));
        QCOMPARE(pickerRoot_, QStringLiteral("/media/card/"));
        QCOMPARE(edit(w, 3)->text(), QStringLiteral("/media/card/DCIM/"));
        folderAnswer_.clear(); // cancelled: the field stays
        click(button(w, 5));
        QCOMPARE(edit(w, 3)->text(), QStringLiteral("/media/card/DCIM/"));
        // A cancelled picker on an empty field leaves it empty.
        edit(w, 3)->clear();
        click(button(w, 5));
        QVERIFY(pickerRoot_.isEmpty());
        QVERIFY(edit(w, 3)->text().isEmpty());
        w->Button2Click();
    }

    void doneTeachesTheRowAndTheNextTickShowsTheDevice_data() {
        QTest::addColumn<int>("row");
        QTest::newRow("camera row") << 2;
        QTest::newRow("SD card row") << 3;
    }

    void doneTeachesTheRowAndTheNextTickShowsTheDevice() {
        QFETCH(int, row);
        WindowFixture fx;
        MainWindow& mw = start(fx);
        const QString card = fx.folder(QStringLiteral("media/anna/CARD"));
        QVERIFY(QDir().mkpath(card + "DCIM"));
        const Volume device{card.chopped(1), QStringLiteral("5A5A:0F0F")};
        auto* mapi = fx.find<QLineEdit>(QStringLiteral("Mapi%1").arg(row));
        const QString rowName = mapi->text();
        folderAnswer_ = card + "DCIM";
        QString presetName;
        openFromRow(fx, row, [&](DeviceWizard* w) {
            presetName = edit(w, 2)->text();
            click(button(w, 1));
            vols_.list.push_back(device);
            w->Timer1Timer();
            click(button(w, 5));
            edit(w, 2)->setText(QStringLiteral("Anna kártyája"));
            click(in<QRadioButton>(w, "RadioButton3"));
            click(button(w, 3));
        });
        DeviceWizard* w = wizard(fx);
        QCOMPARE(presetName, rowName);
        QVERIFY(!w->isVisible());
        QVERIFY(mw.state().renamekerdes);
        QCOMPARE(mw.state().reservedPath0, QStringLiteral(":/DCIM/"));
        const AppState& st = mw.state();
        QCOMPARE(row == 2 ? st.reservedSerial1 : st.reservedSerial2, QStringLiteral("5A5A:0F0F"));
        QCOMPARE(row == 2 ? st.reservedPath1 : st.reservedPath2, QStringLiteral(":/DCIM/"));
        QCOMPARE(row == 2 ? st.reservedIcon1 : st.reservedIcon2, QStringLiteral("3"));
        QCOMPARE(row == 2 ? st.reservedSerial2 : st.reservedSerial1, QStringLiteral("qqqq:qqqq"));
        QCOMPARE(mapi->text(), QStringLiteral("Anna kártyája"));
        auto* icon =
            fx.find<QLabel>(row == 2 ? QStringLiteral("Image2") : QStringLiteral("Image21"));
        QCOMPARE(icon->pixmap().toImage().convertToFormat(QImage::Format_ARGB32),
                 resource("sdcard"));
        // The wizard is back at step 1 with empty fields.
        checkStepOne(w);
        for (int n = 1; n <= 3; ++n)
            QVERIFY(edit(w, n)->text().isEmpty());
        QVERIFY(in<QRadioButton>(w, "RadioButton1")->isChecked());

        // The row follows at the next device-search tick.
        auto* path = fx.find<QLabel>(QStringLiteral("path%1").arg(row));
        QCOMPARE(path->text(), kSearching);
        mw.Timer1Timer();
        QCOMPARE(path->text(), card + "DCIM/");
        QCOMPARE(
            fx.find<QToolButton>(QStringLiteral("SpeedButton%1").arg(row))->property("tag").toInt(),
            1);
    }

    void pathOutsideTheDeviceIsStoredWhole() {
        WindowFixture fx;
        MainWindow& mw = start(fx);
        folderAnswer_ = QStringLiteral("/srv/photos");
        openFromRow(fx, 2, [&](DeviceWizard* w) {
            click(button(w, 1));
            vols_.list.push_back({QStringLiteral("/media/card"), QStringLiteral("1111:2222")});
            w->Timer1Timer();
            click(button(w, 5));
            click(button(w, 3));
        });
        QCOMPARE(mw.state().reservedPath1, QStringLiteral(":/srv/photos/"));
        QCOMPARE(mw.state().reservedIcon1, QStringLiteral("1"));
    }

    void cancelStoresNothingAndTheFirstTickClearsTheOldFields() {
        WindowFixture fx;
        MainWindow& mw = start(fx, QStringLiteral("panel1c=Régi kártya\n"));
        const Volume device{QStringLiteral("/media/card"), QStringLiteral("7777:8888")};
        for (int cancelButton : {4, 0}) { // "Mégse" of step 2, then Escape
            vols_.list = {kSystem, kHome};
            openFromRow(fx, 3, [&](DeviceWizard* w) {
                click(button(w, 1));
                vols_.list.push_back(device);
                w->Timer1Timer();
                edit(w, 2)->setText(QStringLiteral("Új név"));
                click(in<QRadioButton>(w, "RadioButton2"));
                if (cancelButton)
                    click(button(w, cancelButton));
                else
                    QTest::keyClick(w, Qt::Key_Escape);
            });
            DeviceWizard* w = wizard(fx);
            QVERIFY(!w->isVisible());
            QVERIFY(!mw.state().renamekerdes);
            QCOMPARE(mw.state().reservedSerial2, QStringLiteral("qqqq:qqqq"));
            QCOMPARE(mw.state().reservedIcon2, QStringLiteral("1"));
            QCOMPARE(fx.find<QLineEdit>(QStringLiteral("Mapi3"))->text(),
                     QStringLiteral("Régi kártya"));
            // Back at step 1, but the fields and the icon choice are kept.
            checkStepOne(w);
            QCOMPARE(edit(w, 1)->text(), QStringLiteral("7777:8888"));
            QCOMPARE(edit(w, 3)->text(), QStringLiteral("/media/card/"));
            QVERIFY(in<QRadioButton>(w, "RadioButton2")->isChecked());
        }

        // Opened again with the card still in: it is not new, and the first tick clears the
        // old serial and path.
        QString serialBeforeTick, serialAfterTick, pathAfterTick;
        bool enabledAfterTick = true;
        openFromRow(fx, 3, [&](DeviceWizard* w) {
            click(button(w, 1));
            serialBeforeTick = edit(w, 1)->text();
            w->Timer1Timer();
            serialAfterTick = edit(w, 1)->text();
            pathAfterTick = edit(w, 3)->text();
            enabledAfterTick = button(w, 3)->isEnabled();
        });
        QCOMPARE(serialBeforeTick, QStringLiteral("7777:8888"));
        QVERIFY(serialAfterTick.isEmpty());
        QVERIFY(pathAfterTick.isEmpty());
        QVERIFY(!enabledAfterTick);
    }

    void oldFieldsGiveWayToANewDeviceAtTheFirstTick() {
        WindowFixture fx;
        start(fx);
        openFromRow(fx, 2, [&](DeviceWizard* w) {
            click(button(w, 1));
            vols_.list.push_back({QStringLiteral("/media/old"), QStringLiteral("0101:0101")});
            w->Timer1Timer();
            click(button(w, 4));
        });
        vols_.list = {kSystem, kHome};
        QString serial, path;
        openFromRow(fx, 2, [&](DeviceWizard* w) {
            click(button(w, 1));
            vols_.list.push_back({QStringLiteral("/media/new"), QStringLiteral("0202:0202")});
            w->Timer1Timer();
            serial = edit(w, 1)->text();
            path = edit(w, 3)->text();
        });
        QCOMPARE(serial, QStringLiteral("0202:0202"));
        QCOMPARE(path, QStringLiteral("/media/new/"));
    }

    void wizardIsCentredOverTheViewer() {
        WindowFixture fx;
        MainWindow& mw = start(fx);
        for (const QRect& frame : {QRect(40, 30, 866, 581), QRect(200, 150, 700, 500)}) {
            mw.setGeometry(frame);
            QCoreApplication::processEvents();
            QWidget* viewer = fx.find<QWidget>(QStringLiteral("Panel2"));
            const QPoint inWindow = viewer->mapTo(&mw, QPoint(0, 0));
            const QPoint expected(mw.x() + inWindow.x() + viewer->width() / 2 - 450 / 2,
                                  mw.y() + inWindow.y() + viewer->height() / 2 - 450 / 2);
            QPoint placed, centre;
            openFromRow(fx, 2, [&](DeviceWizard* w) {
                placed = w->pos();
                centre = w->geometry().center();
            });
            QCOMPARE(placed, expected);
            // Independently: its middle is the viewer's middle on the screen.
            const QPoint viewerCentre = viewer->mapToGlobal(viewer->rect().center());
            QVERIFY2((centre - viewerCentre).manhattanLength() <= 2,
                     qPrintable(QStringLiteral("%1,%2 vs %3,%4")
                                    .arg(centre.x())
                                    .arg(centre.y())
                                    .arg(viewerCentre.x())
                                    .arg(viewerCentre.y())));
        }
    }

  private:
    FakeVolumes vols_;
    QString folderAnswer_;
    QString pickerTitle_, pickerStart_, pickerRoot_;
};

QTEST_MAIN(WizardTest)
#include "tst_wizard.moc"
