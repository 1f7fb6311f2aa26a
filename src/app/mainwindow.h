#pragma once
// Form1: the main window. Builds the components, owns the program-wide state, and turns
// events into calls of the core routines.

#include "core/drop/dropjob.h"
#include "core/sources/folderscan.h"
#include "core/state/state.h"
#include "dialogs/artwork.h"
#include "dialogs/pickers.h"

#include <QColor>
#include <QMainWindow>
#include <QPointer>
#include <array>
#include <functional>
#include <memory>

class QLabel;
class QProgressDialog;
class QFrame;
class QTemporaryDir;
class QTimer;

namespace kps {

struct Settings;
struct ClashCheck;
struct MenuPage;
class PanelPicture;
class PhotoView;
class ViewerArea;
class PhotoCache;
struct DecodedPhoto;
enum class PhotoArrival;
class FileOps;
class DropQueue;
struct DropResult;
class VolumeSource;
class RenameDialog;
class DeviceWizard;

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

    // The decoded photos kept in memory (the benchmarks drop them to measure a cold start).
    PhotoCache& photoCache() { return *cache_; }
    // The folder scans of a load; true while a load waits for its lists.
    FolderScan& folderScan() { return *scan_; }
    bool scanning() const;
    // True while the close's clean-up runs behind the window.
    bool cleaningUp() const { return cleaning_ && !cleanedUp_; }
    // True while the viewer waits for the decode of the photo it is to show.
    bool photoPending() const { return pendingRequest_ != 0 && !sharpening_ && !confirming_; }
    // True while the frame shows the wanted photo's embedded preview until its decode comes.
    bool standInShown() const { return standIn_; }

    // The component of the main window that bears this object name, or null.
    QWidget* ifindcomponent(const QString& name) const;

    // Start-up and close.
    void betolt(); // reads settings.ini and prepares the window, menu and folders
    bool kiment(); // writes settings.ini; false when the write failed

    // Layout, viewer, panels and keys.
    void FormResize();                     // lays out the panels around the viewer
    void kepbetoltes(const QString& path); // shows a photo in the viewer
    void kepszinezo();                     // redraws the nine folder panels
    void FormKeyDown(int key);             // moves through the viewed list
    void Panel10MouseDown(int slot);       // a press selects a folder panel
    void Panel10MouseMove(int slot);       // hovering lights a panel
    void Panel10MouseLeave(int slot);      // leaving puts it back
    void Image10DblClick(int slot);        // cycles a folder's colour mark

    // Menu page and loading.
    void Panel22Click();             // shows or hides the menu page
    void selbutton1Click(int row);   // "..." of a menu row (1..11)
    void ButtonColor1Click();        // takes the three panel colours over
    void Label1Click();              // opens the help page
    void SpeedButton1Click(int row); // load button of a source row (1..3)
    void betoltesbuttonrol();        // reads every list again and shows the source
    void cancelScan();               // stops a load's scan; its lists never arrive
    void Timer1Timer();              // device search tick

    // Dragging the photo.
    void Panel1MouseDown(QPoint p); // press on the photo, frame coordinates
    void Panel1MouseMove(QPoint p); // pointer move while dragging
    void Panel1MouseUp(QPoint p);   // release: sorts the photo

    // Paints the menu rows whose paths clash; true when none do.
    bool loadpanelhibakereso();

    // The drops released whose file work is not done yet, and the worker doing it.
    const PendingDrops& pendingDrops() const { return pending_; }
    DropQueue& dropQueue() { return *drops_; }
    // Where the photo listed as path has its bytes now (earlier, while its move is pending).
    QString bytesOf(const QString& path) const;

    // Copies the status texts of the state into the status bar.
    void syncStatusBar();
    // Shows what went wrong beside the five status fields for a while; empty clears it.
    void showStatusMessage(const QString& text);

  signals:
    // A load's lists have arrived and its first photo shows.
    void loaded();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildComponents();
    void buildStatusBar();
    void connectMenu();
    void connectScan();
    void holdScanStart(); // keeps a load's empty start off the screen for a moment
    void scanFinished(const std::shared_ptr<ScanLists>& lists); // a load's lists arrived
    void scanProgress(int photos);                              // photos found so far
    void paintClashRows(const ClashCheck& check); // red rows clash, silver rows do not
    bool helpLinkEvent(QEvent* event);
    void teachDevice(int row); // "..." of a device row (2 or 3): runs the device wizard
    void menuPageHidden();     // hands the keys back to the window
    void applySettings(const Settings& s);
    Settings collectSettings() const;
    std::array<QString, 11> rowNames() const;
    std::array<QString, 11> rowPaths() const;
    bool panelEvent(int slot, bool onPicture, QEvent* event);
    bool photoEvent(QEvent* event);
    QSize decodeCover() const;   // the viewer area in device pixels
    void fitFrame();             // fits the photo frame to the held photo
    void refreshDecodeForSize(); // decodes again when the viewer outgrew the held picture
    void dropFinished(const DropResult& result); // settles the lists by what the work did
    void settleHeldResults();                    // the results that came during a drag
    void showPendingWork();                      // the pending-work text and the close progress
    void finishWorkBeforeClosing();              // close waits, with a progress dialog
    void dismissCloseProgress();                 // takes that dialog away
    void showCloseProgress();                    // shows it, with "Kilépés most"
    void cleanUpBehind(); // the close's clean-up (undo trim, Trash) on the drops' worker
    void connectViewer(); // receives the viewer's decodes from the cache's thread
    void showPhoto(const DecodedPhoto& photo); // shows a decode's result and prefetches
    void photoArrived(quint64 request, const QString& path, PhotoArrival arrival,
                      const DecodedPhoto& photo);
    void showStandIn(const DecodedPhoto& preview); // a preview stands in for the wanted photo
    void showFileFacts(const DecodedPhoto& photo); // the pixel size and date fields
    void stopWaiting(); // abandons the decode the viewer waits for (its delay runs on)
    void showLoading(); // the wait for the photo has become visible

    AppState st_;
    Environment env_;
    std::shared_ptr<FileOps> ownFileOps_;
    std::unique_ptr<VolumeSource> ownVolumes_;
    std::unique_ptr<PhotoCache> cache_;
    PendingDrops pending_;
    std::unique_ptr<DropQueue> drops_; // after pending_: its results stop before pending_ goes
    quint64 nextDropId_ = 1;
    // The last release and the photo it showed: while that photo stays shown, a failure of the
    // drop brings its photo back onto the screen.
    struct LastRelease {
        quint64 id = 0;
        int slot = -1;
        QString shown;
    } lastRelease_;
    std::vector<DropResult> heldResults_; // arrived during a drag or a scan, settled after it
    std::unique_ptr<FolderScan> scan_;
    // What the window showed before the running load took its lists: a cancelled load puts it
    // back. `dirs` are the folders those lists were read from.
    struct BeforeLoad {
        ScanLists lists;
        std::array<int, kSlotCount> index{};
        int indexpanel = kSourceSlot;
        std::array<QString, kSlotCount> dirs;
    } beforeLoad_;
    std::array<QString, kSlotCount> listedDirs_; // the folders the lists were read from
    // A panel's text while its folder is being scanned, drawn instead of its name and count;
    // empty: none.
    std::array<QString, kSlotCount> scanText_;
    // A load's first moments are not drawn: a quick scan goes from the old photo straight to
    // the new one, a slow one shows its progress when this fires.
    QTimer* scanReveal_ = nullptr;
    Artwork art_;
    class AnimatedCursor* cur1_ = nullptr; // cursor 1: the animated cursor over the photo

    // Components, in families indexed by slot or row.
    QWidget* client_ = nullptr;
    std::array<QFrame*, kSlotCount> panels_{};                     // Panel10..Panel18
    std::array<PanelPicture*, kSlotCount> pictures_{};             // Image10..Image18
    std::array<QFrame*, 4> corners_{};                             // Panel6..Panel9
    ViewerArea* panel2_ = nullptr;                                 // Panel2: viewer area
    QFrame* panel1_ = nullptr;                                     // Panel1: photo frame
    PhotoView* image1_ = nullptr;                                  // Image1: the photo
    std::unique_ptr<MenuPage> menu_;                               // Panel20 and its contents
    QLabel* panel22_ = nullptr;                                    // "Menü" button
    std::array<class ElidedLabel*, kStatusFields> statusFields_{}; // StatusBar1's fields
    class StatusMessage* statusMessage_ = nullptr;                 // the warning beside them
    QLabel* statusPending_ = nullptr;                              // the file work still to do
    QProgressDialog* closeProgress_ = nullptr;                     // close waiting for that work
    QTimer* statusMessageTimer_ = nullptr;                         // takes the warning away
    QTimer* timer1_ = nullptr;                                     // Timer1: device search
    QTimer* sharpen_ = nullptr;      // a pause in resizing before a sharper decode
    QTimer* loadingDelay_ = nullptr; // "Loading..." only after a visible wait
    quint64 pendingRequest_ = 0;     // the decode the viewer waits for; 0: none
    bool sharpening_ = false;        // that decode is a sharper copy of the photo shown
    bool confirming_ = false;        // that request only confirms the photo shown from memory
    bool standIn_ = false;           // the frame shows the wanted photo's embedded preview
    qint64 shownBytes_ = -1;         // the shown photo's file size, as its decode found it
    bool rereadWhenMoved_ = false;   // a pending move took the photo away while it was read
    RenameDialog* form3_ = nullptr;  // Form3: rename question
    DeviceWizard* form4_ = nullptr;  // Form4: device wizard

    std::unique_ptr<QTemporaryDir> helpDir_; // private folder of the help page, for the session

    bool closeWriteFailed_ = false;        // a failed settings write keeps the window open once
    bool closeNow_ = false;                // the user would not wait for the pending work
    bool workMayRun_ = false;              // closing with a drop still running: the Trash stays
    bool cleaning_ = false;                // the close's clean-up runs behind the window
    bool cleanedUp_ = false;               // it is done: the next close closes
    class FrameGeometry* frame_ = nullptr; // the window's place, as settings.ini keeps it
};

} // namespace kps
