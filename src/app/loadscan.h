#pragma once
// A load's folder scans behind the window: the source panel tells how far the scan got, the
// nine lists arrive together, and a cancelled load puts back the lists it took.

#include "core/sources/folderscan.h"

#include <memory>

class QTimer;

namespace kps {

class MainWindow;
struct AppState;

class LoadScan : public QObject {
  public:
    LoadScan(MainWindow& window, AppState& st);
    ~LoadScan() override;

    FolderScan& scan() { return *scan_; }
    bool running() const { return scan_->isRunning(); }
    // A panel's text while its folder is being scanned, instead of its name and count; or empty.
    const QString& panelText(int slot) const { return scanText_[size_t(slot)]; }
    // Empties the lists and reads the slots' folders again; the old lists go aside.
    void start();
    void cancel(); // stops the scan; its lists never arrive

  private:
    void holdStart(); // keeps a load's empty start off the screen for a moment
    void finished(const std::shared_ptr<ScanLists>& lists);

    MainWindow& window_;
    AppState& st_;
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
    std::array<QString, kSlotCount> scanText_;   // see panelText()
    // A load's first moments are not drawn: a quick scan goes from the old photo straight to
    // the new one, a slow one shows its progress when this fires.
    QTimer* reveal_ = nullptr;
};

} // namespace kps
