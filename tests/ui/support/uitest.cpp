#include "support/uitest.h"

#include <QCursor>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>

namespace kps::test {

QStringList iniLines(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) return {};
    QStringList out;
    for (const QByteArray& line : f.readAll().split('\n')) {
        const QString text = QString::fromUtf8(line).trimmed();
        if (!text.isEmpty()) out << text;
    }
    return out;
}

bool waitForPhoto(MainWindow& w) {
    return QTest::qWaitFor([&] { return !w.photoPending(); });
}

WindowFixture::WindowFixture() {
    programDir_ = tmp_.path() + QStringLiteral("/program/");
    QDir().mkpath(programDir_);
    QDir().mkpath(tmp_.path() + QStringLiteral("/home"));
    // Default folders go under HOME: keep them inside the temporary tree.
    oldHome_ = qgetenv("HOME");
    qputenv("HOME", (tmp_.path() + QStringLiteral("/home")).toLocal8Bit());
}

WindowFixture::~WindowFixture() {
    window_.reset();
    qputenv("HOME", oldHome_);
}

QString WindowFixture::folder(const QString& name) const {
    const QString path = tmp_.path() + QLatin1Char('/') + name + QLatin1Char('/');
    QDir().mkpath(path);
    return path;
}

MainWindow& WindowFixture::start(const Environment& extra) {
    window_.reset();
    Environment env = extra;
    env.programDir = programDir_;
    window_ = std::make_unique<MainWindow>(env);
    // A real pointer resting over the window would send its own moves and leaves to the panels:
    // it waits in the screen's far corner, away from the window.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        QCursor::setPos(screen->geometry().bottomRight());
    window_->show();
    // On a real window system focus follows the active window: wait until this one is active,
    // as a desktop would make it, so keys reach it as they reach the user's window.
    window_->activateWindow();
    if (!QTest::qWaitForWindowActive(window_.get())) qWarning("main window not active");
    return *window_;
}

QString WindowFixture::slotFolder(int slot) const {
    return folder(slot == 8 ? QStringLiteral("trash") : QStringLiteral("slot%1").arg(slot));
}

MainWindow& WindowFixture::startWithFolders(const QString& extraKezdo, const Environment& env) {
    QString ini = QStringLiteral("[kezdo]\n");
    for (int slot = 0; slot < 9; ++slot)
        ini += QStringLiteral("path%1=%2\n").arg(slot).arg(slotFolder(slot));
    ini += extraKezdo;
    QFile f(settingsFile());
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) qFatal("cannot write settings");
    f.write(ini.toUtf8());
    f.close();
    return start(env);
}

void WindowFixture::load() {
    window_->SpeedButton1Click(1);
    waitForScan();
    waitForPhoto(*window_);
}

void WindowFixture::waitForScan() {
    QTRY_VERIFY_WITH_TIMEOUT(!window_->scanning(), 20000);
}

bool WindowFixture::close() {
    if (window_->close()) return true;
    // The clean-up at close runs behind the window, and its end closes the window.
    if (!window_->cleaningUp()) return false;
    return QTest::qWaitFor([this] { return !window_->isVisible(); }, 20000);
}

} // namespace kps::test
