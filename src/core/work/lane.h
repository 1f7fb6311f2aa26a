#pragma once
// The one worker type behind the window: ordered jobs on a thread of their own, each with a stop
// flag, results handed to an owner object on its thread, one exit policy for a hung drive.

#include <QObject>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace kps {

// A job touches only what it owns (captured by value or shared_ptr, never its poster's `this`):
// one stuck on a hung drive at exit is let go and finishes on its own after the lane is gone.
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
        // `onOwner(owner)` runs on the owner's thread, in the order delivered; dropped when the
        // lane has no owner, or the owner is gone by then.
        template <class Owner, class F> void deliver(F onOwner) {
            post([f = std::move(onOwner)](QObject* owner) { f(*static_cast<Owner*>(owner)); });
        }

      private:
        friend struct WorkLane::Shared;
        Run(Shared& lane, bool stop) : stop_(stop), lane_(lane) {}
        void post(std::function<void(QObject*)> onOwner);
        std::atomic<bool> stop_{false};
        Shared& lane_;
    };
    using Job = std::function<void(Run&)>; // runs on the lane's thread

    // `owner` (may be null) receives the deliveries and outlives the lane; `exitWait` bounds
    // how long destruction waits for a running job. `letGo`, when given, counts the lanes of
    // one family that are finishing while their thread still runs.
    WorkLane(QObject* owner, std::chrono::milliseconds exitWait,
             std::shared_ptr<std::atomic<int>> letGo = {}, Order order = Order::All);
    ~WorkLane() { finish(exitWait_); }

    // Queues a job; `tag` names it for takeWaiting(). A job cancelled before it began still
    // runs, stopped from the start, so that what it holds is freed on the lane's thread.
    void post(Job job, quint64 tag = 0);
    // Cancels the jobs not started yet and returns their tags, in order.
    std::vector<quint64> takeWaiting();
    // Cancels the jobs not started yet and stops the running one.
    void cancel();
    // As cancel(), and every later job starts stopped; deliveries still come.
    void stop();
    bool busy() const; // a job runs
    // Waits at most `limit` until no job runs or waits; what they delivered is posted by then.
    bool waitIdle(std::chrono::milliseconds limit);
    // Stops, forgets the owner and waits at most `limit` for the thread to end (true when it
    // has); a job stuck longer is let go to finish on its own. Later calls do nothing.
    bool finish(std::chrono::milliseconds limit);

  private:
    std::shared_ptr<Shared> shared_; // the thread holds a reference of its own
    std::thread thread_;
    const std::chrono::milliseconds exitWait_;
    const Order order_;
};

} // namespace kps
