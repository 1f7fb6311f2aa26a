#include "core/work/lane.h"

#include <QMetaObject>
#include <condition_variable>
#include <deque>
#include <mutex>

namespace kps {

struct WorkLane::Shared {
    // A job not started yet.
    struct Waiting {
        Job job;
        quint64 tag = 0;
        bool cancelled = false; // it starts with its stop flag set
    };

    std::mutex mutex;
    std::condition_variable changed; // a job came or ended, or the lane closes
    std::deque<Waiting> waiting;
    std::atomic<bool>* running = nullptr; // the running job's stop flag; null when none runs
    Order order = Order::All;
    bool stopped = false;    // every job from now on starts stopped
    bool closing = false;    // the thread ends once no job waits
    bool threadDone = false; // the thread has ended
    bool counted = false;    // let go, and counted in letGo until the thread ends
    QObject* owner = nullptr;
    std::shared_ptr<std::atomic<int>> letGo;

    void loop();
    // Stops the running job and the waiting ones; expects mutex to be held.
    void cancelAll() {
        if (running) *running = true;
        for (Waiting& job : waiting)
            job.cancelled = true;
    }
};

// A cancelled job still runs, with its stop flag set: it skips its work, and what it holds is
// freed here rather than on the thread that cancelled it.
void WorkLane::Shared::loop() {
    std::unique_lock lock(mutex);
    for (;;) {
        changed.wait(lock, [&] { return closing || !waiting.empty(); });
        if (waiting.empty()) break;
        Job job = std::move(waiting.front().job);
        Run run(*this);
        run.stop_ = waiting.front().cancelled || stopped;
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
    if (counted) --*letGo;
    changed.notify_all();
}

void WorkLane::Run::post(std::function<void(QObject*)> onOwner) {
    // Under the lock the owner cannot be forgotten half-way through the post; a call posted
    // before the owner's destruction is dropped with it.
    std::lock_guard lock(lane_.mutex);
    if (!lane_.owner) return;
    QMetaObject::invokeMethod(
        lane_.owner, [owner = lane_.owner, f = std::move(onOwner)] { f(owner); },
        Qt::QueuedConnection);
}

WorkLane::WorkLane(QObject* owner, std::chrono::milliseconds exitWait, Order order,
                   std::shared_ptr<std::atomic<int>> letGo)
    : shared_(std::make_shared<Shared>()), exitWait_(exitWait) {
    shared_->owner = owner;
    shared_->order = order;
    shared_->letGo = std::move(letGo);
    thread_ = std::thread([shared = shared_] { shared->loop(); });
}

WorkLane::~WorkLane() {
    finish(exitWait_);
}

void WorkLane::post(Job job, quint64 tag) {
    std::lock_guard lock(shared_->mutex);
    if (shared_->closing) return; // the thread may be gone
    if (shared_->order == Order::LatestWins) shared_->cancelAll();
    shared_->waiting.push_back({std::move(job), tag, shared_->stopped});
    shared_->changed.notify_all();
}

std::vector<quint64> WorkLane::takeWaiting() {
    std::lock_guard lock(shared_->mutex);
    std::vector<quint64> tags;
    for (Shared::Waiting& job : shared_->waiting) {
        if (job.cancelled) continue;
        job.cancelled = true;
        tags.push_back(job.tag);
    }
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
    stop();
    bool ended = false;
    {
        std::unique_lock lock(shared_->mutex);
        shared_->closing = true;
        shared_->owner = nullptr;
        shared_->changed.notify_all();
        ended = shared_->changed.wait_for(lock, limit, [&] { return shared_->threadDone; });
        if (!ended && shared_->letGo) {
            shared_->counted = true;
            ++*shared_->letGo;
        }
    }
    if (ended)
        thread_.join();
    else
        thread_.detach(); // its job holds only what it owns and ends on its own
    return ended;
}

} // namespace kps
