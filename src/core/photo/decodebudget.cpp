#include "core/photo/decodebudget.h"

#include <algorithm>

namespace kps {

bool DecodeBudget::tryReserve(qint64 bytes) {
    std::lock_guard lock(mutex_);
    if (bytes < 0 || used_ + bytes > capacity_) return false;
    used_ += bytes;
    return true;
}

bool DecodeBudget::reserve(qint64 bytes) {
    if (bytes < 0 || bytes > capacity_) return false;
    std::unique_lock lock(mutex_);
    released_.wait(lock, [&] { return used_ + bytes <= capacity_; });
    used_ += bytes;
    return true;
}

bool DecodeBudget::reserveAlone(qint64 bytes) {
    if (bytes < 0) return false;
    std::unique_lock lock(mutex_);
    released_.wait(lock, [&] { return used_ == 0; });
    used_ += std::max(bytes, capacity_);
    return true;
}

void DecodeBudget::release(qint64 bytes) {
    {
        std::lock_guard lock(mutex_);
        used_ -= bytes;
    }
    released_.notify_all();
}

qint64 DecodeBudget::inUse() const {
    std::lock_guard lock(mutex_);
    return used_;
}

} // namespace kps
