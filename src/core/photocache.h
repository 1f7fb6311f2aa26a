#pragma once
// Decoded photos kept in memory, with a worker thread that decodes the neighbours in advance.

#include "core/jpegdecoder.h"

#include <QSize>
#include <QString>
#include <QStringList>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

namespace kps {

// Photos are keyed by path, file size and modification time, so a changed file is decoded
// again. The memory budget counts decoded pixels; over it, photos outside the current prefetch
// list go first (least recently used first), then the prefetch list from its end. A failure
// seen by the worker is never kept: only a decode on the caller's thread decides that a photo
// cannot be shown. All members are thread-safe.
class PhotoCache {
  public:
    // Enough for the shown photo and both neighbours at full-HD viewer sizes; a larger budget
    // only keeps photos the user has moved away from, and costs the peak memory.
    static constexpr qint64 kDefaultBudgetBytes = 48LL * 1024 * 1024;
    // How long destruction waits for a decode in progress; a worker stuck longer (a hung or
    // unplugged device) is left to finish on its own.
    static constexpr std::chrono::milliseconds kExitWait{500};

    explicit PhotoCache(qint64 budgetBytes = kDefaultBudgetBytes);
    ~PhotoCache(); // drops the queue, waits at most kExitWait for the worker
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
    int decodeCount() const;
    // Runs on the worker before each of its decodes; tests stand for a stalled device with it.
    void setWorkerHook(std::function<void(const QString&)> hook);

  private:
    struct Shared;
    // Everything the worker touches; it holds a reference of its own, so a worker left
    // behind at exit never reaches freed memory.
    std::shared_ptr<Shared> shared_;
    std::thread worker_;
};

} // namespace kps
