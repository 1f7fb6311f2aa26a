#pragma once
// Folder scans that fill a photo list with the files matching one or two masks.
//
// Entries are folder path + file name, joined without a separator of their own (folder paths
// end with one). Only regular files and links to regular files are listed; folders, links to
// folders, dangling links and special files (pipes, devices) never are. A folder that is
// missing or cannot be read gives nothing; no error is reported.

#include "core/leftovers.h"
#include "core/photolist.h"

#include <QString>

#include <ctime>

namespace kps {

// One folder, two masks: fills the list with path + name of every matching file. This is the
// load's scan, so it also removes the copy leftovers it meets that were last changed before
// leftoversBefore (see leftovers.h).
void FileList2(PhotoList& sender, const QString& path, const QString& kiterjesztes1,
               const QString& kiterjesztes2, std::time_t leftoversBefore = leftoverCutoff());

// A folder and every subfolder below it, two masks: fills the list with every matching file,
// and removes the copy leftovers of the top folder.
void DirList4(PhotoList& sender, const QString& dir, const QString& kiterjesztes1,
              const QString& kiterjesztes2, std::time_t leftoversBefore = leftoverCutoff());

// One folder, one mask: fills the list with path + name of every matching file.
void filelist(PhotoList& sender, const QString& path, const QString& filetype);

// True when name matches the wildcard mask ("*" any run, "?" one character), ignoring case.
bool matchesMask(const QString& mask, const QString& name);

// True when a subfolder scan leaves out the subfolder `name` of the folder `diri`: recycle
// bins, system volume data, "{...}" folders and the system's pseudo file systems.
bool isSkippedSubfolder(const QString& diri, const QString& name);

} // namespace kps
