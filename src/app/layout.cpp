// The frame of folder panels around the viewer, laid out from the client size.

#include "app/mainwindow.h"
#include "app/menupage.h"
#include "app/viewer.h"
#include "app/widgets.h"

#include <QScrollArea>
#include <QTimer>

namespace kps {

void MainWindow::FormResize() {
    // Bounds never go negative, so a tiny window stays usable.
    const int w = qMax(0, client_->width());
    const int h = qMax(0, client_->height());
    const int t = qMax(0, (w - 100) / 3);
    const int v = qMax(0, (h - 100) / 2);
    const int right = qMax(0, w - 50);

    auto place = [](QWidget* c, int left, int top, int width, int height) {
        c->setGeometry(left, top, qMax(0, width), qMax(0, height));
    };
    QFrame* trash = panels_[kTrashSlot];
    place(trash, 50, 0, t, 50);
    place(panels_[0], trash->x() + trash->width(), 0, 2 * t, 50);
    place(panels_[1], 0, 50, 50, v);
    place(panels_[2], 0, panels_[1]->y() + panels_[1]->height(), 50, v);
    place(panels_[7], right, 50, 50, v);
    place(panels_[6], right, panels_[7]->y() + panels_[7]->height(), 50, v);
    place(panels_[3], 50, panels_[2]->y() + panels_[2]->height(), t, 50);
    place(panels_[4], panels_[3]->x() + panels_[3]->width(), panels_[3]->y(), t, 50);
    place(panels_[5], panels_[4]->x() + panels_[4]->width(), panels_[4]->y(), t, 50);
    place(panel2_, 50, 50, w - 100, h - 100);
    corners_[0]->move(0, 0);
    corners_[1]->move(0, panels_[3]->y());
    corners_[2]->move(panels_[6]->x(), panels_[3]->y());
    corners_[3]->move(panels_[6]->x(), 0);
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const QRect inside(QPoint(0, 0), panels_[size_t(slot)]->size());
        pictures_[size_t(slot)]->setGeometry(inside);
        if (slot == kTrashSlot)
            panels_[size_t(slot)]
                ->findChild<QWidget*>(QStringLiteral("Image7"))
                ->setGeometry(inside);
    }

    // The photo frame keeps its visibility; only its bounds follow the viewer.
    viewer_->fitFrame();
    viewer_->sharpenLater();

    QFrame* page = menu_->panel20;
    page->setGeometry(panel2_->width() / 2 - page->width() / 2, 10, page->width(),
                      qMax(0, panel2_->height() - 20));
    menu_->scrollBox1->setGeometry(page->rect().adjusted(1, 1, -1, -1));

    kepszinezo();
}

} // namespace kps
