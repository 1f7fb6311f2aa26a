// The viewer: shows the current photo fitted into the middle of the window.

#include "app/mainwindow.h"
#include "app/widgets.h"
#include "core/cursor.h"
#include "core/fitting.h"
#include "core/nativepath.h"
#include "core/photocache.h"
#include "core/photodate.h"

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

} // namespace

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
    panel2_->setCaption(QString());
    const bool relayout = st_.globalnev == kRelayoutMarker;
    if (path == st_.globalnev) return;
    st_.globalnev = path;
    st_.status[1] = displayPath(levalasztofile(path));
    st_.status[4] = displayPath(levalasztodir(path));
    if (path == kNoPhoto) {
        panel1_->hide();
        syncStatusBar();
        return;
    }
    if (relayout) {
        // The picture held is the same photo: lay it out again at its full fitted size.
        fitFrame();
        panel1_->show();
    } else {
        const QSize cover = decodeCover();
        if (!cache_->isCached(bytesOf(path), cover)) {
            panel1_->hide();
            panel2_->setCaption(QStringLiteral("Loading..."));
            panel2_->repaint();
        }
        st_.dError = false;
        const DecodedPhoto photo = cache_->get(bytesOf(path), cover);
        if (photo.ok) {
            image1_->setImage(photo.image, photo.fullSize);
            fitFrame();
            st_.status[2] =
                QStringLiteral("%1x%2").arg(photo.fullSize.width()).arg(photo.fullSize.height());
            panel2_->setCaption(QString());
            panel1_->show();
        } else {
            st_.dError = true;
            panel1_->hide();
            panel2_->setCaption(QStringLiteral("Load Error"));
        }
        QStringList next = neighbours(st_);
        for (QString& p : next)
            p = bytesOf(p);
        cache_->prefetch(next, cover);
    }
    st_.status[3] = kepdatum(bytesOf(path));
    syncStatusBar();
}

void MainWindow::refreshDecodeForSize() {
    // A viewer grown beyond what the decoded picture covers gets a sharper decode.
    if (!panel1_->isVisible() || st_.globalnev.isEmpty() || st_.globalnev == kNoPhoto ||
        st_.globalnev == kRelayoutMarker)
        return;
    const QSize cover = decodeCover();
    const DecodedPhoto held{image1_->image(), image1_->fullSize(), true};
    if (covers(held, cover)) return;
    const DecodedPhoto photo = cache_->get(bytesOf(st_.globalnev), cover);
    if (photo.ok) image1_->setImage(photo.image, photo.fullSize);
}

} // namespace kps
