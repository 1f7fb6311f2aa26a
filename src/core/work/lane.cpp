#include "core/work/lane.h"

#include <QMetaObject>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <utility>

namespace kps {

struct WorkLane::Shared {
    // A job not started yet; a cancelled one starts with its stop flag set.
    struct Waiting {
        Job job;
        quint64 tag = 0;
        bool cancelled = false;
    };

    std::mutex mutex;
    std::condition_variable changed; // a job came or ended, or the lane closes
    std::deque<Waiting> waiting;
    std::atomic<bool>* running = nullptr; // the running job's stop flag; null when none runs
    bool stopped = false;                 // every job from now on starts stopped
    bool closing = false;                 // the thread ends once no job waits
    bool threadDone = false;
    QObject* owner = nullptr;
    std::shared_ptr<std::atomic<int>> letGo;

    void loop();
    void cancelAll() { // expects mutex to be held
        if (running) *running = true;
        for (Waiting& job : waiting)
            job.cancelled = true;
    }
};

// A cancelled job still runs, stopped, so that what it holds is freed here, not by its canceller.
void WorkLane::Shared::loop() {
    std::unique_lock lock(mutex);
    for (;;) {
        changed.wait(lock, [&] { return closing || !waiting.empty(); });
        if (waiting.empty()) break;
        Job job = std::move(waiting.front().job);
        Run run(*this, waiting.front().cancelled);
        waiting.pop_front();
        running = &run.stop_;
        lock.unlock();
        job(run);
        job = nullptr; // what the job held goes with it, outside the lock
        lock.lock();
        running = nullptr;
        changed.notify_all();
    }
    threadDone = true;
    if (letGo) --*letGo;
    changed.notify_all();
}

void WorkLane::Run::post(std::function<void(QObject*)> onOwner) {
    // Under the lock the owner is not forgotten half-way; ~QObject drops what was posted.
    std::lock_guard lock(lane_.mutex);
    if (!lane_.owner) return;
    QMetaObject::invokeMethod(
        lane_.owner, [owner = lane_.owner, f = std::move(onOwner)] { f(owner); },
        Qt::QueuedConnection);
}

WorkLane::WorkLane(QObject* owner, std::chrono::milliseconds exitWait,
                   std::shared_ptr<std::atomic<int>> letGo, Order order)
    : shared_(std::make_shared<Shared>()), exitWait_(exitWait), order_(order) {
    shared_->owner = owner;
    shared_->letGo = std::move(letGo);
    thread_ = std::thread([shared = shared_] { shared->loop(); });
}

void WorkLane::post(Job job, quint64 tag) {
    std::lock_guard lock(shared_->mutex);
    if (shared_->closing) return; // the thread may be gone
    if (order_ == Order::LatestWins) shared_->cancelAll();
    shared_->waiting.push_back({std::move(job), tag, shared_->stopped});
    shared_->changed.notify_all();
}

std::vector<quint64> WorkLane::takeWaiting() {
    std::lock_guard lock(shared_->mutex);
    std::vector<quint64> tags;
    for (Shared::Waiting& job : shared_->waiting)
        if (!std::exchange(job.cancelled, true)) tags.push_back(job.tag);
    return tags;
}

void WorkLane::cancel() {
    std::lock_guard lock(shared_->mutex);
    shared_->cancelAll();
}

void WorkLane::stop() {
    std::lock_guard lock(shared_->mutex);
    shared_->stopped = true;
    shared_->cancelAll();
}

bool WorkLane::busy() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->running != nullptr;
}

bool WorkLane::waitIdle(std::chrono::milliseconds limit) {
    std::unique_lock lock(shared_->mutex);
    return shared_->changed.wait_for(lock, limit, [&] {
        return shared_->threadDone || (!shared_->running && shared_->waiting.empty());
    });
}

bool WorkLane::finish(std::chrono::milliseconds limit) {
    if (!thread_.joinable()) return true;
    std::unique_lock lock(shared_->mutex);
    shared_->stopped = shared_->closing = true;
    shared_->cancelAll();
    shared_->owner = nullptr;
    if (shared_->letGo) ++*shared_->letGo; // until the thread ends
    shared_->changed.notify_all();
    const bool ended = shared_->changed.wait_for(lock, limit, [&] { return shared_->threadDone; });
    lock.unlock();
    ended ? thread_.join() : thread_.detach(); // a job let go holds only what it owns
    return ended;
}

} // namespace kps
