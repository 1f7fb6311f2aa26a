#include "core/sources/scan.h"

#include "core/drop/companions.h"
#include "core/files/filecallguard.h"

#include "core/state/slots.h"

#include "core/files/nativepath.h"

#include <QStringList>

#include <algorithm>
#include <array>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace kps {

namespace {

// Wildcard match: "*" matches any run, "?" one element. Both sides arrive case-folded, except
// that `fold` is applied to the name's elements (the byte path lowers ASCII on the fly).
template <typename Ch, typename Fold>
bool globMatch(const Ch* mask, size_t maskLen, const Ch* name, size_t nameLen, Fold fold) {
    constexpr size_t kNone = size_t(-1);
    size_t m = 0, n = 0, star = kNone, resume = 0;
    while (n < nameLen) {
        if (m < maskLen && mask[m] == Ch('*')) {
            star = m++;
            resume = n;
        } else if (m < maskLen && (mask[m] == Ch('?') || mask[m] == fold(name[n]))) {
            ++m;
            ++n;
        } else if (star != kNone) {
            m = star + 1; // let the last "*" swallow one more element and try again
            n = ++resume;
        } else {
            return false;
        }
    }
    while (m < maskLen && mask[m] == Ch('*'))
        ++m;
    return m == maskLen;
}

char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c;
}

bool isAscii(const char* s, size_t len) {
    for (size_t i = 0; i < len; ++i) {
        if (static_cast<unsigned char>(s[i]) >= 0x80) return false;
    }
    return true;
}

std::u32string foldedCodePoints(const QString& s) {
    const QList<uint> ucs4 = s.toCaseFolded().toUcs4();
    return std::u32string(ucs4.begin(), ucs4.end());
}

// The masks of one scan, prepared once. Names come as the raw bytes the folder listing gives:
// an ASCII name against ASCII masks is compared byte-wise (no decoding, no allocation); any
// other name is decoded and case-folded, which gives the same answer for ASCII.
class NameMatcher {
  public:
    explicit NameMatcher(const QStringList& masks) {
        for (const QString& mask : masks) {
            if (std::any_of(mask.begin(), mask.end(), [](QChar c) { return c.unicode() >= 0x80; }))
                allAscii_ = false;
            else
                asciiMasks_.push_back(mask.toLatin1().toLower().toStdString());
            foldedMasks_.push_back(foldedCodePoints(mask));
        }
    }

    bool matches(const char* name, size_t len) const {
        if (allAscii_ && isAscii(name, len)) {
            for (const std::string& m : asciiMasks_) {
                if (globMatch(m.data(), m.size(), name, len, asciiLower)) return true;
            }
            return false;
        }
        const std::u32string folded = foldedCodePoints(pathFromNative(name, qsizetype(len)));
        for (const std::u32string& m : foldedMasks_) {
            if (globMatch(m.data(), m.size(), folded.data(), folded.size(),
                          [](char32_t c) { return c; })) {
                return true;
            }
        }
        return false;
    }

  private:
    bool allAscii_ = true;
    std::vector<std::string> asciiMasks_;
    std::vector<std::u32string> foldedMasks_;
};

// A folder to read: its path as shown and the bytes that name it to the file system. Both
// end with the separator; keeping the bytes avoids re-encoding and keeps odd names exact.
struct Folder {
    QString path;
    QByteArray raw;
};

enum class EntryKind { File, Folder, Other };

bool isDotOrDotDot(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// What a link points at: a regular file counts as a file; a folder, a dangling link or a
// special file counts as nothing, so folder links are never followed.
EntryKind linkTargetKind(int dirFd, const char* name) {
    struct stat st;
    if (fstatat(dirFd, name, &st, 0) != 0) return EntryKind::Other;
    return S_ISREG(st.st_mode) ? EntryKind::File : EntryKind::Other;
}

// Classifies an entry whose type the listing did not give (some file systems leave it out).
EntryKind unknownEntryKind(int dirFd, const char* name) {
    struct stat st;
    if (fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return EntryKind::Other;
    if (S_ISREG(st.st_mode)) return EntryKind::File;
    if (S_ISDIR(st.st_mode)) return EntryKind::Folder;
    if (S_ISLNK(st.st_mode)) return linkTargetKind(dirFd, name);
    return EntryKind::Other;
}

QString decodedName(const char* name, size_t len) {
    return pathFromNative(name, qsizetype(len));
}

// The companions of the photos one folder read found, by photo path.
using CompanionMap = QHash<QString, Companions>;

// Gives the photos read from one folder (files from `first` on) the companions met there, with
// their sizes: one call for each companion, none for a file that belongs to no photo.
void attachCompanions(const Folder& folder, int dirFd, const QStringList& files, qsizetype first,
                      const Companions& candidates, CompanionMap& out) {
    if (candidates.isEmpty()) return;
    QStringList names;
    names.reserve(files.size() - first);
    for (qsizetype i = first; i < files.size(); ++i)
        names << files[i].mid(folder.path.size());
    const std::vector<Companions> found = matchCompanions(names, candidates);
    for (size_t i = 0; i < found.size(); ++i) {
        if (found[i].isEmpty()) continue;
        Companions group = found[i];
        for (Companion& c : group) {
            struct stat st;
            if (::fstatat(dirFd, nativePath(c.name).constData(), &st, 0) == 0)
                c.bytes = qint64(st.st_size);
        }
        out.insert(files[first + qsizetype(i)], std::move(group));
    }
}

// Reads one folder once. Matching files are added to `files` as folder path + name, and the
// companions of those that have any to `companions`; when `subfolders` is given, the
// subfolders a deep scan visits are appended to it. A folder that cannot be opened adds
// nothing. With sweepBefore set, the copy leftovers met on the way that were last changed
// before it are removed (a folder the program copies into). Returns false when `control`
// cancelled the scan; what was read so far is then of no use.
bool readFolder(const Folder& folder, const NameMatcher& matcher, bool followLink,
                QStringList& files, CompanionMap& companions, std::vector<Folder>* subfolders,
                std::time_t sweepBefore, ScanControl* control) {
    if (control) {
        if (control->beforeRead) control->beforeRead(folder.path);
        if (control->isCancelled()) return false;
    }
    const int fd = ::open(folder.raw.constData(),
                          O_RDONLY | O_DIRECTORY | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW));
    if (fd < 0) return true;
    DIR* d = ::fdopendir(fd);
    if (!d) {
        ::close(fd);
        return true;
    }
    const bool wantFolders = subfolders != nullptr;
    const qsizetype firstFile = files.size();
    Companions candidates; // files that may belong to a photo of this folder
    bool cancelled = false;
    while (const dirent* e = ::readdir(d)) {
        if (control && control->isCancelled()) {
            cancelled = true;
            break;
        }
        const char* name = e->d_name;
        if (sweepBefore != 0 && (e->d_type == DT_REG || e->d_type == DT_UNKNOWN) &&
            removeIfLeftover(::dirfd(d), name, sweepBefore))
            continue;
        const size_t len = std::strlen(name);
        int matched = -1; // the mask test runs at most once per entry, and only when needed
        const auto nameMatches = [&] {
            if (matched < 0) matched = matcher.matches(name, len) ? 1 : 0;
            return matched == 1;
        };
        // Only a name that is no photo can be a companion; the extension test is cheap.
        const auto companionName = [&] { return !nameMatches() && mayBeCompanion(name, len); };
        EntryKind kind = EntryKind::Other;
        switch (e->d_type) {
        case DT_REG:
            kind = EntryKind::File;
            break;
        case DT_DIR:
            kind = EntryKind::Folder;
            break;
        case DT_LNK: // folder links are never followed: only a listable name is worth a stat
            if (nameMatches() || companionName()) kind = linkTargetKind(::dirfd(d), name);
            break;
        case DT_UNKNOWN:
            if (wantFolders || nameMatches() || companionName())
                kind = unknownEntryKind(::dirfd(d), name);
            break;
        default:
            break; // pipes, sockets and devices are no photos
        }
        if (kind == EntryKind::File) {
            if (!nameMatches()) {
                if (companionName()) candidates << Companion{decodedName(name, len), 0};
                continue;
            }
            QString path;
            path.reserve(folder.path.size() + qsizetype(len));
            path += folder.path;
            path += decodedName(name, len);
            files.append(std::move(path));
            if (control) control->photos.fetch_add(1, std::memory_order_relaxed);
        } else if (kind == EntryKind::Folder && wantFolders && !isDotOrDotDot(name)) {
            const QString decoded = decodedName(name, len);
            if (isSkippedSubfolder(folder.path, decoded)) continue;
            subfolders->push_back({folder.path + decoded + kSep,
                                   folder.raw + QByteArray(name, qsizetype(len)) + '/'});
        }
    }
    if (!cancelled) attachCompanions(folder, ::dirfd(d), files, firstFile, candidates, companions);
    ::closedir(d);
    if (cancelled) return false;
    if (control) control->folders.fetch_add(1, std::memory_order_relaxed);
    return true;
}

Folder topFolder(const QString& path) {
    return {path, nativePath(path)};
}

QStringList distinctMasks(const QString& a, const QString& b) {
    return a == b ? QStringList{a} : QStringList{a, b};
}

} // namespace

bool matchesMask(const QString& mask, const QString& name) {
    const QByteArray raw = nativePath(name);
    return NameMatcher({mask}).matches(raw.constData(), size_t(raw.size()));
}

bool isSkippedSubfolder(const QString& diri, const QString& name) {
    static const std::array<QString, 4> kSkippedParts = {
        QStringLiteral("$recycle"), QStringLiteral("{"), QStringLiteral("$windows"),
        QStringLiteral("system volume information")};
    // Pseudo file systems of a root scan, never photo folders.
    static const std::array<QString, 3> kSystemFolders = {
        QStringLiteral("/proc"), QStringLiteral("/sys"), QStringLiteral("/dev")};

    const QString lower = name.toLower();
    for (const QString& part : kSkippedParts) {
        if (lower.contains(part)) return true;
    }
    const QString full = (diri + lower).toLower();
    for (const QString& system : kSystemFolders) {
        if (full == system) return true;
    }
    return false;
}

// One folder, two masks: fills the list with path + name of every matching file.
bool FileList2(PhotoList& sender, const QString& path, const QString& kiterjesztes1,
               const QString& kiterjesztes2, std::time_t leftoversBefore, ScanControl* control) {
    noteFileCall("FileList2");
    QStringList files;
    CompanionMap companions;
    if (!readFolder(topFolder(path), NameMatcher(distinctMasks(kiterjesztes1, kiterjesztes2)), true,
                    files, companions, nullptr, leftoversBefore, control))
        return false;
    sender.assign(files, std::move(companions));
    return true;
}

// A folder and every subfolder below it, two masks: fills the list with every matching file.
bool DirList4(PhotoList& sender, const QString& dir, const QString& kiterjesztes1,
              const QString& kiterjesztes2, std::time_t leftoversBefore, ScanControl* control) {
    noteFileCall("DirList4");
    const NameMatcher matcher(distinctMasks(kiterjesztes1, kiterjesztes2));
    QStringList files;
    CompanionMap companions;
    // Breadth-first: the list grows while it is walked. Each folder is read once, for its
    // files and its subfolders together.
    std::vector<Folder> dirLista{topFolder(dir)};
    for (size_t i = 0; i < dirLista.size(); ++i) {
        const Folder diri = dirLista[i]; // a copy: reading appends to dirLista
        // Copies only ever go into the top folder, so only there can leftovers be the program's.
        if (!readFolder(diri, matcher, i == 0, files, companions, &dirLista,
                        i == 0 ? leftoversBefore : 0, control))
            return false;
    }
    sender.assign(files, std::move(companions));
    return true;
}

// One folder, one mask: fills the list with path + name of every matching file.
void filelist(PhotoList& sender, const QString& path, const QString& filetype) {
    QStringList files;
    CompanionMap companions;
    readFolder(topFolder(path), NameMatcher({filetype}), true, files, companions, nullptr, 0,
               nullptr);
    sender.assign(files, std::move(companions));
}

} // namespace kps
