// Folders and photos whose names are Latin-2 bytes, through the real window: shown readably in
// the menu and the status bar, created at start, and kept byte for byte across a close.

#include "core/files/nativepath.h"
#include "support/testphotos.h"
#include "support/uitest.h"

#include <QFile>
#include <QLabel>
#include <QTest>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kps;
using kps::test::WindowFixture;

namespace {

// Removes the tree by its bytes, which QTemporaryDir cannot do for names that are not UTF-8.
struct RawTreeRemover {
    QByteArray root;
    ~RawTreeRemover() {
        ::nftw(
            root.constData(),
            [](const char* path, const struct stat*, int, FTW*) { return ::remove(path), 0; }, 16,
            FTW_DEPTH | FTW_PHYS);
    }
};

bool writeRaw(const QByteArray& path, const QByteArray& data) {
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0) return false;
    const bool ok = ::write(fd, data.constData(), size_t(data.size())) == data.size();
    return ::close(fd) == 0 && ok;
}

bool isFolder(const QByteArray& path) {
    struct stat st;
    return ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

class NamesTest : public QObject {
    Q_OBJECT

  private slots:
    void latinFoldersAndPhotosThroughStartLoadAndClose() {
        WindowFixture fx;
        const QByteArray base = QFile::encodeName(fx.folder(QStringLiteral("raw")));
        RawTreeRemover remover{base};
        const QByteArray source = base + "r\xe9gi/";       // "régi/"
        const QByteArray missing = base + "\xfaj m\xe1s/"; // "új más/", made at start
        QVERIFY(::mkdir(source.constData(), 0777) == 0);
        QVERIFY(writeRaw(source + "\xe1rv\xedzt\xfbr\xf5.jpg", test::makeJpegBytes(40, 30)));

        QByteArray ini = "[kezdo]\npath0=" + source + "\npath2=" + missing + "\n";
        for (int slot : {1, 3, 4, 5, 6, 7, 8})
            ini += "path" + QByteArray::number(slot) + "=" +
                   QFile::encodeName(fx.slotFolder(slot)) + "\n";
        QVERIFY(test::writeFile(fx.settingsFile(), ini));
        fx.start();

        QVERIFY(isFolder(missing));
        QCOMPARE(fx.find<QLabel>(QStringLiteral("path1"))->text(),
                 QString::fromUtf8(base) + QStringLiteral("régi/"));
        QCOMPARE(fx.find<QLabel>(QStringLiteral("path5"))->text(),
                 QString::fromUtf8(base) + QStringLiteral("új más/"));

        fx.load();
        QCOMPARE(fx.window().state().lists[0].count(), 1);
        QCOMPARE(fx.find<QLabel>(QStringLiteral("StatusField1"))->text(),
                 QStringLiteral("árvíztűrő.jpg"));
        QCOMPARE(fx.find<QLabel>(QStringLiteral("StatusField4"))->text(),
                 QString::fromUtf8(base) + QStringLiteral("régi/"));
        QVERIFY(fx.find<QWidget>(QStringLiteral("Panel1"))->isVisible()); // it decoded

        QVERIFY(fx.close());
        const QByteArray written = test::readFile(fx.settingsFile());
        QVERIFY(written.contains("\npath0=" + source + "\n"));
        QVERIFY(written.contains("\npath2=" + missing + "\n"));
    }

    void defaultFoldersGoBelowALatinHome() {
        WindowFixture fx;
        const QByteArray base = QFile::encodeName(fx.folder(QStringLiteral("raw")));
        RawTreeRemover remover{base};
        const QByteArray home = base + "h\xf6me"; // "höme"
        QVERIFY(::mkdir(home.constData(), 0777) == 0);
        qputenv("HOME", home); // the fixture puts the old one back
        fx.start();
        QVERIFY(isFolder(home + "/+mappa0"));
        QVERIFY(isFolder(home + "/+trash/undo_500_deleted_images"));
        QCOMPARE(fx.find<QLabel>(QStringLiteral("path4"))->text(),
                 QString::fromUtf8(base) + QStringLiteral("höme/+mappa1/"));
    }
};

QTEST_MAIN(NamesTest)
#include "tst_names.moc"
