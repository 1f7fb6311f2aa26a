// Times the file work of a drop on a 10 MB photo: a move within one file system, and a move with
// one collecting folder, against a floor of copy + fsync + delete measured in the same run.

#include "core/cursor.h"
#include "core/drop.h"
#include "testphotos.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRuns = 15;
constexpr qsizetype kPhotoBytes = 10 << 20;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Writes the photo and forces it to disk, so no run pays for the previous one's writeback.
bool writeDurably(const QString& path, const QByteArray& bytes) {
    if (!kps::test::writeFile(path, bytes)) return false;
    const int fd = ::open(QFile::encodeName(path), O_RDONLY);
    const bool ok = fd >= 0 && ::fsync(fd) == 0;
    if (fd >= 0) ::close(fd);
    return ok;
}

// The least a durable move by copying can cost: copy, fsync the copy, delete the original.
bool copySyncDelete(const QString& from, const QString& to) {
    const int in = ::open(QFile::encodeName(from), O_RDONLY);
    const int out = ::open(QFile::encodeName(to), O_WRONLY | O_CREAT | O_EXCL, 0666);
    bool ok = in >= 0 && out >= 0;
    std::vector<char> buf(size_t(1) << 20);
    while (ok) {
        const ssize_t n = ::read(in, buf.data(), buf.size());
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        ok = ::write(out, buf.data(), size_t(n)) == n;
    }
    ok = ok && ::fsync(out) == 0;
    if (in >= 0) ::close(in);
    if (out >= 0) ::close(out);
    return ok && ::unlink(QFile::encodeName(from)) == 0;
}

void clearFolder(const QString& folder) {
    QDir d(folder);
    for (const QString& n : d.entryList(QDir::Files | QDir::Hidden))
        d.remove(n);
}

} // namespace

int main() {
    QTemporaryDir tmp;
    if (!tmp.isValid()) return 1;
    QByteArray bytes(kPhotoBytes, '\0');
    QRandomGenerator rng(42);
    rng.fillRange(reinterpret_cast<quint32*>(bytes.data()), bytes.size() / 4);

    kps::AppState st;
    for (int slot = 0; slot < kps::kSlotCount; ++slot) {
        const QString name = QStringLiteral("f%1").arg(slot);
        QDir(tmp.path()).mkpath(name);
        st.dirs[size_t(slot)] = tmp.path() + u'/' + name + u'/';
    }
    const QString source = st.dirs[0] + QStringLiteral("photo.jpg");
    kps::RealFileOps ops;

    std::vector<double> floor, move, moveBlue;
    for (int run = 0; run < kRuns; ++run) {
        for (const QString& f : st.dirs)
            clearFolder(f);
        if (!writeDurably(source, bytes)) return 1;
        const auto start = Clock::now();
        if (!copySyncDelete(source, st.dirs[1] + QStringLiteral("photo.jpg"))) return 1;
        floor.push_back(msSince(start));

        for (bool blue : {false, true}) {
            for (const QString& f : st.dirs)
                clearFolder(f);
            if (!writeDurably(source, bytes)) return 1;
            st.lists = {};
            st.lists[0].assign({source});
            st.index = {};
            st.indexpanel = 0;
            st.png[2] = blue ? kps::kMarkBlue : kps::kMarkYellow;
            st.panelState = {};
            st.panelState[0] = kps::PanelState::Selected;
            st.panelState[1] = kps::PanelState::DropTarget;
            st.globalnev = source;
            const auto t = Clock::now();
            const kps::DropOutcome out = kps::executeDrop(st, kps::planDrop(st, ops), false, ops);
            const double ms = msSince(t);
            if (!out.ok) {
                std::printf("drop failed: %s\n", qPrintable(out.message));
                return 1;
            }
            (blue ? moveBlue : move).push_back(ms);
        }
    }
    const double f = median(floor);
    std::printf("floor (copy + fsync + delete of 10 MB) ms=%.2f\n", f);
    std::printf("RESULT move ms=%.3f\n", median(move));
    std::printf("RESULT move+blue ratio=%.2f\n", median(moveBlue) / f);
    return 0;
}
