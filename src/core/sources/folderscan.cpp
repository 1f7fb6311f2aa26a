#include "core/sources/folderscan.h"

#include "core/drop/leftovers.h"
#include "core/files/fileops.h"
#include "core/sources/scan.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <condition_variable>
#include <mutex>

namespace kps {

struct FolderScan::Owner {
    std::mutex mutex;
    FolderScan* scan = nullptr; // null once the object is gone
};

struct FolderScan::Job {
    ScanRequest request;
    ScanLists previous;
    std::time_t leftoversBefore = 0;
    ScanControl control;
    std::shared_ptr<ScanLists> lists = std::make_shared<ScanLists>();
    std::array<quint64, kSlotCount> mounts{};

    std::mutex mutex;
    std::condition_variable exited;
    bool done = false;

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

    void finish() {
        {
            std::lock_guard lock(mutex);
            done = true;
        }
        exited.notify_all();
    }
};

// Posted by a worker whose scan read every folder. An event (rather than a queued call) hands
// the job over through the event queue's lock alone, and is dropped with the object.
class FolderScan::DoneEvent : public QEvent {
  public:
    explicit DoneEvent(std::shared_ptr<Job> finished) : QEvent(type()), job(std::move(finished)) {}
    static QEvent::Type type() {
        static const auto registered = QEvent::Type(QEvent::registerEventType());
        return registered;
    }
    const std::shared_ptr<Job> job;
};

FolderScan::FolderScan(QObject* parent)
    : QObject(parent), owner_(std::make_shared<Owner>()), progressTimer_(new QTimer(this)),
      waitForRoom_(new QTimer(this)) {
    owner_->scan = this;
    waitForRoom_->setInterval(kProgressInterval);
    connect(waitForRoom_, &QTimer::timeout, this, [this] {
        if (!current_) {
            waitForRoom_->stop();
        } else if (leftBehind() < kMaxLeftBehind) {
            waitForRoom_->stop();
            launch();
        }
    });
    progressTimer_->setInterval(kProgressInterval);
    connect(progressTimer_, &QTimer::timeout, this, [this] {
        if (current_) emit progress(photosFound(), foldersRead());
    });
}

FolderScan::~FolderScan() {
    {
        std::lock_guard lock(owner_->mutex);
        owner_->scan = nullptr;
    }
    cancel();
    releaseWorker(kExitWait);
}

void FolderScan::start(const ScanRequest& request, ScanLists previous) {
    cancel();
    releaseWorker(std::chrono::milliseconds(0));
    auto job = std::make_shared<Job>();
    job->request = request;
    job->previous = std::move(previous);
    job->leftoversBefore = leftoverCutoff();
    job->control.beforeRead = hook_;
    current_ = job;
    progressTimer_->start();
    if (leftBehind() >= kMaxLeftBehind) {
        waitForRoom_->start();
        return;
    }
    launch();
}

int FolderScan::leftBehind() {
    std::erase_if(letGo_, [](const std::shared_ptr<Job>& job) {
        std::lock_guard lock(job->mutex);
        return job->done;
    });
    return int(letGo_.size());
}

void FolderScan::launch() {
    const std::shared_ptr<Job> job = current_;
    workerJob_ = job;
    worker_ = std::thread([job, owner = owner_] {
        const bool complete = job->scanAll();
        {
            // Under the owner's lock the object cannot be destroyed half-way through the post;
            // an event posted before its destruction is dropped with it.
            std::lock_guard lock(owner->mutex);
            if (complete && owner->scan && !job->control.isCancelled())
                QCoreApplication::postEvent(owner->scan, new DoneEvent(job));
        }
        job->previous = {}; // off the way of the result
        job->finish();
    });
}

void FolderScan::cancel() {
    if (current_) current_->control.cancelled = true;
    current_.reset();
    progressTimer_->stop();
    waitForRoom_->stop();
}

bool FolderScan::waitForWorker(std::chrono::milliseconds limit) {
    if (!workerJob_) return true;
    std::unique_lock lock(workerJob_->mutex);
    return workerJob_->exited.wait_for(lock, limit, [&] { return workerJob_->done; });
}

void FolderScan::releaseWorker(std::chrono::milliseconds limit) {
    if (!worker_.joinable()) return;
    if (waitForWorker(limit)) {
        worker_.join();
    } else {
        worker_.detach(); // it owns what it touches and stops at its next folder or entry
        letGo_.push_back(workerJob_);
    }
    workerJob_.reset();
}

void FolderScan::customEvent(QEvent* event) {
    if (event->type() == DoneEvent::type()) deliver(static_cast<DoneEvent*>(event)->job);
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
