#include "core/drop/dropqueue.h"

namespace kps {

DropQueue::DropQueue(std::shared_ptr<FileOps> ops, std::function<void(const DropResult&)> deliver)
    : deliver_(std::move(deliver)), ops_(std::move(ops)), lane_(this, kExitWait) {}

void DropQueue::submit(DropJob job) {
    const quint64 tag = job.chore ? 0 : job.id; // drops are numbered from 1
    auto work = [ops = ops_, hook = hook_, undoCounter = undoCounter_,
                 job = std::move(job)](WorkLane::Run& run) mutable {
        if (run.stopped()) return; // taken back or quit while it waited
        if (hook) hook(job);
        if (run.stopped()) return; // quit before it began: its photo was never touched
        DropResult result;
        if (job.chore) {
            job.chore();
            result.id = job.id;
            result.chore = true;
        } else {
            StoppableOps stoppable(*ops, run.stopFlag());
            result = runDropJob(std::move(job), stoppable, *undoCounter);
            if (run.stopped() && !result.ok) takeBackCopies(result, *ops);
        }
        run.deliver<DropQueue>([result = std::move(result)](DropQueue& queue) {
            if (queue.deliver_) queue.deliver_(result);
        });
    };
    lane_.post(std::move(work), tag);
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
    hook_ = std::move(hook);
}

} // namespace kps
