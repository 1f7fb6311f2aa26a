#pragma once
// A gate for a worker thread: each arrival waits until the test lets it through, as a slow or
// hung device would hold a folder read.

#include <condition_variable>
#include <mutex>

namespace kps::test {

class Turnstile {
  public:
    void wait() {
        std::unique_lock lock(mutex_);
        const int ticket = ++arrivals_;
        changed_.notify_all();
        changed_.wait(lock, [&] { return passes_ >= ticket; });
    }
    void pass(int count = 1) {
        std::lock_guard lock(mutex_);
        passes_ += count;
        changed_.notify_all();
    }
    void open() { pass(1 << 20); }
    void waitForArrivals(int count) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return arrivals_ >= count; });
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int arrivals_ = 0;
    int passes_ = 0;
};

} // namespace kps::test
