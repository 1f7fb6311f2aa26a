#include "core/files/nativepath.h"

#include "core/files/filecallguard.h"

#include <QFile>
#include <QStringDecoder>
#include <algorithm>
#include <dirent.h>
#include <sys/stat.h>

namespace kps {

namespace {

constexpr char16_t kEscapeBase = 0xDC00; // byte b >= 0x80 is kept as U+DC00 + b

bool isKeptByte(char16_t c) {
    return c >= kEscapeBase + 0x80 && c <= kEscapeBase + 0xFF;
}

bool isAscii(const char* s, qsizetype n) {
    for (qsizetype i = 0; i < n; ++i) {
        if (static_cast<unsigned char>(s[i]) >= 0x80) return false;
    }
    return true;
}

// Length of the valid UTF-8 sequence at s (at most n bytes), or 0 when it is not valid:
// overlong forms, encoded surrogates and code points above U+10FFFF are refused.
int utf8Sequence(const unsigned char* s, qsizetype n, char32_t& cp) {
    const unsigned char b = s[0];
    int len = 0;
    char32_t min = 0;
    if (b >= 0xC2 && b <= 0xDF) {
        len = 2, cp = b & 0x1F, min = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
        len = 3, cp = b & 0x0F, min = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
        len = 4, cp = b & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (n < len) return 0;
    for (int i = 1; i < len; ++i) {
        if ((s[i] & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (s[i] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return len;
}

void appendUtf8(QByteArray& out, char32_t cp) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

// Appends one code point as UTF-16. Qt's converters (QString::fromUcs4, fromUtf8, decodeName)
// take a leading U+FEFF for a byte-order mark and drop it, so a name holding one would lose it.
void appendCodePoint(QString& out, char32_t cp) {
    if (QChar::requiresSurrogates(cp)) {
        out += QChar(QChar::highSurrogate(cp));
        out += QChar(QChar::lowSurrogate(cp));
    } else {
        out += QChar(char16_t(cp));
    }
}

} // namespace

QByteArray nativePath(const QString& path) {
#ifdef Q_OS_WIN
    return QFile::encodeName(path);
#else
    QByteArray out;
    out.reserve(path.size() + 8);
    const qsizetype n = path.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = path.at(i).unicode();
        if (c < 0x80) {
            out += char(c);
        } else if (isKeptByte(c)) {
            out += char(c - kEscapeBase);
        } else if (QChar::isHighSurrogate(c) && i + 1 < n && path.at(i + 1).isLowSurrogate()) {
            appendUtf8(out, QChar::surrogateToUcs4(c, path.at(i + 1).unicode()));
            ++i;
        } else if (QChar::isSurrogate(c)) {
            appendUtf8(out, 0xFFFD); // a stray surrogate never came from the file system
        } else {
            appendUtf8(out, c);
        }
    }
    return out;
#endif
}

QString pathFromNative(const char* bytes, qsizetype len) {
    if (isAscii(bytes, len)) return QString::fromLatin1(bytes, len);
#ifdef Q_OS_WIN
    // A leading U+FEFF is part of the name, not a byte-order mark.
    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    return utf8.decode(QByteArrayView(bytes, len));
#else
    QString out;
    out.reserve(len);
    const auto* s = reinterpret_cast<const unsigned char*>(bytes);
    for (qsizetype i = 0; i < len;) {
        char32_t cp = 0;
        if (s[i] < 0x80) {
            out += QChar(char16_t(s[i++]));
        } else if (const int seq = utf8Sequence(s + i, len - i, cp)) {
            appendCodePoint(out, cp);
            i += seq;
        } else {
            out += QChar(char16_t(kEscapeBase + s[i++]));
        }
    }
    return out;
#endif
}

QString pathFromNative(const QByteArray& bytes) {
    return pathFromNative(bytes.constData(), bytes.size());
}

QString qtPath(const QString& path) {
    return QFile::decodeName(nativePath(path));
}

QString pathFromQt(const QString& qtPath) {
#ifdef Q_OS_WIN
    return qtPath;
#else
    if (!qtPath.contains(QChar::ReplacementCharacter))
        return pathFromNative(QFile::encodeName(qtPath));
    QByteArray bytes;
    const QStringList parts = qtPath.split(QLatin1Char('/'));
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (i > 0) bytes += '/';
        QByteArray part = QFile::encodeName(parts[i]);
        if (parts[i].contains(QChar::ReplacementCharacter)) {
            // The first entry that Qt names the same; two such names in one folder are rare.
            if (DIR* d = ::opendir(bytes.isEmpty() ? "." : bytes.constData())) {
                while (const dirent* e = ::readdir(d)) {
                    // Decoded inside a path, as Qt decodes it: a leading U+FEFF stays.
                    if (QFile::decodeName(QByteArray("/") + e->d_name).mid(1) != parts[i]) continue;
                    part = e->d_name;
                    break;
                }
                ::closedir(d);
            }
        }
        bytes += part;
    }
    return pathFromNative(bytes);
#endif
}

QUrl fileUrl(const QString& path) {
#ifdef Q_OS_WIN
    return QUrl::fromLocalFile(path);
#else
    return QUrl::fromEncoded("file://" + nativePath(path).toPercentEncoding("/"));
#endif
}

PathFacts pathFacts(const QString& path) {
    noteFileCall("pathFacts");
    struct stat st;
    if (path.isEmpty() || ::stat(nativePath(path).constData(), &st) != 0) return {};
    return {true, S_ISREG(st.st_mode), S_ISDIR(st.st_mode), qint64(st.st_size),
            qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1'000'000};
}

QString displayPath(const QString& path) {
    if (std::none_of(path.begin(), path.end(), [](QChar c) { return isKeptByte(c.unicode()); }))
        return path;
    QStringDecoder legacy("windows-1250");
    QString out;
    for (const QChar c : path) {
        if (!isKeptByte(c.unicode())) {
            out += c;
            continue;
        }
        const char byte = char(c.unicode() - kEscapeBase);
        out += legacy.isValid() ? legacy.decode(QByteArrayView(&byte, 1)) : QString(QChar(0xFFFD));
    }
    return out;
}

} // namespace kps
