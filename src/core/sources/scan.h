#pragma once
// Folder scans that fill a photo list with the files matching one or two masks.
//
// Entries are folder path + file name, joined without a separator of their own (folder paths
// end with one). Only regular files and links to regular files are listed; folders, links to
// folders, dangling links and special files (pipes, devices) never are. A folder that is
// missing or cannot be read gives nothing; no error is reported. Each listed photo keeps the
// companions (raw and sidecar files, see companions.h) the same folder read found beside it.

#include "core/drop/leftovers.h"
#include "core/state/photolist.h"

#include <QString>

#include <atomic>
#include <ctime>
#include <functional>

namespace kps {

// Lets another thread follow a scan and stop it. The scan looks at `cancelled` before every
// folder and between the entries of a folder, so even a huge tree or folder stops promptly.
struct ScanControl {
    std::atomic<bool> cancelled{false};
    std::atomic<int> photos{0};  // matching files found so far
    std::atomic<int> folders{0}; // folders read so far
    // Runs before each folder is read; tests stand for a slow or stalled device with it.
    std::function<void(const QString& folder)> beforeRead;

    bool isCancelled() const { return cancelled.load(std::memory_order_relaxed); }
};

// One folder, two masks: fills the list with path + name of every matching file. This is the
// load's scan, so it also removes the copy leftovers it meets that were last changed before
// leftoversBefore (see leftovers.h). A scan cancelled through `control` leaves the list as it
// was and returns false.
bool FileList2(PhotoList& sender, const QString& path, const QString& kiterjesztes1,
               const QString& kiterjesztes2, std::time_t leftoversBefore = leftoverCutoff(),
               ScanControl* control = nullptr);

// A folder and every subfolder below it, two masks: fills the list with every matching file,
// and removes the copy leftovers of the top folder. Cancelled: the list stays, false.
bool DirList4(PhotoList& sender, const QString& dir, const QString& kiterjesztes1,
              const QString& kiterjesztes2, std::time_t leftoversBefore = leftoverCutoff(),
              ScanControl* control = nullptr);

// One folder, one mask: fills the list with path + name of every matching file.
void filelist(PhotoList& sender, const QString& path, const QString& filetype);

// True when name matches the wildcard mask ("*" any run, "?" one character), ignoring case.
bool matchesMask(const QString& mask, const QString& name);

// True when a subfolder scan leaves out the subfolder `name` of the folder `diri`: recycle
// bins, system volume data, "{...}" folders and the system's pseudo file systems.
bool isSkippedSubfolder(const QString& diri, const QString& name);

} // namespace kps
