#include "core/settings/settingsfile.h"

#include "core/files/nativepath.h"
#include "core/settings/folderpath.h"
#include "core/settings/initext.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <string>
#include <string_view>

#ifdef Q_OS_WIN
#include <QFile>
#include <QSaveFile>
#else
#include <QRandomGenerator>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

// Values stay UTF-8 bytes inside the parser and are decoded here, so no converter is needed;
// Debian's header keeps the template bodies behind SI_IMPLEMENTATION.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

namespace kps {

namespace {

// The UTF-8 byte-order mark an editor may put in front of the file; ours never has one.
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// A text key that holds a path: stored as the file system's bytes.
template <typename T> struct AsPath { T& text; };
template <typename T> AsPath(T&) -> AsPath<T>;

// Calls visit(section, key, field) for every key, in the order a new file lists them.
template <typename S, typename Visitor> void forEachKey(S& s, Visitor&& visit) {
    const auto numbered = [](const char* stem, int n) { return stem + std::to_string(n); };
    visit("ablak", "left", s.left);
    visit("ablak", "top", s.top);
    visit("ablak", "width", s.width);
    visit("ablak", "height", s.height);
    visit("ablak", "maximized", s.maximized);
    for (int slot = 0; slot < kSlotCount; ++slot)
        visit("panel", numbered("panel", slot + 1), s.panel[size_t(slot)]);
    for (int slot = 0; slot < kMarkedSlots; ++slot)
        visit("panel", numbered("panelmappa", slot + 1), s.panelmappa[size_t(slot)]);
    visit("panel", "panelszin2", s.panelszin2);
    visit("panel", "panelszin3", s.panelszin3);
    visit("panel", "panelszin4", s.panelszin4);
    visit("panel", "torol500", s.torol500);
    visit("kezdo", "panel1b", s.panel1b);
    visit("kezdo", "panel1c", s.panel1c);
    for (int slot = 0; slot < kSlotCount; ++slot)
        visit("kezdo", numbered("path", slot), AsPath{s.path[size_t(slot)]});
    visit("kezdo", "kurzor", s.kurzor);
    visit("kezdo", "reservedSerial1", s.reservedSerial1);
    visit("kezdo", "reservedIcon1", s.reservedIcon1);
    visit("kezdo", "reservedPath1", AsPath{s.reservedPath1});
    visit("kezdo", "reservedSerial2", s.reservedSerial2);
    visit("kezdo", "reservedIcon2", s.reservedIcon2);
    visit("kezdo", "reservedPath2", AsPath{s.reservedPath2});
    visit("kezdo", "pirosmappa", s.pirosmappa);
    visit("kezdo", "tarsfajlok", s.tarsfajlok);
}

// Takes each readable value over the field's current (default) value.
class KeyReader {
  public:
    explicit KeyReader(const CSimpleIniA& ini) : ini_(ini) {}

    void operator()(const char* section, const std::string& key, int& field) const {
        if (const auto value = readInt(section, key)) field = *value;
    }
    void operator()(const char* section, const std::string& key, Colour& field) const {
        if (const auto value = readInt(section, key)) field = static_cast<Colour>(*value);
    }
    void operator()(const char* section, const std::string& key, bool& field) const {
        if (const auto value = readInt(section, key)) field = *value != 0;
    }
    void operator()(const char* section, const std::string& key, std::optional<int>& field) const {
        if (const auto value = readInt(section, key)) field = *value;
    }
    void operator()(const char* section, const std::string& key, QString& field) const {
        if (const char* raw = ini_.GetValue(section, key.c_str())) field = decodeIniText(raw);
    }
    void operator()(const char* section, const std::string& key, AsPath<QString> field) const {
        if (const char* raw = ini_.GetValue(section, key.c_str())) field.text = decodeIniPath(raw);
    }

  private:
    std::optional<int> readInt(const char* section, const std::string& key) const {
        const char* raw = ini_.GetValue(section, key.c_str());
        return raw ? parseIniInt(raw) : std::nullopt;
    }
    const CSimpleIniA& ini_;
};

// Sets each key, replacing every copy of it in place; a new key goes to its section's end.
class KeyWriter {
  public:
    explicit KeyWriter(CSimpleIniA& ini) : ini_(ini) {}

    void operator()(const char* section, const std::string& key, int field) {
        set(section, key, std::to_string(field));
    }
    void operator()(const char* section, const std::string& key, Colour field) {
        // Stored as the signed 32-bit number a colour is everywhere else in the file.
        set(section, key, std::to_string(static_cast<std::int32_t>(field)));
    }
    void operator()(const char* section, const std::string& key, bool field) {
        set(section, key, field ? "1" : "0");
    }
    void operator()(const char* section, const std::string& key, std::optional<int> field) {
        set(section, key, std::to_string(field.value_or(0)));
    }
    void operator()(const char* section, const std::string& key, const QString& field) {
        set(section, key, encodeIniText(field));
    }
    void operator()(const char* section, const std::string& key, AsPath<const QString> field) {
        set(section, key, encodeIniPath(field.text));
    }

    bool ok() const { return ok_; }

  private:
    void set(const char* section, const std::string& key, const std::string& value) {
        if (ini_.SetValue(section, key.c_str(), value.c_str(), nullptr, true) < 0) ok_ = false;
    }
    CSimpleIniA& ini_;
    bool ok_ = true;
};

// A section line that lost its "]" gets it back, so the entries below it stay in their section
// instead of being dropped and written again at every close. A section without a name is no
// section of ours (and the parser would take it for the entries above the first section), and a
// line that is neither entry, section nor comment would be dropped at the close anyway: both go
// now, and comments start in the first column, so that the parser sees the comments where and as
// the written file will have them.
std::string repairedLine(std::string_view line) {
    const size_t first = line.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const char c = line[first];
    if (c == ';' || c == '#') return std::string(line.substr(first)); // written from column 1
    if (c != '[') {
        const size_t equals = line.find('=');
        return equals == line.npos || equals == first ? std::string() : std::string(line);
    }
    const size_t close = line.find(']', first);
    const std::string_view name =
        line.substr(first + 1, close == line.npos ? close : close - first - 1);
    if (name.find_first_not_of(" \t") == std::string_view::npos) return {};
    return close == line.npos ? std::string(line) + ']' : std::string(line);
}

// Gives the parser one clean line per line of the file: a NUL (a power loss leaves runs of
// them) or a lone CR ends a line as LF does. Leading blank lines go too, so that a comment
// opening the file is the file's comment at the first read as at every later one.
std::string repairedText(std::string_view in) {
    if (in.starts_with(kUtf8Bom)) in.remove_prefix(kUtf8Bom.size());
    std::string out;
    out.reserve(in.size() + 16);
    while (!in.empty()) {
        const size_t end = std::min(in.find_first_of(std::string_view("\r\n\0", 3)), in.size());
        const std::string line = repairedLine(in.substr(0, end));
        if (!out.empty() || !line.empty()) out += line + '\n';
        in.remove_prefix(end);
        if (in.starts_with("\r\n"))
            in.remove_prefix(2);
        else if (!in.empty())
            in.remove_prefix(1);
    }
    return out;
}

// A parser that matches names without regard to case and lets the first of repeated keys win.
void configure(CSimpleIniA& ini) {
    ini.SetUnicode(true);
    ini.SetMultiKey(true);
    ini.SetMultiLine(false);
    ini.SetSpaces(false);
}

// Loads the content, damage repaired, into ini; false when the parser refuses it. The parser
// takes a leading byte-order mark away, so it is given one of its own: a U+FEFF that opens the
// first line after the file's own mark belongs to that line's name.
bool parse(const QByteArray& content, CSimpleIniA& ini) {
    configure(ini);
    const std::string text =
        std::string(kUtf8Bom) + repairedText(std::string_view(content.constData(), content.size()));
    return ini.LoadData(text.data(), text.size()) >= 0;
}

#ifdef Q_OS_WIN

// Up to `limit` bytes from the start of the file; nullopt when it cannot be read.
std::optional<QByteArray> readHead(const QString& file, qsizetype limit) {
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) return std::nullopt;
    QByteArray bytes = in.read(limit);
    if (in.error() != QFileDevice::NoError) return std::nullopt;
    return bytes;
}

// Writes the bytes to a temporary file beside `file` and renames it over `file`; commit
// flushes the file buffers.
bool replaceAtomically(const QString& file, const QByteArray& bytes) {
    QSaveFile out(file);
    out.setDirectWriteFallback(false);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return false;
    if (out.write(bytes) != bytes.size()) {
        out.cancelWriting();
        out.commit(); // discards the temporary file
        return false;
    }
    return out.commit();
}

#else

// Closes a descriptor when it goes out of scope.
struct Fd {
    int fd;
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
};

// Writes all of the bytes, going on after a partial write or a signal.
bool writeAll(int fd, const QByteArray& bytes) {
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += n;
    }
    return true;
}

// Up to `limit` bytes from the start of the file, opened by its exact bytes; nullopt when it
// cannot be read.
std::optional<QByteArray> readHead(const QString& file, qsizetype limit) {
    const Fd in{::open(nativePath(file).constData(), O_RDONLY | O_CLOEXEC)};
    if (in.fd < 0) return std::nullopt;
    QByteArray bytes(limit, Qt::Uninitialized);
    qsizetype got = 0;
    while (got < limit) {
        const ssize_t n = ::read(in.fd, bytes.data() + got, size_t(limit - got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        got += n;
    }
    bytes.truncate(got);
    return bytes;
}

// Writes the bytes to a temporary file beside `file`, flushes them to the disk and renames the
// copy over `file`, all by the names' exact bytes. The old file's permissions stay.
bool replaceAtomically(const QString& file, const QByteArray& bytes) {
    const QByteArray target = nativePath(file);
    struct stat old {};
    const bool hadFile = ::stat(target.constData(), &old) == 0;
    QByteArray tmp;
    Fd out{-1};
    for (int attempt = 0; attempt < 100 && out.fd < 0; ++attempt) {
        tmp =
            target + '.' + QByteArray::number(QRandomGenerator::global()->generate(), 16) + ".tmp";
        out.fd = ::open(tmp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (out.fd < 0 && errno != EEXIST) return false;
    }
    if (out.fd < 0) return false;
    // File systems that cannot sync count as synced.
    const bool ok = writeAll(out.fd, bytes) &&
                    (!hadFile || ::fchmod(out.fd, old.st_mode & 07777) == 0) &&
                    (::fsync(out.fd) == 0 || errno == EINVAL || errno == ENOTSUP) &&
                    ::rename(tmp.constData(), target.constData()) == 0;
    if (!ok) ::unlink(tmp.constData());
    return ok;
}

#endif

// The file's content, up to the read limit and cut after its last whole line there. A missing
// file is empty; nullopt when it exists but cannot be read (not a regular file, no permission).
std::optional<QByteArray> readContent(const QString& file) {
    const PathFacts facts = pathFacts(file);
    if (!facts.exists) return QByteArray();
    if (!facts.isFile) return std::nullopt; // a folder, or a pipe that would never end
    std::optional<QByteArray> bytes = readHead(file, kSettingsReadLimit + 1);
    if (bytes && bytes->size() > kSettingsReadLimit) {
        bytes->truncate(kSettingsReadLimit);
        const qsizetype lastBreak = std::max(bytes->lastIndexOf('\n'), bytes->lastIndexOf('\r'));
        bytes->truncate(lastBreak + 1);
    }
    return bytes;
}

QString defaultFolder(const QString& home, const QString& name) {
#ifdef Q_OS_WIN
    Q_UNUSED(home);
    return QStringLiteral("C:\\") + name + kSep;
#else
    const QString base = home.endsWith(kSep) ? home : home + kSep;
    return base + name + kSep;
#endif
}

} // namespace

Settings defaultSettings(const QString& home) {
    Settings s;
    s.panel[0] = QStringLiteral("Forrás");
    for (int slot = 1; slot < kTrashSlot; ++slot)
        s.panel[size_t(slot)] = QStringLiteral("Mappa%1").arg(slot);
    s.panel[kTrashSlot] = QStringLiteral("Kuka");
    for (int slot = 0; slot < kTrashSlot; ++slot)
        s.path[size_t(slot)] = defaultFolder(home, QStringLiteral("+mappa%1").arg(slot));
    s.path[kTrashSlot] = defaultFolder(home, QStringLiteral("+trash"));
    s.reservedSerial1 = s.reservedSerial2 = QStringLiteral("qqqq:qqqq");
    s.reservedIcon1 = s.reservedIcon2 = QStringLiteral("1");
    s.reservedPath1 = s.reservedPath2 = QStringLiteral(":") + kSep; // ":" is the mount point
    s.panel1b = QStringLiteral("Fényképező");
    s.panel1c = QStringLiteral("FSD kártya");
    return s;
}

Settings parseSettings(const QByteArray& content, const Settings& defaults) {
    CSimpleIniA ini;
    Settings s = defaults;
    if (parse(content, ini)) forEachKey(s, KeyReader(ini));
    for (QString& path : s.path)
        path = folderPath(path);
    return s;
}

std::optional<QByteArray> composeSettings(const QByteArray& oldContent, const Settings& values) {
    CSimpleIniA ini;
    if (!parse(oldContent, ini)) return std::nullopt;
    KeyWriter writer(ini);
    forEachKey(values, writer);
    std::string text;
    if (!writer.ok() || ini.Save(text, false) < 0) return std::nullopt;
    // A name opening the file with U+FEFF would read back as the file's byte-order mark.
    if (text.starts_with(kUtf8Bom)) text.insert(0, 1, '\n');
    return QByteArray::fromStdString(text);
}

std::vector<IniEntry> iniEntries(const QByteArray& content) {
    CSimpleIniA ini;
    std::vector<IniEntry> entries;
    if (!parse(content, ini)) return entries;
    CSimpleIniA::TNamesDepend sections;
    ini.GetAllSections(sections);
    sections.sort(CSimpleIniA::Entry::LoadOrder());
    for (const auto& section : sections) {
        CSimpleIniA::TNamesDepend keys;
        ini.GetAllKeys(section.pItem, keys);
        keys.sort(CSimpleIniA::Entry::LoadOrder());
        for (const auto& key : keys) {
            if (const char* value = ini.GetValue(section.pItem, key.pItem))
                entries.push_back({section.pItem, key.pItem, value});
        }
    }
    return entries;
}

Settings readSettings(const QString& file, const Settings& defaults) {
    const std::optional<QByteArray> content = readContent(file);
    return parseSettings(content.value_or(QByteArray()), defaults);
}

bool writeSettings(const QString& file, const Settings& values) {
    // A file that exists but cannot be read is kept rather than replaced without its keys.
    const std::optional<QByteArray> content = readContent(file);
    if (!content) return false;
    const std::optional<QByteArray> text = composeSettings(*content, values);
    return text && replaceAtomically(file, *text);
}

} // namespace kps
