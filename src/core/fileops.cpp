#include "core/fileops.h"

#include "core/cursor.h"

#include "core/nativepath.h"

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
    struct stat st;
    return !path.isEmpty() && ::lstat(native(path), &st) == 0;
}

bool RealFileOps::sameFile(const QString& a, const QString& b) {
    struct stat sa, sb;
    return statPath(a, sa) && statPath(b, sb) && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool RealFileOps::sameBytes(const QString& a, const QString& b) {
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

bool RealFileOps::sameFileSystem(const QString& file, const QString& folder) {
    struct stat sf, sd;
    return statPath(file, sf) && statPath(folder, sd) && sf.st_dev == sd.st_dev;
}

bool RealFileOps::copyToTemp(const QString& from, const QString& tmp) {
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
    // The viewer shows a photo's modification time as its date, so the copy keeps it.
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    ok = ok && ::futimens(out.fd, times) == 0;
    ok = out.close() && ok;
    if (!ok) ::unlink(tmpName);
    return ok;
}

bool RealFileOps::flush(const QString& path) {
    Fd fd(openRead(path));
    if (!fd.ok()) return false;
    if (::fsync(fd.fd) == 0) return true;
    // Some file systems cannot sync a folder; its entries then reach the disk with the data.
    struct stat st;
    return errno == EINVAL && ::fstat(fd.fd, &st) == 0 && S_ISDIR(st.st_mode);
}

bool RealFileOps::verify(const QString& from, const QString& tmp) {
    struct stat sf, st;
    return statPath(from, sf) && statPath(tmp, st) && S_ISREG(st.st_mode) &&
           sf.st_size == st.st_size;
}

bool RealFileOps::renameNoReplace(const QString& from, const QString& to) {
    const QByteArray f = native(from), t = native(to);
    if (::renameat2(AT_FDCWD, f, AT_FDCWD, t, RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return false;
    // No RENAME_NOREPLACE here: a hard link refuses an existing name just the same.
    if (::link(f, t) == 0) {
        if (::unlink(f) == 0) return true;
        ::unlink(t);
        return false;
    }
    if (errno != EPERM && errno != ENOTSUP && errno != ENOSYS) return false;
    // Neither (some network and FUSE file systems): look first, then rename.
    struct stat st;
    if (::lstat(t, &st) == 0 || errno != ENOENT) return false;
    return ::rename(f, t) == 0;
}

bool RealFileOps::remove(const QString& path) {
    return ::unlink(native(path)) == 0;
}

bool safeCopy(FileOps& ops, const QString& from, const QString& to) {
    const QString folder = levalasztodir(to);
    if (folder.isEmpty() || ops.exists(to)) return false;
    // Hidden, and not ending in .jpg, so no folder scan ever lists a copy in progress.
    QString tmp;
    for (int tries = 0; tries < 16 && (tmp.isEmpty() || ops.exists(tmp)); ++tries) {
        tmp = folder + u'.' + levalasztofile(to) + u'.' +
              QString::number(QRandomGenerator::global()->generate(), 16) + QStringLiteral(".part");
    }
    if (ops.exists(tmp) || !ops.copyToTemp(from, tmp)) return false;
    if (!ops.flush(tmp) || !ops.verify(from, tmp) || !ops.renameNoReplace(tmp, to)) {
        ops.remove(tmp);
        return false;
    }
    // The new name must be on disk before the caller may delete the original.
    if (!ops.flush(folder)) {
        ops.remove(to);
        return false;
    }
    return true;
}

} // namespace kps
