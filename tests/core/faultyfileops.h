#pragma once
// A file system that fails the steps a test chooses, and otherwise works for real. It can also
// play file systems without no-replace renames (link + unlink instead), bind mounts (renames
// between folders refused although the device is one) and ones that refuse to set file times.

#include "core/files/fileops.h"
#include "core/files/nativepath.h"
#include "core/state/cursor.h"

#include <QString>
#include <cerrno>
#include <functional>
#include <optional>
#include <unistd.h>
#include <vector>

namespace kps::test {

enum class FileStep { CopyToTemp, Flush, Verify, Rename, Remove, MakeFolder, Link, Unlink };

enum class Fault {
    Fails,         // the step is not done and reports failure
    DoneThenFails, // the step is done and still reports failure (a retried network request)
};

struct FileCall {
    FileStep step;
    QString path; // the new file for copies, renames and links; the path acted on otherwise
};

class FaultyFileOps : public RealFileOps {
  public:
    // Fails every `step` whose path passes `where`. An empty `where` matches every path.
    void failOn(FileStep step, std::function<bool(const QString&)> where = {},
                Fault how = Fault::Fails) {
        step_ = step;
        where_ = std::move(where);
        how_ = how;
        mode_ = Mode::ByStep;
    }
    // Fails only the call numbered n (from 0) of all the calls in `calls`.
    void failCall(int n, Fault how) {
        callToFail_ = n;
        how_ = how;
        mode_ = Mode::ByCall;
    }

    bool crossFileSystem = false; // no folder shares the dragged file's file system
    bool noReplaceRename = true;  // false: renameat2(RENAME_NOREPLACE) is refused
    bool bindMount = false;       // a rename between two folders gives EXDEV
    bool refuseTimes = false;     // setting a copy's modification time is refused
    int tripped = 0;              // how many calls were failed
    int exitBeforeCall = -1;      // the process ends at once before the call numbered so
    bool fastFlush = false;       // flushes succeed without waiting for the disk (simulations)
    std::function<void(const FileCall&)> beforeCall; // runs before each call, e.g. to hold it
    std::vector<FileCall> calls;                     // every call that can fail, in order

    bool sameFileSystem(const QString& file, const QString& folder) override {
        return !crossFileSystem && RealFileOps::sameFileSystem(file, folder);
    }
    bool makeFolder(const QString& path) override {
        return run(FileStep::MakeFolder, path, [&] { return RealFileOps::makeFolder(path); });
    }
    bool copyToTemp(const QString& from, const QString& tmp) override {
        return run(FileStep::CopyToTemp, tmp, [&] { return RealFileOps::copyToTemp(from, tmp); });
    }
    bool flush(const QString& path) override {
        return run(FileStep::Flush, path, [&] { return fastFlush || RealFileOps::flush(path); });
    }
    bool verify(const QString& from, const QString& tmp) override {
        return run(FileStep::Verify, tmp, [&] { return RealFileOps::verify(from, tmp); });
    }
    RenameResult renameNoReplace(const QString& from, const QString& to) override {
        const std::optional<Fault> f = trip(FileStep::Rename, to);
        if (f == Fault::Fails) return RenameResult::Failed;
        const RenameResult r = RealFileOps::renameNoReplace(from, to);
        return f ? RenameResult::Failed : r;
    }
    bool remove(const QString& path) override {
        return run(FileStep::Remove, path, [&] { return RealFileOps::remove(path); });
    }

  protected:
    int renameNoReplaceCall(const char* from, const char* to) override {
        if (bindMount && levalasztodir(decode(from)) != levalasztodir(decode(to))) return EXDEV;
        return noReplaceRename ? RealFileOps::renameNoReplaceCall(from, to) : EINVAL;
    }
    int linkCall(const char* from, const char* to) override {
        return sysRun(FileStep::Link, decode(to), [&] { return RealFileOps::linkCall(from, to); });
    }
    int unlinkCall(const char* path) override {
        return sysRun(FileStep::Unlink, decode(path),
                      [&] { return RealFileOps::unlinkCall(path); });
    }
    int setTimesCall(int fd, const struct timespec* times) override {
        return refuseTimes ? EPERM : RealFileOps::setTimesCall(fd, times);
    }

  private:
    enum class Mode { None, ByStep, ByCall };

    static QString decode(const char* p) { return pathFromNative(QByteArray(p)); }

    std::optional<Fault> trip(FileStep step, const QString& path) {
        if (int(calls.size()) == exitBeforeCall) ::_exit(0); // the program killed mid-drop
        calls.push_back({step, path});
        if (beforeCall) beforeCall(calls.back());
        const bool hit = mode_ == Mode::ByCall   ? int(calls.size()) - 1 == callToFail_
                         : mode_ == Mode::ByStep ? step == step_ && (!where_ || where_(path))
                                                 : false;
        if (!hit) return std::nullopt;
        ++tripped;
        return how_;
    }
    // Runs a step as the fault plan says; the step's own result counts only when no fault hit.
    template <typename F> bool run(FileStep step, const QString& path, F doIt) {
        const std::optional<Fault> f = trip(step, path);
        if (f == Fault::Fails) return false;
        const bool ok = doIt();
        return ok && !f;
    }
    template <typename F> int sysRun(FileStep step, const QString& path, F doIt) {
        const std::optional<Fault> f = trip(step, path);
        if (f == Fault::Fails) return EIO;
        const int e = doIt();
        return f ? EIO : e;
    }

    Mode mode_ = Mode::None;
    FileStep step_ = FileStep::CopyToTemp;
    std::function<bool(const QString&)> where_;
    Fault how_ = Fault::Fails;
    int callToFail_ = -1;
};

// Matches paths directly inside folder (which ends with the separator).
inline std::function<bool(const QString&)> inFolder(const QString& folder) {
    return [folder](const QString& p) { return levalasztodir(p) == folder; };
}

} // namespace kps::test
