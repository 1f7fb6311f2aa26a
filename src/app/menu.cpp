// The menu page: showing it, picking folders and colours, the help link, and loading a source.

#include "app/animatedcursor.h"
#include "app/colours.h"
#include "app/loadscan.h"
#include "app/mainwindow.h"
#include "app/menupage.h"
#include "app/panelpainter.h"
#include "app/pathlabel.h"
#include "app/widgets.h"
#include "core/files/nativepath.h"
#include "core/sources/devicesearch.h"
#include "core/sources/wizardlogic.h"
#include "core/state/cursor.h"
#include "dialogs/devicewizard.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <utility>

namespace kps {

void MainWindow::Panel22Click() {
    QFrame* page = menu_->panel20;
    page->setVisible(!page->isVisible());
    if (page->isVisible()) {
        page->raise();
        timer1_->start();
    }
}

void MainWindow::selbutton1Click(int row) {
    if (row < 1 || row > kMenuRows) return;
    if (row == 2 || row == 3) {
        teachDevice(row);
        return;
    }
    // The picker's answer becomes the row's folder; a cancelled picker keeps the text. Either
    // way the text ends in the separator, except an empty text, which names no folder and stays
    // empty rather than turning into the root.
    QLabel* label = menu_->paths[size_t(row - 1)];
    const QString chosen =
        env_.pickFolder(this, QStringLiteral("Select a directory"), label->text(), QString());
    setPathLabel(label, pickedPathField(pathOfLabel(label), chosen));
    loadpanelhibakereso();
}

void MainWindow::teachDevice(int row) {
    // Centred over the viewer: the frame's outer corner plus the viewer's place in the window.
    const QPoint viewer = panel2_->mapTo(this, QPoint(0, 0));
    form4_->move(x() + viewer.x() + panel2_->width() / 2 - form4_->width() / 2,
                 y() + viewer.y() + panel2_->height() / 2 - form4_->height() / 2);
    QLineEdit* name = menu_->mapi[size_t(row - 1)];
    form4_->setDeviceName(name->text());
    st_.renamekerdes = false;
    form4_->exec();
    if (!st_.renamekerdes) return;
    // The path label and the load button follow at the next device-search tick.
    takeTaughtDevice(st_, row - 1);
    if (const QImage* icon = deviceIcon(art_, st_.reservedIcon0))
        menu_->icons[size_t(row - 1)]->setPixmap(QPixmap::fromImage(*icon));
    name->setText(st_.reservedName0);
}

void MainWindow::ButtonColor1Click() {
    std::array<Colour*, 3> targets{&st_.szin2, &st_.szin3, &st_.szin4};
    for (size_t i = 0; i < targets.size(); ++i) {
        const QColor c = menu_->buttonColors[i]->property("colour").value<QColor>();
        if (c.isValid()) *targets[i] = fromQColor(c);
    }
    kepszinezo();
}

void MainWindow::Label1Click() {
    if (!env_.helpPage.isEmpty()) { // an installed program opens its page where it is
        QDesktopServices::openUrl(fileUrl(env_.helpPage)); // its folder's name may be no UTF-8
        return;
    }
    // The help page ships inside the program; the browser gets a copy in a folder of our own
    // (only this user can enter it, its name cannot be guessed, and it goes at exit), so no one
    // else can plant a file or a link where the page is written.
    if (!helpDir_) {
        helpDir_ = std::make_unique<QTemporaryDir>(
            QDir::temp().filePath(QStringLiteral("kovrin-photo-sorter-XXXXXX")));
        if (!helpDir_->isValid()) {
            helpDir_.reset();
            return;
        }
    }
    const QString target = helpDir_->filePath(QStringLiteral("segitseg.html"));
    // A fresh file every time: removing a link removes only the link, and a new file is made
    // only where nothing is, so nothing is written through a link.
    QFile::remove(target);
    QFile page(target);
    QFile shipped(QStringLiteral(":/help/help_hu.html"));
    if (!shipped.open(QIODevice::ReadOnly) || !page.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return;
    const QByteArray html = shipped.readAll();
    const bool written = page.write(html) == html.size();
    page.close();
    if (written) QDesktopServices::openUrl(QUrl::fromLocalFile(target));
}

void MainWindow::SpeedButton1Click(int row) {
    if (row < 1 || row > kSourceRows) return;
    if (menu_->speedButtons[size_t(row - 1)]->property("tag").toInt() == 0) return;
    menu_->panel20->hide();
    st_.megsemmi = false;
    beallitasupdate(st_, row, rowNames(), rowPaths());
    betoltesbuttonrol();
    kepszinezo();
}

void MainWindow::betoltesbuttonrol() {
    st_.pirosmappa = menu_->checkBox1->isChecked();
    cur1_->apply(image1_, menu_->checkBox2->isChecked());
    st_.panelState.fill(PanelState::Normal);
    st_.panelState[kSourceSlot] = PanelState::Selected;
    st_.indexpanel = kSourceSlot;
    load_->start();
    st_.s1 = listbox(st_, st_.indexpanel);
    kepbetoltes(st_.s1);
    syncStatusBar();
}

void MainWindow::Timer1Timer() {
    if (!menu_->panel20->isVisible()) timer1_->stop();
    const DeviceSearchTick tick = deviceSearchTick(st_, env_.volumes->volumes(), rowPaths());
    for (int d = 0; d < kDeviceRows; ++d) {
        const DeviceRowView& view = tick.devices[size_t(d)];
        const size_t row = size_t(d + 1);
        QLabel* path = menu_->paths[row];
        setPathLabel(path, view.pathText);
        QPalette pal = path->palette();
        pal.setColor(QPalette::WindowText, view.grey ? QColor(128, 128, 128) : QColor(Qt::black));
        path->setPalette(pal);
        if (view.icon >= 1 && view.icon <= 3)
            menu_->icons[row]->setPixmap(QPixmap::fromImage(art_.rpng[size_t(view.icon)]));
        menu_->speedButtons[row]->setIcon(view.loadable ? art_.bmp[1] : art_.bmp[2]);
        menu_->speedButtons[row]->setProperty("tag", view.loadable ? 1 : 0);
    }
    // The clash check already saw the device rows' new texts.
    paintClashRows(*menu_, tick.clash);
    const bool rowOneLoads = tick.clash.ok;
    menu_->speedButtons[0]->setIcon(rowOneLoads ? art_.bmp[0] : art_.bmp[2]);
    menu_->speedButtons[0]->setProperty("tag", rowOneLoads ? 1 : 0);
}

void MainWindow::connectMenu() {
    for (int i = 0; i < kMenuRows; ++i)
        connect(menu_->selbuttons[size_t(i)], &QPushButton::clicked, this,
                [this, i] { selbutton1Click(i + 1); });
    for (int i = 0; i < kSourceRows; ++i)
        connect(menu_->speedButtons[size_t(i)], &QToolButton::clicked, this,
                [this, i] { SpeedButton1Click(i + 1); });
    for (QPushButton* button : menu_->buttonColors) {
        connect(button, &QPushButton::clicked, this, [this, button] {
            const QColor initial = button->property("colour").value<QColor>();
            const QColor chosen = env_.pickColour(this, initial);
            if (!chosen.isValid()) return;
            paintSwatch(button, chosen);
            ButtonColor1Click();
        });
    }
    // Drops and the viewer's marker follow the companions option at once.
    connect(menu_->checkBox3, &QCheckBox::toggled, this, [this](bool on) {
        st_.tarsfajlok = on;
        viewer_->showMarker();
    });
    menu_->label1->installEventFilter(this);
    menu_->panel20->installEventFilter(this);
}

void MainWindow::menuPageHidden() {
    // However the page went (its button, a load, anything else), a control of it that kept the
    // focus would swallow the viewer's keys, or type into a field nobody sees.
    const QWidget* focus = focusWidget();
    if (focus && (menu_->panel20->isAncestorOf(focus) || !focus->isVisible()))
        setFocus(Qt::OtherFocusReason);
}

bool MainWindow::helpLinkEvent(QEvent* event) {
    QLabel* link = menu_->label1;
    const auto colourText = [link](const QColor& c) {
        QPalette pal = link->palette();
        pal.setColor(QPalette::WindowText, c);
        link->setPalette(pal);
    };
    switch (event->type()) {
    case QEvent::Enter:
        colourText(Qt::blue);
        break;
    case QEvent::Leave:
        colourText(Qt::black);
        break;
    case QEvent::MouseButtonPress:
        Label1Click();
        return true;
    default:
        break;
    }
    return false;
}

} // namespace kps
