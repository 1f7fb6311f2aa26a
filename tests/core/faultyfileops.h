#pragma once
// A file system that fails the steps a test chooses, and otherwise works for real.

#include "core/cursor.h"
#include "core/fileops.h"

#include <QString>
#include <functional>

namespace kps::test {

enum class FileStep { CopyToTemp, Flush, Verify, Rename, Remove };

class FaultyFileOps : public RealFileOps {
  public:
    // Fails every `step` whose path passes `where`: the new file for copies and renames, the
    // flushed or removed path otherwise. An empty `where` matches every path.
    void failOn(FileStep step, std::function<bool(const QString&)> where = {}) {
        step_ = step;
        where_ = std::move(where);
        armed_ = true;
    }
    // Pretends no folder shares the dragged file's file system, so moves copy and delete.
    bool crossFileSystem = false;
    int tripped = 0; // how many calls were failed

    bool sameFileSystem(const QString& file, const QString& folder) override {
        return !crossFileSystem && RealFileOps::sameFileSystem(file, folder);
    }
    bool copyToTemp(const QString& from, const QString& tmp) override {
        return !trip(FileStep::CopyToTemp, tmp) && RealFileOps::copyToTemp(from, tmp);
    }
    bool flush(const QString& path) override {
        return !trip(FileStep::Flush, path) && RealFileOps::flush(path);
    }
    bool verify(const QString& from, const QString& tmp) override {
        return !trip(FileStep::Verify, tmp) && RealFileOps::verify(from, tmp);
    }
    bool renameNoReplace(const QString& from, const QString& to) override {
        return !trip(FileStep::Rename, to) && RealFileOps::renameNoReplace(from, to);
    }
    bool remove(const QString& path) override {
        return !trip(FileStep::Remove, path) && RealFileOps::remove(path);
    }

  private:
    bool trip(FileStep step, const QString& path) {
        if (!armed_ || step != step_ || (where_ && !where_(path))) return false;
        ++tripped;
        return true;
    }

    bool armed_ = false;
    FileStep step_ = FileStep::CopyToTemp;
    std::function<bool(const QString&)> where_;
};

// Matches paths directly inside folder (which ends with the separator).
inline std::function<bool(const QString&)> inFolder(const QString& folder) {
    return [folder](const QString& p) { return levalasztodir(p) == folder; };
}

} // namespace kps::test
