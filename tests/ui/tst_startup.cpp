// Start-up and close of the real main window in a temporary program folder.

#include "support/testphotos.h"
#include "support/uitest.h"

#include "app/startarguments.h"
#include "core/sources/commandline.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QScreen>
#include <QSettings>
#include <QTest>

using namespace kps;
using kps::test::WindowFixture;

class StartupTest : public QObject {
    Q_OBJECT

  private:
    static QString home() { return QDir::homePath(); }

  private slots:
    void firstStartHasDefaultSizeAndNothingLoaded() {
        WindowFixture fx;
        MainWindow& w = fx.start();
        QCOMPARE(w.frameGeometry().size(), QSize(866, 581));
        QCOMPARE(w.objectName(), QStringLiteral("Form1"));
        QCOMPARE(w.windowTitle(), QStringLiteral("Kovrin Photo Sorter"));
        QVERIFY(w.state().megsemmi);
        QVERIFY(!fx.find<QWidget>(QStringLiteral("Panel1"))->isVisible());
        QVERIFY(!fx.find<QWidget>(QStringLiteral("Panel20"))->isVisible());
        for (int i = 0; i < 9; ++i)
            QVERIFY(w.state().lists[size_t(i)].isEmpty());
        // Every component is reachable by its name.
        for (const char* name :
             {"Panel2",       "Panel6",       "Panel7",      "Panel8",       "Panel9",
              "Panel10",      "Panel17",      "Panel18",     "Image1",       "Image7",
              "Image10",      "Image18",      "Panel22",     "StatusBar1",   "ScrollBox1",
              "LoadPanel1",   "LoadPanel11",  "Mapi1",       "Mapi11",       "path1",
              "path11",       "selbutton1",   "selbutton11", "SpeedButton1", "SpeedButton3",
              "ButtonColor2", "ButtonColor4", "CheckBox1",   "CheckBox2",    "Label1",
              "Form3",        "Form4"})
            QVERIFY2(w.ifindcomponent(QLatin1String(name)), name);
        QVERIFY(w.ifindcomponent(QStringLiteral("NoSuchPanel")) == nullptr);
        // The menu shows the default names and folders.
        QCOMPARE(fx.find<QLineEdit>(QStringLiteral("Mapi1"))->text(), QStringLiteral("Forrás"));
        QCOMPARE(fx.find<QLineEdit>(QStringLiteral("Mapi11"))->text(), QStringLiteral("Kuka"));
        QCOMPARE(fx.find<QLineEdit>(QStringLiteral("Mapi2"))->text(), QStringLiteral("Fényképező"));
        QCOMPARE(fx.find<QLabel>(QStringLiteral("path4"))->text(), home() + "/+mappa1/");
        QCOMPARE(fx.find<QLabel>(QStringLiteral("path11"))->text(), home() + "/+trash/");
        QVERIFY(!fx.find<QWidget>(QStringLiteral("Form3"))->isVisible());
        QVERIFY(!fx.find<QWidget>(QStringLiteral("Form4"))->isVisible());
    }

    void firstStartCreatesTheDefaultFolders() {
        WindowFixture fx;
        fx.start();
        for (const char* name :
             {"+mappa0", "+mappa1", "+mappa7", "+trash", "+trash/undo_500_deleted_images"})
            QVERIFY2(QDir(home() + "/" + name).exists(), name);
    }

    void closeWritesTheSettingsInTheirLayout() {
        WindowFixture fx;
        fx.start();
        QVERIFY(fx.close());
        const QStringList lines = kps::test::iniLines(fx.settingsFile());
        QStringList keys;
        for (const QString& line : lines)
            if (!line.startsWith('[')) keys << line.section('=', 0, 0);
        QCOMPARE(keys.size(), 46);
        QCOMPARE(lines.first(), QStringLiteral("[ablak]"));
        QVERIFY(lines.contains(QStringLiteral("width=866")));
        QVERIFY(lines.contains(QStringLiteral("height=581")));
        QVERIFY(lines.contains(QStringLiteral("panel1b=Fényképező")));
        QVERIFY(lines.contains(QStringLiteral("path8=") + home() + "/+trash/"));
        QVERIFY(lines.contains(QStringLiteral("torol500=1")));
    }

    void secondStartRestoresWhatTheFileHolds() {
        WindowFixture fx;
        QVERIFY(kps::test::writeFile(fx.settingsFile(),
                                     "[ABLAK]\nLeft=40\nTop=0x20\nWidth=700\nheight=500\n"
                                     "[panel]\npanel3=Nyaralás\npanelmappa2=3\npanelszin3=255\n"
                                     "torol500=77\n[kezdo]\nkurzor=2\npirosmappa=yes\n"
                                     "panel1c=Kártyám\n"));
        MainWindow& w = fx.start();
        QCOMPARE(w.frameGeometry().size(), QSize(700, 500));
        QCOMPARE(w.frameGeometry().topLeft(), QPoint(40, 32));
        QCOMPARE(fx.find<QLineEdit>(QStringLiteral("Mapi5"))->text(), QStringLiteral("Nyaralás"));
        QCOMPARE(fx.find<QLineEdit>(QStringLiteral("Mapi3"))->text(), QStringLiteral("Kártyám"));
        QCOMPARE(w.state().png[1], 3);
        QCOMPARE(w.state().szin3, Colour(255));
        QCOMPARE(w.state().torol500, 77);
        QVERIFY(fx.find<QCheckBox>(QStringLiteral("CheckBox2"))->isChecked());
        QVERIFY(!fx.find<QCheckBox>(QStringLiteral("CheckBox1"))->isChecked());

        // A name typed into the menu is what the next start finds.
        fx.find<QLineEdit>(QStringLiteral("Mapi6"))->setText(QStringLiteral("Család"));
        QVERIFY(fx.close());
        fx.start();
        QCOMPARE(fx.find<QLineEdit>(QStringLiteral("Mapi6"))->text(), QStringLiteral("Család"));
        QCOMPARE(fx.find<QLineEdit>(QStringLiteral("Mapi5"))->text(), QStringLiteral("Nyaralás"));
        QCOMPARE(fx.window().state().torol500, 77);
    }

    // Started with a folder, as from a file manager, the window paints at once, every time.
    void windowPaintsAtStartWithAFolder() {
        WindowFixture fx;
        const QString photos = fx.folder(QStringLiteral("fotók"));
        QVERIFY(kps::test::writeJpeg(photos + "a.jpg", 640, 480));
        for (int start = 0; start < 10; ++start) {
            Environment env;
            env.programDir = fx.programDir();
            MainWindow w(env);
            w.show(); // as main() does: the load begins before the window is on the screen
            QVERIFY(kps::openFromCommandLine(w, kps::parseCommandLine({photos}, photos)).isEmpty());
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            QTRY_VERIFY(!w.scanning());
            QVERIFY(kps::test::waitForPhoto(w));
            QTest::qWait(100);
            // What the window system holds: the viewer's grey, not an unpainted black.
            const QWidget* viewer = w.findChild<QWidget*>(QStringLiteral("Panel2"));
            const QPoint corner = viewer->mapTo(&w, QPoint(2, 2));
            const QImage shot = w.screen()->grabWindow(w.winId()).toImage();
            QVERIFY2(!shot.isNull(), "no picture of the window");
            const qreal dpr = shot.devicePixelRatio();
            QCOMPARE(shot.pixelColor(QPoint(corner.x() * dpr, corner.y() * dpr)),
                     QColor(0xC0, 0xC0, 0xC0));
            w.close(); // the clean-up behind the window closes it
            QTRY_VERIFY(!w.isVisible());
        }
    }

    void closeEmptiesTheTrashAndKeepsOtherFiles() {
        WindowFixture fx;
        const QString trash = fx.folder(QStringLiteral("trash"));
        QVERIFY(kps::test::writeFile(fx.settingsFile(),
                                     QStringLiteral("[kezdo]\npath8=%1\n").arg(trash).toUtf8()));
        fx.start();
        for (const char* name : {"a.jpg", "b.JPG", "c.jpeg"})
            QVERIFY(kps::test::writeFile(trash + name, "x"));
        QVERIFY(fx.close());
        QVERIFY(!QFile::exists(trash + "a.jpg"));
        QVERIFY(!QFile::exists(trash + "b.JPG"));
        QVERIFY(QFile::exists(trash + "c.jpeg"));
    }

    void failedWriteKeepsTheWindowOpenOnce() {
        WindowFixture fx;
        fx.start();
        // A folder where settings.ini should go makes the write fail.
        QVERIFY(QDir().mkpath(fx.settingsFile()));
        QVERIFY(!fx.close());
        auto* box = fx.find<QMessageBox>(QStringLiteral("WriteErrorBox"));
        QVERIFY(box);
        QCOMPARE(box->text(), QStringLiteral("Unable to write to ") + fx.settingsFile());
        box->close();
        QVERIFY(fx.close());
    }
};

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
