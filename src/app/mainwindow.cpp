#include "app/mainwindow.h"

#include "app/animatedcursor.h"
#include "app/framegeometry.h"
#include "app/menupage.h"
#include "app/statusline.h"
#include "app/widgets.h"
#include "core/files/fileops.h"
#include "core/files/nativepath.h"
#include "core/sources/volumes.h"
#include "dialogs/devicewizard.h"
#include "dialogs/renamedialog.h"

#include <QCloseEvent>
#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>

// The pictures are linked in from a static library, so they are registered by hand.
static void initResources() {
    Q_INIT_RESOURCE(resources);
}

namespace kps {
namespace {

// The property that tells a panel or picture which slot it belongs to.
const char* const kSlotProperty = "slot";

void setBackground(QWidget* w, const QColor& c) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, c);
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

QString withSeparator(QString path) {
    if (!path.endsWith(kSep)) path += kSep;
    return path;
}

} // namespace

MainWindow::MainWindow(const Environment& env, QWidget* parent) : QMainWindow(parent), env_(env) {
    initResources();
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Kovrin Photo Sorter"));
    QFont f(QStringLiteral("Tahoma"));
    f.setPixelSize(11);
    setFont(f);

    if (!env_.fileOps) {
        ownFileOps_ = std::make_shared<RealFileOps>();
        env_.fileOps = ownFileOps_.get();
    }
    // The worker shares the window's own file system object; one given by a test is the test's.
    drops_ = std::make_unique<DropWork>(
        *this, st_,
        ownFileOps_ ? ownFileOps_ : std::shared_ptr<FileOps>(env_.fileOps, [](FileOps*) {}));
    if (!env_.volumes) {
        ownVolumes_ = systemVolumes();
        env_.volumes = ownVolumes_.get();
    }
    if (!env_.pickFolder) {
        env_.pickFolder = [](QWidget* parent, const QString& title, const QString& start,
                             const QString& root) {
            // Qt's dialog names folders its own way: paths go through the name codec both ways.
            QFileDialog dialog(parent, title, qtPath(start));
            dialog.setFileMode(QFileDialog::Directory);
            dialog.setOption(QFileDialog::ShowDirsOnly);
            // A root keeps the choice on one volume.
            if (!root.isEmpty())
                dialog.connect(&dialog, &QFileDialog::directoryEntered, &dialog,
                               [&dialog, qtRoot = qtPath(root)](const QString& dir) {
                                   if (!dir.startsWith(qtRoot)) dialog.setDirectory(qtRoot);
                               });
            return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()
                       ? pathFromQt(dialog.selectedFiles().first())
                       : QString();
        };
    }
    if (!env_.pickColour) {
        env_.pickColour = [](QWidget* parent, const QColor& initial) {
            return QColorDialog::getColor(initial, parent);
        };
    }
    load_ = std::make_unique<LoadScan>(*this, st_);
    buildComponents();
    frame_ = new FrameGeometry(this);

    // Start-up, in this order: the menu scrolled to the top, nothing loaded, the program's
    // folder, the colour marks, then the settings.
    menu_->scrollBox1->verticalScrollBar()->setValue(0);
    st_.megsemmi = true;
    st_.dir = withSeparator(env_.programDir);
    LoadPng(art_);
    st_.indexpanel = 0;
    st_.png.fill(kMarkYellow);
    st_.panelState.fill(PanelState::Normal);
    st_.panelState[kSourceSlot] = PanelState::Selected;
    betolt();
    showMenuPictures(*menu_, art_);

    form3_ = new RenameDialog(st_.renamekerdes, this);
    form4_ = new DeviceWizard(st_, *env_.volumes, env_.pickFolder, art_, this);
    timer1_->start();
}

MainWindow::~MainWindow() = default;

void MainWindow::buildComponents() {
    client_ = new QWidget(this);
    client_->setObjectName(QStringLiteral("client"));
    setCentralWidget(client_);

    for (int slot = 0; slot < kSlotCount; ++slot) {
        auto* panel = new QFrame(client_);
        panel->setObjectName(QStringLiteral("Panel%1").arg(10 + slot));
        panel->setProperty(kSlotProperty, slot);
        panel->setMouseTracking(true);
        panel->installEventFilter(this);
        if (slot == kTrashSlot) {
            auto* under = new QWidget(panel); // Image7: the picture under the Trash's drawing
            under->setObjectName(QStringLiteral("Image7"));
        }
        auto* picture = new PanelPicture(panel);
        picture->setObjectName(QStringLiteral("Image%1").arg(10 + slot));
        picture->setProperty(kSlotProperty, slot);
        picture->setMouseTracking(true);
        picture->installEventFilter(this);
        panels_[size_t(slot)] = panel;
        pictures_[size_t(slot)] = picture;
    }
    for (int i = 0; i < int(corners_.size()); ++i) {
        auto* corner = new QFrame(client_);
        corner->setObjectName(QStringLiteral("Panel%1").arg(6 + i));
        corner->setGeometry(0, 0, 50, 50);
        corners_[size_t(i)] = corner;
    }

    panel22_ = new QLabel(QStringLiteral("Menü"), corners_[0]);
    panel22_->setObjectName(QStringLiteral("Panel22"));
    panel22_->setGeometry(1, 11, 48, 25);
    panel22_->setAlignment(Qt::AlignCenter);
    panel22_->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel22_->setLineWidth(2);
    setBackground(panel22_, QColor(255, 185, 185));
    panel22_->installEventFilter(this);

    panel2_ = new ViewerArea(client_);
    panel2_->setObjectName(QStringLiteral("Panel2"));
    setBackground(panel2_, QColor(0xC0, 0xC0, 0xC0));
    panel1_ = new QFrame(panel2_);
    panel1_->setObjectName(QStringLiteral("Panel1"));
    setBackground(panel1_, QColor(0x00, 0x80, 0xFF));
    panel1_->setGeometry(0, 0, 0, 0);
    panel1_->hide(); // no photo until a source is loaded
    panel1_->installEventFilter(this);
    image1_ = new PhotoView(panel1_);
    image1_->setObjectName(QStringLiteral("Image1"));
    image1_->installEventFilter(this);

    viewer_ = std::make_unique<Viewer>(*this, st_, panel2_, panel1_, image1_);
    menu_ = std::make_unique<MenuPage>(buildMenuPage(panel2_));
    connectMenu();

    statusLine_ = new StatusLine(this);
    setStatusBar(statusLine_);

    // Only the menu page's controls may hold the focus; a focused panel, button or status field
    // elsewhere would take the viewer's keys.
    for (QWidget* w : findChildren<QWidget*>())
        if (w != menu_->panel20 && !menu_->panel20->isAncestorOf(w)) w->setFocusPolicy(Qt::NoFocus);

    timer1_ = new QTimer(this);
    timer1_->setObjectName(QStringLiteral("Timer1"));
    timer1_->setInterval(1000);
    connect(timer1_, &QTimer::timeout, this, &MainWindow::Timer1Timer);
}

void MainWindow::showStatusMessage(const QString& text) {
    statusLine_->warn(text);
}

void MainWindow::syncStatusBar() {
    statusLine_->setFields(st_.status);
}

void MainWindow::kepbetoltes(const QString& path) {
    viewer_->show(path);
}

void MainWindow::cancelScan() {
    load_->cancel();
}

QWidget* MainWindow::ifindcomponent(const QString& name) const {
    if (name.isEmpty()) return nullptr;
    if (objectName() == name) return const_cast<MainWindow*>(this);
    // The window's own components first: the dialogs reuse names such as "Label1".
    if (QWidget* w = client_->findChild<QWidget*>(name)) return w;
    if (QWidget* w = statusBar()->findChild<QWidget*>(name)) return w;
    return findChild<QWidget*>(name, Qt::FindDirectChildrenOnly);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    cancelScan();
    event->setAccepted(drops_->mayClose());
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    FormResize();
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    FormResize();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    const QVariant slot = watched->property(kSlotProperty);
    if (slot.isValid())
        return panelEvent(slot.toInt(), qobject_cast<PanelPicture*>(watched) != nullptr, event);
    if (watched == panel1_ || watched == image1_) return photoEvent(event);
    if (watched == menu_->label1) return helpLinkEvent(event);
    if (watched == menu_->panel20 && event->type() == QEvent::Hide) menuPageHidden();
    if (watched == panel22_) {
        if (event->type() == QEvent::MouseButtonPress) Panel22Click();
        if (event->type() == QEvent::Enter) setBackground(panel22_, QColor(255, 106, 106));
        if (event->type() == QEvent::Leave) setBackground(panel22_, QColor(255, 185, 185));
    }
    return QMainWindow::eventFilter(watched, event);
}

bool MainWindow::panelEvent(int slot, bool onPicture, QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        Panel10MouseDown(slot);
        return true;
    case QEvent::MouseButtonDblClick:
        // The double click on a folder's picture comes before the press of the same click.
        if (onPicture && slot < kMarkedSlots) Image10DblClick(slot);
        Panel10MouseDown(slot);
        return true;
    case QEvent::MouseMove:
        Panel10MouseMove(slot);
        return false;
    case QEvent::Leave:
        Panel10MouseLeave(slot);
        return false;
    default:
        return false;
    }
}

bool MainWindow::photoEvent(QEvent* event) {
    const auto type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove &&
        type != QEvent::MouseButtonRelease && type != QEvent::MouseButtonDblClick)
        return false;
    // While the next photo decodes the frame may still show the previous one: no drag from it.
    if (photoPending() && type != QEvent::MouseMove && type != QEvent::MouseButtonRelease)
        return true;
    auto* me = static_cast<QMouseEvent*>(event);
    // Image1 fills Panel1, so both report positions in the frame's coordinates.
    const QPoint p = me->position().toPoint();
    if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick)
        Panel1MouseDown(p);
    else if (type == QEvent::MouseMove)
        Panel1MouseMove(p);
    else
        Panel1MouseUp(p);
    return true;
}

} // namespace kps
