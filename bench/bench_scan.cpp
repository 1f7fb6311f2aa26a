// Times the subfolder scan against find(1) on a tree of 100,000 files in 2,000 folders, and
// again with a raw file and a sidecar beside every photo, which the scan records with it.
//
// Usage: bench_scan [TREE]   (without TREE the trees are generated under /tmp and removed after)

#include "core/sources/scan.h"
#include "scantree.h"

#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int kFolders = 2000;
constexpr int kFiles = 100000;
constexpr int kMaxDepth = 5;
constexpr int kRuns = 7;

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

// Times DirList4 against find on one tree and prints `RESULT <label> ratio=...`; 1 on a
// mismatch of the photos found.
int measure(QString tree, const char* label) {
    if (!tree.endsWith('/')) tree += '/';

    const std::string find = findCommand(tree) + " > /dev/null";
    int companions = 0;
    const auto scan = [&] {
        kps::PhotoList list;
        kps::DirList4(list, tree, QStringLiteral("*.jpg"), QStringLiteral("*.jpeg"));
        companions = 0;
        for (const QString& p : list.paths())
            companions += int(list.companionsOf(p).size());
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
    std::printf("DirList4: %d photos, %d companions, median %.2f ms over %d runs\n", scanned,
                companions, scanMs, kRuns);
    std::printf("find:     %ld photos, median %.2f ms over %d runs\n", found, findMs, kRuns);
    if (found != scanned) {
        std::printf("MISMATCH: DirList4 found %d photos, find %ld\n", scanned, found);
        return 1;
    }
    std::printf("RESULT %s ratio=%.2f\n", label, scanMs / findMs);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1) return measure(QFile::decodeName(argv[1]), "scan");
    for (const bool companions : {false, true}) {
        QTemporaryDir generated(QStringLiteral("/tmp/bench_scan-XXXXXX"));
        if (!generated.isValid()) {
            std::fprintf(stderr, "cannot create a temporary folder\n");
            return 1;
        }
        const QString tree = generated.path();
        std::printf("generating %d files in %d folders under %s%s\n", kFiles, kFolders,
                    qPrintable(tree), companions ? ", with companions" : "");
        if (!kps::bench::generateScanTree(tree + '/', kFolders, kFiles, kMaxDepth, companions)) {
            std::fprintf(stderr, "cannot generate the tree\n");
            return 1;
        }
        if (measure(tree, companions ? "scan_companions" : "scan") != 0) return 1;
    }
    return 0;
}
