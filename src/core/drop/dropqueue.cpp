#include "core/drop/dropqueue.h"

#include <QMetaObject>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>

namespace kps {

struct DropQueue::Shared {
    std::mutex mutex;
    std::condition_variable workAvailable;
    std::condition_variable workerExited;
    std::deque<DropJob> jobs;
    bool running = false;
    bool stopping = false;
    bool workerDone = false;
    std::atomic<bool> stopped{false}; // the user quit: the running drop stops at its next step
    DropQueue* receiver = nullptr;    // null once the queue is gone: results are dropped then
    std::shared_ptr<FileOps> ops;
    std::function<void(const DropJob&)> hook;
    int undoCounter = 0;

    void workerLoop();
};

void DropQueue::Shared::workerLoop() {
    std::unique_lock lock(mutex);
    for (;;) {
        workAvailable.wait(lock, [&] { return stopping || !jobs.empty(); });
        if (stopping) break;
        DropJob job = std::move(jobs.front());
        jobs.pop_front();
        running = true;
        const auto runHook = hook;
        lock.unlock();
        if (runHook) runHook(job);
        const bool skipped = stopped; // quit before it began: its photo was never touched
        DropResult result;
        if (job.chore) {
            if (!skipped) job.chore();
            result.id = job.id;
            result.chore = true;
        } else if (!skipped) {
            StoppableOps stoppable(*ops, stopped);
            result = runDropJob(std::move(job), stoppable, undoCounter);
            if (stopped && !result.ok) takeBackCopies(result, *ops);
        }
        lock.lock();
        running = false;
        if (receiver && !skipped) {
            QMetaObject::invokeMethod(
                receiver, [q = receiver, result = std::move(result)] { q->deliverResult(result); },
                Qt::QueuedConnection);
        }
    }
    workerDone = true;
    workerExited.notify_all();
}

DropQueue::DropQueue(std::shared_ptr<FileOps> ops, std::function<void(const DropResult&)> deliver)
    : deliver_(std::move(deliver)), shared_(std::make_shared<Shared>()) {
    shared_->ops = std::move(ops);
    shared_->receiver = this;
    worker_ = std::thread([shared = shared_] { shared->workerLoop(); });
}

DropQueue::~DropQueue() {
    bool finished = false;
    {
        std::unique_lock lock(shared_->mutex);
        shared_->stopping = true;
        shared_->stopped = true;
        shared_->receiver = nullptr;
        shared_->jobs.clear();
        shared_->workAvailable.notify_all();
        finished =
            shared_->workerExited.wait_for(lock, kExitWait, [&] { return shared_->workerDone; });
    }
    if (finished)
        worker_.join();
    else
        worker_.detach(); // it owns what it touches and stops after its drop
}

void DropQueue::submit(DropJob job) {
    std::lock_guard lock(shared_->mutex);
    shared_->jobs.push_back(std::move(job));
    shared_->workAvailable.notify_all();
}

void DropQueue::submitChore(std::function<void()> chore) {
    DropJob job;
    job.chore = std::move(chore);
    submit(std::move(job));
}

std::vector<quint64> DropQueue::takeWaiting() {
    std::lock_guard lock(shared_->mutex);
    std::vector<quint64> ids;
    for (const DropJob& job : shared_->jobs) {
        if (!job.chore) ids.push_back(job.id);
    }
    shared_->jobs.clear();
    return ids;
}

void DropQueue::stop() {
    std::lock_guard lock(shared_->mutex);
    shared_->stopped = true;
    shared_->jobs.clear();
}

bool DropQueue::busy() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->running;
}

void DropQueue::setWorkerHook(std::function<void(const DropJob&)> hook) {
    std::lock_guard lock(shared_->mutex);
    shared_->hook = std::move(hook);
}

void DropQueue::deliverResult(const DropResult& result) {
    if (deliver_) deliver_(result);
}

} // namespace kps
