#pragma once
// Decoded photos kept in memory, with a worker thread that decodes the neighbours in advance.

#include "core/photo/jpegdecoder.h"
#include "core/work/lane.h"

#include <QSize>
#include <QString>
#include <QStringList>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace kps {

// What a viewer's request delivers, in this order: the file's facts and the header's pixel size
// (no pixels), then an embedded preview if one can stand in, then the photo.
enum class PhotoArrival { Facts, Preview, Photo };
// Whether a request comes to show a photo not in memory, or only to confirm that the one shown
// from memory is still the file's (it leaves the prefetches running).
enum class RequestKind { Show, Confirm };

// Photos are kept by path with the file size and modification time they were decoded from:
// the workers compare those with the file and decode a changed file again, while the window's
// thread looks photos up by path alone, without touching the disk. The memory budget counts
// decoded pixels, embedded previews included; over it, previews go first, then photos outside
// the current prefetch list (least recently used first), then the prefetch list from its end. A
// failure seen by the prefetch worker, and a file that could not be read whole, are never kept:
// only the viewer's own decode of a readable file decides that a photo cannot be shown. All
// members are thread-safe.
class PhotoCache {
  public:
    // Receives a request's arrivals on the viewer's decoding thread: its number, path, what
    // arrived and the photo (for Facts: fullSize, fileBytes and modifiedMs only).
    using Delivery = std::function<void(quint64 request, const QString& path, PhotoArrival arrival,
                                        const DecodedPhoto&)>;
    // Runs on the viewer's decoding thread before the photo's decode (after its facts and
    // preview), with the request's stop flag; tests stand for a slow or stalled decode with it.
    using RequestHook = std::function<void(const QString& path, const std::atomic<bool>& stop)>;

    // Enough for the shown photo and both neighbours at full-HD viewer sizes; a larger budget
    // only keeps photos the user has moved away from, and costs the peak memory.
    static constexpr qint64 kDefaultBudgetBytes = 48LL * 1024 * 1024;
    // How long destruction waits for a decode in progress; a worker stuck longer (a hung or
    // unplugged device) is left to finish on its own.
    static constexpr std::chrono::milliseconds kExitWait{500};

    explicit PhotoCache(qint64 budgetBytes = kDefaultBudgetBytes);
    ~PhotoCache(); // abandons every decode, waits at most kExitWait for the lanes

    // The photo decoded to cover `cover`. A cached photo that covers it returns at once; one
    // being decoded for at least this cover is waited for; anything else is decoded on the
    // calling thread (and cached). `stop` can abandon the wait or the decode.
    DecodedPhoto get(const QString& path, QSize cover, const StopRequest& stop = {});
    // The cached photo that covers `cover`, from memory only: it is not compared with the file
    // (a confirming request does that).
    std::optional<DecodedPhoto> cached(const QString& path, QSize cover);
    // The embedded preview kept for the path, from memory only.
    std::optional<DecodedPhoto> cachedPreview(const QString& path);

    // The viewer's own decode, off the caller's thread: the photo asked for last wins. An
    // earlier request still waiting or decoding is abandoned and never delivered; prefetches of
    // other photos stop too, since the viewer wants the processor now. Returns the request's
    // number, which the delivery carries.
    // A Confirm request stops nothing else.
    quint64 request(const QString& path, QSize cover, RequestKind kind = RequestKind::Show);
    // Abandons the request in progress, if any.
    void cancelRequest();
    // Where finished requests go; called with the cache's lock held, so it must only hand the
    // result on (for instance post it to the window's thread). Never called once the cache is
    // being destroyed.
    void setDelivery(Delivery delivery);
    void setRequestHook(RequestHook hook);
    // Requests abandoned after they were taken up (before or during their decode).
    int abandonedCount() const;

    // Decodes these photos in the background, in order, replacing those still waiting; a
    // running decode of a photo not in the list is abandoned.
    void prefetch(const QStringList& paths, QSize cover);
    // Holds the worker between decodes (a running one finishes), for instance while a drag
    // wants the processor; prefetch requests still replace the queue meanwhile.
    void setPaused(bool paused);
    // Drops every cached photo and the prefetches; a decode still running is not kept.
    void clear();
    // True when get() would return at once from memory (the file is looked at).
    bool isCached(const QString& path, QSize cover) const;
    // Decodes started so far, on either thread.
    int decodeCount() const;
    // Runs on the worker before each of its decodes; tests stand for a stalled device with it.
    void setWorkerHook(std::function<void(const QString&)> hook);
    // How the decodes read files from now on; null: read(2). Tests stand for a failing device.
    void setFileRead(FileRead read);

  private:
    struct Shared;
    void postPrefetch(); // a pass through the prefetch queue (one finding it empty ends at once)

    // Everything the lanes' jobs touch; each holds a reference of its own, so a job left
    // behind at exit never reaches freed memory.
    std::shared_ptr<Shared> shared_;
    WorkLane prefetches_{nullptr, kExitWait}; // decodes the neighbours in advance
    WorkLane requests_{nullptr, kExitWait, {}, WorkLane::Order::LatestWins}; // the viewer's own
};

} // namespace kps
