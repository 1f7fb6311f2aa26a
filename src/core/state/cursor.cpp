#include "core/state/cursor.h"

namespace kps {

QString listbox(AppState& st, int a) {
    if (!validSlot(a)) return kNoPhoto;
    const PhotoList& list = st.lists[size_t(a)];
    const int n = list.count();
    int c = st.index[size_t(a)];
    if (n > 0 && c >= n) c = n - 1;
    if (c < 0) c = 0;
    st.index[size_t(a)] = c;
    if (n == 0) {
        st.status[0] = QStringLiteral("0/0");
        st.status[2].clear();
        st.status[3].clear();
        return kNoPhoto;
    }
    st.status[0] = QStringLiteral("%1/%2").arg(c + 1).arg(n);
    return list.at(c);
}

static void moveCursor(AppState& st, int a, int delta) {
    if (validSlot(a)) st.index[size_t(a)] += delta;
}

void IncIndex(AppState& st, int a) {
    moveCursor(st, a, 1);
}
void Plus10Index(AppState& st, int a) {
    moveCursor(st, a, 10);
}
void Minus10Index(AppState& st, int a) {
    moveCursor(st, a, -10);
}

void DecIndex(AppState& st, int a) {
    if (validSlot(a) && st.index[size_t(a)] != 0) --st.index[size_t(a)];
}

void HomeIndex(AppState& st, int a) {
    if (validSlot(a)) st.index[size_t(a)] = 0;
}

void EndIndex(AppState& st, int a) {
    if (validSlot(a)) st.index[size_t(a)] = st.lists[size_t(a)].count() - 1;
}

void listboxdelete(AppState& st, int a) {
    if (validSlot(a)) st.lists[size_t(a)].removeAt(st.index[size_t(a)]);
}

int listboxkereso(const PhotoList& list, const QString& s) {
    const QString name = levalasztofile(s);
    for (int i = 0; i < list.count(); ++i) {
        if (levalasztofile(list.at(i)) == name) return i;
    }
    return -1;
}

QString levalasztofile(const QString& s) {
    const qsizetype p = s.lastIndexOf(kSep);
    return p < 0 ? QString() : s.mid(p + 1);
}

QString levalasztodir(const QString& s) {
    const qsizetype p = s.lastIndexOf(kSep);
    return p < 0 ? QString() : s.left(p + 1);
}

QString levalasztokit(const QString& s) {
    const qsizetype p = s.lastIndexOf(u'.');
    return p < 0 ? QString() : s.mid(p);
}

int mappaszinszam(const AppState& st, int slot) {
    return slot >= 0 && slot < kMarkedSlots ? st.png[size_t(slot)] : 0;
}

void dirXindex(AppState& st, int slot, int i) {
    if (validSlot(slot)) st.index[size_t(slot)] = i;
}

QString dirXPeek(const AppState& st, int slot) {
    return validSlot(slot) ? st.dirs[size_t(slot)] : QString();
}

} // namespace kps
