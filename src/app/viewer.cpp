// The viewer: shows the current photo fitted into the middle of the window.

#include "app/mainwindow.h"
#include "app/widgets.h"
#include "core/cursor.h"
#include "core/fitting.h"
#include "core/jpegheader.h"
#include "core/nativepath.h"
#include "core/photocache.h"
#include "core/photodate.h"

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

} // namespace

void MainWindow::connectViewer() {
    loadingDelay_ = new QTimer(this);
    loadingDelay_->setObjectName(QStringLiteral("LoadingDelay"));
    loadingDelay_->setSingleShot(true);
    loadingDelay_->setInterval(kLoadingDelayMs);
    connect(loadingDelay_, &QTimer::timeout, this, &MainWindow::showLoading);
    // Decodes finish on the cache's thread; the window takes them in its own turn.
    cache_->setDelivery([this](quint64 request, const QString& path, const DecodedPhoto& photo) {
        QMetaObject::invokeMethod(
            this, [this, request, path, photo] { photoArrived(request, path, photo); },
            Qt::QueuedConnection);
    });
}

QSize MainWindow::decodeCover() const {
    const qreal dpr = devicePixelRatioF();
    return QSize(qRound(panel2_->width() * dpr), qRound(panel2_->height() * dpr));
}

void MainWindow::fitFrame() {
    const QRect frame = ujraatmer(image1_->fullSize(), panel2_->size());
    panel1_->setGeometry(frame);
    image1_->setGeometry(QRect(QPoint(0, 0), frame.size()));
}

void MainWindow::kepbetoltes(const QString& path) {
    // A wait goes on through the presses of a burst: "Loading..." comes once the whole wait is
    // long, however often the wanted photo changed meanwhile.
    const bool waiting = photoPending();
    const bool waitShown = waiting && !loadingDelay_->isActive();
    panel2_->setCaption(QString());
    const bool relayout = st_.globalnev == kRelayoutMarker;
    if (path == st_.globalnev) {
        if (waitShown) panel2_->setCaption(QStringLiteral("Loading..."));
        return;
    }
    stopWaiting();
    st_.globalnev = path;
    st_.status[1] = displayPath(levalasztofile(path));
    st_.status[4] = displayPath(levalasztodir(path));
    if (path == kNoPhoto) {
        loadingDelay_->stop();
        panel1_->hide();
        syncStatusBar();
        return;
    }
    if (relayout) {
        // The picture held is the same photo: lay it out again at its full fitted size.
        loadingDelay_->stop();
        fitFrame();
        panel1_->show();
    } else {
        const QSize cover = decodeCover();
        st_.dError = false;
        if (const auto photo = cache_->cached(bytesOf(path), cover)) {
            loadingDelay_->stop();
            showPhoto(*photo);
        } else {
            // The previous photo may stay a moment as it was laid out (no drag starts from it);
            // a frame a drop left shrunk goes at once. Its pixel size would be wrong: the new
            // one comes with the decode.
            if (waitShown) {
                panel2_->setCaption(QStringLiteral("Loading..."));
            } else if (!waiting) {
                if (panel1_->geometry() != ujraatmer(image1_->fullSize(), panel2_->size()))
                    panel1_->hide();
                loadingDelay_->start();
            }
            // The pixel size comes from the header at once; the decode confirms it.
            const QSize header = jpegFrameSizeOf(bytesOf(path));
            st_.status[2] = header.isValid()
                                ? QStringLiteral("%1x%2").arg(header.width()).arg(header.height())
                                : QString();
            pendingRequest_ = cache_->request(bytesOf(path), cover);
        }
    }
    st_.status[3] = kepdatum(bytesOf(path));
    syncStatusBar();
}

void MainWindow::showPhoto(const DecodedPhoto& photo) {
    if (photo.ok) {
        image1_->setImage(photo.image, photo.fullSize);
        fitFrame();
        st_.status[2] =
            QStringLiteral("%1x%2").arg(photo.fullSize.width()).arg(photo.fullSize.height());
        st_.dError = false;
        panel2_->setCaption(QString());
        panel1_->show();
    } else {
        st_.dError = true;
        st_.status[2].clear(); // the previous photo's size would say this one has pixels
        panel1_->hide();
        panel2_->setCaption(QStringLiteral("Load Error"));
    }
    QStringList next;
    for (const QString& neighbour : neighbours(st_))
        next << bytesOf(neighbour);
    cache_->prefetch(next, decodeCover());
}

void MainWindow::photoArrived(quint64 request, const QString& path, const DecodedPhoto& photo) {
    if (request != pendingRequest_) return; // asked for before the photo now wanted
    // A drop's file work moved the photo while it was read: it is read again where it is now.
    const QString bytes = bytesOf(st_.globalnev);
    if (!photo.ok && path != bytes && !sharpening_) {
        pendingRequest_ = cache_->request(bytes, decodeCover());
        return;
    }
    const bool sharper = sharpening_;
    pendingRequest_ = 0;
    sharpening_ = false;
    loadingDelay_->stop();
    if (sharper) {
        if (photo.ok) image1_->setImage(photo.image, photo.fullSize);
        return;
    }
    showPhoto(photo);
    syncStatusBar();
    // The viewer may have grown while the photo was on its way.
    if (photo.ok && !covers(photo, decodeCover())) sharpen_->start();
}

void MainWindow::stopWaiting() {
    if (pendingRequest_ == 0) return;
    cache_->cancelRequest();
    pendingRequest_ = 0;
    sharpening_ = false;
}

void MainWindow::showLoading() {
    if (!photoPending()) return;
    panel1_->hide();
    panel2_->setCaption(QStringLiteral("Loading..."));
}

void MainWindow::refreshDecodeForSize() {
    // A viewer grown beyond what the decoded picture covers gets a sharper decode; a photo still
    // on its way is checked when it comes.
    if (photoPending() || !panel1_->isVisible() || st_.globalnev.isEmpty() ||
        st_.globalnev == kNoPhoto || st_.globalnev == kRelayoutMarker)
        return;
    const QSize cover = decodeCover();
    const DecodedPhoto held{image1_->image(), image1_->fullSize(), true};
    if (covers(held, cover)) return;
    const QString bytes = bytesOf(st_.globalnev);
    if (const auto photo = cache_->cached(bytes, cover)) {
        image1_->setImage(photo->image, photo->fullSize);
        return;
    }
    pendingRequest_ = cache_->request(bytes, cover);
    sharpening_ = true;
}

} // namespace kps
