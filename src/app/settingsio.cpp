// Start-up preparation from settings.ini, and the write at close.

#include "app/animatedcursor.h"
#include "app/colours.h"
#include "app/framegeometry.h"
#include "app/mainwindow.h"
#include "app/menupage.h"
#include "app/pathlabel.h"
#include "app/widgets.h"
#include "core/files/filecallguard.h"
#include "core/files/nativepath.h"
#include "core/settings/folderpath.h"
#include "core/settings/settingsfile.h"
#include "core/sources/devicesearch.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QToolButton>

namespace kps {
namespace {

// The load buttons' availability flag: 1 loadable, 0 not.
const char* const kTagProperty = "tag";

// The settings and the program state hold the taught devices under the same names.
template <typename From, typename To> void copyTaughtDevices(const From& from, To& to) {
    to.reservedSerial1 = from.reservedSerial1;
    to.reservedIcon1 = from.reservedIcon1;
    to.reservedPath1 = from.reservedPath1;
    to.reservedSerial2 = from.reservedSerial2;
    to.reservedIcon2 = from.reservedIcon2;
    to.reservedPath2 = from.reservedPath2;
}

// The home folder by its bytes: the default folders lie below it, whatever its name.
QString homeFolder() {
#ifndef Q_OS_WIN
    if (const QByteArray home = qgetenv("HOME"); !home.isEmpty()) return pathFromNative(home);
#endif
    return QDir::homePath();
}

} // namespace

std::array<QString, 11> MainWindow::rowNames() const {
    std::array<QString, 11> names;
    for (int i = 0; i < kMenuRows; ++i)
        names[size_t(i)] = menu_->mapi[size_t(i)]->text();
    return names;
}

std::array<QString, 11> MainWindow::rowPaths() const {
    std::array<QString, 11> paths;
    for (int i = 0; i < kMenuRows; ++i)
        paths[size_t(i)] = pathOfLabel(menu_->paths[size_t(i)]);
    return paths;
}

void MainWindow::betolt() {
    loadMenuArtwork(art_);
    menu_->speedButtons[0]->setIcon(art_.bmp[0]);
    menu_->speedButtons[0]->setProperty(kTagProperty, 1);
    for (int row = 1; row < kSourceRows; ++row) {
        menu_->speedButtons[size_t(row)]->setIcon(art_.bmp[2]);
        menu_->speedButtons[size_t(row)]->setProperty(kTagProperty, 0);
        menu_->paths[size_t(row)]->setText(kSearchingDevice);
    }
    cur1_ = new AnimatedCursor(art_.cursorFrames, this);

    const Settings s =
        readSettings(st_.dir + QStringLiteral("settings.ini"), defaultSettings(homeFolder()));
    applySettings(s);
}

void MainWindow::applySettings(const Settings& s) {
    // Window geometry: the stored rectangle is the outer frame's.
    frame_->restore({s.left, s.top, s.width, s.height, s.maximized});

    // Names, then paths, into the slots and the menu rows (row 1 the source, rows 4..11 the
    // folders and the Trash).
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const size_t row = slot == kSourceSlot ? 0 : size_t(slot + 2);
        st_.szoveg[size_t(slot)] = s.panel[size_t(slot)];
        st_.dirs[size_t(slot)] = s.path[size_t(slot)];
        menu_->mapi[row]->setText(s.panel[size_t(slot)]);
        setPathLabel(menu_->paths[row], s.path[size_t(slot)]);
    }
    menu_->checkBox2->setChecked(s.kurzor);
    menu_->checkBox1->setChecked(s.pirosmappa);
    menu_->checkBox3->setChecked(s.tarsfajlok);
    st_.tarsfajlok = s.tarsfajlok;
    cur1_->apply(image1_, s.kurzor);

    // Folders one level deep; failures leave them absent.
    for (const QString& d : st_.dirs)
        makeFolder(d);
    if (!st_.dirs[kTrashSlot].isEmpty()) makeFolder(st_.dirs[kTrashSlot] + kUndoFolderName);

    st_.villogo = false;
    copyTaughtDevices(s, st_);
    menu_->mapi[1]->setText(s.panel1b);
    menu_->mapi[2]->setText(s.panel1c);

    const std::array<const QString*, 2> icons{&st_.reservedIcon1, &st_.reservedIcon2};
    for (size_t i = 0; i < icons.size(); ++i) {
        if (const QImage* icon = deviceIcon(art_, *icons[i]))
            menu_->icons[i + 1]->setPixmap(QPixmap::fromImage(*icon));
    }

    for (int slot = 0; slot < kMarkedSlots; ++slot)
        st_.png[size_t(slot)] = s.panelmappa[size_t(slot)];
    st_.szin2 = s.panelszin2;
    st_.szin3 = s.panelszin3;
    st_.szin4 = s.panelszin4;
    const std::array<Colour, 3> colours{st_.szin2, st_.szin3, st_.szin4};
    for (size_t i = 0; i < colours.size(); ++i)
        paintSwatch(menu_->buttonColors[i], toQColor(colours[i], palette()));
    st_.torol500 = s.torol500;

    loadpanelhibakereso();
}

Settings MainWindow::collectSettings() const {
    Settings s;
    const StoredFrame place = frame_->current();
    s.left = place.left;
    s.top = place.top;
    s.width = place.width;
    s.height = place.height;
    s.maximized = place.maximized;

    for (int slot = 0; slot < kSlotCount; ++slot) {
        s.panel[size_t(slot)] = st_.szoveg[size_t(slot)];
        s.path[size_t(slot)] = st_.dirs[size_t(slot)];
    }
    s.panel1b = menu_->mapi[1]->text();
    s.panel1c = menu_->mapi[2]->text();
    s.kurzor = menu_->checkBox2->isChecked();
    s.pirosmappa = menu_->checkBox1->isChecked();
    s.tarsfajlok = st_.tarsfajlok;
    copyTaughtDevices(st_, s);
    for (int slot = 0; slot < kMarkedSlots; ++slot)
        s.panelmappa[size_t(slot)] = st_.png[size_t(slot)];
    s.panelszin2 = st_.szin2;
    s.panelszin3 = st_.szin3;
    s.panelszin4 = st_.szin4;
    s.torol500 = st_.torol500;
    return s;
}

bool MainWindow::kiment() {
    const FileCallsAllowed settingsFile; // no photo folder
    beallitasupdate(st_, 1, rowNames(), rowPaths());
    const QString file = st_.dir + QStringLiteral("settings.ini");
    if (!writeSettings(file, collectSettings())) {
        auto* box = new QMessageBox(QMessageBox::Critical, windowTitle(),
                                    QStringLiteral("Unable to write to %1").arg(file),
                                    QMessageBox::Ok, this);
        box->setObjectName(QStringLiteral("WriteErrorBox"));
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
        return false;
    }
    return true;
}

bool MainWindow::loadpanelhibakereso() {
    const ClashCheck check = kps::loadpanelhibakereso(rowPaths());
    paintClashRows(*menu_, check);
    return check.ok;
}

} // namespace kps
