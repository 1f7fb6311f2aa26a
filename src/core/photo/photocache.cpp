#include "core/photo/photocache.h"

#include "core/files/filecallguard.h"
#include "core/files/nativepath.h"
#include "core/photo/embeddedpreview.h"

#include <QHash>
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
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
        bool largest = false; // of the previews: no larger embedded picture can come
    };
    struct Job {
        QString path;
        FileKey key;
        QSize cover;
        quint64 generation = 0;
        bool background = false; // decoded by the worker, whose failures are not believed
        bool done = false;
        DecodedPhoto result;
        std::atomic<bool> stop{false}; // abandons the decode
    };
    struct Request {
        quint64 id = 0;
        QString path;
        QSize cover;
        RequestKind kind = RequestKind::Show;
    };

    explicit Shared(qint64 budgetBytes) : budget(budgetBytes) {}

    static FileKey keyOf(const QString& path);
    static bool coverIncludes(QSize decoded, QSize wanted);
    // The helpers below expect mutex to be held.
    const Entry* findCovering(const QString& path, const FileKey& key, QSize cover) const;
    const Entry* findCovering(const QString& path, QSize cover) const; // whatever its key
    std::shared_ptr<Job> findJob(const QString& path, const FileKey& key, QSize cover) const;
    std::shared_ptr<Job> startJob(const QString& path, const FileKey& key, QSize cover,
                                  bool background);
    void finishJob(const std::shared_ptr<Job>& job, const DecodedPhoto& photo);
    void store(const QString& path, const FileKey& key, const DecodedPhoto& photo);
    void storePreview(const QString& path, const FileKey& key, const DecodedPhoto& preview,
                      bool largest);
    void forget(QHash<QString, Entry>& from, const QString& path);
    void evictOverBudget();
    QString evictionVictim() const;

    DecodedPhoto get(const QString& path, QSize cover, const StopRequest& stop,
                     const FirstScan& firstScan = {});
    DecodedPhoto decodeCounted(JpegDecoder& decoder, const QString& path, QSize cover,
                               const StopRequest& stop, const FirstScan& firstScan = {});
    void stopBackgroundJobs(const QStringList& except);
    // Delivers the embedded pictures that can stand in for the request's photo, kept or read;
    // returns the width of the widest delivered (0: none).
    int deliverPreviews(const Request& request, const PhotoHead& head,
                        const std::atomic<bool>& stop);
    // Keeps and delivers the first scan of the request's photo unless a picture at least as
    // wide already stands in (`shownWidth`); `startedIn` is the generation the request began in.
    void deliverFirstScan(const Request& request, const PhotoHead& head, const DecodedPhoto& scan,
                          int shownWidth, quint64 startedIn, const std::atomic<bool>& stop);
    // Hands an arrival on if its request still counts; expects mutex to be held.
    void deliver(const Request& request, PhotoArrival arrival, const DecodedPhoto& photo,
                 const std::atomic<bool>& stop);
    void prefetchQueued(); // decodes the prefetch queue until it is empty, paused or stopping
    void serve(const Request& request, const std::atomic<bool>& stop); // a viewer's request

    const qint64 budget;
    mutable std::mutex mutex;
    std::condition_variable jobFinished; // get() waits for a running decode
    QHash<QString, Entry> entries;
    QHash<QString, Entry> previews; // embedded previews of photos not decoded yet
    qint64 bytes = 0;
    quint64 useCounter = 0;
    quint64 generation = 0;                 // bumped by clear(): older decodes are not stored
    std::vector<std::shared_ptr<Job>> jobs; // decodes running on any thread
    std::deque<QString> queue;              // prefetches not started yet
    QStringList wanted;                     // the last prefetch list, kept longest
    QSize prefetchCover;
    bool paused = false;
    bool stopping = false;
    std::function<void(const QString&)> workerHook;
    FileRead fileRead; // how the decoders read files; null: read(2)
    std::atomic<int> decodes{0};

    quint64 lastRequest = 0; // the number of the request that counts
    Delivery delivery;
    RequestHook requestHook;
    int abandoned = 0;

    // One budget for both decoders: the prefetch worker gives up rather than wait for the
    // memory; the viewer's own decode (its request thread, or a get()) waits for it, and only it
    // may decode a large progressive photo alone.
    std::shared_ptr<DecodeBudget> decodeBudget =
        std::make_shared<DecodeBudget>(JpegDecoder::kBudgetBytes);
    std::mutex foregroundMutex; // one caller at a time uses foreground
    JpegDecoder foreground{decodeBudget, true};
    JpegDecoder background{decodeBudget, false};     // used by the worker only
    JpegDecoder previewDecoder{decodeBudget, false}; // used by the viewer's thread only
};

PhotoCache::PhotoCache(qint64 budgetBytes) : shared_(std::make_shared<Shared>(budgetBytes)) {}

PhotoCache::~PhotoCache() {
    {
        std::lock_guard lock(shared_->mutex);
        shared_->stopping = true;
        shared_->delivery = nullptr;
        for (const auto& job : shared_->jobs)
            job->stop = true;
        shared_->jobFinished.notify_all();
    }
    // Both lanes stop at once and share one wait; a decode stuck in a hung read is let go.
    prefetches_.stop();
    requests_.stop();
    const auto until = std::chrono::steady_clock::now() + kExitWait;
    for (WorkLane* lane : {&prefetches_, &requests_})
        lane->finish(
            std::chrono::ceil<std::chrono::milliseconds>(until - std::chrono::steady_clock::now()));
}

PhotoCache::Shared::FileKey PhotoCache::Shared::keyOf(const QString& path) {
    noteFileCall("PhotoCache: file key");
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

const PhotoCache::Shared::Entry* PhotoCache::Shared::findCovering(const QString& path,
                                                                  QSize cover) const {
    const auto it = entries.constFind(path);
    if (it == entries.cend() || !covers(it->photo, cover)) return nullptr;
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
    auto job = std::make_shared<Job>();
    job->path = path;
    job->key = key;
    job->cover = cover;
    job->generation = generation;
    job->background = inBackground;
    jobs.push_back(job);
    return job;
}

void PhotoCache::Shared::finishJob(const std::shared_ptr<Job>& job, const DecodedPhoto& photo) {
    job->result = photo;
    job->done = true;
    std::erase(jobs, job);
    // A failure on the worker may be the worker's own trouble (memory in use, a device that
    // stalled); the viewer's own decode tries the photo again before it counts as bad.
    const bool believed =
        photo.ok || (!job->background && !photo.deferred && !photo.cancelled && !photo.readFailed);
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
    forget(previews, path); // the photo itself stands for itself now
    evictOverBudget();
}

void PhotoCache::Shared::storePreview(const QString& path, const FileKey& key,
                                      const DecodedPhoto& preview, bool largest) {
    forget(previews, path);
    previews.insert(path, Entry{key, preview, preview.image.sizeInBytes(), ++useCounter, largest});
    bytes += preview.image.sizeInBytes();
    evictOverBudget();
}

void PhotoCache::Shared::forget(QHash<QString, Entry>& from, const QString& path) {
    const auto it = from.find(path);
    if (it == from.end()) return;
    bytes -= it->bytes;
    from.erase(it);
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
    // Previews first, the oldest first: each only stands in for a moment.
    while (bytes > budget && !previews.isEmpty()) {
        auto oldest = previews.begin();
        for (auto it = previews.begin(); it != previews.end(); ++it) {
            if (it->lastUse < oldest->lastUse) oldest = it;
        }
        bytes -= oldest->bytes;
        previews.erase(oldest);
    }
    while (bytes > budget && !entries.isEmpty()) {
        const auto it = entries.find(evictionVictim());
        if (it == entries.end()) break;
        bytes -= it->bytes;
        entries.erase(it);
    }
}

DecodedPhoto PhotoCache::Shared::decodeCounted(JpegDecoder& decoder, const QString& path,
                                               QSize cover, const StopRequest& stop,
                                               const FirstScan& firstScan) {
    ++decodes;
    return decoder.decode(path, cover, stop, firstScan);
}

// Abandons the worker's running decodes of photos not in `except`.
void PhotoCache::Shared::stopBackgroundJobs(const QStringList& except) {
    for (const auto& job : jobs) {
        if (job->background && !except.contains(job->path)) job->stop = true;
    }
}

DecodedPhoto PhotoCache::Shared::get(const QString& path, QSize cover, const StopRequest& stop,
                                     const FirstScan& firstScan) {
    const FileKey key = keyOf(path); // outside the lock: a slow device must not stall others
    std::unique_lock lock(mutex);
    std::shared_ptr<Job> job;
    if (key.valid) {
        if (const Entry* hit = findCovering(path, key, cover)) {
            entries[path].lastUse = ++useCounter;
            return hit->photo;
        }
        if (auto running = findJob(path, key, cover)) {
            // request() and destruction wake this wait; the slice only bounds a missed stop.
            while (!running->done) {
                if (stop && stop()) {
                    DecodedPhoto abandoned;
                    abandoned.cancelled = true;
                    return abandoned;
                }
                jobFinished.wait_for(lock, std::chrono::milliseconds(20));
            }
            const DecodedPhoto& r = running->result;
            if (r.ok || (!running->background && !r.cancelled)) return r;
        }
        // Decoded here now, so the worker must not start it too.
        std::erase(queue, path);
        job = startJob(path, key, cover, false);
    }
    const FileRead read = fileRead;
    lock.unlock();
    DecodedPhoto photo;
    {
        std::lock_guard lockForeground(foregroundMutex);
        foreground.setFileRead(read);
        const auto* flag = job ? &job->stop : nullptr;
        photo = decodeCounted(
            foreground, path, cover, [&] { return (flag && flag->load()) || (stop && stop()); },
            firstScan);
    }
    if (job) {
        lock.lock();
        finishJob(job, photo);
    }
    return photo;
}

void PhotoCache::Shared::prefetchQueued() {
    std::unique_lock lock(mutex);
    while (!stopping && !paused && !queue.empty()) {
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
        background.setFileRead(fileRead);
        lock.unlock();
        if (hook) hook(path);
        const DecodedPhoto photo =
            decodeCounted(background, path, cover, [&] { return job->stop.load(); });
        lock.lock();
        finishJob(job, photo);
    }
}

int PhotoCache::Shared::deliverPreviews(const Request& request, const PhotoHead& head,
                                        const std::atomic<bool>& stop) {
    const FileKey key{head.isFile, head.bytes, head.modifiedMs};
    if (!key.valid) return 0;
    int shownWidth = 0;
    // The thumbnail first, ready in a moment, then the larger preview.
    const EmbeddedPicture pictures[] = {head.head.exifThumbnail, head.head.mpfPreview};
    int from = 0;
    quint64 startedIn = 0; // the generation: a clear() meanwhile keeps nothing of this
    {
        std::lock_guard lock(mutex);
        startedIn = generation;
        // The photo itself comes at once, or is on its way from the worker.
        if (findCovering(request.path, key, request.cover) ||
            findJob(request.path, key, request.cover))
            return 0;
        const auto it = previews.find(request.path);
        if (it != previews.end() && it->key == key) {
            it->lastUse = ++useCounter;
            deliver(request, PhotoArrival::Preview, it->photo, stop);
            shownWidth = it->photo.image.width();
            from = it->largest ? 2 : 1;
        }
    }
    for (int i = from; i < 2 && !stop.load(); ++i) {
        const DecodedPhoto preview =
            decodeEmbeddedPicture(previewDecoder, request.path, head, pictures[i], request.cover,
                                  [&] { return stop.load(); });
        if (!preview.ok) continue;
        std::lock_guard lock(mutex);
        if (stopping) return shownWidth;
        if (startedIn == generation)
            storePreview(request.path, key, preview, i == 1 || !pictures[1].present());
        deliver(request, PhotoArrival::Preview, preview, stop);
        shownWidth = std::max(shownWidth, preview.image.width());
    }
    return shownWidth;
}

void PhotoCache::Shared::deliverFirstScan(const Request& request, const PhotoHead& head,
                                          const DecodedPhoto& scan, int shownWidth,
                                          quint64 startedIn, const std::atomic<bool>& stop) {
    const FileKey key{head.isFile, head.bytes, head.modifiedMs};
    if (!key.valid || scan.image.width() <= shownWidth) return;
    DecodedPhoto preview = scan;
    preview.fileBytes = head.bytes;
    preview.modifiedMs = head.modifiedMs;
    std::lock_guard lock(mutex);
    if (stopping || stop.load()) return;
    // Kept as a preview, so a return to a photo whose decode was abandoned shows it at once;
    // no embedded picture is read for it again.
    if (startedIn == generation) storePreview(request.path, key, preview, true);
    deliver(request, PhotoArrival::Preview, preview, stop);
}

void PhotoCache::Shared::deliver(const Request& request, PhotoArrival arrival,
                                 const DecodedPhoto& photo, const std::atomic<bool>& stop) {
    if (!stop.load() && request.id == lastRequest && delivery && !stopping)
        delivery(request.id, request.path, arrival, photo);
}

void PhotoCache::Shared::serve(const Request& request, const std::atomic<bool>& stop) {
    std::unique_lock lock(mutex);
    if (stopping || stop.load()) return;  // replaced before it was taken up
    const quint64 startedIn = generation; // a clear() meanwhile keeps nothing of this
    const auto hook = requestHook;
    lock.unlock();
    // The file's facts and pixel size first: the status bar fills before any pixel comes.
    const PhotoHead head = readPhotoHead(request.path);
    DecodedPhoto facts;
    facts.fullSize = head.head.frameSize;
    facts.fileBytes = head.isFile ? head.bytes : -1;
    facts.modifiedMs = head.modifiedMs;
    lock.lock();
    deliver(request, PhotoArrival::Facts, facts, stop);
    lock.unlock();
    const bool show = request.kind == RequestKind::Show;
    const int shownWidth = show && !stop.load() ? deliverPreviews(request, head, stop) : 0;
    if (hook) hook(request.path, stop);
    // A progressive photo without a picture as good inside shows its first scan meanwhile.
    FirstScan firstScan;
    if (show)
        firstScan = [&](const DecodedPhoto& scan) {
            deliverFirstScan(request, head, scan, shownWidth, startedIn, stop);
        };
    DecodedPhoto photo;
    if (!stop.load())
        photo = get(
            request.path, request.cover, [&] { return stop.load(); }, firstScan);
    lock.lock();
    // Finished, but a newer request came meanwhile: nobody wants it either.
    if (photo.cancelled || stop.load() || request.id != lastRequest)
        ++abandoned;
    else
        deliver(request, PhotoArrival::Photo, photo, stop);
}

DecodedPhoto PhotoCache::get(const QString& path, QSize cover, const StopRequest& stop) {
    return shared_->get(path, cover, stop);
}

std::optional<DecodedPhoto> PhotoCache::cached(const QString& path, QSize cover) {
    std::lock_guard lock(shared_->mutex);
    if (const Shared::Entry* hit = shared_->findCovering(path, cover)) {
        shared_->entries[path].lastUse = ++shared_->useCounter;
        return hit->photo;
    }
    return std::nullopt;
}

std::optional<DecodedPhoto> PhotoCache::cachedPreview(const QString& path) {
    std::lock_guard lock(shared_->mutex);
    const auto it = shared_->previews.find(path);
    if (it == shared_->previews.end()) return std::nullopt;
    it->lastUse = ++shared_->useCounter;
    return it->photo;
}

quint64 PhotoCache::request(const QString& path, QSize cover, RequestKind kind) {
    std::lock_guard lock(shared_->mutex);
    const quint64 id = ++shared_->lastRequest;
    if (kind == RequestKind::Show) {
        shared_->queue.clear();
        shared_->stopBackgroundJobs({path});
    }
    requests_.post([shared = shared_, request = Shared::Request{id, path, cover, kind}](
                       WorkLane::Run& run) { shared->serve(request, run.stopFlag()); });
    shared_->jobFinished.notify_all(); // an abandoned request may be waiting for the worker
    return id;
}

void PhotoCache::cancelRequest() {
    std::lock_guard lock(shared_->mutex);
    ++shared_->lastRequest;
    requests_.cancel();
    shared_->jobFinished.notify_all();
}

void PhotoCache::setDelivery(Delivery delivery) {
    std::lock_guard lock(shared_->mutex);
    shared_->delivery = std::move(delivery);
}

void PhotoCache::setRequestHook(RequestHook hook) {
    std::lock_guard lock(shared_->mutex);
    shared_->requestHook = std::move(hook);
}

int PhotoCache::abandonedCount() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->abandoned;
}

void PhotoCache::prefetch(const QStringList& paths, QSize cover) {
    std::lock_guard lock(shared_->mutex);
    shared_->queue.clear();
    shared_->wanted.clear();
    for (const QString& path : paths) {
        if (path.isEmpty() || shared_->wanted.contains(path)) continue;
        shared_->wanted.append(path);
        shared_->queue.push_back(path);
    }
    shared_->prefetchCover = cover;
    shared_->stopBackgroundJobs(shared_->wanted);
    postPrefetch();
}

void PhotoCache::setPaused(bool paused) {
    std::lock_guard lock(shared_->mutex);
    shared_->paused = paused;
    if (!paused) postPrefetch();
}

void PhotoCache::postPrefetch() {
    prefetches_.post([shared = shared_](WorkLane::Run&) { shared->prefetchQueued(); });
}

void PhotoCache::clear() {
    std::lock_guard lock(shared_->mutex);
    shared_->entries.clear();
    shared_->previews.clear();
    shared_->bytes = 0;
    shared_->queue.clear();
    shared_->wanted.clear();
    shared_->stopBackgroundJobs({});
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

void PhotoCache::setFileRead(FileRead read) {
    std::lock_guard lock(shared_->mutex);
    shared_->fileRead = std::move(read);
}

} // namespace kps
