#pragma once
// The viewer: shows the current photo fitted into the middle of the window, asking the cache
// for its decode and telling its file's facts; waits without a flash of "Loading...".

#include "core/photo/photocache.h"

#include <QObject>
#include <memory>

class QFrame;
class QLabel;
class QTimer;

namespace kps {

class MainWindow;
class PhotoView;
class ViewerArea;
struct AppState;

class Viewer : public QObject {
  public:
    // area: Panel2, the viewer area; frame: Panel1, the photo frame; photo: Image1.
    Viewer(MainWindow& window, AppState& st, ViewerArea* area, QFrame* frame, PhotoView* photo);
    ~Viewer() override;

    PhotoCache& cache() { return *cache_; }
    void show(const QString& path); // shows a listed photo, kNoPhoto, or lays it out again
    // True while the viewer waits for the decode of the photo it is to show.
    bool waiting() const { return pendingRequest_ != 0 && !sharpening_ && !confirming_; }
    bool standInShown() const { return standIn_; }
    qint64 shownBytes() const { return shownBytes_; } // the file size its decode found; -1
    void fitFrame();                                  // fits the photo frame to the held photo
    void sharpenLater();                              // a sharper decode once the resizing pauses
    void rereadWhenArrived(); // a photo a pending move took away is read where it is now
    void showMarker();        // what goes with the photo shown, in the viewer's corner

  private:
    QSize decodeCover() const;   // the viewer area in device pixels
    void refreshDecodeForSize(); // decodes again when the viewer outgrew the held picture
    void showPhoto(const DecodedPhoto& photo); // shows a decode's result and prefetches
    void photoArrived(quint64 request, const QString& path, PhotoArrival arrival,
                      const DecodedPhoto& photo);
    void showStandIn(const DecodedPhoto& preview); // a preview stands in for the wanted photo
    void showFileFacts(const DecodedPhoto& photo); // the pixel size and date fields
    void stopWaiting(); // abandons the decode the viewer waits for (its delay runs on)
    void showLoading(); // the wait for the photo has become visible

    MainWindow& window_;
    AppState& st_;
    ViewerArea* area_;
    QFrame* frame_;
    PhotoView* photo_;
    std::unique_ptr<PhotoCache> cache_;
    QLabel* marker_ = nullptr;       // "RAW", "XMP" or "RAW+XMP" with the companions option
    QTimer* sharpen_ = nullptr;      // a pause in resizing before a sharper decode
    QTimer* loadingDelay_ = nullptr; // "Loading..." only after a visible wait
    quint64 pendingRequest_ = 0;     // the decode the viewer waits for; 0: none
    bool sharpening_ = false;        // that decode is a sharper copy of the photo shown
    bool confirming_ = false;        // that request only confirms the photo shown from memory
    bool standIn_ = false;           // the frame shows the wanted photo's embedded preview
    qint64 shownBytes_ = -1;         // the shown photo's file size, as its decode found it
    bool rereadWhenMoved_ = false;   // a pending move took the photo away while it was read
};

} // namespace kps
