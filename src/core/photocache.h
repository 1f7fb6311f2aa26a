#pragma once
// Decoded photos kept in memory, with a worker thread that decodes the neighbours in advance.

#include "core/jpegdecoder.h"

#include <QHash>
#include <QSize>
#include <QString>
#include <QStringList>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace kps {

// Photos are keyed by path, file size and modification time, so a changed file is decoded
// again. The memory budget counts decoded pixels; over it, photos outside the current prefetch
// list go first (least recently used first), then the prefetch list from its end. All members
// are thread-safe.
class PhotoCache {
  public:
    // Enough for the shown photo and both neighbours at full-HD viewer sizes; a larger budget
    // only keeps photos the user has moved away from, and costs the peak memory.
    static constexpr qint64 kDefaultBudgetBytes = 48LL * 1024 * 1024;

    explicit PhotoCache(qint64 budgetBytes = kDefaultBudgetBytes);
    ~PhotoCache(); // lets a running decode finish, drops the rest of the queue, joins the worker
    PhotoCache(const PhotoCache&) = delete;
    PhotoCache& operator=(const PhotoCache&) = delete;

    // The photo decoded to cover `cover`. A cached photo that covers it returns at once; one
    // being decoded for at least this cover is waited for; anything else is decoded on the
    // calling thread (and cached).
    DecodedPhoto get(const QString& path, QSize cover);
    // Decodes these photos in the background, in order, replacing those still waiting; never
    // waits for a running decode.
    void prefetch(const QStringList& paths, QSize cover);
    // Holds the worker between decodes (a running one finishes), for instance while a drag
    // wants the processor; prefetch requests still replace the queue meanwhile.
    void setPaused(bool paused);
    // Drops every cached photo and the waiting prefetches; a decode still running is not kept.
    void clear();
    // True when get() would return at once from memory; the viewer skips "Loading..." then.
    bool isCached(const QString& path, QSize cover) const;
    // Decodes started so far, on either thread.
    int decodeCount() const { return decodes_.load(); }

  private:
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
        bool done = false;
        DecodedPhoto result;
    };

    static FileKey keyOf(const QString& path);
    static bool coverIncludes(QSize decoded, QSize wanted);
    // The helpers below expect mutex_ to be held.
    const Entry* findCovering(const QString& path, const FileKey& key, QSize cover) const;
    std::shared_ptr<Job> findJob(const QString& path, const FileKey& key, QSize cover) const;
    std::shared_ptr<Job> startJob(const QString& path, const FileKey& key, QSize cover);
    void finishJob(const std::shared_ptr<Job>& job, const DecodedPhoto& photo);
    void store(const QString& path, const FileKey& key, const DecodedPhoto& photo);
    void evictOverBudget();
    QString evictionVictim() const;

    DecodedPhoto decodeCounted(JpegDecoder& decoder, const QString& path, QSize cover);
    void workerLoop();

    const qint64 budget_;
    mutable std::mutex mutex_;
    std::condition_variable workAvailable_; // the worker waits for a queue or the stop
    std::condition_variable jobFinished_;   // get() waits for a running decode
    QHash<QString, Entry> entries_;
    qint64 bytes_ = 0;
    quint64 useCounter_ = 0;
    quint64 generation_ = 0;                 // bumped by clear(): older decodes are not stored
    std::vector<std::shared_ptr<Job>> jobs_; // decodes running on any thread
    std::deque<QString> queue_;              // prefetches not started yet
    QStringList wanted_;                     // the last prefetch list, kept longest
    QSize prefetchCover_;
    bool paused_ = false;
    bool stopping_ = false;
    std::atomic<int> decodes_{0};

    std::mutex foregroundMutex_; // one caller at a time uses foreground_
    JpegDecoder foreground_;
    JpegDecoder background_; // used by the worker only
    std::thread worker_;     // declared last: starts once everything above exists
};

} // namespace kps
