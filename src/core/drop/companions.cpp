#include "core/drop/companions.h"

#include "core/state/cursor.h"

#include <QMultiHash>
#include <QSet>
#include <algorithm>
#include <array>
#include <string_view>

namespace kps {

namespace {

// Every companion extension has three letters, which keeps the test of a listed name short.
constexpr size_t kExtLen = 3;

// Raw extensions, lower case, sorted for the binary search.
constexpr std::array<std::string_view, 25> kRawExtensions = {
    "3fr", "arw", "cr2", "cr3", "crw", "dcr", "dng", "erf", "iiq", "kdc", "mef", "mos", "mrw",
    "nef", "nrw", "orf", "pef", "raf", "raw", "rw2", "rwl", "sr2", "srf", "srw", "x3f"};
constexpr std::array<std::string_view, 2> kSidecarExtensions = {"pp3", "xmp"};

// The last three characters of an ASCII extension, lowered; "" when the name has no such one.
std::string lowerExt(QStringView ext) {
    if (size_t(ext.size()) != kExtLen) return {};
    std::string out(kExtLen, '\0');
    for (size_t i = 0; i < kExtLen; ++i) {
        const char16_t c = ext[qsizetype(i)].unicode();
        if (c >= 0x80) return {};
        out[i] = char(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    }
    return out;
}

template <size_t N> bool listed(const std::array<std::string_view, N>& set, std::string_view e) {
    return std::binary_search(set.begin(), set.end(), e);
}

bool isSidecarExtension(QStringView ext) {
    return listed(kSidecarExtensions, lowerExt(ext));
}

// The name's last extension with its dot, when it is a three-letter one ("" otherwise).
QStringView ext3(QStringView name) {
    const qsizetype dot = name.size() - qsizetype(kExtLen) - 1;
    return dot >= 0 && name[dot] == u'.' ? name.mid(dot + 1) : QStringView();
}

QString stemOf(const QString& name) {
    return name.chopped(levalasztokit(name).size());
}

// The file name of a path, or the name itself (levalasztofile gives "" without a separator).
QString fileName(const QString& path) {
    return path.mid(path.lastIndexOf(kSep) + 1);
}

} // namespace

bool isRawExtension(QStringView ext) {
    return listed(kRawExtensions, lowerExt(ext));
}

bool mayBeCompanion(const char* name, size_t len) {
    if (len <= kExtLen || name[len - kExtLen - 1] != '.') return false;
    char e[kExtLen];
    for (size_t i = 0; i < kExtLen; ++i) {
        const char c = name[len - kExtLen + i];
        e[i] = c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c;
    }
    const std::string_view ext(e, kExtLen);
    return listed(kRawExtensions, ext) || listed(kSidecarExtensions, ext);
}

std::vector<Companions> matchCompanions(const QStringList& photoNames,
                                        const Companions& candidates) {
    std::vector<Companions> out(size_t(photoNames.size()));
    if (candidates.isEmpty()) return out;
    QMultiHash<QString, int> byStem; // the photos by their name without extension
    for (int i = 0; i < photoNames.size(); ++i)
        byStem.insert(stemOf(photoNames[i]), i);
    const auto add = [&](int photo, const Companion& c) {
        Companions& group = out[size_t(photo)];
        if (!group.contains(c)) group << c;
    };

    QSet<QString> raws; // raw files that belong to a photo: their sidecars belong to it too
    for (const Companion& c : candidates) {
        const QStringView ext = ext3(c.name);
        if (ext.isEmpty() || !isRawExtension(ext)) continue;
        const QString stem = c.name.chopped(qsizetype(kExtLen) + 1);
        for (auto it = byStem.constFind(stem); it != byStem.cend() && it.key() == stem; ++it) {
            add(it.value(), c);
            raws.insert(c.name);
        }
    }
    for (const Companion& c : candidates) {
        const QStringView ext = ext3(c.name);
        if (ext.isEmpty() || !isSidecarExtension(ext)) continue;
        const QString base = c.name.chopped(qsizetype(kExtLen) + 1);
        // In place of the extension: IMG_1.xmp for IMG_1.JPG (and for its IMG_1.CR2).
        for (auto it = byStem.constFind(base); it != byStem.cend() && it.key() == base; ++it)
            add(it.value(), c);
        // Added to the name: IMG_1.JPG.xmp, or IMG_1.CR2.xmp when IMG_1.CR2 is there.
        const QString baseExt = levalasztokit(base);
        const QString stem = base.chopped(baseExt.size());
        if (baseExt.isEmpty()) continue;
        for (auto it = byStem.constFind(stem); it != byStem.cend() && it.key() == stem; ++it) {
            const QString photoExt = levalasztokit(photoNames[it.value()]);
            if (raws.contains(base) || photoExt.compare(baseExt, Qt::CaseInsensitive) == 0)
                add(it.value(), c);
        }
    }
    for (Companions& group : out) {
        std::sort(group.begin(), group.end(),
                  [](const Companion& a, const Companion& b) { return a.name < b.name; });
    }
    return out;
}

QString companionTail(const QString& photo, const QString& companion) {
    return fileName(companion).mid(stemOf(fileName(photo)).size());
}

QString companionPath(const QString& newPhoto, const QString& photo, const QString& companion) {
    return newPhoto.chopped(levalasztokit(fileName(newPhoto)).size()) +
           companionTail(photo, companion);
}

Companions companionsAt(const QString& newPhoto, const QString& photo,
                        const Companions& companions) {
    Companions out;
    out.reserve(companions.size());
    for (const Companion& c : companions)
        out << Companion{fileName(companionPath(newPhoto, photo, c.name)), c.bytes};
    return out;
}

qint64 companionBytes(const Companions& companions) {
    qint64 sum = 0;
    for (const Companion& c : companions)
        sum += std::max<qint64>(c.bytes, 0);
    return sum;
}

QString companionMarker(const Companions& companions) {
    bool raw = false, sidecar = false;
    for (const Companion& c : companions) {
        const QStringView ext = ext3(c.name);
        raw = raw || isRawExtension(ext);
        sidecar = sidecar || isSidecarExtension(ext);
    }
    if (raw && sidecar) return QStringLiteral("RAW+XMP");
    if (raw) return QStringLiteral("RAW");
    return sidecar ? QStringLiteral("XMP") : QString();
}

} // namespace kps
