#include "core/state/photolist.h"

#include <algorithm>

namespace kps {

bool PhotoList::less(const Entry& a, const Entry& b) {
    const int c = a.key.compare(b.key);
    if (c != 0) return c < 0;
    return a.path < b.path; // a stable order for names that differ only in case
}

int PhotoList::insert(const QString& path) {
    Entry e{path.toCaseFolded(), path};
    auto it = std::upper_bound(entries_.begin(), entries_.end(), e, less);
    it = entries_.insert(it, std::move(e));
    return int(it - entries_.begin());
}

int PhotoList::indexOf(const QString& path) const {
    const Entry wanted{path.toCaseFolded(), path};
    const auto it = std::lower_bound(entries_.begin(), entries_.end(), wanted, less);
    return it != entries_.end() && it->path == path ? int(it - entries_.begin()) : -1;
}

void PhotoList::removeAt(int i) {
    if (i >= 0 && i < count()) entries_.erase(entries_.begin() + i);
}

void PhotoList::assign(const QStringList& paths) {
    std::vector<Entry> fresh;
    fresh.reserve(size_t(paths.size()));
    for (const QString& p : paths)
        fresh.push_back({p.toCaseFolded(), p});
    std::sort(fresh.begin(), fresh.end(), less);
    entries_ = std::move(fresh);
}

QStringList PhotoList::paths() const {
    QStringList out;
    out.reserve(count());
    for (const Entry& e : entries_)
        out << e.path;
    return out;
}

} // namespace kps
