#include "core/sources/volumes.h"

#include "core/files/nativepath.h"
#include "core/state/slots.h"

namespace kps {

namespace {

#ifdef Q_OS_WIN
constexpr QChar kOtherSep = u'/';
#else
constexpr QChar kOtherSep = u'\\';
#endif

bool isHexDigit(QChar c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// True when `text` has the shape of `pattern`, where 'x' is any hex digit and '-' a dash.
bool hasShape(const QString& text, QLatin1String pattern) {
    if (text.size() != pattern.size()) return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool ok = pattern[i] == u'x' ? isHexDigit(text[i]) : text[i] == pattern[i];
        if (!ok) return false;
    }
    return true;
}

quint32 hexWord(const QString& digits) {
    return digits.toUInt(nullptr, 16);
}

quint32 fnv1a32(const QByteArray& bytes) {
    quint32 hash = 0x811C9DC5u;
    for (char c : bytes) {
        hash ^= quint8(c);
        hash *= 0x01000193u;
    }
    return hash;
}

// The mount point without a trailing separator, so "/" becomes "" and joins cleanly.
QString mountBase(const QString& mountPoint) {
    QString base = mountPoint;
    if (base.endsWith(kSep)) base.chop(1);
    return base;
}

} // namespace

QString serialText(quint32 serial) {
    const auto half = [](quint32 v) {
        return QStringLiteral("%1").arg(v & 0xFFFFu, 4, 16, QLatin1Char('0')).toUpper();
    };
    return half(serial >> 16) + u':' + half(serial);
}

std::optional<quint32> serialFromUuid(const QString& uuid) {
    if (uuid.isEmpty()) return std::nullopt;
    if (hasShape(uuid, QLatin1String("xxxx-xxxx"))) // FAT and exFAT
        return hexWord(uuid.left(4) + uuid.mid(5));
    if (hasShape(uuid, QLatin1String("xxxxxxxxxxxxxxxx"))) // NTFS: Windows shows the low half
        return hexWord(uuid.right(8));
    if (hasShape(uuid, QLatin1String("xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx"))) {
        const QString digits = QString(uuid).remove(u'-');
        quint32 folded = 0;
        for (int word = 0; word < 4; ++word)
            folded ^= hexWord(digits.mid(word * 8, 8));
        return folded;
    }
    return fnv1a32(nativePath(uuid)); // the text's own bytes, even when they are no UTF-8
}

QString szeriaszam(const std::vector<Volume>& vols, int meghajto_betujele) {
    if (meghajto_betujele < 0 || meghajto_betujele >= kDriveLetters ||
        size_t(meghajto_betujele) >= vols.size())
        return kNoSerial;
    return vols[size_t(meghajto_betujele)].serial;
}

std::optional<int> findDevice(const std::vector<Volume>& vols, const QString& serial) {
    if (serial == kNoSerial) return std::nullopt;
    const int count = int(std::min(vols.size(), size_t(kDriveLetters)));
    for (int letter = 0; letter < count; ++letter) {
        if (szeriaszam(vols, letter) == serial) return letter;
    }
    return std::nullopt;
}

QString devicePath(const QString& mountPoint, const QString& storedPath) {
    QString rest = storedPath.startsWith(u':') ? storedPath.mid(1) : storedPath;
    rest.replace(kOtherSep, kSep);
    if (!rest.startsWith(kSep)) rest.prepend(kSep);
    if (!rest.endsWith(kSep)) rest.append(kSep);
    return mountBase(mountPoint) + rest;
}

QString storedDevicePath(const QString& chosenPath, const QString& mountPoint) {
#ifdef Q_OS_WIN
    // A drive letter is never stored: the device may get another one next time.
    Q_UNUSED(mountPoint);
    if (chosenPath.size() >= 2 && chosenPath[1] == u':') return chosenPath.mid(1);
#else
    const QString base = mountBase(mountPoint);
    if (!mountPoint.isEmpty() && (chosenPath == base || chosenPath.startsWith(base + kSep))) {
        const QString below = chosenPath.mid(base.size());
        return u':' + (below.isEmpty() ? QString(kSep) : below);
    }
#endif
    return u':' + chosenPath;
}

} // namespace kps
