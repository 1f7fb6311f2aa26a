#pragma once
// Form1: the main window. Builds the components, owns the program-wide state, and hands events
// to the parts that run the drops' work, the viewer and the load.

#include "app/dropwork.h"
#include "app/loadscan.h"
#include "app/viewer.h"
#include "dialogs/artwork.h"
#include "dialogs/pickers.h"

#include <QMainWindow>
#include <memory>

class QFrame;
class QLabel;
class QTemporaryDir;
class QTimer;

namespace kps {

class FileOps;
class PanelPicture;
class PhotoView;
class StatusLine;
class ViewerArea;
class VolumeSource;
struct MenuPage;
struct Settings;

// What the main window takes from outside, so tests can replace the disk, the volumes and the
// pickers.
struct Environment {
    QString programDir;              // dir: where settings.ini lives, ending in the separator
    QString helpPage;                // the installed help page; empty: a copy from the resources
    FileOps* fileOps = nullptr;      // file steps of a drop; null: the real file system
    VolumeSource* volumes = nullptr; // mounted volumes; null: the system's mount table
    FolderPicker pickFolder;         // null: the platform's folder picker (empty when cancelled)
    ColourPicker pickColour;         // null: the platform's colour dialog (invalid when cancelled)
};

class MainWindow : public QMainWindow {
    Q_OBJECT
  public:
    explicit MainWindow(const Environment& env, QWidget* parent = nullptr);
    ~MainWindow() override;

    AppState& state() { return st_; }
    const AppState& state() const { return st_; }
    // The parts that work behind the window, and what tests and benchmarks ask of them.
    DropWork& drops() { return *drops_; }
    Viewer& viewer() { return *viewer_; }
    StatusLine& statusLine() { return *statusLine_; }
    PhotoCache& photoCache() { return viewer_->cache(); }
    FolderScan& folderScan() { return load_->scan(); }
    bool scanning() const { return load_->running(); }            // a load waits for its lists
    bool cleaningUp() const { return drops_->cleaningUp(); }      // the close's clean-up runs
    bool photoPending() const { return viewer_->waiting(); }      // the viewer waits for a decode
    bool standInShown() const { return viewer_->standInShown(); } // a preview shows meanwhile
    const PendingDrops& pendingDrops() const { return drops_->pending(); }
    DropQueue& dropQueue() { return drops_->queue(); }
    QString bytesOf(const QString& path) const { return drops_->bytesOf(path); } // now

    QWidget* ifindcomponent(const QString& name) const; // the component of that name, or null
    void betolt(); // reads settings.ini and prepares the window, menu and folders
    bool kiment(); // writes settings.ini; false when the write failed

    void FormResize();                     // lays out the panels around the viewer
    void kepbetoltes(const QString& path); // shows a photo in the viewer
    void kepszinezo();                     // redraws the nine folder panels
    void FormKeyDown(int key);             // moves through the viewed list
    void Panel10MouseDown(int slot);       // a press selects a folder panel
    void Panel10MouseMove(int slot);       // hovering lights a panel
    void Panel10MouseLeave(int slot);      // leaving puts it back
    void Image10DblClick(int slot);        // cycles a folder's colour mark
    void Panel22Click();                   // shows or hides the menu page
    void selbutton1Click(int row);         // "..." of a menu row (1..11)
    void ButtonColor1Click();              // takes the three panel colours over
    void Label1Click();                    // opens the help page
    void SpeedButton1Click(int row);       // load button of a source row (1..3)
    void betoltesbuttonrol();              // reads every list again and shows the source
    void cancelScan();                     // stops a load's scan; its lists never arrive
    void Timer1Timer();                    // device search tick
    void Panel1MouseDown(QPoint p);        // press on the photo, frame coordinates
    void Panel1MouseMove(QPoint p);        // pointer move while dragging
    void Panel1MouseUp(QPoint p);          // release: sorts the photo
    bool loadpanelhibakereso();            // paints the menu rows whose paths clash; true: none
    void syncStatusBar();                  // copies the status texts into the status bar
    void showStatusMessage(const QString& text); // a warning for a while; empty clears it

  signals:
    void loaded(); // a load's lists have arrived and its first photo shows

  protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildComponents();
    void connectMenu();
    bool helpLinkEvent(QEvent* event);
    void teachDevice(int row); // "..." of a device row (2 or 3): runs the device wizard
    void menuPageHidden();     // hands the keys back to the window
    void applySettings(const Settings& s);
    Settings collectSettings() const;
    std::array<QString, 11> rowNames() const;
    std::array<QString, 11> rowPaths() const;
    bool panelEvent(int slot, bool onPicture, QEvent* event);
    bool photoEvent(QEvent* event);

    AppState st_;
    Environment env_;
    std::shared_ptr<FileOps> ownFileOps_;
    std::unique_ptr<VolumeSource> ownVolumes_;
    std::unique_ptr<DropWork> drops_;
    std::unique_ptr<LoadScan> load_;
    Artwork art_;
    std::unique_ptr<QTemporaryDir> helpDir_; // private folder of the help page, for the session

    // Components, in families indexed by slot or row.
    std::array<QFrame*, kSlotCount> panels_{};         // Panel10..Panel18
    std::array<PanelPicture*, kSlotCount> pictures_{}; // Image10..Image18
    std::array<QFrame*, 4> corners_{};                 // Panel6..Panel9
    QWidget* client_ = nullptr;
    ViewerArea* panel2_ = nullptr;         // Panel2: viewer area
    QFrame* panel1_ = nullptr;             // Panel1: photo frame
    PhotoView* image1_ = nullptr;          // Image1: the photo
    std::unique_ptr<Viewer> viewer_;       // what the viewer waits for
    std::unique_ptr<MenuPage> menu_;       // Panel20 and its contents
    QLabel* panel22_ = nullptr;            // "Menü" button
    StatusLine* statusLine_ = nullptr;     // StatusBar1
    QTimer* timer1_ = nullptr;             // Timer1: device search
    class RenameDialog* form3_ = nullptr;  // Form3: rename question
    class DeviceWizard* form4_ = nullptr;  // Form4: device wizard
    class AnimatedCursor* cur1_ = nullptr; // cursor 1: the animated cursor over the photo
    class FrameGeometry* frame_ = nullptr; // the window's place, as settings.ini keeps it
};

} // namespace kps
