#pragma once
// The program's own leftovers: hidden ".NAME.<hex>.part" files of copies that never finished
// (the program was killed, or the disk was pulled), found and removed where folders are read.

#include <QString>

#include <ctime>

namespace kps {

// The file name is one that a copy of a photo is written under before it gets its real name.
bool isCopyLeftoverName(const QString& name);

// The leftovers one clean-up started now may remove: untouched for two minutes, so that a copy
// still being written (its every write touches the file) is left alone.
std::time_t leftoverCutoff();

// Removes the entry `name` of the open folder dirFd when it is a copy leftover: a regular file
// of that name whose last change came before olderThan. Anything else is never touched.
bool removeIfLeftover(int dirFd, const char* name, std::time_t olderThan);

// Removes the copy leftovers directly in folder; returns how many went.
int removeCopyLeftovers(const QString& folder, std::time_t olderThan);

} // namespace kps
