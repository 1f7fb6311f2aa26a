#include "core/photo/fitting.h"

#include <QRect>
#include <climits>
#include <gtest/gtest.h>
#include <random>

namespace {

struct FitCase {
    const char* name;
    QSize bitmap;
    QSize area;
    QRect expected;
};

class FittingRule : public ::testing::TestWithParam<FitCase> {};

TEST_P(FittingRule, PlacesTheFrameByWholePercentages) {
    const FitCase& c = GetParam();
    const QRect got = kps::ujraatmer(c.bitmap, c.area);
    EXPECT_EQ(got.left(), c.expected.left());
    EXPECT_EQ(got.top(), c.expected.top());
    EXPECT_EQ(got.width(), c.expected.width());
    EXPECT_EQ(got.height(), c.expected.height());
}

const QSize kDesignArea(750, 426);

INSTANTIATE_TEST_SUITE_P(
    Cases, FittingRule,
    ::testing::Values(
        FitCase{"LandscapeShrinksToHeight", {4000, 3000}, kDesignArea, {91, 0, 568, 426}},
        // Only the height step applies; the whole-number ratio 112 gives 571, not 568.
        FitCase{"RatioRoundingWidensFrame", {640, 480}, kDesignArea, {90, 0, 571, 426}},
        FitCase{"SmallPhotoIsCentredUnscaled", {300, 200}, kDesignArea, {225, 113, 300, 200}},
        FitCase{"WideStripShrinksToWidth", {1000, 10}, kDesignArea, {0, 210, 750, 7}},
        FitCase{"ExactFitFillsArea", {750, 426}, kDesignArea, {0, 0, 750, 426}},
        FitCase{"TallStripShrinksToHeight", {10, 1000}, kDesignArea, {373, 0, 4, 426}},
        // Both ratios truncate to 100, so the frame keeps one pixel too many and starts at -1.
        FitCase{"TruncatedRatioOvershootsByAPixel", {1000, 1000}, {999, 999}, {-1, 0, 1000, 999}},
        FitCase{"OnePixelLargerKeepsTruncatedWidth", {751, 427}, kDesignArea, {0, 0, 751, 426}},
        FitCase{"FullHdViewer", {6000, 4000}, {1920, 1080}, {150, 0, 1621, 1080}},
        // bw * 100 exceeds 32 bits here; the 64-bit products keep the rule's result.
        FitCase{"HugeWidthDoesNotOverflow", {30'000'000, 10}, kDesignArea, {0, 213, 750, 0}},
        FitCase{"LargestIntSizes", {INT_MAX, INT_MAX}, kDesignArea, {162, 0, 426, 426}},
        FitCase{"OnePixelArea", {4000, 3000}, {1, 1}, {0, 0, 1, 0}},
        FitCase{"EmptyBitmapSitsAtCentre", {0, 0}, kDesignArea, {375, 213, 0, 0}},
        FitCase{"ZeroHeightBitmapIsEmpty", {100, 0}, kDesignArea, {375, 213, 0, 0}},
        FitCase{"NegativeBitmapIsEmpty", {-5, 10}, kDesignArea, {375, 213, 0, 0}},
        FitCase{"ZeroWidthArea", {4000, 3000}, {0, 426}, {0, 0, 0, 0}},
        FitCase{"ZeroHeightArea", {4000, 3000}, {750, 0}, {0, 0, 0, 0}},
        FitCase{"NegativeArea", {4000, 3000}, {-10, -20}, {0, 0, 0, 0}},
        FitCase{"EmptyBitmapInEmptyArea", {0, 0}, {0, 0}, {0, 0, 0, 0}}),
    [](const ::testing::TestParamInfo<FitCase>& info) { return std::string(info.param.name); });

// Over many sizes the frame never has a negative size, never enlarges the photo and never
// exceeds the area's height (the width may overshoot by the rule's rounding only).
TEST(FittingRuleBounds, NeverNegativeNeverEnlargingAcrossRandomSizes) {
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> photo(1, 20000);
    std::uniform_int_distribution<int> area(-5, 4000);
    for (int i = 0; i < 20000; ++i) {
        const QSize b(photo(random), photo(random));
        const QSize a(area(random), area(random));
        const QRect r = kps::ujraatmer(b, a);
        ASSERT_GE(r.width(), 0) << b.width() << "x" << b.height() << " in " << a.width() << "x"
                                << a.height();
        ASSERT_GE(r.height(), 0);
        ASSERT_LE(r.width(), b.width());
        ASSERT_LE(r.height(), b.height());
        if (a.width() > 0 && a.height() > 0) {
            ASSERT_LE(r.height(), a.height());
            ASSERT_LE(r.width(), a.width() + a.width() / 100 + 1);
        } else {
            ASSERT_TRUE(r.isEmpty());
        }
    }
}

} // namespace
