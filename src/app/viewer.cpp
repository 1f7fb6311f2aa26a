#include "app/viewer.h"

#include "app/mainwindow.h"
#include "app/widgets.h"
#include "core/drop/companions.h"
#include "core/drop/dropjob.h"
#include "core/files/nativepath.h"
#include "core/photo/fitting.h"
#include "core/photo/photocache.h"
#include "core/photo/photodate.h"
#include "core/state/cursor.h"

#include <QLabel>
#include <QTimer>

namespace kps {
namespace {

// Neighbours decoded in advance after a photo is shown.
QStringList neighbours(const AppState& st) {
    const PhotoList& list = st.lists[size_t(st.indexpanel)];
    const int i = st.index[size_t(st.indexpanel)];
    QStringList out;
    if (i + 1 < list.count()) out << list.at(i + 1);
    if (i - 1 >= 0 && i - 1 < list.count()) out << list.at(i - 1);
    return out;
}

// How long the viewer waits for a photo before it says "Loading...": a shorter wait passes
// without a flash of text.
constexpr int kLoadingDelayMs = 150;
// What the viewer says while it waits for a photo with nothing of it to show.
const QString kLoadingText = QStringLiteral("Loading...");

} // namespace

Viewer::Viewer(MainWindow& window, AppState& st, ViewerArea* area, QFrame* frame, PhotoView* photo)
    : QObject(&window), window_(window), st_(st), area_(area), frame_(frame), photo_(photo),
      cache_(std::make_unique<PhotoCache>()) {
    marker_ = new QLabel(area_);
    marker_->setObjectName(QStringLiteral("CompanionMarker"));
    QPalette pal = marker_->palette();
    pal.setColor(QPalette::Window, QColor(0, 0, 0, 150));
    pal.setColor(QPalette::WindowText, Qt::white);
    marker_->setPalette(pal);
    marker_->setAutoFillBackground(true);
    marker_->setContentsMargins(5, 2, 5, 2);
    QFont f = marker_->font();
    f.setBold(true);
    marker_->setFont(f);
    marker_->move(6, 6);
    marker_->hide();
    sharpen_ = new QTimer(this);
    sharpen_->setSingleShot(true);
    sharpen_->setInterval(150);
    connect(sharpen_, &QTimer::timeout, this, &Viewer::refreshDecodeForSize);
    loadingDelay_ = new QTimer(this);
    loadingDelay_->setObjectName(QStringLiteral("LoadingDelay"));
    loadingDelay_->setSingleShot(true);
    loadingDelay_->setInterval(kLoadingDelayMs);
    connect(loadingDelay_, &QTimer::timeout, this, &Viewer::showLoading);
    // Decodes finish on the cache's thread; the window takes them in its own turn.
    cache_->setDelivery([this](quint64 request, const QString& path, PhotoArrival arrival,
                               const DecodedPhoto& photo) {
        QMetaObject::invokeMethod(
            this,
            [this, request, path, arrival, photo] { photoArrived(request, path, arrival, photo); },
            Qt::QueuedConnection);
    });
}

Viewer::~Viewer() = default;

void Viewer::sharpenLater() {
    sharpen_->start();
}

void Viewer::showMarker() {
    const PhotoList& list = st_.lists[size_t(st_.indexpanel)];
    const QString text =
        st_.tarsfajlok ? companionMarker(list.companionsOf(st_.globalnev)) : QString();
    marker_->setText(text);
    marker_->adjustSize();
    marker_->setVisible(!text.isEmpty());
    marker_->raise(); // above the photo's frame
}

void Viewer::rereadWhenArrived() {
    if (!rereadWhenMoved_ || window_.pendingDrops().isArrival(st_.globalnev)) return;
    rereadWhenMoved_ = false;
    st_.dError = false;
    pendingRequest_ = cache_->request(window_.bytesOf(st_.globalnev), decodeCover());
}

QSize Viewer::decodeCover() const {
    const qreal dpr = area_->devicePixelRatioF();
    return QSize(qRound(area_->width() * dpr), qRound(area_->height() * dpr));
}

void Viewer::fitFrame() {
    const QRect frame = ujraatmer(photo_->fullSize(), area_->size());
    frame_->setGeometry(frame);
    photo_->setGeometry(QRect(QPoint(0, 0), frame.size()));
}

// Everything the viewer learns of the photo's file comes from memory or from its decoding
// thread: the window's thread never looks at the disk for it.
void Viewer::show(const QString& path) {
    // A wait goes on through the presses of a burst: "Loading..." comes once the whole wait is
    // long, however often the wanted photo changed meanwhile.
    const bool wasWaiting = waiting();
    const bool waitShown = wasWaiting && area_->caption() == kLoadingText;
    area_->setCaption(QString());
    const bool relayout = st_.globalnev == kRelayoutMarker;
    if (path == st_.globalnev) {
        if (waitShown) area_->setCaption(kLoadingText);
        showMarker();
        return;
    }
    stopWaiting();
    st_.globalnev = path;
    showMarker();
    standIn_ = false;
    shownBytes_ = -1;
    rereadWhenMoved_ = false;
    st_.status[1] = displayPath(levalasztofile(path));
    st_.status[4] = displayPath(levalasztodir(path));
    if (path == kNoPhoto) {
        loadingDelay_->stop();
        frame_->hide();
        window_.syncStatusBar();
        return;
    }
    if (relayout) {
        // The picture held is the same photo: lay it out again at its full fitted size.
        loadingDelay_->stop();
        fitFrame();
        frame_->show();
    } else {
        const QSize cover = decodeCover();
        const QString bytes = window_.bytesOf(path);
        st_.dError = false;
        if (const auto photo = cache_->cached(bytes, cover)) {
            loadingDelay_->stop();
            showPhoto(*photo);
            // The file may have changed since it was decoded: the decoding thread looks.
            pendingRequest_ = cache_->request(bytes, cover, RequestKind::Confirm);
            confirming_ = true;
        } else {
            // The pixel size and the date come with the file's facts from the decoding thread.
            st_.status[2].clear();
            st_.status[3].clear();
            if (const auto preview = cache_->cachedPreview(bytes)) {
                showStandIn(*preview);
            } else if (waitShown) {
                area_->setCaption(kLoadingText);
            } else {
                // The previous photo may stay a moment as it was laid out (no drag starts from
                // it); a frame a drop left shrunk goes at once.
                if (!wasWaiting &&
                    frame_->geometry() != ujraatmer(photo_->fullSize(), area_->size()))
                    frame_->hide();
                if (!loadingDelay_->isActive()) loadingDelay_->start();
            }
            pendingRequest_ = cache_->request(bytes, cover);
        }
    }
    window_.syncStatusBar();
}

void Viewer::showFileFacts(const DecodedPhoto& photo) {
    shownBytes_ = photo.fileBytes;
    st_.status[2] =
        photo.fullSize.isValid()
            ? QStringLiteral("%1x%2").arg(photo.fullSize.width()).arg(photo.fullSize.height())
            : QString();
    // A file that is gone has no date.
    st_.status[3] = photo.fileBytes >= 0 ? photoDateText(photo.modifiedMs) : QString();
}

void Viewer::showStandIn(const DecodedPhoto& preview) {
    photo_->setImage(preview.image, preview.fullSize);
    fitFrame();
    showFileFacts(preview);
    area_->setCaption(QString());
    frame_->show();
    standIn_ = true;
}

void Viewer::showPhoto(const DecodedPhoto& photo) {
    if (photo.ok) {
        photo_->setImage(photo.image, photo.fullSize);
        fitFrame();
        showFileFacts(photo);
        st_.dError = false;
        area_->setCaption(QString());
        frame_->show();
    } else {
        st_.dError = true;
        showFileFacts(photo);
        st_.status[2].clear(); // the previous photo's size would say this one has pixels
        frame_->hide();
        area_->setCaption(QStringLiteral("Load Error"));
    }
    QStringList next;
    for (const QString& neighbour : neighbours(st_))
        next << window_.bytesOf(neighbour);
    cache_->prefetch(next, decodeCover());
}

void Viewer::photoArrived(quint64 request, const QString& path, PhotoArrival arrival,
                          const DecodedPhoto& photo) {
    if (request != pendingRequest_) return; // asked for before the photo now wanted
    if (arrival != PhotoArrival::Photo) {
        // A sharper copy, or a confirmation, of the photo shown needs no stand-in.
        if (sharpening_ || (confirming_ && arrival == PhotoArrival::Preview)) return;
        if (arrival == PhotoArrival::Facts)
            showFileFacts(photo);
        else
            showStandIn(photo);
        window_.syncStatusBar();
        return;
    }
    // A drop's file work moved the photo while it was read: it is read again where it is now,
    // which is known once that work's result has come.
    const QString bytes = window_.bytesOf(st_.globalnev);
    if (!photo.ok && path != bytes && !sharpening_) {
        pendingRequest_ = cache_->request(bytes, decodeCover());
        confirming_ = false;
        return;
    }
    rereadWhenMoved_ = !photo.ok && !sharpening_ && window_.pendingDrops().isArrival(st_.globalnev);
    const bool sharper = sharpening_;
    const bool confirmed =
        confirming_ && photo.ok && photo.image.cacheKey() == photo_->image().cacheKey();
    pendingRequest_ = 0;
    sharpening_ = false;
    confirming_ = false;
    if (sharper) {
        if (photo.ok) photo_->setImage(photo.image, photo.fullSize);
        return;
    }
    if (confirmed) return;
    loadingDelay_->stop();
    standIn_ = false;
    showPhoto(photo);
    window_.syncStatusBar();
    // The viewer may have grown while the photo was on its way.
    if (photo.ok && !covers(photo, decodeCover())) sharpen_->start();
}

void Viewer::stopWaiting() {
    if (pendingRequest_ == 0) return;
    cache_->cancelRequest();
    pendingRequest_ = 0;
    sharpening_ = false;
    confirming_ = false;
}

void Viewer::showLoading() {
    // A preview of the wanted photo is better than the words.
    if (!waiting() || standIn_) return;
    frame_->hide();
    area_->setCaption(kLoadingText);
}

void Viewer::refreshDecodeForSize() {
    // A viewer grown beyond what the decoded picture covers gets a sharper decode; a photo still
    // on its way is checked when it comes.
    if (waiting() || !frame_->isVisible() || st_.globalnev.isEmpty() || st_.globalnev == kNoPhoto ||
        st_.globalnev == kRelayoutMarker)
        return;
    const QSize cover = decodeCover();
    const DecodedPhoto held{photo_->image(), photo_->fullSize(), true};
    if (covers(held, cover)) return;
    const QString bytes = window_.bytesOf(st_.globalnev);
    if (const auto photo = cache_->cached(bytes, cover)) {
        photo_->setImage(photo->image, photo->fullSize);
        return;
    }
    pendingRequest_ = cache_->request(bytes, cover);
    sharpening_ = true;
    confirming_ = false;
}

} // namespace kps
