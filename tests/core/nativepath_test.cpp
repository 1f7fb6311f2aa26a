#include "core/files/nativepath.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kps {
namespace {

// Names as a folder listing may give them: UTF-8, Latin-2 from an older Windows disk, broken
// and overlong sequences, encoded surrogates, and bytes that only look like our own escapes.
TEST(NativePath, EveryByteStringSurvivesTheRoundTrip) {
    const QByteArray names[] = {
        "IMG_0001.JPG",
        "f\xc3\xa9nyk\xc3\xa9p.jpg",    // UTF-8 "fényképe"
        "\xe1rv\xedzt\xfbr\xf5.jpg",    // Latin-2 "árvíztűrő"
        "\xc3(x.jpg",                   // broken two-byte sequence
        "\xe0\x80\xaf.jpg",             // overlong "/"
        "\xed\xb2\x80.jpg",             // an encoded lone surrogate
        "\xf4\x90\x80\x80.jpg",         // above U+10FFFF
        "\xf0\x9f\x93\xb7.jpg",         // a camera emoji, four bytes
        "end\xc3",                      // cut in the middle of a sequence
        "\357\273\277ab.jpg",           // U+FEFF opening the name
        "a\357\273\277b.jpg",           // U+FEFF inside it
        "\357\273\277\357\273\277x",    // two of them
        "/d\357\273\277/\357\273\277",  // a folder and a whole name of U+FEFF
        "\xed\xa0\xbd\xed\xb3\xb7.jpg", // a surrogate pair encoded as two lone surrogates
        "\xef\xbf\xbd.jpg",             // U+FFFD itself
        "\xef\xbf\xbe\xef\xbf\xbf",     // the noncharacters U+FFFE and U+FFFF
    };
    for (const QByteArray& raw : names) {
        const QString path = pathFromNative(raw);
        EXPECT_EQ(nativePath(path), raw) << raw.toHex().constData();
    }
}

TEST(NativePath, ValidUtf8DecodesAsText) {
    EXPECT_EQ(pathFromNative(QByteArray("/k\xc3\xa9p/\xc3\xa1.jpg")), QStringLiteral("/kép/á.jpg"));
    EXPECT_EQ(nativePath(QStringLiteral("/kép/á.jpg")), QByteArray("/k\xc3\xa9p/\xc3\xa1.jpg"));
    // U+FEFF is an ordinary character of a name, wherever it stands.
    EXPECT_EQ(pathFromNative(QByteArray("\357\273\277a\357\273\277b")),
              QStringLiteral("\uFEFFa\uFEFFb"));
    EXPECT_NE(pathFromNative(QByteArray("a\357\273\277b.jpg")), QStringLiteral("ab.jpg"));
}

TEST(NativePath, FileUrlNamesTheBytes) {
    EXPECT_EQ(fileUrl(pathFromNative(QByteArray("/k\xe9p/a b\357\273\277.html"))).toEncoded(),
              QByteArray("file:///k%E9p/a%20b%EF%BB%BF.html"));
    EXPECT_EQ(fileUrl(QStringLiteral("/súgó.html")).toLocalFile(), QStringLiteral("/súgó.html"));
}

TEST(NativePath, KeptBytesAreShownAsCentralEuropeanLetters) {
    const QString path = pathFromNative(QByteArray("/a/\xe1rv\xedzt\xfbr\xf5.jpg"));
    EXPECT_NE(path, QStringLiteral("/a/árvíztűrő.jpg")); // it is not the UTF-8 name
    EXPECT_EQ(displayPath(path), QStringLiteral("/a/árvíztűrő.jpg"));
    EXPECT_EQ(displayPath(QStringLiteral("/plain/ó.jpg")), QStringLiteral("/plain/ó.jpg"));
}

// Qt's dialogs give U+FFFD for bytes that are no UTF-8; the folder they name is found again.
TEST(NativePath, PathsBackFromQtNameTheSameFolder) {
    QTemporaryDir tmp;
    const QByteArray base = QFile::encodeName(tmp.path());
    const QByteArray folders[] = {"/k\xe9p", "/k\xe9p/\357\273\277\xe1", "/plain"};
    for (const QByteArray& f : folders)
        ASSERT_EQ(::mkdir(base + f, 0777), 0);
    for (const QByteArray& f : folders) {
        const QString ours = pathFromNative(base + f);
        EXPECT_EQ(nativePath(pathFromQt(qtPath(ours))), base + f);
        EXPECT_EQ(pathFromQt(QFile::decodeName(base + f)), ours); // as Qt lists it
    }
    ::rmdir(base + folders[1]);
    ::rmdir(base + folders[0]);
}

} // namespace
} // namespace kps
