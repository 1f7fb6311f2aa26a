#pragma once
// A slot's photo list: full paths kept sorted ascending without regard to letter case.

#include <QString>
#include <QStringList>
#include <vector>

namespace kps {

class PhotoList {
  public:
    int count() const { return int(entries_.size()); }
    bool isEmpty() const { return entries_.empty(); }
    const QString& at(int i) const { return entries_[size_t(i)].path; }

    // The position of exactly this path (letter case included), or -1.
    int indexOf(const QString& path) const;
    // Inserts at the sorted place and returns the position it took.
    int insert(const QString& path);
    void removeAt(int i);
    void clear() { entries_.clear(); }
    // Replaces the whole content in one step, sorting the given paths.
    void assign(const QStringList& paths);
    QStringList paths() const;

  private:
    struct Entry {
        QString key; // case-folded path, compared first
        QString path;
    };
    static bool less(const Entry& a, const Entry& b);
    std::vector<Entry> entries_;
};

} // namespace kps
