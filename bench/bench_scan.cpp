// Times the subfolder scan against find(1) on a tree of 100,000 files in 2,000 folders.
//
// Usage: bench_scan [TREE]   (without TREE a tree is generated under /tmp and removed after)

#include "core/scan.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kFolders = 2000;
constexpr int kFiles = 100000;
constexpr int kMaxDepth = 5;
constexpr int kRuns = 7;

bool touch(const QString& path) {
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

// Builds the tree: folders hang under random earlier folders at most kMaxDepth deep; every
// fifth file is a photo, and each folder holds decoys that a scan must not list.
bool generateTree(const QString& root) {
    std::mt19937 rng(20240601);
    std::vector<QString> folders{root};
    std::vector<int> depth{0};
    while (int(folders.size()) < kFolders) {
        const size_t parent = std::uniform_int_distribution<size_t>(0, folders.size() - 1)(rng);
        if (depth[parent] >= kMaxDepth) continue;
        const QString name =
            folders.size() % 97 == 0 ? QStringLiteral(".hidden%1/") : QStringLiteral("Folder %1/");
        folders.push_back(folders[parent] + name.arg(folders.size()));
        depth.push_back(depth[parent] + 1);
        if (!QDir().mkpath(folders.back())) return false;
    }
    static const char* const kPhotoEndings[] = {".jpg", ".JPG", ".jpeg"};
    static const char* const kOtherEndings[] = {".jpg.bak", "_jpg", ".txt", ".png"};
    for (int i = 0; i < kFiles; ++i) {
        const QString& folder = folders[size_t(i % kFolders)];
        const char* ending = i % 5 == 0 ? kPhotoEndings[(i / 5) % 3] : kOtherEndings[i % 4];
        if (!touch(folder + QStringLiteral("IMG_%1").arg(i, 6, 10, QChar(u'0')) + ending))
            return false;
    }
    for (int i = 0; i < kFolders; i += 50) { // folders named like photos
        if (!QDir().mkpath(folders[size_t(i)] + QStringLiteral("trip%1.jpg").arg(i))) return false;
    }
    return true;
}

std::string findCommand(const QString& tree) {
    std::string quoted = "'";
    for (char c : QFile::encodeName(tree).toStdString())
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    quoted += "'";
    return "find " + quoted + " -type f \\( -iname '*.jpg' -o -iname '*.jpeg' \\)";
}

long countFindResults(const std::string& command) {
    FILE* pipe = ::popen((command + " | wc -l").c_str(), "r");
    if (!pipe) return -1;
    long n = -1;
    if (std::fscanf(pipe, "%ld", &n) != 1) n = -1;
    ::pclose(pipe);
    return n;
}

template <typename F> double timeMs(F&& f) {
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    QTemporaryDir generated(QStringLiteral("/tmp/bench_scan-XXXXXX"));
    QString tree;
    if (argc > 1) {
        tree = QFile::decodeName(argv[1]);
    } else {
        if (!generated.isValid()) {
            std::fprintf(stderr, "cannot create a temporary folder\n");
            return 1;
        }
        tree = generated.path();
        std::printf("generating %d files in %d folders under %s\n", kFiles, kFolders,
                    qPrintable(tree));
        if (!generateTree(tree + '/')) {
            std::fprintf(stderr, "cannot generate the tree\n");
            return 1;
        }
    }
    if (!tree.endsWith('/')) tree += '/';

    const std::string find = findCommand(tree) + " > /dev/null";
    const auto scan = [&] {
        kps::PhotoList list;
        kps::DirList4(list, tree, QStringLiteral("*.jpg"), QStringLiteral("*.jpeg"));
        return list.count();
    };
    const auto runFind = [&] {
        if (std::system(find.c_str()) != 0) std::fprintf(stderr, "find failed\n");
    };

    const int scanned = scan(); // warm-up runs, untimed
    runFind();
    const long found = countFindResults(findCommand(tree));

    std::vector<double> scanTimes, findTimes;
    for (int i = 0; i < kRuns; ++i) {
        scanTimes.push_back(timeMs(scan));
        findTimes.push_back(timeMs(runFind));
    }
    const double scanMs = median(scanTimes);
    const double findMs = median(findTimes);
    std::printf("DirList4: %d photos, median %.2f ms over %d runs\n", scanned, scanMs, kRuns);
    std::printf("find:     %ld photos, median %.2f ms over %d runs\n", found, findMs, kRuns);
    if (found != scanned) {
        std::printf("MISMATCH: DirList4 found %d photos, find %ld\n", scanned, found);
        return 1;
    }
    std::printf("RESULT scan ratio=%.2f\n", scanMs / findMs);
    return 0;
}
