#include "core/drop/leftovers.h"

#include "core/files/nativepath.h"
#include "core/state/slots.h"

#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kps {

namespace {

constexpr char kPart[] = ".part";
constexpr size_t kPartLen = sizeof(kPart) - 1;
constexpr std::time_t kLeftoverAge = 120; // seconds untouched before a leftover may go

// The salt of a temporary name: lower-case hex as QString::number(n, 16) writes a 32-bit value.
bool isSalt(QStringView hex) {
    if (hex.isEmpty() || hex.size() > 8 || (hex.size() > 1 && hex.front() == u'0')) return false;
    for (const QChar c : hex) {
        if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f'))) return false;
    }
    return true;
}

} // namespace

// A copy's temporary name: "." + a photo's file name + "." + hex salt + ".part".
bool isCopyLeftoverName(const QString& name) {
    const QStringView all(name);
    if (!all.startsWith(u'.') || !all.endsWith(QLatin1String(kPart)) || all.contains(kSep))
        return false;
    const QStringView inner = all.mid(1, all.size() - 1 - qsizetype(kPartLen));
    const qsizetype dot = inner.lastIndexOf(u'.');
    if (dot < 1 || !isSalt(inner.mid(dot + 1))) return false;
    // Only photos are ever copied, so the name inside is a "*.jpg" or "*.jpeg" one.
    const QStringView photo = inner.left(dot);
    return photo.endsWith(u".jpg", Qt::CaseInsensitive) ||
           photo.endsWith(u".jpeg", Qt::CaseInsensitive);
}

std::time_t leftoverCutoff() {
    return std::time(nullptr) - kLeftoverAge;
}

bool removeIfLeftover(int dirFd, const char* name, std::time_t olderThan) {
    const size_t len = std::strlen(name);
    // Cheap tests first: a folder's ordinary entries cost two byte compares.
    if (name[0] != '.' || len <= kPartLen || std::memcmp(name + len - kPartLen, kPart, kPartLen))
        return false;
    if (!isCopyLeftoverName(pathFromNative(name, qsizetype(len)))) return false;
    struct stat st;
    if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) ||
        st.st_ctim.tv_sec >= olderThan)
        return false;
    return ::unlinkat(dirFd, name, 0) == 0;
}

int removeCopyLeftovers(const QString& folder, std::time_t olderThan) {
    if (folder.isEmpty()) return 0; // an empty path would name the current folder
    DIR* d = ::opendir(nativePath(folder).constData());
    if (!d) return 0;
    int removed = 0;
    while (const dirent* e = ::readdir(d))
        removed += removeIfLeftover(::dirfd(d), e->d_name, olderThan) ? 1 : 0;
    ::closedir(d);
    return removed;
}

} // namespace kps
