#pragma once
// One worker that carries out the released drops' file work in order, one after another. The
// window submits jobs and receives each result on its own thread, in order.

#include "core/drop/dropjob.h"
#include "core/work/lane.h"

#include <QObject>
#include <chrono>
#include <functional>
#include <memory>

namespace kps {

class DropQueue : public QObject {
  public:
    // How long destruction waits for a drop in progress to reach its next step and take back
    // what it wrote (a photo's copy to a slow stick takes a second or two); one stuck longer (a
    // hung or unplugged drive) is left to finish on its own.
    static constexpr std::chrono::milliseconds kExitWait{3000};

    // `deliver` runs on the thread that made the queue, once per job, in the order submitted.
    DropQueue(std::shared_ptr<FileOps> ops, std::function<void(const DropResult&)> deliver);
    DropQueue(const DropQueue&) = delete;
    DropQueue& operator=(const DropQueue&) = delete;

    void submit(DropJob job);
    // Runs other file work (the close's clean-up) on the worker after the drops submitted
    // before it; its result (chore set) is delivered like a drop's. Skipped once stopped.
    void submitChore(std::function<void()> chore);
    // Takes back the jobs not started yet (their photos were never touched); returns their ids.
    std::vector<quint64> takeWaiting();
    // Quitting without waiting: the jobs not started are dropped, and the running one stops at
    // its next step and takes back the copies it wrote, leaving its photo whole at its source.
    void stop();
    // True while a job runs on the worker.
    bool busy() const;
    // Runs on the worker before each job submitted later; tests stand for a slow or stalled
    // drive with it.
    void setWorkerHook(std::function<void(const DropJob&)> hook);

  private:
    std::function<void(const DropResult&)> deliver_;
    std::shared_ptr<FileOps> ops_;
    std::function<void(const DropJob&)> hook_;
    std::shared_ptr<int> undoCounter_ = std::make_shared<int>(0); // the jobs' own, in turn
    WorkLane lane_; // last, so it ends first: as stop() does, then waits at most kExitWait
};

} // namespace kps
