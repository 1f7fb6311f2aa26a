#include "core/drop/dropqueue.h"

#include <mutex>

namespace kps {

struct DropQueue::Shared {
    std::mutex mutex; // guards hook
    std::shared_ptr<FileOps> ops;
    std::function<void(const DropJob&)> hook;
    int undoCounter = 0; // the worker's alone
};

DropQueue::DropQueue(std::shared_ptr<FileOps> ops, std::function<void(const DropResult&)> deliver)
    : deliver_(std::move(deliver)), shared_(std::make_shared<Shared>()), lane_(this, kExitWait) {
    shared_->ops = std::move(ops);
}

DropQueue::~DropQueue() = default;

void DropQueue::submit(DropJob job) {
    const quint64 tag = job.chore ? 0 : job.id; // drops are numbered from 1
    lane_.post(
        [shared = shared_, job = std::move(job)](WorkLane::Run& run) mutable {
            if (run.stopped()) return; // taken back or quit while waiting
            std::function<void(const DropJob&)> hook;
            {
                std::lock_guard lock(shared->mutex);
                hook = shared->hook;
            }
            if (hook) hook(job);
            if (run.stopped()) return; // quit before it began: its photo was never touched
            DropResult result;
            if (job.chore) {
                job.chore();
                result.id = job.id;
                result.chore = true;
            } else {
                StoppableOps stoppable(*shared->ops, run.stopFlag());
                result = runDropJob(std::move(job), stoppable, shared->undoCounter);
                if (run.stopped() && !result.ok) takeBackCopies(result, *shared->ops);
            }
            run.deliver<DropQueue>(
                [result = std::move(result)](DropQueue& queue) { queue.deliverResult(result); });
        },
        tag);
}

void DropQueue::submitChore(std::function<void()> chore) {
    DropJob job;
    job.chore = std::move(chore);
    submit(std::move(job));
}

std::vector<quint64> DropQueue::takeWaiting() {
    std::vector<quint64> ids = lane_.takeWaiting();
    std::erase(ids, 0); // the chores
    return ids;
}

void DropQueue::stop() {
    lane_.stop();
}

bool DropQueue::busy() const {
    return lane_.busy();
}

void DropQueue::setWorkerHook(std::function<void(const DropJob&)> hook) {
    std::lock_guard lock(shared_->mutex);
    shared_->hook = std::move(hook);
}

void DropQueue::deliverResult(const DropResult& result) {
    if (deliver_) deliver_(result);
}

} // namespace kps
