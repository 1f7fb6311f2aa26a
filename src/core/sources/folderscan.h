#pragma once
// The folder scans of a load, run on a worker thread so that a big tree or a slow drive never
// freezes the window.

#include "core/state/photolist.h"
#include "core/state/slots.h"
#include "core/work/lane.h"

#include <QObject>
#include <QString>
#include <array>
#include <chrono>
#include <functional>
#include <memory>

class QTimer;

namespace kps {

// What a load reads: the nine slots' folders, the source with or without its subfolders.
struct ScanRequest {
    std::array<QString, kSlotCount> dirs;
    bool subfolders = false;
};

// The nine lists of a finished scan, built and sorted on the worker.
using ScanLists = std::array<PhotoList, kSlotCount>;

// Runs one load's scans at a time: the source with DirList4 (subfolders) or FileList2, the
// target folders and the Trash with FileList2, masks "*.jpg" and "*.jpeg". The nine lists
// arrive together in finished() when all are read; a scan cancelled or replaced by a newer one
// never delivers. Signals are emitted on the thread that owns the object.
class FolderScan : public QObject {
    Q_OBJECT
  public:
    // How long destruction waits for a running scan; one stuck longer (a hung network mount)
    // is left to finish on its own, touching nothing of ours.
    static constexpr std::chrono::milliseconds kExitWait{500};
    // How many scans stuck on a hung drive may be left running; a new scan waits for one of
    // them to end rather than leave one more thread behind each time.
    static constexpr int kMaxLeftBehind = 2;
    // How often progress() reports while a scan runs.
    static constexpr std::chrono::milliseconds kProgressInterval{100};

    explicit FolderScan(QObject* parent = nullptr);
    ~FolderScan() override; // cancels, waits at most kExitWait for the worker
    FolderScan(const FolderScan&) = delete;
    FolderScan& operator=(const FolderScan&) = delete;

    // Starts reading the folders; a scan still running is cancelled. `previous` are lists the
    // caller is done with: the worker frees them, which for big lists takes a while.
    void start(const ScanRequest& request, ScanLists previous = {});
    // Stops the running scan; its results never arrive.
    void cancel();
    // Waits at most `limit` for the worker of the last scan to end (true when it has, or when
    // there is none); anything it posted is then in the event queue.
    bool waitForWorker(std::chrono::milliseconds limit);
    // True from start() until finished() or cancel().
    bool isRunning() const { return current_ != nullptr; }
    // Photos found and folders read so far by the running scan (0 when none runs).
    int photosFound() const;
    int foldersRead() const;
    // The mounts the folders of the last delivered scan lie on (mountOf), by slot.
    const std::array<quint64, kSlotCount>& mounts() const { return mounts_; }
    // Runs on the worker before each folder is read, for scans started later; tests stand for
    // a slow or stalled device with it.
    void setWorkerHook(std::function<void(const QString& folder)> hook);

  signals:
    // Every kProgressInterval while a scan runs: photos found and folders read so far.
    void progress(int photos, int folders);
    // The running scan read every folder; the lists are the receiver's to take.
    void finished(std::shared_ptr<kps::ScanLists> lists);

  private:
    struct Job;
    void deliver(const std::shared_ptr<Job>& job);
    void launch(); // posts current_ to a lane

    std::shared_ptr<Job> current_; // the scan whose result is wanted; null when none
    std::function<void(const QString&)> hook_;
    QTimer* progressTimer_ = nullptr; // also starts a scan waiting for room
    // Lanes let go while a scan of theirs still ran on a hung drive; a new scan waits for room.
    std::shared_ptr<std::atomic<int>> letGo_ = std::make_shared<std::atomic<int>>(0);
    std::unique_ptr<WorkLane> lane_; // the last scan's; replaced when one is stuck
    std::array<quint64, kSlotCount> mounts_{};
};

} // namespace kps
