#include "core/photo/jpegdecoder.h"
#include "testphotos.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <turbojpeg.h>
#include <unistd.h>
#include <vector>

namespace {

using kps::DecodedPhoto;
using kps::JpegDecoder;

// Compresses a packed buffer with TurboJPEG; for the formats testphotos.h does not make.
QByteArray compress(const std::vector<unsigned char>& pixels, int width, int height,
                    int pixelFormat, int subsampling, int flags) {
    tjhandle h = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    QByteArray bytes;
    if (tjCompress2(h, pixels.data(), width, 0, height, pixelFormat, &out, &size, subsampling, 90,
                    flags) == 0)
        bytes = QByteArray(reinterpret_cast<const char*>(out), qsizetype(size));
    tjFree(out);
    tjDestroy(h);
    return bytes;
}

QByteArray progressiveJpeg(int width, int height) {
    std::vector<unsigned char> rgb(size_t(width) * size_t(height) * 3, 128);
    return compress(rgb, width, height, TJPF_RGB, TJSAMP_420, TJFLAG_PROGRESSIVE);
}

// Rewrites the frame header's height and width, as a hostile or broken file might claim.
QByteArray withClaimedSize(QByteArray jpeg, int width, int height) {
    for (qsizetype i = 2; i + 9 < jpeg.size(); ++i) {
        const auto marker = static_cast<unsigned char>(jpeg[i + 1]);
        if (static_cast<unsigned char>(jpeg[i]) == 0xFF && (marker == 0xC0 || marker == 0xC2)) {
            jpeg[i + 5] = char(height >> 8);
            jpeg[i + 6] = char(height & 0xFF);
            jpeg[i + 7] = char(width >> 8);
            jpeg[i + 8] = char(width & 0xFF);
            return jpeg;
        }
    }
    return QByteArray();
}

class JpegDecoderTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString write(const QString& name, const QByteArray& bytes) {
        const QString path = dir.filePath(name);
        EXPECT_TRUE(kps::test::writeFile(path, bytes));
        return path;
    }
    QTemporaryDir dir;
    JpegDecoder decoder;
};

// --- Scale choice: the smallest M/8 whose output covers the frame, computed by hand. ---

struct ScaleCase {
    const char* name;
    QSize full;
    QSize cover;
    QSize expected;
};

class ScaleChoice : public ::testing::TestWithParam<ScaleCase> {};

TEST_P(ScaleChoice, PicksSmallestCoveringScale) {
    const ScaleCase& c = GetParam();
    EXPECT_EQ(JpegDecoder::scaledSizeFor(c.full, c.cover), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScaleChoice,
    ::testing::Values(
        // 1/8 gives 500x375, too small for 568x426; 1/4 gives 1000x750.
        ScaleCase{"DesignFrameQuarter", {4000, 3000}, {568, 426}, {1000, 750}},
        ScaleCase{"ExactEighth", {4000, 3000}, {500, 375}, {500, 375}},
        ScaleCase{"OnePixelWiderNeedsQuarter", {4000, 3000}, {501, 375}, {1000, 750}},
        // The cover is the viewer area: the photo fitted into 1920x1080 is 1444x1080.
        ScaleCase{"FullHdThreeEighths", {4000, 3000}, {1920, 1080}, {1500, 1125}},
        // A flat area fits the photo into 13x10, a narrow one into 10x7: 1/8 covers both.
        ScaleCase{"FlatAreaFitsSmall", {4000, 3000}, {3000, 10}, {500, 375}},
        ScaleCase{"NarrowAreaFitsSmall", {4000, 3000}, {10, 1800}, {500, 375}},
        // A portrait photo in a wide viewer is fitted to 641x961, which 1/4 covers.
        ScaleCase{"PortraitInWideViewer", {4000, 6000}, {1820, 961}, {1000, 1500}},
        ScaleCase{"JustUnderFullNeedsFull", {4000, 3000}, {3600, 2700}, {4000, 3000}},
        ScaleCase{"LargerThanPhotoGivesFull", {4000, 3000}, {5000, 4000}, {4000, 3000}},
        ScaleCase{"EmptyCoverGivesFull", {4000, 3000}, {0, 0}, {4000, 3000}},
        ScaleCase{"HalfEmptyCoverGivesFull", {4000, 3000}, {600, 0}, {4000, 3000}},
        // Scaled sizes round up: 3001/8 -> 376, 2001/8 -> 251.
        ScaleCase{"RoundsUp", {3001, 2001}, {376, 251}, {376, 251}},
        ScaleCase{"Portrait", {3000, 4000}, {320, 426}, {375, 500}},
        ScaleCase{"TinyPhoto", {5, 3}, {1, 1}, {1, 1}},
        // 10000x10000 in full is 100 M pixels; 3/8 (14 M) is the largest within 16 M.
        ScaleCase{"TooManyPixelsShrinks", {10000, 10000}, {0, 0}, {3750, 3750}},
        ScaleCase{"HugeHeaderAtEighth", {30000, 30000}, {100, 100}, {3750, 3750}},
        // Even 1/8 of 60000x60000 is 56 M pixels: refused.
        ScaleCase{"HopelessHeaderRefused", {60000, 60000}, {100, 100}, {}},
        ScaleCase{"EmptyPhoto", {0, 0}, {100, 100}, {}}),
    [](const ::testing::TestParamInfo<ScaleCase>& info) { return std::string(info.param.name); });

// --- Decoding real files ---

struct DecodeCase {
    const char* name;
    QSize cover;
    QSize expected; // 800x600 photo
};

class DecodeScale : public JpegDecoderTest, public ::testing::WithParamInterface<DecodeCase> {};

TEST_P(DecodeScale, DecodesAtChosenScaleAndReportsHeaderSize) {
    const DecodeCase& c = GetParam();
    const QString path = dir.filePath("p.jpg");
    ASSERT_TRUE(kps::test::writeJpeg(path, 800, 600, 3));
    const DecodedPhoto photo = decoder.decode(path, c.cover);
    ASSERT_TRUE(photo.ok);
    EXPECT_EQ(photo.fullSize, QSize(800, 600));
    EXPECT_EQ(photo.image.size(), c.expected);
    EXPECT_EQ(photo.image.format(), QImage::Format_RGB32);
}

INSTANTIATE_TEST_SUITE_P(Cases, DecodeScale,
                         ::testing::Values(DecodeCase{"Eighth", {100, 75}, {100, 75}},
                                           DecodeCase{"Quarter", {101, 75}, {200, 150}},
                                           DecodeCase{"ThreeEighths", {300, 200}, {300, 225}},
                                           DecodeCase{"Full", {0, 0}, {800, 600}},
                                           DecodeCase{"NeverEnlarged", {2000, 2000}, {800, 600}}),
                         [](const ::testing::TestParamInfo<DecodeCase>& info) {
                             return std::string(info.param.name);
                         });

// The test photo is a gradient: red grows to the right, green downwards, no blue for seed 0.
TEST_F(JpegDecoderTest, PixelsKeepColoursAndOpaqueAlphaAtEveryScale) {
    const QString path = dir.filePath("p.jpg");
    ASSERT_TRUE(kps::test::writeJpeg(path, 640, 480, 0));
    for (const QSize cover : {QSize(), QSize(80, 60), QSize(320, 240)}) {
        const DecodedPhoto photo = decoder.decode(path, cover);
        ASSERT_TRUE(photo.ok);
        const QImage& img = photo.image;
        const QRgb centre = img.pixel(img.width() / 2, img.height() / 2);
        EXPECT_NEAR(qRed(centre), 127, 12);
        EXPECT_NEAR(qGreen(centre), 127, 12);
        EXPECT_NEAR(qBlue(centre), 0, 12);
        const QRgb right = img.pixel(img.width() - 1, 0);
        EXPECT_GT(qRed(right), 200);
        EXPECT_LT(qGreen(right), 60);
        EXPECT_LT(qRed(img.pixel(0, 0)), 60);
        EXPECT_EQ(img.constScanLine(0)[3], 0xFF) << "the unused byte of RGB32 must be opaque";
    }
}

TEST_F(JpegDecoderTest, GreyscaleJpegBecomesGreyRgb) {
    std::vector<unsigned char> grey(64 * 48, 200);
    const QString path = write("g.jpg", compress(grey, 64, 48, TJPF_GRAY, TJSAMP_GRAY, 0));
    const DecodedPhoto photo = decoder.decode(path, {});
    ASSERT_TRUE(photo.ok);
    const QRgb p = photo.image.pixel(10, 10);
    EXPECT_NEAR(qRed(p), 200, 3);
    EXPECT_EQ(qRed(p), qGreen(p));
    EXPECT_EQ(qGreen(p), qBlue(p));
}

// CMYK photos, as image editors save them with inverted inks, show in their display colour.
TEST_F(JpegDecoderTest, InvertedCmykJpegShowsDisplayColour) {
    std::vector<unsigned char> cmyk;
    for (int i = 0; i < 64 * 48; ++i)
        cmyk.insert(cmyk.end(), {255, 0, 128, 255});
    const QString path = write("c.jpg", compress(cmyk, 64, 48, TJPF_CMYK, TJSAMP_444, 0));
    const DecodedPhoto photo = decoder.decode(path, {});
    ASSERT_TRUE(photo.ok);
    const QRgb p = photo.image.pixel(20, 20);
    EXPECT_NEAR(qRed(p), 255, 6);
    EXPECT_NEAR(qGreen(p), 0, 6);
    EXPECT_NEAR(qBlue(p), 128, 6);
}

TEST_F(JpegDecoderTest, ProgressiveJpegDecodesScaled) {
    const QString path = write("prog.jpg", progressiveJpeg(320, 240));
    const DecodedPhoto photo = decoder.decode(path, {40, 30});
    ASSERT_TRUE(photo.ok);
    EXPECT_EQ(photo.fullSize, QSize(320, 240));
    EXPECT_EQ(photo.image.size(), QSize(40, 30));
}

// --- Bad files: ok == false, no crash, no image ---

QByteArray pngBytes() {
    QImage img(32, 32, QImage::Format_RGB32);
    img.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    img.save(&buffer, "PNG");
    return bytes;
}

TEST_F(JpegDecoderTest, BadFilesFailCleanly) {
    const QByteArray jpeg = kps::test::makeJpegBytes(200, 100);
    const QByteArray png = pngBytes();
    ASSERT_TRUE(png.startsWith("\x89PNG"));
    const struct {
        const char* name;
        QString path;
    } cases[] = {
        {"png named jpg", write("png.jpg", png)},
        {"first 100 bytes", write("cut.jpg", jpeg.left(100))},
        {"zero bytes", write("empty.jpg", QByteArray())},
        {"only SOI", write("soi.jpg", QByteArray("\xFF\xD8", 2))},
        {"text", write("text.jpg", QByteArray("not a photo at all\n"))},
        {"missing", dir.filePath("missing.jpg")},
        {"empty path", QString()},
        {"folder", dir.filePath("folder.jpg")},
        {"fifo", dir.filePath("fifo.jpg")},
    };
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.jpg"));
    ASSERT_EQ(mkfifo(QFile::encodeName(dir.filePath("fifo.jpg")).constData(), 0600), 0);
    for (const auto& c : cases) {
        const DecodedPhoto photo = decoder.decode(c.path, {100, 100});
        EXPECT_FALSE(photo.ok) << c.name;
        EXPECT_TRUE(photo.image.isNull()) << c.name;
    }
    // The decoder stays usable after failures.
    const QString good = write("good.jpg", jpeg);
    EXPECT_TRUE(decoder.decode(good, {}).ok);
}

// A camera's half-written file: the header is sound, so the decoded part shows and the rest
// stays grey, rather than "Load Error".
TEST_F(JpegDecoderTest, TruncatedAfterHeaderShowsPartialPhoto) {
    const QByteArray jpeg = kps::test::makeJpegBytes(400, 300, 5);
    const QString path = write("half.jpg", jpeg.left(jpeg.size() / 2));
    const DecodedPhoto photo = decoder.decode(path, {});
    ASSERT_TRUE(photo.ok);
    EXPECT_EQ(photo.fullSize, QSize(400, 300));
    EXPECT_EQ(photo.image.size(), QSize(400, 300));
    const QRgb top = photo.image.pixel(200, 2);
    EXPECT_NEAR(qRed(top), 128 + 5, 12) << "the first rows hold the photo";
    const QRgb bottom = photo.image.pixel(200, 297);
    EXPECT_NEAR(qRed(bottom), 128, 6) << "the missing rows are grey";
    EXPECT_NEAR(qGreen(bottom), 128, 6);
}

// A file that cannot be read whole is a failed read, never a photo with a grey bottom: a read
// error, or a file that shrinks while it is read (unlike one stored cut short, above).
TEST_F(JpegDecoderTest, UnreadableFileIsAReadFailure) {
    const QByteArray jpeg = kps::test::makeJpegBytes(400, 300, 5);
    const QString path = write("flaky.jpg", jpeg);
    const struct {
        const char* name;
        kps::FileRead read;
    } cases[] = {
        {"read error after the first bytes",
         [calls = 0](int fd, unsigned char* buf, qint64) mutable -> qint64 {
             if (++calls > 1) {
                 errno = EIO;
                 return -1;
             }
             return ::read(fd, buf, 1000);
         }},
        {"shrinks while it is read",
         [&](int fd, unsigned char* buf, qint64 n) -> qint64 {
             if (::truncate(QFile::encodeName(path).constData(), jpeg.size() / 2) != 0) return -1;
             return ::read(fd, buf, size_t(n));
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        write("flaky.jpg", jpeg);
        decoder.setFileRead(c.read);
        const DecodedPhoto photo = decoder.decode(path, {});
        EXPECT_FALSE(photo.ok);
        EXPECT_TRUE(photo.readFailed);
        EXPECT_TRUE(photo.image.isNull());
        decoder.setFileRead({});
        write("flaky.jpg", jpeg);
        const DecodedPhoto again = decoder.decode(path, {});
        EXPECT_TRUE(again.ok);
        EXPECT_FALSE(again.readFailed);
    }
}

TEST_F(JpegDecoderTest, HeaderClaimingHugeSizeNeverAllocatesIt) {
    const QByteArray small = kps::test::makeJpegBytes(64, 64);
    const QByteArray hostile = withClaimedSize(small, 60000, 60000);
    ASSERT_FALSE(hostile.isEmpty());
    const DecodedPhoto refused = decoder.decode(write("huge.jpg", hostile), {});
    EXPECT_FALSE(refused.ok);
    EXPECT_TRUE(refused.image.isNull());
    EXPECT_EQ(refused.fullSize, QSize(60000, 60000));

    // 20000x20000 in full would be 1.6 GB of pixels; 1/8 is the largest scale within the
    // budget. The missing data decodes grey, as for any photo cut short after its header.
    const QByteArray large = withClaimedSize(small, 20000, 20000);
    const DecodedPhoto bounded = decoder.decode(write("large.jpg", large), {});
    ASSERT_TRUE(bounded.ok);
    EXPECT_EQ(bounded.image.size(), QSize(2500, 2500));
    EXPECT_EQ(bounded.fullSize, QSize(20000, 20000));
}

// Progressive data is buffered whole by libjpeg whatever the output scale: 20000x20000 would
// need 1.2 GB of coefficients, so it is refused before decoding.
TEST_F(JpegDecoderTest, ProgressiveHeaderNeedingHugeBufferIsRefused) {
    const QByteArray hostile = withClaimedSize(progressiveJpeg(64, 64), 20000, 20000);
    ASSERT_FALSE(hostile.isEmpty());
    const DecodedPhoto photo = decoder.decode(write("prog-huge.jpg", hostile), {100, 100});
    EXPECT_FALSE(photo.ok);
    EXPECT_TRUE(photo.image.isNull());
    EXPECT_EQ(photo.fullSize, QSize(20000, 20000));
}

// --- Buffer reuse ---

TEST_F(JpegDecoderTest, ReusesOutputStorageOnceTheCallerDropsIt) {
    const QString a = dir.filePath("a.jpg");
    const QString b = dir.filePath("b.jpg");
    ASSERT_TRUE(kps::test::writeJpeg(a, 320, 240, 1));
    ASSERT_TRUE(kps::test::writeJpeg(b, 320, 240, 90));
    DecodedPhoto first = decoder.decode(a, {});
    ASSERT_TRUE(first.ok);
    const uchar* storage = first.image.constBits();
    first = DecodedPhoto();
    const DecodedPhoto second = decoder.decode(b, {});
    ASSERT_TRUE(second.ok);
    EXPECT_EQ(second.image.constBits(), storage);
}

TEST_F(JpegDecoderTest, HeldImagesAreNeverOverwritten) {
    const QString a = dir.filePath("a.jpg");
    const QString b = dir.filePath("b.jpg");
    ASSERT_TRUE(kps::test::writeJpeg(a, 320, 240, 1));
    ASSERT_TRUE(kps::test::writeJpeg(b, 320, 240, 30));
    const DecodedPhoto first = decoder.decode(a, {});
    ASSERT_TRUE(first.ok);
    const QImage copyOfFirst = first.image.copy();
    for (int i = 0; i < 3; ++i) {
        const DecodedPhoto other = decoder.decode(b, {});
        ASSERT_TRUE(other.ok);
        EXPECT_NE(other.image.constBits(), first.image.constBits());
    }
    EXPECT_EQ(first.image, copyOfFirst);
}

TEST_F(JpegDecoderTest, FailedDecodeKeepsNoStaleImage) {
    const QString good = dir.filePath("good.jpg");
    ASSERT_TRUE(kps::test::writeJpeg(good, 100, 100));
    ASSERT_TRUE(decoder.decode(good, {}).ok);
    const DecodedPhoto bad = decoder.decode(write("bad.jpg", QByteArray(5000, 'x')), {});
    EXPECT_FALSE(bad.ok);
    EXPECT_TRUE(bad.image.isNull());
    EXPECT_TRUE(bad.fullSize.isEmpty());
}

// --- Damaged files: nothing of one decode reaches the next ---

// Offset of the first marker FF `code` at or after `from`; entropy data never holds one, since
// its FF bytes are stuffed.
qsizetype markerAt(const QByteArray& jpeg, unsigned char code, qsizetype from = 2) {
    return jpeg.indexOf(QByteArray("\xFF", 1) + char(code), from);
}

QByteArray withoutSegments(QByteArray jpeg, unsigned char code) {
    for (qsizetype at = markerAt(jpeg, code); at > 0; at = markerAt(jpeg, code, at)) {
        const int length = (uchar(jpeg[at + 2]) << 8) | uchar(jpeg[at + 3]);
        jpeg.remove(at, 2 + length);
    }
    return jpeg;
}

// Cut a few bytes into the Huffman table that follows the first scan.
QByteArray cutInLaterTable(const QByteArray& jpeg) {
    const qsizetype table = markerAt(jpeg, 0xC4, markerAt(jpeg, 0xDA));
    return table > 0 ? jpeg.left(table + 7) : QByteArray();
}

// The last scan repeated until the file has `scans` of them.
QByteArray withScans(const QByteArray& jpeg, int scans) {
    int have = 0;
    qsizetype last = -1;
    for (qsizetype at = markerAt(jpeg, 0xDA); at > 0; at = markerAt(jpeg, 0xDA, at + 2)) {
        ++have;
        last = at;
    }
    const QByteArray scan = jpeg.mid(last, jpeg.size() - 2 - last);
    QByteArray out = jpeg.left(jpeg.size() - 2);
    for (; have < scans; ++have)
        out += scan;
    return out + QByteArray("\xFF\xD9", 2);
}

QByteArray filled(int width, int height, std::vector<unsigned char> pixel, int format,
                  int subsampling, int flags) {
    std::vector<unsigned char> pixels;
    for (int i = 0; i < width * height; ++i)
        pixels.insert(pixels.end(), pixel.begin(), pixel.end());
    return compress(pixels, width, height, format, subsampling, flags);
}

// A header that fails to read leaves the decoder as good as new: the next photo shows.
TEST_F(JpegDecoderTest, BadHeadersLeaveTheDecoderAsNew) {
    const QByteArray jpeg = kps::test::makeJpegBytes(200, 100, 7);
    const qsizetype frame = markerAt(jpeg, 0xC0);
    const int frameLength = (uchar(jpeg[frame + 2]) << 8) | uchar(jpeg[frame + 3]);
    const QString good = write("good.jpg", jpeg);
    const struct {
        const char* name;
        QByteArray bytes;
    } cases[] = {
        {"frame marker without length", QByteArray("\xFF\xD8\xFF\xC0", 4)},
        {"two starts of image", QByteArray("\xFF\xD8\xFF\xD8", 4)},
        {"cut after the frame header", jpeg.left(frame + 2 + frameLength)},
        {"cut inside the frame header", jpeg.left(frame + 6)},
        {"tables only", jpeg.left(markerAt(jpeg, 0xC0)) + QByteArray("\xFF\xD9", 2)},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(decoder.decode(write("bad.jpg", c.bytes), {}).ok) << c.name;
        const DecodedPhoto next = decoder.decode(good, {});
        ASSERT_TRUE(next.ok) << "after " << c.name;
        EXPECT_EQ(next.image.size(), QSize(200, 100));
        EXPECT_NEAR(qRed(next.image.pixel(100, 2)), 128 + 7, 12) << c.name;
    }
}

// A fatal error after a warning is a failure, and a cut between scans shows what the file
// holds: the reused output buffer never shows the previous photo under this file's name.
TEST_F(JpegDecoderTest, DamagedFilesNeverShowThePreviousPhoto) {
    const QByteArray red = filled(96, 64, {250, 10, 10}, TJPF_RGB, TJSAMP_420, 0);
    const QByteArray blue = filled(96, 64, {10, 10, 250}, TJPF_RGB, TJSAMP_420, TJFLAG_PROGRESSIVE);
    const QByteArray cyan = filled(96, 64, {255, 0, 0, 255}, TJPF_CMYK, TJSAMP_444, 0);
    const QByteArray magenta =
        filled(96, 64, {0, 255, 0, 255}, TJPF_CMYK, TJSAMP_444, TJFLAG_PROGRESSIVE);
    const struct {
        const char* name;
        QByteArray previous, damaged;
        bool shown;
    } cases[] = {
        {"progressive cut in a later table", red, cutInLaterTable(blue), false},
        {"progressive CMYK cut in a later table", cyan, cutInLaterTable(magenta), false},
        {"progressive cut between scans", red,
         blue.left(markerAt(blue, 0xDA, markerAt(blue, 0xDA) + 2)), true},
    };
    for (const auto& c : cases) {
        const DecodedPhoto previous = decoder.decode(write("previous.jpg", c.previous), {});
        ASSERT_TRUE(previous.ok) << c.name;
        const QRgb previousColour = previous.image.pixel(48, 32);
        const DecodedPhoto damaged = decoder.decode(write("damaged.jpg", c.damaged), {});
        EXPECT_EQ(damaged.ok, c.shown) << c.name;
        EXPECT_EQ(damaged.image.isNull(), !c.shown) << c.name;
        if (c.shown) {
            EXPECT_NE(damaged.image.pixel(48, 32), previousColour) << c.name;
        }
    }
}

// A file lacking a table decodes the same whatever was decoded before it on the same decoder.
TEST_F(JpegDecoderTest, MissingTablesAreNeverTakenFromThePreviousPhoto) {
    const QByteArray previous = compress(std::vector<unsigned char>(128 * 96 * 3, 90), 128, 96,
                                         TJPF_RGB, TJSAMP_420, TJFLAG_PROGRESSIVE);
    const QByteArray photo = kps::test::makeJpegBytes(128, 96, 3, 40);
    const struct {
        const char* name;
        QByteArray bytes;
    } cases[] = {
        {"no quantisation table", withoutSegments(photo, 0xDB)},
        {"no Huffman table", withoutSegments(photo, 0xC4)},
    };
    for (const auto& c : cases) {
        const QString path = write("damaged.jpg", c.bytes);
        const DecodedPhoto alone = JpegDecoder().decode(path, {});
        ASSERT_TRUE(decoder.decode(write("previous.jpg", previous), {}).ok);
        const DecodedPhoto after = decoder.decode(path, {});
        EXPECT_EQ(after.ok, alone.ok) << c.name;
        EXPECT_EQ(after.image, alone.image) << c.name;
    }
}

// --- Memory budget: the whole decode, whatever the header claims ---

TEST_F(JpegDecoderTest, EveryDecodeStaysWithinTheBudget) {
    const std::vector<unsigned char> grey{128, 128, 128};
    const QByteArray progressive444 =
        filled(64, 64, grey, TJPF_RGB, TJSAMP_444, TJFLAG_PROGRESSIVE);
    const QByteArray progressive420 =
        filled(64, 64, grey, TJPF_RGB, TJSAMP_420, TJFLAG_PROGRESSIVE);
    const struct {
        const char* name;
        QByteArray bytes;
        QSize cover;
        QSize decoded; // empty when refused
    } cases[] = {
        // 8190x8190 progressive 4:4:4 needs 400 MB of coefficients at any scale.
        {"progressive 4:4:4 claiming 8190x8190",
         withClaimedSize(progressive444, 8190, 8190),
         {1920, 1080},
         {}},
        {"progressive 4:2:0 claiming 8190x8190",
         withClaimedSize(progressive420, 8190, 8190),
         {},
         {}},
        // 54 MB of coefficients leave room for a 3/8 output.
        {"progressive 4:4:4 claiming 3000x3000",
         withClaimedSize(progressive444, 3000, 3000),
         {1000, 1000},
         {1125, 1125}},
        {"baseline claiming 20000x20000",
         withClaimedSize(kps::test::makeJpegBytes(64, 64), 20000, 20000),
         {},
         {2500, 2500}},
        {"ordinary progressive", progressive420, {}, {64, 64}},
        {"progressive with 200 scans", withScans(progressive420, 200), {}, {}},
        {"progressive with 40 scans", withScans(progressive420, 40), {}, {64, 64}},
    };
    // Read scan by scan for a stand-in, the same files give the same answers.
    int firstScans = 0;
    const kps::FirstScan receiver = [&](const DecodedPhoto&) { ++firstScans; };
    for (const auto& c : cases) {
        ASSERT_FALSE(c.bytes.isEmpty()) << c.name;
        for (const kps::FirstScan& firstScan : {kps::FirstScan(), receiver}) {
            SCOPED_TRACE(firstScan ? "scan by scan" : "whole");
            const DecodedPhoto photo =
                decoder.decode(write("p.jpg", c.bytes), c.cover, {}, firstScan);
            EXPECT_EQ(photo.ok, !c.decoded.isEmpty()) << c.name;
            EXPECT_EQ(photo.image.isNull() ? QSize() : photo.image.size(), c.decoded) << c.name;
            EXPECT_LE(decoder.lastDemandBytes(), JpegDecoder::kBudgetBytes) << c.name;
            EXPECT_EQ(decoder.budget()->inUse(), 0) << c.name;
        }
    }
    // The progressive files decoded, and the one with too many scans, refused only later.
    EXPECT_EQ(firstScans, 4);
}

// Decoders sharing a budget never hold more than it together: one that may not wait gives up
// and says so, one that may waits for the memory.
TEST_F(JpegDecoderTest, SharedBudgetIsNeverExceeded) {
    const QString path = dir.filePath("p.jpg");
    ASSERT_TRUE(kps::test::writeJpeg(path, 640, 480, 2));
    auto budget = std::make_shared<kps::DecodeBudget>(JpegDecoder::kBudgetBytes);
    JpegDecoder background(budget, false), foreground(budget, true);
    ASSERT_TRUE(budget->tryReserve(JpegDecoder::kBudgetBytes - 1000));
    EXPECT_TRUE(background.decode(path, {}).deferred);
    std::atomic<bool> done{false};
    std::thread waiting([&] { done = foreground.decode(path, {}).ok; });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(done) << "the decode waits while the memory is held";
    budget->release(JpegDecoder::kBudgetBytes - 1000);
    waiting.join();
    EXPECT_TRUE(done);
    EXPECT_EQ(budget->inUse(), 0);
}

// A real large progressive photo keeps every coefficient at any scale, more than the budget:
// the user's decoder shows it alone, the worker's leaves it to the user's.
TEST_F(JpegDecoderTest, LargeProgressivePhotoDecodesAloneOnTheUsersThread) {
    const int w = 7200, h = 4800; // 104 MB of coefficients
    std::vector<unsigned char> rgb(size_t(w) * size_t(h) * 3);
    quint32 noise = 1;
    for (unsigned char& c : rgb) {
        noise = noise * 1664525u + 1013904223u;
        c = static_cast<unsigned char>(120 + (noise >> 28));
    }
    const QByteArray jpeg = compress(rgb, w, h, TJPF_RGB, TJSAMP_420, TJFLAG_PROGRESSIVE);
    ASSERT_FALSE(jpeg.isEmpty());
    const auto* data = reinterpret_cast<const unsigned char*>(jpeg.constData());
    auto budget = std::make_shared<kps::DecodeBudget>(JpegDecoder::kBudgetBytes);
    JpegDecoder background(budget, false), foreground(budget, true);

    EXPECT_TRUE(background.decodeBytes(data, jpeg.size(), {1920, 1080}).deferred);
    const DecodedPhoto photo = foreground.decodeBytes(data, jpeg.size(), {1920, 1080});
    ASSERT_TRUE(photo.ok);
    EXPECT_EQ(photo.fullSize, QSize(w, h));
    EXPECT_EQ(photo.image.size(), QSize(1800, 1200));
    EXPECT_GT(foreground.lastDemandBytes(), JpegDecoder::kBudgetBytes);
    EXPECT_LE(foreground.lastDemandBytes(), JpegDecoder::kLargeDecodeBytes);
    EXPECT_EQ(budget->inUse(), 0);
}

// A decode stopped on request, before libjpeg starts or part-way through its rows or scans,
// returns "cancelled" rather than a failure, gives its memory back, and leaves nothing behind
// for the next decode of the same decoder.
TEST_F(JpegDecoderTest, StoppedDecodeIsCancelledAndFreesItsMemory) {
    const QString baseline = write("b.jpg", kps::test::makeJpegBytes(640, 480, 3));
    const QString progressive = write("p.jpg", progressiveJpeg(640, 480));
    // Two checks come before libjpeg starts (before the file is read, before the memory is
    // reserved); later ones come from libjpeg's progress hook.
    // Read scan by scan, the first scan arrives first; a stop after it still cancels.
    const struct {
        QString path;
        int checksAllowed;
        bool scanByScan;
        bool stopAtFirstScan;
    } cases[] = {{baseline, 0, false, false},    {baseline, 1, false, false},
                 {baseline, 2, false, false},    {baseline, 40, false, false},
                 {progressive, 2, false, false}, {progressive, 3, false, false},
                 {progressive, 3, true, false},  {progressive, 1000000, true, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.section(u'/', -1).toStdString() + " after " +
                     std::to_string(c.checksAllowed) + (c.scanByScan ? " scan by scan" : ""));
        int checks = 0;
        bool stopNow = false;
        std::vector<QSize> scans;
        const kps::FirstScan firstScan = [&](const DecodedPhoto& scan) {
            EXPECT_TRUE(scan.ok && scan.preview);
            EXPECT_EQ(scan.fullSize, QSize(640, 480));
            scans.push_back(scan.image.size());
            stopNow = c.stopAtFirstScan;
        };
        const DecodedPhoto stopped = decoder.decode(
            c.path, {}, [&] { return checks++ >= c.checksAllowed || stopNow; },
            c.scanByScan ? firstScan : kps::FirstScan());
        EXPECT_TRUE(stopped.cancelled);
        EXPECT_FALSE(stopped.ok);
        EXPECT_TRUE(stopped.image.isNull());
        if (!c.stopAtFirstScan) {
            EXPECT_EQ(checks, c.checksAllowed + 1) << "stopped at the first check that said so";
        }
        EXPECT_EQ(scans,
                  c.stopAtFirstScan ? std::vector<QSize>{QSize(160, 120)} : std::vector<QSize>{});
        EXPECT_EQ(decoder.budget()->inUse(), 0);

        scans.clear();
        stopNow = false;
        const DecodedPhoto next = decoder.decode(
            c.path, {}, [] { return false; }, c.scanByScan ? firstScan : kps::FirstScan());
        ASSERT_TRUE(next.ok);
        EXPECT_FALSE(next.cancelled);
        EXPECT_EQ(scans.size(), c.scanByScan ? 1u : 0u);
        JpegDecoder fresh;
        EXPECT_EQ(next.image, fresh.decode(c.path, {}).image) << "the sharp photo, all scans";
    }
    // Failures are never reported as cancelled.
    const QString bad = write("bad.jpg", QByteArray("not a photo"));
    EXPECT_FALSE(decoder.decode(bad, {}, [] { return false; }).cancelled);
}

TEST_F(JpegDecoderTest, DecodesFromMemory) {
    const QByteArray jpeg = kps::test::makeJpegBytes(80, 60, 4);
    const auto* data = reinterpret_cast<const unsigned char*>(jpeg.constData());
    const DecodedPhoto photo = decoder.decodeBytes(data, jpeg.size(), {40, 30});
    ASSERT_TRUE(photo.ok);
    EXPECT_EQ(photo.image.size(), QSize(40, 30));
    EXPECT_FALSE(decoder.decodeBytes(data, 4, {}).ok);
    EXPECT_FALSE(decoder.decodeBytes(nullptr, 0, {}).ok);
}

} // namespace
