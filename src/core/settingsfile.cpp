#include "core/settingsfile.h"

#include "core/initext.h"

#include <QFile>
#include <QSaveFile>
#include <cerrno>
#include <cstdint>
#include <string>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

// Values stay UTF-8 bytes inside the parser and are decoded here, so no converter is needed;
// Debian's header keeps the template bodies behind SI_IMPLEMENTATION.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

namespace kps {

namespace {

// Calls visit(section, key, field) for every key, in the order a new file lists them.
template <typename S, typename Visitor> void forEachKey(S& s, Visitor&& visit) {
    const auto numbered = [](const char* stem, int n) { return stem + std::to_string(n); };
    visit("ablak", "left", s.left);
    visit("ablak", "top", s.top);
    visit("ablak", "width", s.width);
    visit("ablak", "height", s.height);
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
        visit("kezdo", numbered("path", slot), s.path[size_t(slot)]);
    visit("kezdo", "kurzor", s.kurzor);
    visit("kezdo", "reservedSerial1", s.reservedSerial1);
    visit("kezdo", "reservedIcon1", s.reservedIcon1);
    visit("kezdo", "reservedPath1", s.reservedPath1);
    visit("kezdo", "reservedSerial2", s.reservedSerial2);
    visit("kezdo", "reservedIcon2", s.reservedIcon2);
    visit("kezdo", "reservedPath2", s.reservedPath2);
    visit("kezdo", "pirosmappa", s.pirosmappa);
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

    bool ok() const { return ok_; }

  private:
    void set(const char* section, const std::string& key, const std::string& value) {
        if (ini_.SetValue(section, key.c_str(), value.c_str(), nullptr, true) < 0) ok_ = false;
    }
    CSimpleIniA& ini_;
    bool ok_ = true;
};

// A parser that matches names without regard to case and lets the first of repeated keys win.
void configure(CSimpleIniA& ini) {
    ini.SetUnicode(true);
    ini.SetMultiKey(true);
    ini.SetMultiLine(false);
    ini.SetSpaces(false);
}

// Loads the file into ini. A missing file loads nothing; false when it exists but cannot be read.
bool loadFile(const QString& file, CSimpleIniA& ini) {
    QFile in(file);
    if (!in.exists()) return true;
    if (!in.open(QIODevice::ReadOnly)) return false;
    const QByteArray bytes = in.readAll();
    if (in.error() != QFileDevice::NoError) return false;
    return ini.LoadData(bytes.constData(), size_t(bytes.size())) >= 0;
}

// Flushes the written data to the disk; file systems that cannot sync count as synced.
bool syncToDisk(QSaveFile& out) {
    if (!out.flush()) return false;
#ifndef Q_OS_WIN
    if (::fsync(out.handle()) != 0 && errno != EINVAL && errno != ENOTSUP) return false;
#endif // on Windows QSaveFile::commit flushes the file buffers itself
    return true;
}

// Writes the bytes to a temporary file beside `file` and renames it over `file`.
bool replaceAtomically(const QString& file, const QByteArray& bytes) {
    QSaveFile out(file);
    out.setDirectWriteFallback(false);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return false;
    if (out.write(bytes) != bytes.size() || !syncToDisk(out)) {
        out.cancelWriting();
        out.commit(); // discards the temporary file
        return false;
    }
    return out.commit();
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

Settings readSettings(const QString& file, const Settings& defaults) {
    CSimpleIniA ini;
    configure(ini);
    Settings s = defaults;
    if (loadFile(file, ini)) forEachKey(s, KeyReader(ini));
    return s;
}

bool writeSettings(const QString& file, const Settings& values) {
    CSimpleIniA ini;
    configure(ini);
    // A file that exists but cannot be read is kept rather than replaced without its keys.
    if (!loadFile(file, ini)) return false;
    KeyWriter writer(ini);
    forEachKey(values, writer);
    std::string text;
    if (!writer.ok() || ini.Save(text, false) < 0) return false;
    return replaceAtomically(file, QByteArray::fromStdString(text));
}

} // namespace kps
