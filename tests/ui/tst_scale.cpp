// At twice the scale (a 4K screen at 2x, Wayland at scale 2) everything drawn stays sharp and the
// window fits its screen.

#include "app/widgets.h"
#include "support/uitest.h"

#include <QApplication>
#include <QScreen>
#include <QTest>

using namespace kps;
using kps::test::WindowFixture;

namespace {

// Aligned 2 x 2 blocks whose four pixels are not all the same: none in a picture drawn at half
// the density and doubled.
int blocksWithDetail(const QImage& image, const QRect& within) {
    int found = 0;
    for (int y = within.top() & ~1; y + 1 <= within.bottom(); y += 2)
        for (int x = within.left() & ~1; x + 1 <= within.right(); x += 2) {
            const QRgb p = image.pixel(x, y);
            if (image.pixel(x + 1, y) != p || image.pixel(x, y + 1) != p ||
                image.pixel(x + 1, y + 1) != p)
                ++found;
        }
    return found;
}

} // namespace

class ScaleTest : public QObject {
    Q_OBJECT

  private slots:
    void captionsAndIconsAreDrawnInDevicePixels() {
        QCOMPARE(qApp->devicePixelRatio(), 2.0);
        WindowFixture fx;
        MainWindow& w = fx.start();
        for (const char* name : {"Image10", "Image11", "Image16", "Image18"}) {
            const auto* picture = fx.find<PanelPicture>(QLatin1String(name));
            const QImage& drawn = picture->image();
            QCOMPARE(drawn.devicePixelRatio(), 2.0);
            QCOMPARE(drawn.size(), picture->parentWidget()->size() * 2);
            QCOMPARE(picture->icon().devicePixelRatio(), 2.0);
            // The caption's glyph edges fall between the pixels of a 1x drawing.
            QVERIFY2(blocksWithDetail(drawn, drawn.rect()) > 20, name);
        }
        // So does the icon itself.
        const QImage icon = fx.find<PanelPicture>(QStringLiteral("Image10"))->icon();
        QVERIFY(blocksWithDetail(icon, icon.rect()) > 4);
        Q_UNUSED(w);
    }

    void defaultSizeFitsTheScreen() {
        WindowFixture fx;
        MainWindow& w = fx.start();
        const QRect area = w.screen()->availableGeometry();
        QTRY_VERIFY(w.frameGeometry().height() <= area.height());
        QVERIFY(w.frameGeometry().width() <= area.width());
    }
};

int main(int argc, char** argv) {
    qputenv("QT_SCALE_FACTOR", "2");
    QApplication app(argc, argv);
    ScaleTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_scale.moc"
