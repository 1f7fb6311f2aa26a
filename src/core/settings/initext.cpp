#include "core/settings/initext.h"

#include "core/files/nativepath.h"

#include <QStringDecoder>
#include <cstdint>

namespace kps {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

int digitValue(char c, int base) {
    int d = -1;
    if (c >= '0' && c <= '9')
        d = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f')
        d = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F')
        d = c - 'A' + 10;
    return d;
}

// A line break would start a new entry, so each becomes a blank.
QString oneLine(QString text) {
    text.replace(u'\r', u' ').replace(u'\n', u' ');
    return text;
}

// Strips a "$", "0x" or "0X" prefix and says whether one was there.
bool takeHexPrefix(std::string_view& text) {
    if (text.starts_with('$')) {
        text.remove_prefix(1);
        return true;
    }
    if (text.starts_with("0x") || text.starts_with("0X")) {
        text.remove_prefix(2);
        return true;
    }
    return false;
}

} // namespace

std::optional<int> parseIniInt(std::string_view text) {
    text = trimBlanks(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    const bool hex = takeHexPrefix(text);
    const int base = hex ? 16 : 10;
    // Decimal reaches 2^31 only as -2147483648; hexadecimal may use all 32 bits.
    const std::uint64_t limit = hex ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    if (text.empty()) return std::nullopt;
    std::uint64_t magnitude = 0;
    for (char c : text) {
        const int d = digitValue(c, base);
        if (d < 0) return std::nullopt;
        magnitude = magnitude * std::uint64_t(base) + std::uint64_t(d);
        if (magnitude > limit) return std::nullopt;
    }
    auto bits = static_cast<std::uint32_t>(magnitude);
    if (negative) bits = 0u - bits;
    return static_cast<std::int32_t>(bits);
}

QString decodeIniText(std::string_view bytes) {
    const QByteArrayView view(bytes.data(), qsizetype(bytes.size()));
    // A value is never the start of a file: a U+FEFF opening it is part of the text.
    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = utf8.decode(view);
    if (!utf8.hasError()) return text;
    QStringDecoder legacy("windows-1250");
    if (legacy.isValid()) return legacy.decode(view);
    return QString::fromLatin1(view);
}

QString decodeIniPath(std::string_view bytes) {
#ifdef Q_OS_WIN
    return decodeIniText(bytes);
#else
    return pathFromNative(bytes.data(), qsizetype(bytes.size()));
#endif
}

std::string encodeIniPath(const QString& path) {
#ifdef Q_OS_WIN
    return encodeIniText(path);
#else
    return nativePath(oneLine(path)).toStdString();
#endif
}

std::string encodeIniText(const QString& text) {
    return oneLine(text).toStdString();
}

} // namespace kps
