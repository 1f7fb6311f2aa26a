#include "dialogs/artwork.h"

#include <QGuiApplication>
#include <QString>

namespace kps {
namespace {

// A picture by its resource name: drawn at twice the density when a screen has more than one
// device pixel to the logical one, so it stays sharp there (and is drawn smaller elsewhere).
QImage image(const char* name) {
    const bool dense = qApp && qApp->devicePixelRatio() > 1.0;
    QImage picture(QStringLiteral(":/images/%1%2.png")
                       .arg(QLatin1String(name), dense ? QStringLiteral("@2x") : QString()));
    if (dense) picture.setDevicePixelRatio(2.0);
    return picture;
}

QPixmap pixmap(const char* name) {
    return QPixmap::fromImage(image(name));
}

} // namespace

void LoadPng(Artwork& art) {
    static const char* const kNames[11] = {"t",  "sk", "sb", "sj", "kk", "kb",
                                           "kj", "zk", "zb", "zj", "pir"};
    for (size_t i = 0; i < art.png.size(); ++i)
        art.png[i] = image(kNames[i]);
    for (QImage& r : art.rpng)
        r = QImage();
}

void loadMenuArtwork(Artwork& art) {
    art.bmp = {pixmap("arrow1"), pixmap("arrow2"), pixmap("arrow3")};
    art.cursorFrames = {pixmap("cur1_0"), pixmap("cur1_1")};
    art.rpng[1] = image("usb");
    art.rpng[2] = image("photography");
    art.rpng[3] = image("sdcard");
    art.title = pixmap("title");
    art.info = pixmap("info");
    art.folderGrey = pixmap("folder_grey");
    art.folderSilver = pixmap("folder_silver");
    art.folderRedSmall = pixmap("folder_red_small");
}

const QImage* pngmappa(const Artwork& art, int mappa123, int index123) {
    if (mappa123 < 1 || mappa123 > 3 || index123 < 1 || index123 > 3) return nullptr;
    return &art.png[size_t(3 * (index123 - 1) + mappa123)];
}

const QImage* deviceIcon(const Artwork& art, const QString& icon) {
    if (icon == QLatin1String("1")) return &art.rpng[1];
    if (icon == QLatin1String("2")) return &art.rpng[2];
    if (icon == QLatin1String("3")) return &art.rpng[3];
    return nullptr;
}

} // namespace kps
