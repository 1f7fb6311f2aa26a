// The rename and path helpers on arbitrary names: file names come from any disk, in any bytes.
// Input: lines of path bytes. The first is the name to rename; the others are list entries, or
// names already on disk when they start with "!". The first byte of the second line, when
// there is one, is the undo counter. Each property that fails aborts.

#include "core/drop/autorename.h"
#include "core/drop/drop.h"
#include "core/drop/leftovers.h"
#include "core/files/fileops.h"
#include "core/files/nativepath.h"
#include "core/sources/scan.h"
#include "core/state/cursor.h"

#include <QSet>
#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

using namespace kps;

void check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "property failed: %s\n", what);
    std::abort();
}

bool isPhotoName(const QString& name) {
    return matchesMask(QStringLiteral("*.jpg"), name) ||
           matchesMask(QStringLiteral("*.jpeg"), name);
}

// Where autoRename puts its underscores, worked out independently of it.
qsizetype underscoreAt(const QString& nev) {
    const qsizetype nameStart = nev.lastIndexOf(kSep) + 1;
    const qsizetype dot = nev.lastIndexOf(u'.');
    return dot >= nameStart ? dot : nameStart;
}

void checkSplitters(const QString& s) {
    const QString dir = levalasztodir(s), file = levalasztofile(s), kit = levalasztokit(s);
    check(!file.contains(kSep), "file part holds no separator");
    check(dir.isEmpty() || dir.endsWith(kSep), "folder part ends with the separator");
    if (s.contains(kSep)) check(dir + file == s, "folder + file gives the path back");
    check(s.endsWith(kit), "extension is the path's end");
    check(kit.isEmpty() || (kit.startsWith(u'.') && kit.count(u'.') == 1), "one dot in extension");
}

void checkAutoRename(const QString& nev, const PhotoList& list, const QSet<QString>& onDisk) {
    const auto taken = [&](const QString& p) { return onDisk.contains(p.toCaseFolded()); };
    const QString r = autoRename(nev, list, taken);
    const qsizetype added = r.size() - nev.size();
    check(added >= 0 && added <= kMaxRenameUnderscores, "at most 31 underscores");
    const qsizetype at = underscoreAt(nev);
    check(r == nev.left(at) + QString(added, u'_') + nev.mid(at), "underscores at one place");
    check(levalasztodir(r) == levalasztodir(nev), "the folder stays");
    check(r.count(kSep) == nev.count(kSep), "no separator added");
    // Every shorter variant was taken, and a result short of the limit is free.
    for (qsizetype k = 0; k < added; ++k) {
        const QString v = nev.left(at) + QString(k, u'_') + nev.mid(at);
        check(nameListed(v, list) || taken(v), "a skipped name was taken");
    }
    if (added < kMaxRenameUnderscores) check(!nameListed(r, list) && !taken(r), "result is free");
}

void checkKereso(const PhotoList& list, const QString& s) {
    const int i = listboxkereso(list, s);
    const QString name = levalasztofile(s);
    check(i >= -1 && i < list.count(), "position in range");
    const int end = i < 0 ? list.count() : i;
    for (int j = 0; j < end; ++j)
        check(levalasztofile(list.at(j)) != name, "first entry of that name");
    if (i >= 0) check(levalasztofile(list.at(i)) == name, "entry has the name");
}

void checkUndoPath(const QString& trash, const QString& photo, int n) {
    AppState st;
    st.dirs[kTrashSlot] = trash.endsWith(kSep) ? trash : trash + kSep;
    const QString p = undoPath(st, photo, n);
    const QString folder = st.dirs[kTrashSlot] + kUndoFolderName + kSep;
    check(levalasztodir(p) == folder, "undo copy lies in the undo folder");
    check(p.startsWith(folder + QStringLiteral("undo") + QString::number(n)), "undo + number");
    check(p.endsWith(levalasztokit(levalasztofile(photo))), "the photo's extension");
}

void checkLeftovers(const QString& s, quint32 salt) {
    const QString file = levalasztofile(s);
    if (isCopyLeftoverName(s)) {
        check(s.startsWith(u'.') && s.endsWith(QStringLiteral(".part")), "hidden .part name");
        check(!s.contains(kSep), "a leftover name is a file name");
    }
    check(!(isPhotoName(s) && isCopyLeftoverName(s)), "a photo is never a leftover");
    if (s.contains(kSep) && isPhotoName(file)) {
        const QString tmp = copyTempName(s, salt);
        check(levalasztodir(tmp) == levalasztodir(s), "temporary copy in the same folder");
        check(isCopyLeftoverName(levalasztofile(tmp)), "a copy's temporary name is recognised");
        check(!isPhotoName(levalasztofile(tmp)), "no scan lists a copy in progress");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QList<QByteArray> lines =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)).split('\n');
    if (lines.size() > 64) lines.resize(64); // the properties are per name; more adds nothing
    const QString nev = pathFromNative(lines.front());
    QStringList listed;
    QSet<QString> onDisk;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        if (lines[i].startsWith('!'))
            onDisk.insert(pathFromNative(lines[i].mid(1)).toCaseFolded());
        else
            listed << pathFromNative(lines[i]);
    }
    PhotoList list;
    list.assign(listed);
    const int n = lines.size() > 1 && !lines[1].isEmpty() ? std::uint8_t(lines[1][0]) : 1;
    const quint32 salt = quint32(size) * 2654435761u;

    checkAutoRename(nev, list, onDisk);
    for (const QByteArray& line : lines) {
        const QString s = pathFromNative(line);
        check(nativePath(s) == line, "a name keeps its bytes");
        checkSplitters(s);
        checkKereso(list, s);
        checkLeftovers(s, salt);
        checkUndoPath(s, nev, n);
    }
    return 0;
}
