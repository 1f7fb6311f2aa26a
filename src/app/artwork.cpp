#include "app/artwork.h"

#include <QString>

namespace kps {
namespace {

QImage image(const char* name) {
    return QImage(QStringLiteral(":/images/%1.png").arg(QLatin1String(name)));
}

QPixmap pixmap(const char* name) {
    return QPixmap(QStringLiteral(":/images/%1.png").arg(QLatin1String(name)));
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
