#include "core/photocache.h"

#include "core/nativepath.h"

#include <QHash>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

namespace kps {

struct PhotoCache::Shared {
    struct FileKey {
        bool valid = false; // false when the path is not a readable regular file
        qint64 size = 0;
        qint64 modifiedMs = 0;
        bool operator==(const FileKey&) const = default;
    };
    struct Entry {
        FileKey key;
        DecodedPhoto photo;
        qint64 bytes = 0;
        quint64 lastUse = 0;
    };
    struct Job {
        QString path;
        FileKey key;
        QSize cover;
        quint64 generation = 0;
        bool background = false; // decoded by the worker, whose failures are not believed
        bool done = false;
        DecodedPhoto result;
    };

    explicit Shared(qint64 budgetBytes) : budget(budgetBytes) {}

    static FileKey keyOf(const QString& path);
    static bool coverIncludes(QSize decoded, QSize wanted);
    // The helpers below expect mutex to be held.
    const Entry* findCovering(const QString& path, const FileKey& key, QSize cover) const;
    std::shared_ptr<Job> findJob(const QString& path, const FileKey& key, QSize cover) const;
    std::shared_ptr<Job> startJob(const QString& path, const FileKey& key, QSize cover,
                                  bool background);
    void finishJob(const std::shared_ptr<Job>& job, const DecodedPhoto& photo);
    void store(const QString& path, const FileKey& key, const DecodedPhoto& photo);
    void evictOverBudget();
    QString evictionVictim() const;

    DecodedPhoto get(const QString& path, QSize cover);
    DecodedPhoto decodeCounted(JpegDecoder& decoder, const QString& path, QSize cover);
    void workerLoop();

    const qint64 budget;
    mutable std::mutex mutex;
    std::condition_variable workAvailable; // the worker waits for a queue or the stop
    std::condition_variable jobFinished;   // get() waits for a running decode
    std::condition_variable workerExited;  // destruction waits, bounded, for the worker
    QHash<QString, Entry> entries;
    qint64 bytes = 0;
    quint64 useCounter = 0;
    quint64 generation = 0;                 // bumped by clear(): older decodes are not stored
    std::vector<std::shared_ptr<Job>> jobs; // decodes running on any thread
    std::deque<QString> queue;              // prefetches not started yet
    QStringList wanted;                     // the last prefetch list, kept longest
    QSize prefetchCover;
    bool paused = false;
    bool stopping = false;
    bool workerDone = false;
    std::function<void(const QString&)> workerHook;
    std::atomic<int> decodes{0};

    // One budget for both decoders: the worker gives up rather than wait for the memory, the
    // caller's thread waits for it.
    std::shared_ptr<DecodeBudget> decodeBudget =
        std::make_shared<DecodeBudget>(JpegDecoder::kBudgetBytes);
    std::mutex foregroundMutex; // one caller at a time uses foreground
    JpegDecoder foreground{decodeBudget, true};
    JpegDecoder background{decodeBudget, false}; // used by the worker only
};

PhotoCache::PhotoCache(qint64 budgetBytes)
    : shared_(std::make_shared<Shared>(budgetBytes)),
      worker_([shared = shared_] { shared->workerLoop(); }) {}

PhotoCache::~PhotoCache() {
    bool finished = false;
    {
        std::unique_lock lock(shared_->mutex);
        shared_->stopping = true;
        shared_->queue.clear();
        shared_->workAvailable.notify_all();
        finished =
            shared_->workerExited.wait_for(lock, kExitWait, [&] { return shared_->workerDone; });
    }
    if (finished)
        worker_.join();
    else
        worker_.detach(); // it owns what it touches and stops after its decode
}

PhotoCache::Shared::FileKey PhotoCache::Shared::keyOf(const QString& path) {
    const PathFacts facts = pathFacts(path);
    if (!facts.isFile) return {};
    return {true, facts.size, facts.modifiedMs};
}

// Whether a decode made for `decoded` gives at least what `wanted` needs; the output size grows
// with the cover in both directions, and an empty cover means the full size.
bool PhotoCache::Shared::coverIncludes(QSize decoded, QSize wanted) {
    if (decoded.isEmpty()) return true;
    if (wanted.isEmpty()) return false;
    return decoded.width() >= wanted.width() && decoded.height() >= wanted.height();
}

const PhotoCache::Shared::Entry*
PhotoCache::Shared::findCovering(const QString& path, const FileKey& key, QSize cover) const {
    const auto it = entries.constFind(path);
    if (it == entries.cend() || !(it->key == key) || !covers(it->photo, cover)) return nullptr;
    return &*it;
}

std::shared_ptr<PhotoCache::Shared::Job>
PhotoCache::Shared::findJob(const QString& path, const FileKey& key, QSize cover) const {
    for (const auto& job : jobs) {
        if (job->path == path && job->key == key && coverIncludes(job->cover, cover)) return job;
    }
    return nullptr;
}

std::shared_ptr<PhotoCache::Shared::Job> PhotoCache::Shared::startJob(const QString& path,
                                                                      const FileKey& key,
                                                                      QSize cover,
                                                                      bool inBackground) {
    auto job = std::make_shared<Job>(Job{path, key, cover, generation, inBackground, false, {}});
    jobs.push_back(job);
    return job;
}

void PhotoCache::Shared::finishJob(const std::shared_ptr<Job>& job, const DecodedPhoto& photo) {
    job->result = photo;
    job->done = true;
    std::erase(jobs, job);
    // A failure on the worker may be the worker's own trouble (memory in use, a device that
    // stalled); the photo is tried again on the caller's thread before it counts as bad.
    const bool believed = photo.ok || (!job->background && !photo.deferred);
    if (job->key.valid && job->generation == generation && believed)
        store(job->path, job->key, photo);
    jobFinished.notify_all();
}

void PhotoCache::Shared::store(const QString& path, const FileKey& key, const DecodedPhoto& photo) {
    Entry& entry = entries[path];
    bytes -= entry.bytes;
    entry.key = key;
    entry.photo = photo;
    entry.bytes = photo.image.sizeInBytes();
    entry.lastUse = ++useCounter;
    bytes += entry.bytes;
    evictOverBudget();
}

QString PhotoCache::Shared::evictionVictim() const {
    // Photos outside the prefetch list, least recently used first.
    QString victim;
    quint64 oldest = 0;
    for (auto it = entries.cbegin(); it != entries.cend(); ++it) {
        if (wanted.contains(it.key())) continue;
        if (victim.isNull() || it->lastUse < oldest) {
            victim = it.key();
            oldest = it->lastUse;
        }
    }
    if (!victim.isNull()) return victim;
    // Then the prefetch list from its least wanted end.
    for (qsizetype i = wanted.size(); i-- > 0;) {
        if (entries.contains(wanted[i])) return wanted[i];
    }
    return QString();
}

void PhotoCache::Shared::evictOverBudget() {
    while (bytes > budget && !entries.isEmpty()) {
        const auto it = entries.find(evictionVictim());
        if (it == entries.end()) break;
        bytes -= it->bytes;
        entries.erase(it);
    }
}

DecodedPhoto PhotoCache::Shared::decodeCounted(JpegDecoder& decoder, const QString& path,
                                               QSize cover) {
    ++decodes;
    return decoder.decode(path, cover);
}

DecodedPhoto PhotoCache::Shared::get(const QString& path, QSize cover) {
    const FileKey key = keyOf(path); // outside the lock: a slow device must not stall others
    std::unique_lock lock(mutex);
    std::shared_ptr<Job> job;
    if (key.valid) {
        if (const Entry* hit = findCovering(path, key, cover)) {
            entries[path].lastUse = ++useCounter;
            return hit->photo;
        }
        if (auto running = findJob(path, key, cover)) {
            jobFinished.wait(lock, [&] { return running->done; });
            if (running->result.ok || !running->background) return running->result;
        }
        // Decoded here now, so the worker must not start it too.
        std::erase(queue, path);
        job = startJob(path, key, cover, false);
    }
    lock.unlock();
    DecodedPhoto photo;
    {
        std::lock_guard lockForeground(foregroundMutex);
        photo = decodeCounted(foreground, path, cover);
    }
    if (job) {
        lock.lock();
        finishJob(job, photo);
    }
    return photo;
}

void PhotoCache::Shared::workerLoop() {
    std::unique_lock lock(mutex);
    for (;;) {
        workAvailable.wait(lock, [&] { return stopping || (!paused && !queue.empty()); });
        if (stopping) break;
        const QString path = queue.front();
        queue.pop_front();
        const QSize cover = prefetchCover;

        lock.unlock();
        const FileKey key = keyOf(path);
        lock.lock();
        if (stopping) break;
        if (!key.valid || findCovering(path, key, cover) || findJob(path, key, cover)) continue;

        const auto job = startJob(path, key, cover, true);
        const auto hook = workerHook;
        lock.unlock();
        if (hook) hook(path);
        const DecodedPhoto photo = decodeCounted(background, path, cover);
        lock.lock();
        finishJob(job, photo);
    }
    workerDone = true;
    workerExited.notify_all();
}

DecodedPhoto PhotoCache::get(const QString& path, QSize cover) {
    return shared_->get(path, cover);
}

void PhotoCache::prefetch(const QStringList& paths, QSize cover) {
    {
        std::lock_guard lock(shared_->mutex);
        shared_->queue.clear();
        shared_->wanted.clear();
        for (const QString& path : paths) {
            if (path.isEmpty() || shared_->wanted.contains(path)) continue;
            shared_->wanted.append(path);
            shared_->queue.push_back(path);
        }
        shared_->prefetchCover = cover;
    }
    shared_->workAvailable.notify_all();
}

void PhotoCache::setPaused(bool paused) {
    {
        std::lock_guard lock(shared_->mutex);
        shared_->paused = paused;
    }
    shared_->workAvailable.notify_all();
}

void PhotoCache::clear() {
    std::lock_guard lock(shared_->mutex);
    shared_->entries.clear();
    shared_->bytes = 0;
    shared_->queue.clear();
    shared_->wanted.clear();
    ++shared_->generation;
}

bool PhotoCache::isCached(const QString& path, QSize cover) const {
    const Shared::FileKey key = Shared::keyOf(path);
    if (!key.valid) return false;
    std::lock_guard lock(shared_->mutex);
    return shared_->findCovering(path, key, cover) != nullptr;
}

int PhotoCache::decodeCount() const {
    return shared_->decodes.load();
}

void PhotoCache::setWorkerHook(std::function<void(const QString&)> hook) {
    std::lock_guard lock(shared_->mutex);
    shared_->workerHook = std::move(hook);
}

} // namespace kps
