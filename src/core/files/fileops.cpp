#include "core/files/fileops.h"

#include "core/files/filecallguard.h"
#include "core/state/cursor.h"

#include "core/files/nativepath.h"

#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace kps {

namespace {

// Closes the descriptor when it goes out of scope.
struct Fd {
    int fd = -1;
    explicit Fd(int f) : fd(f) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
    bool ok() const { return fd >= 0; }
    // Closes now and tells whether the close succeeded; a failed close can mean lost data.
    bool close() {
        const int r = ::close(fd);
        fd = -1;
        return r == 0;
    }
};

QByteArray native(const QString& path) {
    return nativePath(path);
}

bool statPath(const QString& path, struct stat& st) {
    return ::stat(native(path), &st) == 0;
}

// No entry stands at the name (an error other than "no such entry" is no proof of that).
bool isGone(const char* path) {
    struct stat st;
    return ::lstat(path, &st) != 0 && errno == ENOENT;
}

bool sameInode(const char* a, const char* b) {
    struct stat sa, sb;
    return ::lstat(a, &sa) == 0 && ::lstat(b, &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

int openRead(const QString& path) {
    return ::open(native(path), O_RDONLY | O_CLOEXEC);
}

// Reads up to n bytes, retrying short reads; returns the count read, or -1.
ssize_t readFully(int fd, char* buf, size_t n) {
    size_t got = 0;
    while (got < n) {
        const ssize_t r = ::read(fd, buf + got, n - got);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return -1;
        if (r == 0) break;
        got += size_t(r);
    }
    return ssize_t(got);
}

bool writeFully(int fd, const char* buf, size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(fd, buf, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        buf += w;
        n -= size_t(w);
    }
    return true;
}

constexpr size_t kChunk = size_t(1) << 20;

} // namespace

bool RealFileOps::exists(const QString& path) {
    noteFileCall("FileOps::exists");
    struct stat st;
    return !path.isEmpty() && ::lstat(native(path), &st) == 0;
}

bool RealFileOps::isLink(const QString& path) {
    noteFileCall("FileOps::isLink");
    struct stat st;
    return !path.isEmpty() && ::lstat(native(path), &st) == 0 && S_ISLNK(st.st_mode);
}

bool RealFileOps::sameFile(const QString& a, const QString& b) {
    noteFileCall("FileOps::sameFile");
    struct stat sa, sb;
    return statPath(a, sa) && statPath(b, sb) && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool RealFileOps::sameBytes(const QString& a, const QString& b) {
    noteFileCall("FileOps::sameBytes");
    Fd fa(openRead(a)), fb(openRead(b));
    if (!fa.ok() || !fb.ok()) return false;
    struct stat sa, sb;
    if (::fstat(fa.fd, &sa) != 0 || ::fstat(fb.fd, &sb) != 0) return false;
    if (!S_ISREG(sa.st_mode) || !S_ISREG(sb.st_mode) || sa.st_size != sb.st_size) return false;
    std::vector<char> ba(kChunk), bb(kChunk);
    for (;;) {
        const ssize_t na = readFully(fa.fd, ba.data(), kChunk);
        const ssize_t nb = readFully(fb.fd, bb.data(), kChunk);
        if (na < 0 || na != nb) return false;
        if (na == 0) return true;
        if (std::memcmp(ba.data(), bb.data(), size_t(na)) != 0) return false;
    }
}

// One device can be mounted at several places (bind mounts), and a rename between two of them
// is refused: a rename needs the same mount.
bool RealFileOps::sameFileSystem(const QString& file, const QString& folder) {
    noteFileCall("FileOps::sameFileSystem");
    const quint64 mount = mountOf(file);
    return mount != 0 && mount == mountOf(folder);
}

bool RealFileOps::makeFolder(const QString& path) {
    noteFileCall("FileOps::makeFolder");
    struct stat st;
    const QByteArray p = native(path);
    return !path.isEmpty() && (::mkdir(p, 0777) == 0 || errno == EEXIST) && ::stat(p, &st) == 0 &&
           S_ISDIR(st.st_mode);
}

bool RealFileOps::copyToTemp(const QString& from, const QString& tmp) {
    noteFileCall("FileOps::copyToTemp");
    Fd in(openRead(from));
    struct stat st;
    if (!in.ok() || ::fstat(in.fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    const QByteArray tmpName = native(tmp);
    Fd out(::open(tmpName, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!out.ok()) return false;
    std::vector<char> buf(kChunk);
    bool ok = true;
    for (;;) {
        const ssize_t n = readFully(in.fd, buf.data(), kChunk);
        if (n < 0 || !writeFully(out.fd, buf.data(), size_t(n))) {
            ok = false;
            break;
        }
        if (n == 0) break;
    }
    // The viewer shows a photo's modification time as its date, so the copy keeps it where the
    // file system lets it; one that refuses still gets the photo.
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    if (ok) setTimesCall(out.fd, times);
    ok = out.close() && ok;
    if (!ok) ::unlink(tmpName);
    return ok;
}

bool RealFileOps::flush(const QString& path) {
    noteFileCall("FileOps::flush");
    Fd fd(openRead(path));
    if (!fd.ok()) return false;
    if (::fsync(fd.fd) == 0) return true;
    // Some file systems cannot sync a folder; its entries then reach the disk with the data.
    struct stat st;
    return errno == EINVAL && ::fstat(fd.fd, &st) == 0 && S_ISDIR(st.st_mode);
}

bool RealFileOps::verify(const QString& from, const QString& tmp) {
    noteFileCall("FileOps::verify");
    struct stat sf, st;
    return statPath(from, sf) && statPath(tmp, st) && S_ISREG(st.st_mode) &&
           sf.st_size == st.st_size;
}

RenameResult RealFileOps::renameNoReplace(const QString& from, const QString& to) {
    noteFileCall("FileOps::renameNoReplace");
    const QByteArray f = native(from), t = native(to);
    int e = renameNoReplaceCall(f, t);
    if (e == 0) return RenameResult::Done;
    if (e == EXDEV) return RenameResult::CrossDevice; // a bind mount: same device, no rename
    if (e != EINVAL && e != ENOSYS && e != ENOTSUP) return RenameResult::Failed;
    // No RENAME_NOREPLACE here: a hard link refuses an existing name just the same. A link can
    // be made and still reported failed (a retried request then finds its own name taken).
    e = linkCall(f, t);
    if (e == 0 || sameInode(f, t)) return dropOldName(f, t);
    if (e == EXDEV) return RenameResult::CrossDevice;
    if (e != EPERM && e != ENOTSUP && e != ENOSYS) return RenameResult::Failed;
    // Neither (some network and FUSE file systems): look first, then rename.
    if (!isGone(t)) return RenameResult::Failed;
    e = renameCall(f, t);
    return e == 0       ? RenameResult::Done
           : e == EXDEV ? RenameResult::CrossDevice
                        : RenameResult::Failed;
}

// The file has both names; the old one goes. A retried unlink can report failure after it
// removed the name, so the disk decides, and the new name is only dropped while the old one
// still leads to the same file.
RenameResult RealFileOps::dropOldName(const QByteArray& f, const QByteArray& t) {
    if (unlinkCall(f) == 0) return RenameResult::Done;
    if (isGone(f)) {
        struct stat st;
        return ::lstat(t, &st) == 0 ? RenameResult::Done : RenameResult::Failed;
    }
    if (sameInode(f, t)) unlinkCall(t);
    return RenameResult::Failed;
}

bool RealFileOps::remove(const QString& path) {
    noteFileCall("FileOps::remove");
    return ::unlink(native(path)) == 0;
}

quint64 mountOf(const QString& path) {
    noteFileCall("mountOf");
    struct statx sx;
    if (path.isEmpty() || ::statx(AT_FDCWD, native(path), 0, STATX_MNT_ID, &sx) != 0) return 0;
    if (sx.stx_mask & STATX_MNT_ID) return sx.stx_mnt_id;
    // No mount ids from this kernel: the device stands for the mount.
    return (quint64(sx.stx_dev_major) << 32 | sx.stx_dev_minor) | (quint64(1) << 63);
}

int RealFileOps::renameNoReplaceCall(const char* from, const char* to) {
    return ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0 ? 0 : errno;
}

int RealFileOps::linkCall(const char* from, const char* to) {
    return ::link(from, to) == 0 ? 0 : errno;
}

int RealFileOps::unlinkCall(const char* path) {
    return ::unlink(path) == 0 ? 0 : errno;
}

int RealFileOps::renameCall(const char* from, const char* to) {
    return ::rename(from, to) == 0 ? 0 : errno;
}

int RealFileOps::setTimesCall(int fd, const struct timespec* times) {
    return ::futimens(fd, times) == 0 ? 0 : errno;
}

QString copyTempName(const QString& to, quint32 salt) {
    // Hidden, and not ending in .jpg, so no folder scan ever lists a copy in progress.
    return levalasztodir(to) + u'.' + levalasztofile(to) + u'.' + QString::number(salt, 16) +
           QStringLiteral(".part");
}

namespace {

// Removes the temporary file of a copy, which is never the only copy of the photo: its
// source was only read, or the copy already stands under its real name.
void discardTemp(FileOps& ops, const QString& from, const QString& tmp, bool placed) {
    if (ops.exists(tmp) && (placed || ops.exists(from))) ops.remove(tmp);
}

} // namespace

CopyResult safeCopy(FileOps& ops, const QString& from, const QString& to) {
    const QString folder = levalasztodir(to);
    if (folder.isEmpty()) return CopyResult::Failed;
    if (ops.exists(to)) return CopyResult::Taken;
    QString tmp;
    for (int tries = 0; tries < 16 && (tmp.isEmpty() || ops.exists(tmp)); ++tries)
        tmp = copyTempName(to, QRandomGenerator::global()->generate());
    if (ops.exists(tmp)) return CopyResult::Failed;

    bool placed = ops.copyToTemp(from, tmp) && ops.flush(tmp) && ops.verify(from, tmp);
    if (placed && ops.renameNoReplace(tmp, to) != RenameResult::Done) {
        // A rename can take effect and still report failure (a retried network request).
        placed = ops.exists(to) && ops.sameBytes(from, to);
    }
    discardTemp(ops, from, tmp, placed);
    if (!placed) return ops.exists(to) ? CopyResult::Taken : CopyResult::Failed;
    // The new name must be on disk before the caller may delete the original; a name that may
    // not survive a power loss goes again while the photo is intact where it came from.
    if (!ops.flush(folder)) {
        if (ops.sameBytes(from, to)) ops.remove(to);
        return ops.exists(to) ? CopyResult::LeftBehind : CopyResult::Failed;
    }
    return CopyResult::Done;
}

} // namespace kps
