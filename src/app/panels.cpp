// The nine folder panels: their drawing and their reactions to the pointer.

#include "app/colours.h"
#include "app/loadscan.h"
#include "app/mainwindow.h"
#include "app/panelpainter.h"
#include "app/widgets.h"
#include "core/state/cursor.h"

namespace kps {
namespace {

// Orientation of each slot's folder icon (1 upright, 2 anticlockwise, 3 clockwise) and text.
constexpr std::array<int, kSlotCount> kOrientation{1, 2, 2, 1, 1, 1, 3, 3, 1};
constexpr std::array<int, kSlotCount> kAngle{0, 90, 90, 0, 0, 0, 270, 270, 0};

} // namespace

void MainWindow::kepszinezo() {
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const size_t s = size_t(slot);
        const int n = st_.lists[s].count();
        const int p = n == 0 ? 0 : st_.index[s] + 1;
        const QString& scanText = load_->panelText(slot);
        const QString text = scanText.isEmpty()
                                 ? QStringLiteral("%1 (%2/%3)").arg(st_.szoveg[s]).arg(p).arg(n)
                                 : scanText;
        const QImage* icon = nullptr;
        if (slot == kTrashSlot)
            icon = &art_.png[0];
        else if (slot == kSourceSlot && st_.pirosmappa)
            icon = &art_.png[10];
        else
            icon = pngmappa(art_, kOrientation[s], st_.png[s]);
        const QColor colour = toQColor(panelColour(st_, st_.panelState[s], false), palette());
        kepszinez(*pictures_[s], panels_[s]->size(), colour, st_.megsemmi, text, kAngle[s], icon);
    }
}

void MainWindow::Panel10MouseDown(int slot) {
    st_.panelState.fill(PanelState::Normal);
    st_.indexpanel = slot;
    st_.panelState[size_t(slot)] = PanelState::Selected;
    kepszinezo();
    st_.s1 = listbox(st_, st_.indexpanel);
    kepbetoltes(st_.s1);
    syncStatusBar();
}

void MainWindow::Panel10MouseMove(int slot) {
    if (slot != st_.indexpanel) st_.panelState[size_t(slot)] = PanelState::Hover;
    kepszinezo();
}

void MainWindow::Panel10MouseLeave(int slot) {
    if (slot != st_.indexpanel) st_.panelState[size_t(slot)] = PanelState::Normal;
    kepszinezo();
}

void MainWindow::Image10DblClick(int slot) {
    if (slot < 0 || slot >= kMarkedSlots) return;
    int& mark = st_.png[size_t(slot)];
    if (mark >= kMarkYellow && mark <= kMarkGreen) mark = mark % 3 + 1;
}

} // namespace kps
