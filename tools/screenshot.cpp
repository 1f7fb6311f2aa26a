// Takes the README's screenshots: starts the real window on the running X server (Xvfb),
// loads a folder of generated photos, and grabs the screen with the photo shown and with the
// menu page open. Usage: make-screenshot OUTPUT_FOLDER
//
// Run it through scripts/screenshots.sh, which starts Xvfb.

#include "app/mainwindow.h"
#include "testphotos.h"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <turbojpeg.h>

using namespace kps;

namespace {

// A landscape drawn by hand and encoded with TurboJPEG, as a camera would have written it.
QByteArray landscape(int seed) {
    QImage img(1600, 1067, QImage::Format_RGB888);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 700);
    sky.setColorAt(0, QColor(40 + seed * 9 % 60, 110, 200));
    sky.setColorAt(1, QColor(250, 200 - seed * 7 % 60, 150));
    p.fillRect(img.rect(), sky);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 236, 160));
    p.drawEllipse(QPointF(300 + seed * 97 % 1000, 260), 70, 70);
    const QColor hills[3] = {QColor(70, 110, 90), QColor(50, 120, 60), QColor(35, 90, 40)};
    for (int layer = 0; layer < 3; ++layer) {
        QPainterPath path(QPointF(0, 1067));
        for (int x = 0; x <= 1600; x += 40)
            path.lineTo(x,
                        620 + layer * 120 +
                            60 * std::sin((x + seed * 130 + layer * 400) / (180.0 + layer * 60)));
        path.lineTo(1600, 1067);
        p.setBrush(hills[layer]);
        p.drawPath(path);
    }
    p.end();
    tjhandle h = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    QByteArray bytes;
    if (tjCompress2(h, img.constBits(), img.width(), int(img.bytesPerLine()), img.height(),
                    TJPF_RGB, &out, &size, TJSAMP_420, 90, 0) == 0)
        bytes = QByteArray(reinterpret_cast<const char*>(out), qsizetype(size));
    tjFree(out);
    tjDestroy(h);
    return bytes;
}

void grab(QWidget& window, const QString& file) {
    QTest::qWait(400);
    QScreen* screen = window.screen();
    const QRect r = window.frameGeometry();
    screen->grabWindow(0, r.x(), r.y(), r.width(), r.height()).save(file);
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QTemporaryDir tmp;
    const QString root = tmp.path();
    qputenv("HOME", root.toLocal8Bit());
    const QStringList names{QStringLiteral("Nyaralás"),   QStringLiteral("Család"),
                            QStringLiteral("Kirándulás"), QStringLiteral("Munka"),
                            QStringLiteral("Barátok"),    QStringLiteral("Kedvencek"),
                            QStringLiteral("Nyomtatni")};
    QString ini = QStringLiteral("[ablak]\nleft=0\ntop=0\nwidth=1000\nheight=700\n[panel]\n");
    for (int i = 0; i < names.size(); ++i)
        ini += QStringLiteral("panel%1=%2\n").arg(i + 2).arg(names[i]);
    ini += QStringLiteral("panelmappa2=2\npanelmappa6=3\n[kezdo]\n");
    for (int slot = 0; slot < 9; ++slot) {
        const QString dir = root + QStringLiteral("/slot%1/").arg(slot);
        QDir().mkpath(dir);
        ini += QStringLiteral("path%1=%2\n").arg(slot).arg(dir);
    }
    const QString program = root + QStringLiteral("/program/");
    QDir().mkpath(program);
    test::writeFile(program + QStringLiteral("settings.ini"), ini.toUtf8());
    for (int i = 0; i < 12; ++i)
        test::writeFile(root + QStringLiteral("/slot0/DSC_%1.jpg").arg(1000 + i), landscape(i));
    for (int i = 0; i < 3; ++i)
        test::writeFile(root + QStringLiteral("/slot2/IMG_%1.jpg").arg(i),
                        test::makeJpegBytes(64, 48, i));

    Environment env;
    env.programDir = program;
    MainWindow window(env);
    window.show();
    window.SpeedButton1Click(1);
    QTest::keyClick(&window, Qt::Key_Space);
    grab(window, out + QStringLiteral("/screenshot-viewer.png"));
    window.Panel22Click();
    grab(window, out + QStringLiteral("/screenshot-menu.png"));
    return 0;
}
