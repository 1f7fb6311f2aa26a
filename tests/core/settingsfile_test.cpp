#include "core/files/nativepath.h"
#include "core/settings/initext.h"
#include "core/settings/settingsfile.h"
#include "testphotos.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kps {
namespace {

const QString kHome = QStringLiteral("/home/anna");

class SettingsFileTest : public ::testing::Test {
  protected:
    QString file() const { return dir_.filePath(kSettingsFileName); }
    void store(const QByteArray& text) const { ASSERT_TRUE(test::writeFile(file(), text)); }
    Settings read() const { return readSettings(file(), defaultSettings(kHome)); }
    Settings readText(const QByteArray& text) const {
        store(text);
        return read();
    }
    QStringList folderEntries() const {
        return QDir(dir_.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    QStringList writtenLines() const {
        return QString::fromUtf8(test::readFile(file())).split(u'\n', Qt::SkipEmptyParts);
    }

    QTemporaryDir dir_;
};

// Every field different from its default and from each other, so a swapped key shows.
Settings distinctSettings() {
    Settings s = defaultSettings(kHome);
    s.left = -8;
    s.top = 20;
    s.width = 1000;
    s.height = 700;
    s.maximized = true;
    for (int i = 0; i < kSlotCount; ++i) {
        s.panel[size_t(i)] = QStringLiteral("név%1").arg(i);
        s.path[size_t(i)] = QStringLiteral("/p/%1/").arg(i);
    }
    s.panelmappa = {1, 2, 3, 1, 2, 3, 1, 2};
    s.panelszin2 = 0x010203;
    s.panelszin3 = 0x040506;
    s.panelszin4 = kButtonFace; // top bit set: stored as a negative number
    s.torol500 = 501;
    s.kurzor = true;
    s.pirosmappa = false;
    s.tarsfajlok = true;
    s.reservedSerial1 = QStringLiteral("1A2B:3C4D");
    s.reservedIcon1 = QStringLiteral("2");
    s.reservedPath1 = QStringLiteral(":/DCIM/");
    s.reservedSerial2 = QStringLiteral("*");
    s.reservedIcon2 = QStringLiteral("3");
    s.reservedPath2 = QStringLiteral(":/");
    s.panel1b = QStringLiteral("Fényképező");
    s.panel1c = QStringLiteral("FSD kártya");
    return s;
}

TEST(IniInt, ReadsDecimalAndHexadecimal) {
    const struct {
        const char* text;
        int expected;
    } cases[] = {
        {"0x20", 32},
        {"0X20", 32},
        {"$20", 32},
        {"$ff", 255},
        {"-5", -5},
        {"+7", 7},
        {" 12 ", 12},
        {"\t12\t", 12},
        {"007", 7},
        {"-$10", -16},
        {"0", 0},
        {"2147483647", 2147483647},
        {"-2147483648", int(0x80000000u)},
        {"0xFFFFFFFF", -1},
        {"$80000000", int(0x80000000u)},
        {"0x00000000000010", 16},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        ASSERT_TRUE(parseIniInt(c.text).has_value());
        EXPECT_EQ(*parseIniInt(c.text), c.expected);
    }
}

TEST(IniInt, RejectsAnythingElse) {
    for (const char* text :
         {"",         " ",   "abc",        "12abc",       "1 2",         "+",
          "-",        "$",   "0x",         "+-5",         "0x-5",        "12.0",
          "1e3",      "x10", "2147483648", "-2147483649", "0x100000000", "99999999999999999999",
          "\xD9\xA1", "0x1g"}) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(parseIniInt(text).has_value());
    }
}

TEST(IniText, DecodesUtf8AndOlderCodePage) {
    EXPECT_EQ(decodeIniText("F\xC3\xA9nyk\xC3\xA9pez\xC5\x91"), QStringLiteral("Fényképező"));
    EXPECT_EQ(decodeIniText("Kuk\xE1"), QStringLiteral("Kuká")); // same byte in both pages
    if (!QStringDecoder("windows-1250").isValid())
        GTEST_SKIP() << "no Central European code page in this Qt";
    EXPECT_EQ(decodeIniText("F\xE9nyk\xE9pez\xF5"), QStringLiteral("Fényképező"));
}

TEST(IniText, EncodesOnOneLine) {
    EXPECT_EQ(encodeIniText(QStringLiteral("a\r\nb\nc")), "a  b c");
    EXPECT_EQ(encodeIniText(QStringLiteral("ő=#;")), "\xC5\x91=#;");
}

TEST(SettingsDefaults, MatchFirstStart) {
    const Settings s = defaultSettings(kHome);
    EXPECT_FALSE(s.left.has_value());
    EXPECT_FALSE(s.top.has_value());
    EXPECT_EQ(s.width, 866);
    EXPECT_EQ(s.height, 581);
    const QStringList names{"Forrás", "Mappa1", "Mappa2", "Mappa3", "Mappa4",
                            "Mappa5", "Mappa6", "Mappa7", "Kuka"};
    for (int i = 0; i < kSlotCount; ++i)
        EXPECT_EQ(s.panel[size_t(i)], names[i]);
    for (int i = 0; i < kTrashSlot; ++i)
        EXPECT_EQ(s.path[size_t(i)], QStringLiteral("/home/anna/+mappa%1/").arg(i));
    EXPECT_EQ(s.path[kTrashSlot], QStringLiteral("/home/anna/+trash/"));
    EXPECT_EQ(defaultSettings(QStringLiteral("/")).path[0], QStringLiteral("/+mappa0/"));
    EXPECT_EQ(s.panelmappa, (std::array<int, kMarkedSlots>{1, 1, 1, 1, 1, 1, 1, 1}));
    EXPECT_EQ(s.panelszin2, 11163135u);
    EXPECT_EQ(s.panelszin3, 7368816u);
    EXPECT_EQ(s.panelszin4, 11575456u);
    EXPECT_EQ(s.torol500, 1);
    EXPECT_FALSE(s.kurzor);
    EXPECT_FALSE(s.pirosmappa);
    EXPECT_FALSE(s.tarsfajlok); // companions stay behind until the user asks otherwise
    for (const QString& serial : {s.reservedSerial1, s.reservedSerial2})
        EXPECT_EQ(serial, QStringLiteral("qqqq:qqqq"));
    for (const QString& icon : {s.reservedIcon1, s.reservedIcon2})
        EXPECT_EQ(icon, QStringLiteral("1"));
    for (const QString& path : {s.reservedPath1, s.reservedPath2})
        EXPECT_EQ(path, QStringLiteral(":/"));
    EXPECT_EQ(s.panel1b, QStringLiteral("Fényképező"));
    EXPECT_EQ(s.panel1c, QStringLiteral("FSD kártya"));
}

TEST_F(SettingsFileTest, MissingOrUnreadableFileGivesDefaults) {
    EXPECT_EQ(read(), defaultSettings(kHome));
    ASSERT_TRUE(QDir(dir_.path()).mkdir(kSettingsFileName)); // a folder in the file's place
    EXPECT_EQ(read(), defaultSettings(kHome));
}

TEST_F(SettingsFileTest, PipeInTheFilesPlaceIsNotWaitedFor) {
    ASSERT_EQ(::mkfifo(QFile::encodeName(file()).constData(), 0600), 0);
    EXPECT_EQ(read(), defaultSettings(kHome)); // would block forever if it were opened
    EXPECT_FALSE(writeSettings(file(), defaultSettings(kHome)));
}

TEST_F(SettingsFileTest, NumbersFallBackToTheirDefault) {
    const struct {
        const char* line;
        int width;
    } cases[] = {{"width=0x20", 32}, {"width=$20", 32},    {"width= 12 ", 12},
                 {"width=-5", -5},   {"width=+7", 7},      {"width=abc", 866},
                 {"width=", 866},    {"width=12abc", 866}, {"width=4294967296", 866}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(readText(QByteArray("[ablak]\n") + c.line + "\n").width, c.width);
    }
}

TEST_F(SettingsFileTest, LeftAndTopOnlyWhenReadable) {
    Settings s = readText("[ablak]\nleft=0x20\ntop=-3\n");
    EXPECT_EQ(s.left, 32);
    EXPECT_EQ(s.top, -3);
    s = readText("[ablak]\nleft=abc\ntop=\n");
    EXPECT_FALSE(s.left.has_value());
    EXPECT_FALSE(s.top.has_value());
}

TEST_F(SettingsFileTest, BooleansAreNonZeroIntegers) {
    const struct {
        const char* value;
        bool expected;
    } cases[] = {{"2", true},  {"1", true},    {"-1", true}, {"0x10", true},
                 {"0", false}, {"yes", false}, {"", false},  {"true", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        const Settings s = readText(QByteArray("[kezdo]\nkurzor=") + c.value +
                                    "\npirosmappa=" + c.value + "\ntarsfajlok=" + c.value + "\n");
        EXPECT_EQ(s.kurzor, c.expected);
        EXPECT_EQ(s.pirosmappa, c.expected);
        EXPECT_EQ(s.tarsfajlok, c.expected);
    }
}

TEST_F(SettingsFileTest, NamesMatchInAnyCase) {
    const Settings s = readText("[ABLAK]\nWidth=900\n[Panel]\nPANEL1=Alma\nPanelSzin2=5\n"
                                "[KEZDO]\nreservedserial1=1234:ABCD\nPATH8=/t/\n");
    EXPECT_EQ(s.width, 900);
    EXPECT_EQ(s.panel[0], QStringLiteral("Alma"));
    EXPECT_EQ(s.panelszin2, 5u);
    EXPECT_EQ(s.reservedSerial1, QStringLiteral("1234:ABCD"));
    EXPECT_EQ(s.path[kTrashSlot], QStringLiteral("/t/"));
}

TEST_F(SettingsFileTest, ReadsByteOrderMarkAndCrLf) {
    const Settings s =
        readText("\xEF\xBB\xBF[ablak]\r\nwidth=900\r\n[kezdo]\r\npanel1b=F\xC3\xA9ny\r\n");
    EXPECT_EQ(s.width, 900);
    EXPECT_EQ(s.panel1b, QStringLiteral("Fény"));
}

TEST_F(SettingsFileTest, EmptyTextStaysEmptyAbsentTextIsDefault) {
    const Settings s = readText("[panel]\npanel1=\n[kezdo]\npath0=\n");
    EXPECT_EQ(s.panel[0], QString());
    EXPECT_EQ(s.path[0], QString());
    EXPECT_EQ(s.panel[1], QStringLiteral("Mappa1"));
    EXPECT_EQ(s.path[1], QStringLiteral("/home/anna/+mappa1/"));
}

TEST_F(SettingsFileTest, FirstOfRepeatedKeysWinsAndWriteKeepsOne) {
    store("[ablak]\nwidth=900\nheight=600\nwidth=901\n");
    EXPECT_EQ(read().width, 900);
    Settings s = defaultSettings(kHome);
    s.width = 910;
    ASSERT_TRUE(writeSettings(file(), s));
    const QStringList lines = writtenLines();
    EXPECT_EQ(lines.filter(QStringLiteral("width=")), QStringList{QStringLiteral("width=910")});
    EXPECT_LT(lines.indexOf(QStringLiteral("width=910")),
              lines.indexOf(QStringLiteral("height=581")));
}

TEST_F(SettingsFileTest, NewFileHasTheFullLayout) {
    Settings s = distinctSettings();
    s.top.reset(); // written as 0
    ASSERT_TRUE(writeSettings(file(), s));
    const QStringList expected{"[ablak]",
                               "left=-8",
                               "top=0",
                               "width=1000",
                               "height=700",
                               "maximized=1",
                               "[panel]",
                               "panel1=név0",
                               "panel2=név1",
                               "panel3=név2",
                               "panel4=név3",
                               "panel5=név4",
                               "panel6=név5",
                               "panel7=név6",
                               "panel8=név7",
                               "panel9=név8",
                               "panelmappa1=1",
                               "panelmappa2=2",
                               "panelmappa3=3",
                               "panelmappa4=1",
                               "panelmappa5=2",
                               "panelmappa6=3",
                               "panelmappa7=1",
                               "panelmappa8=2",
                               "panelszin2=66051",
                               "panelszin3=263430",
                               "panelszin4=-16777201",
                               "torol500=501",
                               "[kezdo]",
                               "panel1b=Fényképező",
                               "panel1c=FSD kártya",
                               "path0=/p/0/",
                               "path1=/p/1/",
                               "path2=/p/2/",
                               "path3=/p/3/",
                               "path4=/p/4/",
                               "path5=/p/5/",
                               "path6=/p/6/",
                               "path7=/p/7/",
                               "path8=/p/8/",
                               "kurzor=1",
                               "reservedSerial1=1A2B:3C4D",
                               "reservedIcon1=2",
                               "reservedPath1=:/DCIM/",
                               "reservedSerial2=*",
                               "reservedIcon2=3",
                               "reservedPath2=:/",
                               "pirosmappa=0",
                               "tarsfajlok=1"};
    EXPECT_EQ(writtenLines(), expected);
    EXPECT_EQ(expected.size() - 3, 46);
    EXPECT_TRUE(test::readFile(file()).startsWith("[ablak]\n")); // no byte-order mark
    EXPECT_EQ(folderEntries(), QStringList{kSettingsFileName});  // no temporary left
}

TEST_F(SettingsFileTest, EveryValueSurvivesWriteAndRead) {
    Settings s = distinctSettings();
    s.panel[1] = QStringLiteral("a=b=c");
    s.panel[2] = QStringLiteral("#nem megjegyzés");
    s.panel[3] = QStringLiteral(";ez sem");
    s.panel[4] = QString();
    s.reservedPath2 = QString();
    ASSERT_TRUE(writeSettings(file(), s));
    EXPECT_EQ(read(), s);
    ASSERT_TRUE(writeSettings(file(), s)); // over its own file: nothing moves or doubles
    EXPECT_EQ(read(), s);
    EXPECT_EQ(writtenLines().size(), 49);
}

TEST_F(SettingsFileTest, LineBreakInATextCannotAddEntries) {
    Settings s = defaultSettings(kHome);
    s.panel[0] = QStringLiteral("x\nwidth=1\r\n[ablak]");
    ASSERT_TRUE(writeSettings(file(), s));
    const Settings back = read();
    EXPECT_EQ(back.width, 866);
    EXPECT_EQ(back.panel[0], QStringLiteral("x width=1  [ablak]"));
}

TEST_F(SettingsFileTest, OlderFileKeepsItsOrderAndUnknownEntries) {
    store("; régi beállítások\n"
          "[panel]\npanel2=B\nregi=42\npanel1=A\n"
          "[extra]\nvalami=igen\n"
          "[ablak]\nheight=600\nwidth=800\n");
    ASSERT_TRUE(writeSettings(file(), defaultSettings(kHome)));
    const QStringList lines = writtenLines();
    const auto at = [&](const char* line) { return lines.indexOf(QString::fromUtf8(line)); };
    EXPECT_EQ(lines.first(), QStringLiteral("; régi beállítások"));
    // The old entries in their old places, rewritten with the new values.
    EXPECT_EQ(lines.mid(1, 4),
              (QStringList{"[panel]", "panel2=Mappa1", "regi=42", "panel1=Forrás"}));
    // New panel keys after the old ones, before the next section.
    EXPECT_EQ(at("panel3=Mappa2"), 5);
    EXPECT_EQ(at("torol500=1") + 1, at("[extra]"));
    EXPECT_EQ(at("valami=igen"), at("[extra]") + 1);
    EXPECT_EQ(lines.mid(at("[ablak]"), 5),
              (QStringList{"[ablak]", "height=581", "width=866", "left=0", "top=0"}));
    // The new section comes last, the companions' key after the keys it always had.
    EXPECT_EQ(lines.mid(lines.size() - 2), (QStringList{"pirosmappa=0", "tarsfajlok=0"}));
    EXPECT_EQ(lines.size(), 1 + 4 + 2 + 46); // comment, 4 sections, 2 old-only lines, 46 keys
}

TEST_F(SettingsFileTest, FailedWritesLeaveNothingBehind) {
    const QString missing = dir_.filePath(QStringLiteral("nincs/settings.ini"));
    EXPECT_FALSE(writeSettings(missing, defaultSettings(kHome)));
    EXPECT_FALSE(QDir(dir_.filePath(QStringLiteral("nincs"))).exists());

    ASSERT_TRUE(QDir(dir_.path()).mkdir(kSettingsFileName));
    EXPECT_FALSE(writeSettings(file(), defaultSettings(kHome)));
    EXPECT_TRUE(QDir(file()).exists());
    EXPECT_EQ(folderEntries(), QStringList{kSettingsFileName});
}

// What a power loss, a hand edit or another editor leaves in the file. Every entry that can
// still be read is read, and writing the file back keeps it and changes nothing more at the
// next close.
struct Damage {
    const char* what;
    QByteArray text;
};

// The whole literal, NUL bytes included.
template <size_t N> QByteArray bytes(const char (&text)[N]) {
    return QByteArray(text, N - 1);
}

const Damage kDamaged[] = {
    {"NUL block between lines",
     bytes("[ablak]\nwidth=900\n\0\0\0\0\nheight=600\n[kezdo]\npanel1b=X\n")},
    {"NUL run inside a line", bytes("[ablak]\nwidth=900\0\0\0height=600\n[kezdo]\npanel1b=X\n")},
    {"NUL tail", bytes("[ablak]\nwidth=900\nheight=600\n[kezdo]\npanel1b=X\n\0\0\0\0\0")},
    {"section line without ]", "[ablak\nwidth=900\nheight=600\n[kezdo\npanel1b=X\n"},
    {"lone CR line ends", "[ablak]\rwidth=900\rheight=600\r[kezdo]\rpanel1b=X\r"},
    {"byte-order mark and CRLF", "\xEF\xBB\xBF[ablak]\r\nwidth=900\r\nheight=600\r\n[kezdo]\r\n"
                                 "panel1b=X\r\n"},
    {"section without a name", "; old\n[ablak]\nwidth=900\n; c\n[ ]\nheight=600\n[\n[kezdo]\n"
                               "panel1b=X\n"},
    {"indented comment first", "  ; old\n[ablak]\nwidth=900\nheight=600\n[kezdo]\npanel1b=X\n"},
    {"repeated sections", "[ablak]\nwidth=900\n[kezdo]\npanel1b=X\n[ablak]\nheight=600\n"},
    {"U+FEFF opening the first name after the file's mark",
     "\357\273\277\357\273\277k=v\n[ablak]\nwidth=900\nheight=600\n[kezdo]\npanel1b=X\n"},
    {"blanks and junk lines", "  [ ablak ]  \n\twidth = 900 \njunk\n=7\nheight=600\n[kezdo]\n"
                              "panel1b=  X\t\n"},
};

TEST_F(SettingsFileTest, ReadsPastDamage) {
    for (const Damage& d : kDamaged) {
        SCOPED_TRACE(d.what);
        const Settings s = readText(d.text);
        EXPECT_EQ(s.width, 900);
        EXPECT_EQ(s.height, 600);
        EXPECT_EQ(s.panel1b, QStringLiteral("X"));
    }
}

TEST_F(SettingsFileTest, DamagedFileIsStableAfterOneClose) {
    for (const Damage& d : kDamaged) {
        SCOPED_TRACE(d.what);
        store(d.text);
        Settings first = read();
        first.left = first.left.value_or(0); // a window always has its place at close
        first.top = first.top.value_or(0);
        ASSERT_TRUE(writeSettings(file(), first));
        const QByteArray once = test::readFile(file());
        EXPECT_EQ(read(), first); // nothing the user set is lost at the close
        ASSERT_TRUE(writeSettings(file(), read()));
        EXPECT_EQ(test::readFile(file()), once); // and the file stops changing
        EXPECT_FALSE(once.contains('\0'));
        EXPECT_EQ(writtenLines().filter(QStringLiteral("[")).size(), 3);
    }
}

TEST_F(SettingsFileTest, ValuesKeepTheirEqualsSignsAndLength) {
    const QByteArray longName(100000, 'n');
    const Settings s = readText("[kezdo]\npanel1b=a=b=c\npanel1c=" + longName + "\n");
    EXPECT_EQ(s.panel1b, QStringLiteral("a=b=c"));
    EXPECT_EQ(s.panel1c, QString::fromLatin1(longName));
}

TEST_F(SettingsFileTest, HugeFileIsReadOnlyUpToTheLimit) {
    QByteArray text = "[ablak]\nwidth=900\n[junk]\n";
    const QByteArray line = "x=" + QByteArray(100, 'y') + "\n";
    while (text.size() < 3 * kSettingsReadLimit)
        text += line;
    store(text);
    EXPECT_EQ(read().width, 900);
    ASSERT_TRUE(writeSettings(file(), read()));
    const QByteArray written = test::readFile(file());
    EXPECT_LE(written.size(), kSettingsReadLimit + 4096);
    EXPECT_TRUE(written.endsWith("tarsfajlok=0\n")); // whole lines only, then the new section
}

TEST_F(SettingsFileTest, FolderPathsEndInTheSeparator) {
    const Settings s = readText("[kezdo]\npath0=/X/target\npath1=/X/t/\npath2=\npath8=/t\n");
    EXPECT_EQ(s.path[0], QStringLiteral("/X/target/"));
    EXPECT_EQ(s.path[1], QStringLiteral("/X/t/"));
    EXPECT_EQ(s.path[2], QString()); // still no folder, not the root
    EXPECT_EQ(s.path[3], QStringLiteral("/home/anna/+mappa3/"));
    EXPECT_EQ(s.path[kTrashSlot], QStringLiteral("/t/"));
}

// A folder named in Latin-2 bytes (from an older Windows disk) keeps those bytes through a close
// and the next start; a name typed on an older Windows machine still reads in its code page.
TEST_F(SettingsFileTest, PathsKeepTheirBytesNamesReadInTheOldCodePage) {
    const QByteArray folder = "/k\xe9pek/\xe1rv\xedzt\xfbr\xf5/";
    Settings s = distinctSettings();
    s.path[3] = pathFromNative(folder);
    s.reservedPath1 = pathFromNative(":/DCIM/\xe1/");
    ASSERT_TRUE(writeSettings(file(), s));
    EXPECT_TRUE(test::readFile(file()).contains("\npath3=" + folder + "\n"));
    const Settings back = read();
    EXPECT_EQ(nativePath(back.path[3]), folder);
    EXPECT_EQ(nativePath(back.reservedPath1), QByteArray(":/DCIM/\xe1/"));
    EXPECT_EQ(back, s);

    const Settings old = readText("[panel]\npanel1=\xe1rv\n[kezdo]\npath0=/\xe1rv/\n");
    EXPECT_EQ(nativePath(old.path[0]), QByteArray("/\xe1rv/"));
    if (!QStringDecoder("windows-1250").isValid())
        GTEST_SKIP() << "no Central European code page in this Qt";
    EXPECT_EQ(old.panel[0], QStringLiteral("árv"));
}

// U+FEFF is a character like any other inside the file: only a mark opening the file is read
// away, and the written file never opens with one.
TEST_F(SettingsFileTest, ByteOrderMarksInsideTheFileStay) {
    const QString twoMarks = QStringLiteral("\uFEFF\uFEFFx");
    const Settings old = readText("\357\273\277[panel]\npanel1=\357\273\277\357\273\277x\n");
    EXPECT_EQ(old.panel[0], twoMarks);
    Settings s = distinctSettings();
    s.panel[0] = twoMarks;
    s.path[1] = pathFromNative(QByteArray("/\357\273\277\357\273\277a/"));
    ASSERT_TRUE(writeSettings(file(), s));
    EXPECT_FALSE(test::readFile(file()).startsWith("\357\273\277"));
    EXPECT_EQ(read(), s);
}

// The settings file itself may lie in a folder whose name Qt's file classes would change.
TEST_F(SettingsFileTest, FileInAnOddlyNamedFolder) {
    for (const QByteArray& name : {QByteArray("\357\273\277p"), QByteArray("k\xe9p")}) {
        const QByteArray folder = QFile::encodeName(dir_.path()) + '/' + name;
        ASSERT_EQ(::mkdir(folder.constData(), 0777), 0);
        const QString at = pathFromNative(folder + "/settings.ini");
        ASSERT_TRUE(writeSettings(at, distinctSettings()));
        EXPECT_TRUE(pathFacts(at).isFile);
        EXPECT_EQ(readSettings(at, defaultSettings(kHome)), distinctSettings());
        ASSERT_EQ(::unlink(nativePath(at).constData()), 0);
        ASSERT_EQ(::rmdir(folder.constData()), 0); // nothing else was left in it
    }
}

// Limits the size of files this process writes, so that a write fails halfway even for root.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &old_);
        rlimit limited = old_;
        limited.rlim_cur = bytes;
        applied_ = setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    bool applied() const { return applied_; }

  private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
    bool applied_ = false;
};

TEST_F(SettingsFileTest, FailedWriteKeepsTheOldFile) {
    const QByteArray old = "[ablak]\nwidth=900\n";
    store(old);
    bool written = true;
    {
        FileSizeLimit limit(64);
        ASSERT_TRUE(limit.applied());
        written = writeSettings(file(), distinctSettings());
    }
    EXPECT_FALSE(written);
    EXPECT_EQ(test::readFile(file()), old);
    EXPECT_EQ(folderEntries(), QStringList{kSettingsFileName});
}

} // namespace
} // namespace kps
