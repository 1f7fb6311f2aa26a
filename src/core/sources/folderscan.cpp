#include "core/sources/folderscan.h"

#include "core/drop/leftovers.h"
#include "core/files/fileops.h"
#include "core/sources/scan.h"

#include <QTimer>

namespace kps {

struct FolderScan::Job {
    ScanRequest request;
    ScanLists previous;
    std::time_t leftoversBefore = 0;
    ScanControl control;
    std::shared_ptr<ScanLists> lists = std::make_shared<ScanLists>();
    std::array<quint64, kSlotCount> mounts{};

    // Reads the nine folders into lists; false when cancelled on the way.
    bool scanAll() {
        const QString jpg = QStringLiteral("*.jpg");
        const QString jpeg = QStringLiteral("*.jpeg");
        ScanLists& out = *lists;
        const bool source = request.subfolders
                                ? DirList4(out[kSourceSlot], request.dirs[kSourceSlot], jpg, jpeg,
                                           leftoversBefore, &control)
                                : FileList2(out[kSourceSlot], request.dirs[kSourceSlot], jpg, jpeg,
                                            leftoversBefore, &control);
        if (!source) return false;
        for (size_t slot = 1; slot < size_t(kSlotCount); ++slot) {
            if (!FileList2(out[slot], request.dirs[slot], jpg, jpeg, leftoversBefore, &control))
                return false;
        }
        for (size_t slot = 0; slot < size_t(kSlotCount); ++slot)
            mounts[slot] = mountOf(request.dirs[slot]);
        return true;
    }
};

FolderScan::FolderScan(QObject* parent) : QObject(parent), progressTimer_(new QTimer(this)) {
    progressTimer_->setInterval(kProgressInterval);
    connect(progressTimer_, &QTimer::timeout, this, [this] {
        if (!current_) return;
        if (!lane_ && *letGo_ < kMaxLeftBehind) launch(); // room for the waiting scan now
        emit progress(photosFound(), foldersRead());
    });
}

FolderScan::~FolderScan() {
    cancel();
    if (lane_) lane_->finish(kExitWait);
}

void FolderScan::start(const ScanRequest& request, ScanLists previous) {
    cancel();
    // A cancelled scan still under way (on a hung drive) keeps its lane, let go at once.
    if (lane_ && !lane_->waitIdle({})) lane_.reset();
    auto job = std::make_shared<Job>();
    job->request = request;
    job->previous = std::move(previous);
    job->leftoversBefore = leftoverCutoff();
    job->control.beforeRead = hook_;
    current_ = job;
    progressTimer_->start();
    // A new lane waits until fewer than kMaxLeftBehind scans are left stuck.
    if (lane_ || *letGo_ < kMaxLeftBehind) launch();
}

void FolderScan::launch() {
    if (!lane_) lane_ = std::make_unique<WorkLane>(this, std::chrono::milliseconds(0), letGo_);
    lane_->post([job = current_](WorkLane::Run& run) {
        if (job->scanAll() && !job->control.isCancelled())
            run.deliver<FolderScan>([job](FolderScan& scan) { scan.deliver(job); });
        job->previous = {}; // off the way of the result
    });
}

void FolderScan::cancel() {
    if (current_) current_->control.cancelled = true;
    current_.reset();
    progressTimer_->stop();
}

bool FolderScan::waitForWorker(std::chrono::milliseconds limit) {
    return !lane_ || lane_->waitIdle(limit);
}

void FolderScan::deliver(const std::shared_ptr<Job>& job) {
    if (job != current_ || job->control.isCancelled()) return;
    current_.reset();
    progressTimer_->stop();
    mounts_ = job->mounts;
    emit finished(job->lists);
}

int FolderScan::photosFound() const {
    return current_ ? current_->control.photos.load() : 0;
}

int FolderScan::foldersRead() const {
    return current_ ? current_->control.folders.load() : 0;
}

void FolderScan::setWorkerHook(std::function<void(const QString&)> hook) {
    hook_ = std::move(hook);
}

} // namespace kps
