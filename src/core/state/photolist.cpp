#include "core/state/photolist.h"

#include "core/state/slots.h"

#include <algorithm>

namespace kps {

bool PhotoList::less(const Entry& a, const Entry& b) {
    const int c = a.key.compare(b.key);
    if (c != 0) return c < 0;
    return a.path < b.path; // a stable order for names that differ only in case
}

int PhotoList::insert(const QString& path, const Companions& companions) {
    if (!companions.isEmpty()) companions_.insert(path, companions);
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
    if (i < 0 || i >= count()) return;
    if (!companions_.isEmpty()) companions_.remove(at(i));
    entries_.erase(entries_.begin() + i);
}

void PhotoList::clear() {
    entries_.clear();
    companions_.clear();
}

void PhotoList::assign(const QStringList& paths, QHash<QString, Companions> companions) {
    companions_ = std::move(companions);
    std::vector<Entry> fresh;
    fresh.reserve(size_t(paths.size()));
    for (const QString& p : paths)
        fresh.push_back({p.toCaseFolded(), p});
    std::sort(fresh.begin(), fresh.end(), less);
    entries_ = std::move(fresh);
}

const Companions& PhotoList::companionsOf(const QString& path) const {
    static const Companions kNone;
    const auto it = companions_.constFind(path);
    return it == companions_.cend() ? kNone : it.value();
}

bool PhotoList::holdsCompanion(const QString& path) const {
    if (companions_.isEmpty()) return false;
    const QString name = path.mid(path.lastIndexOf(kSep) + 1);
    // A companion's photo shares its name up to one of its last two dots, and such names
    // stand together in the sorted list.
    QString stem = path;
    for (int dots = 0; dots < 2; ++dots) {
        const qsizetype dot = stem.lastIndexOf(u'.');
        if (dot <= path.lastIndexOf(kSep)) return false;
        stem.truncate(dot);
        const Entry from{stem.toCaseFolded(), stem};
        for (auto it = std::lower_bound(entries_.begin(), entries_.end(), from, less);
             it != entries_.end() && it->key.startsWith(from.key); ++it) {
            if (!it->path.startsWith(stem + u'.')) continue;
            for (const Companion& c : companionsOf(it->path)) {
                if (c.name == name) return true;
            }
        }
    }
    return false;
}

QStringList PhotoList::paths() const {
    QStringList out;
    out.reserve(count());
    for (const Entry& e : entries_)
        out << e.path;
    return out;
}

} // namespace kps
