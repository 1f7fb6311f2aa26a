// A photo whose name is taken in the folder it is dropped on: the rename question.

#include "core/files/filecallguard.h"
#include "dragdriver.h"

#include "core/state/dropgeometry.h"
#include "dialogs/renamedialog.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

using namespace kps;
using kps::test::WindowFixture;

namespace {

// Answers the rename question once it is shown, clicking `button`, or closing the dialog by its
// title bar when `button` is empty; remembers what the dialog showed.
class Answerer : public QObject {
  public:
    explicit Answerer(QString button) : button_(std::move(button)) {
        connect(&poll_, &QTimer::timeout, this, &Answerer::answer);
        poll_.start(5);
    }

    bool shown = false;
    QString title, question;
    QPoint pos;

  private:
    void answer() {
        auto* d = qobject_cast<RenameDialog*>(QApplication::activeModalWidget());
        if (!d) return;
        poll_.stop();
        shown = true;
        title = d->windowTitle();
        question = d->findChild<QLabel*>(QStringLiteral("Label1"))->text();
        pos = d->frameGeometry().topLeft();
        if (button_.isEmpty())
            d->close();
        else
            d->findChild<QPushButton*>(button_)->click();
    }

    QString button_;
    QTimer poll_;
};

} // namespace

class RenameTest : public QObject {
    Q_OBJECT

    static QString put(WindowFixture& fx, int slot, const QString& name, int seed) {
        const QString path = fx.slotFolder(slot) + name;
        if (!test::writeJpeg(path, 64, 48, seed)) qFatal("cannot write %s", qPrintable(path));
        return path;
    }
    static QString cursorAt(MainWindow& w, int slot) {
        return w.state().lists[size_t(slot)].at(w.state().index[size_t(slot)]);
    }

  private slots:
    void dialogLooksAsDesigned() {
        WindowFixture fx;
        fx.startWithFolders();
        auto* d = fx.find<RenameDialog>(QStringLiteral("Form3"));
        QVERIFY(d);
        QVERIFY(!d->isVisible());
        QCOMPARE(d->windowTitle(), QStringLiteral("Átnevezés"));
        QCOMPARE(d->size(), QSize(243, 110));
        auto* rename = d->findChild<QPushButton*>(QStringLiteral("Button1"));
        auto* cancel = d->findChild<QPushButton*>(QStringLiteral("Button2"));
        QCOMPARE(rename->text(), QStringLiteral("Átnevez"));
        QCOMPARE(rename->geometry(), QRect(40, 64, 75, 25));
        QCOMPARE(cancel->text(), QStringLiteral("Mégse"));
        QCOMPARE(cancel->geometry(), QRect(136, 64, 75, 25));
        QCOMPARE(rename->nextInFocusChain(), cancel);
        QCOMPARE(d->findChild<QLabel*>(QStringLiteral("Label1"))->pos(), QPoint(16, 16));
        QCOMPARE(RenameDialog::questionText(),
                 QStringLiteral("Ilyen nevü kép már van a mappában.\rÁtnevezi?"));
    }

    // Centred over the viewer area, from the window's outer corner.
    void placementFormula() {
        QCOMPARE(renameDialogPos({100, 50}, QRect(111, 125, 698, 308), {243, 110}),
                 QPoint(439, 274));
        QCOMPARE(renameDialogPos({0, 0}, QRect(0, 0, 1, 1), {243, 110}), QPoint(-121, -55));
    }

    // A green folder that already holds the name: the question decides whether a copy is made
    // under the proposed name. The dragged photo stays in the source either way.
    void greenClashAsks_data() {
        QTest::addColumn<QString>("dragged");
        QTest::addColumn<QStringList>("present"); // in the green folder besides A.jpg
        QTest::addColumn<QString>("button");      // empty: closed by the title bar
        QTest::addColumn<QString>("made");        // the new copy, empty for none
        QTest::addColumn<QString>("cursor");      // the green folder's photo under its cursor
        QTest::addColumn<bool>("afterLoad");      // `present` came after the lists were made
        auto row = [](const char* name, const char* dragged, QStringList present,
                      const char* button, const char* made, const char* cursor, bool afterLoad) {
            QTest::newRow(name) << QString(dragged) << present << QString(button) << QString(made)
                                << QString(cursor) << afterLoad;
        };
        row("Átnevez", "IMG_1.jpg", {"IMG_1.jpg"}, "Button1", "IMG_1_.jpg", "IMG_1_.jpg", false);
        row("Mégse", "IMG_1.jpg", {"IMG_1.jpg"}, "Button2", "", "IMG_1.jpg", false);
        row("closed by the title bar", "IMG_1.jpg", {"IMG_1.jpg"}, "", "", "IMG_1.jpg", false);
        row("first variant taken", "IMG_1.jpg", {"IMG_1.jpg", "IMG_1_.jpg"}, "Button1",
            "IMG_1__.jpg", "IMG_1__.jpg", false);
        row("dots in the name", "IMG.2.jpg", {"IMG.2.jpg"}, "Button1", "IMG.2_.jpg", "IMG.2_.jpg",
            false);
    }

    void greenClashAsks() {
        QFETCH(QString, dragged);
        QFETCH(QStringList, present);
        QFETCH(QString, button);
        QFETCH(QString, made);
        QFETCH(QString, cursor);
        QFETCH(bool, afterLoad);
        WindowFixture fx;
        MainWindow& w = test::startSized(fx);
        w.move(100, 50);
        QCoreApplication::processEvents();
        w.state().png[7] = kMarkGreen;
        const QString green = fx.slotFolder(7);
        put(fx, 7, "A.jpg", 3);
        const QString p = put(fx, 0, dragged, 1);
        const QString next = put(fx, 0, "zz.jpg", 2);
        auto putPresent = [&] {
            int seed = 10;
            for (const QString& name : present)
                put(fx, 7, name, seed++);
        };
        if (!afterLoad) putPresent();
        fx.load();
        if (afterLoad) putPresent();
        const QByteArray bytes = test::readFile(p);
        const QStringList before = test::photosOnDisk(green);

        Answerer answerer(button);
        setFileCallRule(FileCallRule::Fatal); // the question comes from the lists alone
        test::dropOnSlot(fx, 7);
        setFileCallRule(FileCallRule::Allowed);

        QVERIFY(answerer.shown);
        QCOMPARE(answerer.title, QStringLiteral("Átnevezés"));
        QCOMPARE(answerer.question,
                 QStringLiteral("Ilyen nevü kép már van a mappában.\nÁtnevezi?"));
        // Window corner + viewer (50, 50) + half of 700 x 300 - half of 243 x 110.
        const QPoint corner = w.frameGeometry().topLeft();
        QCOMPARE(answerer.pos, corner + QPoint(50 + 350 - 121, 50 + 150 - 55));
        QCOMPARE(w.state().renamekerdes, button == QStringLiteral("Button1"));

        QCOMPARE(test::readFile(p), bytes);
        QCOMPARE(cursorAt(w, 7), green + cursor);
        QStringList expected = before;
        if (!made.isEmpty()) {
            QCOMPARE(test::readFile(green + made), bytes);
            expected << green + made;
        }
        PhotoList sorted;
        sorted.assign(expected);
        QCOMPARE(test::photosOnDisk(green), sorted.paths());
        for (const QString& name : present) // the photos that were there stay untouched
            QVERIFY(test::readFile(green + name) != bytes);
        QCOMPARE(test::listsVersusDisk(w), QString());
        QCOMPARE(w.state().globalnev, next);
        QCOMPARE(test::statusMessage(w), QString());
    }

    // Yellow and blue folders never ask, and neither does a keeping folder whose name was taken
    // after its list was made (the release knows the lists only; the work finds the clash).
    // Another photo of that name keeps the dragged one where it was and says so; the same photo
    // already there completes the move.
    void otherMarksNeverAsk_data() {
        QTest::addColumn<int>("mark");
        QTest::addColumn<bool>("sameBytes");
        QTest::addColumn<bool>("afterLoad"); // the clashing photo came after the lists were made
        QTest::newRow("yellow, another photo") << kMarkYellow << false << false;
        QTest::newRow("yellow, another photo after loading") << kMarkYellow << false << true;
        QTest::newRow("blue target, another photo") << kMarkBlue << false << false;
        QTest::newRow("yellow, the same photo") << kMarkYellow << true << false;
        QTest::newRow("yellow, the same photo after loading") << kMarkYellow << true << true;
        QTest::newRow("green, another photo after loading") << kMarkGreen << false << true;
    }

    void otherMarksNeverAsk() {
        QFETCH(int, mark);
        QFETCH(bool, sameBytes);
        QFETCH(bool, afterLoad);
        WindowFixture fx;
        MainWindow& w = test::startSized(fx);
        w.state().png[1] = mark;
        const QString p = put(fx, 0, "IMG_1.jpg", 1);
        const QString next = put(fx, 0, "IMG_2.jpg", 2);
        const QByteArray bytes = test::readFile(p);
        const QString there = fx.slotFolder(1) + "IMG_1.jpg";
        put(fx, 1, "A.jpg", 4);
        if (!afterLoad) put(fx, 1, "IMG_1.jpg", sameBytes ? 1 : 5);
        fx.load();
        if (afterLoad) put(fx, 1, "IMG_1.jpg", sameBytes ? 1 : 5);
        const QByteArray thereBytes = test::readFile(there);

        Answerer answerer(QStringLiteral("Button2"));
        test::dropOnSlot(fx, 1);

        QVERIFY(!answerer.shown);
        QCOMPARE(test::readFile(there), thereBytes);
        QCOMPARE(test::photosOnDisk(fx.slotFolder(1)).size(), 2);
        QCOMPARE(cursorAt(w, 1), there);
        QCOMPARE(QFile::exists(p), !sameBytes);
        if (!sameBytes) QCOMPARE(test::readFile(p), bytes);
        QCOMPARE(w.state().globalnev, sameBytes ? next : p);
        QCOMPARE(test::statusMessage(w).isEmpty(), sameBytes);
        QCOMPARE(test::listsVersusDisk(w), QString());
    }
};

QTEST_MAIN(RenameTest)
#include "tst_rename.moc"
