#include "core/state/windowplace.h"

#include <gtest/gtest.h>

namespace {

struct PlaceCase {
    const char* name;
    QRect stored;
    bool hasPosition;
    QList<QRect> screens; // available areas, the primary first
    QRect expected;
};

class WindowPlace : public ::testing::TestWithParam<PlaceCase> {};

TEST_P(WindowPlace, KeepsTheTitleBarOnAScreenAndTheSizeWithinIt) {
    const PlaceCase& c = GetParam();
    EXPECT_EQ(kps::placeOnScreens(c.stored, c.hasPosition, c.screens), c.expected);
}

const QRect kFullHd(0, 0, 1920, 1040);     // a 1920 x 1080 screen above a 40-pixel panel
const QRect kRightOf(1920, 0, 1280, 1024); // a second screen to its right
const QRect kHalfScale(0, 0, 960, 510);    // the first at a scale factor of 2, logical

INSTANTIATE_TEST_SUITE_P(
    Screens, WindowPlace,
    ::testing::Values(
        PlaceCase{"StaysWhereItWas", {40, 32, 866, 581}, true, {kFullHd}, {40, 32, 866, 581}},
        PlaceCase{"PartlyOffTheRightIsTheUsersChoice",
                  {1500, 100, 866, 581},
                  true,
                  {kFullHd},
                  {1500, 100, 866, 581}},
        PlaceCase{"TitleBarAboveTheScreen", {-3, -30, 866, 581}, true, {kFullHd}, {0, 0, 866, 581}},
        PlaceCase{"TitleBarMostlyAboveTheScreen",
                  {200, -20, 866, 581},
                  true,
                  {kFullHd},
                  {200, 0, 866, 581}},
        PlaceCase{
            "BorderJustAboveTheScreen", {-2, -2, 866, 581}, true, {kFullHd}, {-2, -2, 866, 581}},
        PlaceCase{
            "OnAScreenThatIsGone", {2200, 300, 866, 581}, true, {kFullHd}, {1054, 300, 866, 581}},
        PlaceCase{"FarBelowEveryScreen",
                  {100, 5000, 866, 581},
                  true,
                  {kFullHd, kRightOf},
                  {100, 459, 866, 581}},
        PlaceCase{"OnTheSecondScreen",
                  {2000, 50, 866, 581},
                  true,
                  {kFullHd, kRightOf},
                  {2000, 50, 866, 581}},
        PlaceCase{"TooBigForItsScreen",
                  {2000, 0, 1600, 1200},
                  true,
                  {kFullHd, kRightOf},
                  {1920, 0, 1280, 1024}},
        PlaceCase{
            "DefaultSizeAtTwiceTheScale", {0, 0, 866, 581}, false, {kHalfScale}, {0, 0, 866, 510}},
        PlaceCase{"DefaultSizeOnAWideScreen", {0, 0, 866, 581}, false, {kFullHd}, {0, 0, 866, 581}},
        PlaceCase{"NoScreenKnown", {-3, -30, 866, 581}, true, {}, {-3, -30, 866, 581}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
