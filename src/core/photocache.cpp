#include "core/photocache.h"

#include "core/nativepath.h"
#include <QDateTime>

namespace kps {

PhotoCache::PhotoCache(qint64 budgetBytes)
    : budget_(budgetBytes), worker_([this] { workerLoop(); }) {}

PhotoCache::~PhotoCache() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        queue_.clear();
    }
    workAvailable_.notify_all();
    if (worker_.joinable()) worker_.join();
}

PhotoCache::FileKey PhotoCache::keyOf(const QString& path) {
    const PathFacts facts = pathFacts(path);
    if (!facts.isFile) return {};
    return {true, facts.size, facts.modifiedMs};
}

// Whether a decode made for `decoded` gives at least what `wanted` needs; the output size grows
// with the cover in both directions, and an empty cover means the full size.
bool PhotoCache::coverIncludes(QSize decoded, QSize wanted) {
    if (decoded.isEmpty()) return true;
    if (wanted.isEmpty()) return false;
    return decoded.width() >= wanted.width() && decoded.height() >= wanted.height();
}

const PhotoCache::Entry* PhotoCache::findCovering(const QString& path, const FileKey& key,
                                                  QSize cover) const {
    const auto it = entries_.constFind(path);
    if (it == entries_.cend() || !(it->key == key) || !covers(it->photo, cover)) return nullptr;
    return &*it;
}

std::shared_ptr<PhotoCache::Job> PhotoCache::findJob(const QString& path, const FileKey& key,
                                                     QSize cover) const {
    for (const auto& job : jobs_) {
        if (job->path == path && job->key == key && coverIncludes(job->cover, cover)) return job;
    }
    return nullptr;
}

std::shared_ptr<PhotoCache::Job> PhotoCache::startJob(const QString& path, const FileKey& key,
                                                      QSize cover) {
    auto job = std::make_shared<Job>(Job{path, key, cover, generation_, false, {}});
    jobs_.push_back(job);
    return job;
}

void PhotoCache::finishJob(const std::shared_ptr<Job>& job, const DecodedPhoto& photo) {
    job->result = photo;
    job->done = true;
    std::erase(jobs_, job);
    if (job->key.valid && job->generation == generation_) store(job->path, job->key, photo);
    jobFinished_.notify_all();
}

void PhotoCache::store(const QString& path, const FileKey& key, const DecodedPhoto& photo) {
    Entry& entry = entries_[path];
    bytes_ -= entry.bytes;
    entry.key = key;
    entry.photo = photo;
    entry.bytes = photo.image.sizeInBytes();
    entry.lastUse = ++useCounter_;
    bytes_ += entry.bytes;
    evictOverBudget();
}

QString PhotoCache::evictionVictim() const {
    // Photos outside the prefetch list, least recently used first.
    QString victim;
    quint64 oldest = 0;
    for (auto it = entries_.cbegin(); it != entries_.cend(); ++it) {
        if (wanted_.contains(it.key())) continue;
        if (victim.isNull() || it->lastUse < oldest) {
            victim = it.key();
            oldest = it->lastUse;
        }
    }
    if (!victim.isNull()) return victim;
    // Then the prefetch list from its least wanted end.
    for (qsizetype i = wanted_.size(); i-- > 0;) {
        if (entries_.contains(wanted_[i])) return wanted_[i];
    }
    return QString();
}

void PhotoCache::evictOverBudget() {
    while (bytes_ > budget_ && !entries_.isEmpty()) {
        const auto it = entries_.find(evictionVictim());
        if (it == entries_.end()) break;
        bytes_ -= it->bytes;
        entries_.erase(it);
    }
}

DecodedPhoto PhotoCache::decodeCounted(JpegDecoder& decoder, const QString& path, QSize cover) {
    ++decodes_;
    return decoder.decode(path, cover);
}

DecodedPhoto PhotoCache::get(const QString& path, QSize cover) {
    const FileKey key = keyOf(path); // outside the lock: a slow device must not stall others
    std::unique_lock lock(mutex_);
    std::shared_ptr<Job> job;
    if (key.valid) {
        if (const Entry* hit = findCovering(path, key, cover)) {
            entries_[path].lastUse = ++useCounter_;
            return hit->photo;
        }
        if (auto running = findJob(path, key, cover)) {
            jobFinished_.wait(lock, [&] { return running->done; });
            return running->result;
        }
        // Decoded here now, so the worker must not start it too.
        std::erase(queue_, path);
        job = startJob(path, key, cover);
    }
    lock.unlock();
    DecodedPhoto photo;
    {
        std::lock_guard foreground(foregroundMutex_);
        photo = decodeCounted(foreground_, path, cover);
    }
    if (job) {
        lock.lock();
        finishJob(job, photo);
    }
    return photo;
}

void PhotoCache::prefetch(const QStringList& paths, QSize cover) {
    {
        std::lock_guard lock(mutex_);
        queue_.clear();
        wanted_.clear();
        for (const QString& path : paths) {
            if (path.isEmpty() || wanted_.contains(path)) continue;
            wanted_.append(path);
            queue_.push_back(path);
        }
        prefetchCover_ = cover;
    }
    workAvailable_.notify_all();
}

void PhotoCache::setPaused(bool paused) {
    {
        std::lock_guard lock(mutex_);
        paused_ = paused;
    }
    workAvailable_.notify_all();
}

void PhotoCache::clear() {
    std::lock_guard lock(mutex_);
    entries_.clear();
    bytes_ = 0;
    queue_.clear();
    wanted_.clear();
    ++generation_;
}

bool PhotoCache::isCached(const QString& path, QSize cover) const {
    const FileKey key = keyOf(path);
    if (!key.valid) return false;
    std::lock_guard lock(mutex_);
    return findCovering(path, key, cover) != nullptr;
}

void PhotoCache::workerLoop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        workAvailable_.wait(lock, [&] { return stopping_ || (!paused_ && !queue_.empty()); });
        if (stopping_) return;
        const QString path = queue_.front();
        queue_.pop_front();
        const QSize cover = prefetchCover_;

        lock.unlock();
        const FileKey key = keyOf(path);
        lock.lock();
        if (stopping_) return;
        if (!key.valid || findCovering(path, key, cover) || findJob(path, key, cover)) continue;

        const auto job = startJob(path, key, cover);
        lock.unlock();
        const DecodedPhoto photo = decodeCounted(background_, path, cover);
        lock.lock();
        finishJob(job, photo);
    }
}

} // namespace kps
