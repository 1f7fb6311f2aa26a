#pragma once
// Memory shared by the decodes that run at the same time, so that together they stay within one
// budget however many threads decode.

#include <QtGlobal>
#include <condition_variable>
#include <mutex>

namespace kps {

class DecodeBudget {
  public:
    explicit DecodeBudget(qint64 capacityBytes) : capacity_(capacityBytes) {}
    DecodeBudget(const DecodeBudget&) = delete;
    DecodeBudget& operator=(const DecodeBudget&) = delete;

    qint64 capacity() const { return capacity_; }
    // Takes `bytes` if they are free now; never waits.
    bool tryReserve(qint64 bytes);
    // Waits until `bytes` are free and takes them; false at once when they exceed the capacity.
    bool reserve(qint64 bytes);
    // Waits until nothing is held, then takes `bytes`, which may exceed the capacity: while
    // they are held every other reservation waits or fails.
    bool reserveAlone(qint64 bytes);
    void release(qint64 bytes);
    qint64 inUse() const;

  private:
    const qint64 capacity_;
    mutable std::mutex mutex_;
    std::condition_variable released_;
    qint64 used_ = 0;
};

// Gives the reserved bytes back when it goes out of scope.
class BudgetReservation {
  public:
    BudgetReservation() = default;
    BudgetReservation(DecodeBudget* budget, qint64 bytes) : budget_(budget), bytes_(bytes) {}
    ~BudgetReservation() {
        if (budget_) budget_->release(bytes_);
    }
    BudgetReservation(const BudgetReservation&) = delete;
    BudgetReservation& operator=(const BudgetReservation&) = delete;

  private:
    DecodeBudget* budget_ = nullptr;
    qint64 bytes_ = 0;
};

} // namespace kps
