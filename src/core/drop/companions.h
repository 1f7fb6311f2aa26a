#pragma once
// A photo's companions: the raw files a camera wrote beside it and the sidecar files editors
// left, found by name in the photo's folder. With the option on they go wherever the photo goes.

#include "core/state/photolist.h"

#include <QString>
#include <QStringList>
#include <cstddef>
#include <vector>

namespace kps {

// The extension (without its dot, any letter case) is one a camera gives its raw files.
bool isRawExtension(QStringView ext);

// A listed name (the folder's bytes) that may be a companion: its extension is a raw one,
// ".xmp" or ".pp3". Cheap enough for every entry of a folder.
bool mayBeCompanion(const char* name, size_t len);

// The companions of each photo of one folder: photoNames are the photos' file names, candidates
// the folder's other files that may be companions. A companion's name is the photo's name
// without its extension followed by a raw extension, or a sidecar (".xmp", ".pp3") named after
// the photo or one of its raw files, with that extension added or in its place. The name part
// is compared exactly and the extensions without regard to case. Returns one entry per photo.
std::vector<Companions> matchCompanions(const QStringList& photoNames,
                                        const Companions& candidates);

// The companion's name after the photo's name without its extension ("IMG_1.JPG" and
// "IMG_1.CR2.xmp" give ".CR2.xmp"): the part that stays when the group gets another name.
QString companionTail(const QString& photo, const QString& companion);

// Where companion goes when its photo `photo` goes to `newPhoto` (a full path): the new path's
// folder and name without extension, then the companion's tail.
QString companionPath(const QString& newPhoto, const QString& photo, const QString& companion);

// The companions as they stand beside newPhoto once the photo has gone there.
Companions companionsAt(const QString& newPhoto, const QString& photo,
                        const Companions& companions);

// The bytes the companions hold, as far as the listing knows them.
qint64 companionBytes(const Companions& companions);

// The viewer's marker for a photo with companions: "RAW", "XMP" or "RAW+XMP"; empty for none.
QString companionMarker(const Companions& companions);

} // namespace kps
