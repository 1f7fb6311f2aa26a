#pragma once
// One worker that carries out the released drops' file work in order, one after another. The
// window submits jobs and receives each result on its own thread, in order.

#include "core/dropjob.h"

#include <QObject>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

namespace kps {

class DropQueue : public QObject {
  public:
    // How long destruction waits for a drop in progress; one stuck longer (a hung or unplugged
    // drive) is left to finish on its own.
    static constexpr std::chrono::milliseconds kExitWait{500};

    // `deliver` runs on the thread that made the queue, once per job, in the order submitted.
    DropQueue(std::shared_ptr<FileOps> ops, std::function<void(const DropResult&)> deliver);
    ~DropQueue() override; // drops the waiting jobs, waits at most kExitWait for a running one
    DropQueue(const DropQueue&) = delete;
    DropQueue& operator=(const DropQueue&) = delete;

    void submit(DropJob job);
    // Takes back the jobs not started yet (their photos were never touched); returns their ids.
    std::vector<quint64> takeWaiting();
    // True while a job runs on the worker.
    bool busy() const;
    // Runs on the worker before each job; tests stand for a slow or stalled drive with it.
    void setWorkerHook(std::function<void(const DropJob&)> hook);

  private:
    void deliverResult(const DropResult& result);

    std::function<void(const DropResult&)> deliver_;
    struct Shared;
    std::shared_ptr<Shared> shared_; // the worker holds a reference of its own
    std::thread worker_;
};

} // namespace kps
