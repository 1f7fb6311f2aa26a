// The pixel size read from a JPEG's frame header without decoding.

#include "core/photo/embeddedpreview.h"
#include "core/photo/jpegheader.h"
#include "testphotos.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace kps {
namespace {

QByteArray segment(unsigned char marker, const QByteArray& body) {
    QByteArray s("\xFF", 1);
    s += char(marker);
    const int length = int(body.size()) + 2;
    s += char(length >> 8);
    s += char(length & 0xFF);
    return s + body;
}

// A frame header of the given kind and size, with one component.
QByteArray frame(unsigned char sof, int width, int height) {
    QByteArray body;
    body += char(8);
    body += char(height >> 8);
    body += char(height & 0xFF);
    body += char(width >> 8);
    body += char(width & 0xFF);
    body += QByteArray("\x01\x01\x11\x00", 4);
    return segment(sof, body);
}

const QByteArray kSoi("\xFF\xD8", 2);

TEST(JpegHeader, FindsTheFrameSizeOrSaysItCannot) {
    const QByteArray real = test::makeJpegBytes(123, 45, 3);
    const QByteArray exif = segment(0xE1, QByteArray("Exif\0\0", 6) + QByteArray(60000, 'x'));
    struct Case {
        const char* name;
        QByteArray bytes;
        QSize size; // invalid: no size can be told
    };
    const Case cases[] = {
        {"a real photo", real, QSize(123, 45)},
        {"behind a large Exif block", kSoi + exif + real.mid(2), QSize(123, 45)},
        {"progressive frame", kSoi + segment(0xC4, "tables") + frame(0xC2, 6000, 4000),
         QSize(6000, 4000)},
        {"fill bytes before a marker",
         kSoi + QByteArray("\xFF\xFF\xFF", 3) + frame(0xC0, 7, 9).mid(1), QSize(7, 9)},
        {"restart marker on the way", kSoi + QByteArray("\xFF\xD3", 2) + frame(0xC1, 5, 6),
         QSize(5, 6)},
        {"largest size", kSoi + frame(0xC0, 65535, 65535), QSize(65535, 65535)},
        {"no JPEG", QByteArray("GIF89a....."), QSize()},
        {"empty", QByteArray(), QSize()},
        {"only the start", kSoi, QSize()},
        {"cut inside the frame header", (kSoi + frame(0xC0, 64, 48)).left(9), QSize()},
        {"cut inside a segment", kSoi + exif.left(100), QSize()},
        {"scan before any frame", kSoi + segment(0xDA, "scan") + frame(0xC0, 64, 48), QSize()},
        {"end before any frame", kSoi + QByteArray("\xFF\xD9", 2) + frame(0xC0, 64, 48), QSize()},
        {"zero height (given later)", kSoi + frame(0xC0, 64, 0), QSize()},
        {"zero width", kSoi + frame(0xC0, 0, 48), QSize()},
        {"frame header too short", kSoi + segment(0xC0, "\x08\x00"), QSize()},
        {"length below two", kSoi + QByteArray("\xFF\xE0\x00\x01", 4) + frame(0xC0, 4, 4), QSize()},
        {"no marker where one must be", kSoi + QByteArray("\x12\x34", 2), QSize()},
        {"arithmetic tables are no frame", kSoi + segment(0xCC, "ab") + frame(0xC9, 3, 2),
         QSize(3, 2)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(jpegFrameSize(reinterpret_cast<const unsigned char*>(c.bytes.constData()),
                                c.bytes.size()),
                  c.size);
    }
}

TEST(JpegHeader, LooksNoFurtherThanItsLimit) {
    // Segments of 64 KB each, the frame header beyond the limit.
    QByteArray bytes = kSoi;
    while (bytes.size() < kMaxHeaderOffset)
        bytes += segment(0xE2, QByteArray(65000, 'i'));
    bytes += frame(0xC0, 10, 10);
    qint64 furthest = 0;
    const QSize size = jpegFrameSize([&](qint64 offset, unsigned char* buf, qint64 n) -> qint64 {
        furthest = std::max(furthest, offset + n);
        const qint64 got = std::max<qint64>(0, std::min<qint64>(n, bytes.size() - offset));
        std::memcpy(buf, bytes.constData() + offset, size_t(got));
        return got;
    });
    EXPECT_FALSE(size.isValid());
    EXPECT_LE(furthest, kMaxHeaderOffset + 16);
}

TEST(JpegHeader, OnlyRegularFilesAreRead) {
    QTemporaryDir tmp;
    const QString photo = tmp.filePath("a.jpg");
    ASSERT_TRUE(test::writeJpeg(photo, 64, 48, 1));
    const PhotoHead head = readPhotoHead(photo);
    EXPECT_TRUE(head.isFile);
    EXPECT_EQ(head.bytes, QFileInfo(photo).size());
    EXPECT_EQ(head.modifiedMs, QFileInfo(photo).lastModified().toMSecsSinceEpoch());
    EXPECT_EQ(head.head.frameSize, QSize(64, 48));
    EXPECT_FALSE(readPhotoHead(tmp.filePath("missing.jpg")).isFile);
    EXPECT_FALSE(readPhotoHead(tmp.path()).head.frameSize.isValid());
    const QString fifo = tmp.filePath("fifo.jpg");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_FALSE(readPhotoHead(fifo).isFile); // returns at once, nobody writes to it
}

} // namespace
} // namespace kps

namespace kps {
namespace {

// Embedded pictures of a 300x200 photo: found in the first segments, read, and passed over when
// they cannot stand for the photo.
TEST(EmbeddedPreview, StandsInOnlyWithThePhotosProportions) {
    const QByteArray baseline = test::makeJpegBytes(300, 200, 1);
    const QByteArray progressive = test::makeJpegBytes(300, 200, 1, 85, true);
    const QByteArray thumb = test::makeJpegBytes(48, 32, 2);
    const QByteArray preview = test::makeJpegBytes(150, 100, 3);
    const QByteArray square = test::makeJpegBytes(100, 100, 4);
    const QByteArray portrait = test::makeJpegBytes(32, 48, 5);
    const QByteArray garbage(4000, 'g');
    const QByteArray both = test::withEmbeddedPictures(baseline, thumb, preview);
    struct Case {
        const char* name;
        QByteArray bytes;
        QSize shown; // the picture that stands in; invalid: none
    };
    const Case cases[] = {
        {"baseline without pictures", baseline, {}},
        {"progressive without pictures", progressive, {}},
        {"Exif thumbnail", test::withEmbeddedPictures(baseline, thumb, {}), {48, 32}},
        {"MPF preview", test::withEmbeddedPictures(baseline, {}, preview), {150, 100}},
        {"both: the larger preview", both, {150, 100}},
        {"progressive with both",
         test::withEmbeddedPictures(progressive, thumb, preview),
         {150, 100}},
        {"garbage preview, sound thumbnail",
         test::withEmbeddedPictures(baseline, thumb, garbage),
         {48, 32}},
        {"preview cut off by the file's end", both.left(both.size() - 10), {48, 32}},
        {"square preview", test::withEmbeddedPictures(baseline, {}, square), {}},
        {"preview larger than the photo",
         test::withEmbeddedPictures(baseline, {}, test::makeJpegBytes(600, 400, 6)),
         {}},
        {"thumbnail turned upright", test::withEmbeddedPictures(baseline, portrait, {}), {}},
        {"garbage thumbnail", test::withEmbeddedPictures(baseline, garbage.left(900), {}), {}},
    };
    QTemporaryDir tmp;
    JpegDecoder decoder;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = tmp.filePath("p.jpg");
        ASSERT_TRUE(test::writeFile(path, c.bytes));
        const PhotoHead head = readPhotoHead(path);
        EXPECT_EQ(head.head.frameSize, QSize(300, 200));
        const DecodedPhoto shown = decodeEmbeddedPreview(decoder, path, head, {}, {});
        EXPECT_EQ(shown.ok, c.shown.isValid());
        if (c.shown.isValid()) {
            EXPECT_EQ(shown.image.size(), c.shown);
        }
        if (shown.ok) {
            EXPECT_TRUE(shown.preview);
            EXPECT_EQ(shown.fullSize, QSize(300, 200)); // the photo's size, never the preview's
        }
        // The photo itself still decodes whole, whatever is embedded.
        EXPECT_EQ(decoder.decode(path, {}).image.size(), QSize(300, 200));
    }
}

TEST(EmbeddedPreview, ProportionsWithinATolerance) {
    EXPECT_TRUE(sameProportions({160, 107}, {6000, 4000})); // rounded
    EXPECT_TRUE(sameProportions({1620, 1080}, {6000, 4000}));
    EXPECT_FALSE(sameProportions({160, 120}, {6000, 4000})); // letterboxed 4:3
    EXPECT_FALSE(sameProportions({1080, 1620}, {6000, 4000}));
    EXPECT_FALSE(sameProportions({}, {6000, 4000}));
}

} // namespace
} // namespace kps
