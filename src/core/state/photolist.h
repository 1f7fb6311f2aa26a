#pragma once
// A slot's photo list: full paths kept sorted ascending without regard to letter case.

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <vector>

namespace kps {

// A file that belongs with a photo (its raw file or a sidecar): its name in the photo's folder
// and its size in bytes (0 when not known).
struct Companion {
    QString name;
    qint64 bytes = 0;
    bool operator==(const Companion&) const = default;
};
using Companions = QList<Companion>; // a photo's companions, in the order the folder gave them

class PhotoList {
  public:
    int count() const { return int(entries_.size()); }
    bool isEmpty() const { return entries_.empty(); }
    const QString& at(int i) const { return entries_[size_t(i)].path; }

    // The position of exactly this path (letter case included), or -1.
    int indexOf(const QString& path) const;
    // Inserts at the sorted place, with the photo's companions, and returns the position it took.
    int insert(const QString& path, const Companions& companions = {});
    void removeAt(int i);
    void clear();
    // Replaces the whole content in one step, sorting the given paths; `companions` gives the
    // companions of the photos that have any, by path.
    void assign(const QStringList& paths, QHash<QString, Companions> companions = {});
    QStringList paths() const;

    // The companions of the listed photo at path (empty for most photos).
    const Companions& companionsOf(const QString& path) const;
    // path names a companion of a listed photo.
    bool holdsCompanion(const QString& path) const;

  private:
    struct Entry {
        QString key; // case-folded path, compared first
        QString path;
    };
    static bool less(const Entry& a, const Entry& b);
    std::vector<Entry> entries_;
    // Only photos with companions take room here, so a folder without raw files pays nothing.
    QHash<QString, Companions> companions_; // by photo path
};

} // namespace kps
