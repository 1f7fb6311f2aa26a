#include "core/state/photolist.h"

#include "core/state/slots.h"

#include <algorithm>

namespace kps {

namespace {

// The folder part of a listed path: companions lie beside their photo.
QString folderOf(const QString& path) {
    return path.left(path.lastIndexOf(kSep) + 1);
}

} // namespace

bool PhotoList::less(const Entry& a, const Entry& b) {
    const int c = a.key.compare(b.key);
    if (c != 0) return c < 0;
    return a.path < b.path; // a stable order for names that differ only in case
}

int PhotoList::insert(const QString& path, const Companions& companions) {
    if (!companions.isEmpty()) setCompanions(path, companions);
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
    if (!companions_.isEmpty()) dropCompanions(at(i));
    entries_.erase(entries_.begin() + i);
}

void PhotoList::clear() {
    entries_.clear();
    companions_.clear();
    owners_.clear();
}

void PhotoList::assign(const QStringList& paths, QHash<QString, Companions> companions) {
    owners_.clear();
    companions_ = std::move(companions);
    for (auto it = companions_.cbegin(); it != companions_.cend(); ++it) {
        const QString folder = folderOf(it.key());
        for (const Companion& c : it.value())
            owners_.insert(folder + c.name, it.key());
    }
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

void PhotoList::setCompanions(const QString& path, const Companions& companions) {
    dropCompanions(path);
    companions_.insert(path, companions);
    const QString folder = folderOf(path);
    for (const Companion& c : companions)
        owners_.insert(folder + c.name, path);
}

void PhotoList::dropCompanions(const QString& path) {
    const auto it = companions_.constFind(path);
    if (it == companions_.cend()) return;
    const QString folder = folderOf(path);
    for (const Companion& c : it.value()) {
        if (owners_.value(folder + c.name) == path) owners_.remove(folder + c.name);
    }
    companions_.erase(it);
}

QStringList PhotoList::paths() const {
    QStringList out;
    out.reserve(count());
    for (const Entry& e : entries_)
        out << e.path;
    return out;
}

} // namespace kps
