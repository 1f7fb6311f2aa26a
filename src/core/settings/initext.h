#pragma once
// Values as settings.ini stores them: integers in decimal or hexadecimal, texts as bytes.

#include <QString>
#include <optional>
#include <string>
#include <string_view>

namespace kps {

// Reads an integer: an optional sign, then decimal digits or hexadecimal digits after "$",
// "0x" or "0X", with blanks around it ignored. Hexadecimal gives the 32-bit pattern
// ("0xFFFFFFFF" is -1). Anything else, or a number beyond 32 bits, gives nothing.
std::optional<int> parseIniInt(std::string_view text);

// Decodes a stored text: UTF-8, or the Windows code page of older files (Central European,
// Latin-1 where that is not available) when the bytes are no valid UTF-8.
QString decodeIniText(std::string_view bytes);

// Decodes a stored folder path. On Linux its bytes are the file system's own, and bytes that
// are no valid UTF-8 are kept as they are (see nativepath.h), so the path names the same folder
// after a close and the next start; a Windows path is stored as a text.
QString decodeIniPath(std::string_view bytes);

// Encodes a folder path as its file system bytes, on one line as encodeIniText does.
std::string encodeIniPath(const QString& path);

// Encodes a text as UTF-8 on one line: a line break would start a new entry, so each becomes
// a blank.
std::string encodeIniText(const QString& text);

} // namespace kps
