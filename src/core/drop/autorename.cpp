#include "core/drop/autorename.h"

#include "core/state/slots.h"

namespace kps {

namespace {

// Where the underscore goes: before the file name's last "." or, with none, before the name.
// A "." in a folder name is never used, so the new name stays in the same folder.
qsizetype underscorePlace(const QString& nev) {
    const qsizetype nameStart = nev.lastIndexOf(kSep) + 1;
    const qsizetype dot = nev.lastIndexOf(u'.');
    return dot >= nameStart ? dot : nameStart;
}

} // namespace

bool nameListed(const QString& nev, const PhotoList& obj) {
    for (int i = 0; i < obj.count(); ++i) {
        if (obj.at(i).compare(nev, Qt::CaseInsensitive) == 0) return true;
    }
    return false;
}

QString autoRename(QString nev, const PhotoList& obj,
                   const std::function<bool(const QString&)>& alsoTaken) {
    for (int added = 0; added < kMaxRenameUnderscores; ++added) {
        if (!nameListed(nev, obj) && !(alsoTaken && alsoTaken(nev))) break;
        nev.insert(underscorePlace(nev), u'_');
    }
    return nev;
}

} // namespace kps
