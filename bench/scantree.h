#pragma once
// A folder tree for the scan benchmarks: empty files, most of them not photos.

#include <QDir>
#include <QFile>
#include <QString>

#include <fcntl.h>
#include <random>
#include <unistd.h>
#include <vector>

namespace kps::bench {

inline bool touch(const QString& path) {
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

// Builds the tree under root (ending in "/"): `folderCount` folders hang under random earlier
// folders at most maxDepth deep; every fifth of the `fileCount` files is a photo, and the
// folders hold decoys that a scan must not list. With `companions`, every photo also has a raw
// file and the raw file's sidecar beside it.
inline bool generateScanTree(const QString& root, int folderCount, int fileCount, int maxDepth,
                             bool companions = false) {
    std::mt19937 rng(20240601);
    std::vector<QString> folders{root};
    std::vector<int> depth{0};
    while (int(folders.size()) < folderCount) {
        const size_t parent = std::uniform_int_distribution<size_t>(0, folders.size() - 1)(rng);
        if (depth[parent] >= maxDepth) continue;
        const QString name =
            folders.size() % 97 == 0 ? QStringLiteral(".hidden%1/") : QStringLiteral("Folder %1/");
        folders.push_back(folders[parent] + name.arg(folders.size()));
        depth.push_back(depth[parent] + 1);
        if (!QDir().mkpath(folders.back())) return false;
    }
    static const char* const kPhotoEndings[] = {".jpg", ".JPG", ".jpeg"};
    static const char* const kOtherEndings[] = {".jpg.bak", "_jpg", ".txt", ".png"};
    for (int i = 0; i < fileCount; ++i) {
        const QString& folder = folders[size_t(i % folderCount)];
        const char* ending = i % 5 == 0 ? kPhotoEndings[(i / 5) % 3] : kOtherEndings[i % 4];
        const QString stem = folder + QStringLiteral("IMG_%1").arg(i, 6, 10, QChar(u'0'));
        if (!touch(stem + ending)) return false;
        if (companions && i % 5 == 0 && !(touch(stem + ".CR2") && touch(stem + ".CR2.xmp")))
            return false;
    }
    for (int i = 0; i < folderCount; i += 50) { // folders named like photos
        if (!QDir().mkpath(folders[size_t(i)] + QStringLiteral("trip%1.jpg").arg(i))) return false;
    }
    return true;
}

} // namespace kps::bench
