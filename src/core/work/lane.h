#pragma once
// The one worker type behind the window: an ordered lane of jobs on a thread of its own, with
// a stop flag per job, results handed to an owner object on the owner's thread, and one exit
// policy for a job stuck on a hung drive.

#include <QObject>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace kps {

// Runs the jobs posted to it one after another on its own thread. Everything a job touches
// must be its own (captured by value or by shared_ptr, never the poster's `this`): a job stuck
// on a hung drive at exit is let go and finishes on its own, after the lane and its owner are
// gone. What a job delivers reaches the owner on the owner's thread, or nowhere once the
// owner is gone.
class WorkLane {
    struct Shared; // what the lane's thread shares with the lane

  public:
    // How a newer job treats the earlier ones.
    enum class Order {
        All,        // every job runs, in the order posted
        LatestWins, // a newer job cancels the waiting ones and stops the running one
    };

    // What a running job sees of its lane.
    class Run {
      public:
        // True once the job is cancelled or the lane stops: the job ends at its next step.
        bool stopped() const { return stop_.load(); }
        const std::atomic<bool>& stopFlag() const { return stop_; }
        // Has `onOwner(owner)` run on the owner's thread, in the order delivered; dropped when
        // the lane has no owner, or the owner is gone by then.
        template <class Owner, class F> void deliver(F onOwner) {
            post([f = std::move(onOwner)](QObject* owner) { f(*static_cast<Owner*>(owner)); });
        }

      private:
        friend struct WorkLane::Shared;
        explicit Run(Shared& lane) : lane_(lane) {}
        void post(std::function<void(QObject*)> onOwner);
        std::atomic<bool> stop_{false};
        Shared& lane_;
    };
    // A job; it runs on the lane's thread.
    using Job = std::function<void(Run&)>;

    // `owner` (may be null) receives the deliveries and must outlive the lane; `exitWait`
    // bounds how long destruction waits for a running job. `letGo`, when given, counts the
    // lanes of one family that were let go with a job still running, until it ends.
    WorkLane(QObject* owner, std::chrono::milliseconds exitWait, Order order = Order::All,
             std::shared_ptr<std::atomic<int>> letGo = {});
    ~WorkLane(); // finish(exitWait)
    WorkLane(const WorkLane&) = delete;
    WorkLane& operator=(const WorkLane&) = delete;

    // Queues a job; `tag` names it for takeWaiting(). A job cancelled before it began still
    // runs, stopped from the start, so that what it holds is freed on the lane.
    void post(Job job, quint64 tag = 0);
    // Cancels the jobs not started yet and returns their tags, in order.
    std::vector<quint64> takeWaiting();
    // Cancels the jobs not started yet and stops the running one.
    void cancel();
    // As cancel(), and every later job starts stopped; deliveries still come.
    void stop();
    // True while a job runs.
    bool busy() const;
    // Waits at most `limit` until no job runs or waits (true when so); what the jobs delivered
    // is in the owner's event queue by then.
    bool waitIdle(std::chrono::milliseconds limit);
    // Stops, forgets the owner and waits at most `limit` for the thread to end; a job stuck
    // longer is let go to finish on its own. True when the thread ended. Only the first call
    // waits.
    bool finish(std::chrono::milliseconds limit);

  private:
    std::shared_ptr<Shared> shared_; // the thread holds a reference of its own
    std::thread thread_;
    const std::chrono::milliseconds exitWait_;
};

} // namespace kps
