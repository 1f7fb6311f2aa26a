#pragma once
// New names for a photo whose name is already taken in a folder.

#include "core/state/photolist.h"

#include <QString>
#include <functional>

namespace kps {

// Most underscores autoRename adds to one name.
inline constexpr int kMaxRenameUnderscores = 31;

// An entry of obj equals nev, ignoring letter case.
bool nameListed(const QString& nev, const PhotoList& obj);

// autoRename: the first variant of path nev, made by inserting "_" before the last "." of its
// file name (or in front of the file name when it has no "."), that no entry of obj equals
// ignoring letter case and that alsoTaken (when given) does not reject. After the 31st
// insertion the name is returned unchecked, so callers that need a free name check it again.
QString autoRename(QString nev, const PhotoList& obj,
                   const std::function<bool(const QString&)>& alsoTaken = {});

} // namespace kps
