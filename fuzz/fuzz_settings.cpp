// The settings.ini reader and writer on arbitrary bytes: the file is outside input (a power
// loss, another editor or a hand edit can leave anything in it). Whatever it holds, one close
// must keep every entry the start read, and a second close must change nothing more.

#include "core/settings/settingsfile.h"

#include <QByteArray>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

[[noreturn]] void fail(const char* why) {
    std::fputs(why, stderr);
    std::fputc('\n', stderr);
    std::abort();
}

bool sameName(const std::string& a, const char* b) {
    return QByteArray::fromStdString(a).compare(b, Qt::CaseInsensitive) == 0;
}

// The keys the writer sets, whose values it may rewrite (width=0x20 becomes width=32).
bool writtenByUs(const kps::IniEntry& e) {
    static const std::vector<kps::IniEntry> ours = [] {
        const auto written = kps::composeSettings({}, kps::Settings());
        if (!written) fail("no file from defaults");
        return kps::iniEntries(*written);
    }();
    for (const kps::IniEntry& o : ours) {
        if (sameName(e.section, o.section.c_str()) && sameName(e.key, o.key.c_str())) return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > std::size_t(kps::kSettingsReadLimit)) return 0;
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const kps::Settings defaults = kps::defaultSettings(QStringLiteral("/home/anna"));

    kps::Settings first = kps::parseSettings(input, defaults);
    first.left = first.left.value_or(0); // the window always has its place when it closes
    first.top = first.top.value_or(0);
    const auto written = kps::composeSettings(input, first);
    if (!written) return 0; // the parser refused the bytes: the file is kept as it is
    const kps::Settings second = kps::parseSettings(*written, defaults);
    if (!(second == first)) fail("a value changed across a close");
    const auto again = kps::composeSettings(*written, second);
    if (!again || *again != *written) fail("the file changed at the second close");

    // Entries the writer does not own come back with the value the first read saw.
    const std::vector<kps::IniEntry> before = kps::iniEntries(input);
    const std::vector<kps::IniEntry> after = kps::iniEntries(*written);
    for (const kps::IniEntry& e : before) {
        if (writtenByUs(e)) continue;
        bool kept = false;
        for (const kps::IniEntry& a : after)
            kept = kept || (sameName(a.section, e.section.c_str()) &&
                            sameName(a.key, e.key.c_str()) && a.value == e.value);
        if (!kept) fail(("entry lost: " + e.section + "/" + e.key).c_str());
    }
    return 0;
}
