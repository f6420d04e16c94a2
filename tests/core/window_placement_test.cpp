#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "core/window_placement.h"

namespace calventa::core {
namespace {

struct Placement
{
    const char* Name;
    int64_t Left;
    int64_t Top;
    int64_t Width;
    int64_t Height;
    bool Reachable;
};

// Two screens side by side: 1024 × 768 at the origin and 1280 × 1024 to its right.
const std::vector<ScreenArea> kScreens{{0, 0, 1024, 768}, {1024, 0, 1280, 1024}};
constexpr int64_t kCaption = 17;

class CaptionPlacement : public ::testing::TestWithParam<Placement>
{
};

TEST_P(CaptionPlacement, ReachableOnlyWithSixteenByEightOfTheCaptionOnOneScreen)
{
    const Placement& p = GetParam();
    EXPECT_EQ(CaptionOnSomeScreen(p.Left, p.Top, p.Width, p.Height, kCaption, kScreens), p.Reachable);
}

constexpr int64_t kMaxInt32 = std::numeric_limits<int32_t>::max();
constexpr int64_t kMinInt32 = std::numeric_limits<int32_t>::min();

INSTANTIATE_TEST_SUITE_P(
    Screens, CaptionPlacement,
    ::testing::Values(Placement{"DefaultCorner", 840, 20, 170, 300, true},
                      Placement{"SixteenPixelsLeftOnTheRight", 2304 - 16, 0, 170, 300, true},
                      Placement{"FifteenPixelsLeftOnTheRight", 2304 - 15, 0, 170, 300, false},
                      Placement{"CaptionAboveTheScreen", 0, -10, 170, 300, false},
                      Placement{"EightCaptionRowsAtTheBottom", 1100, 1024 - 8, 170, 300, true},
                      Placement{"BelowTheSmallScreenOnly", 100, 800, 170, 300, false},
                      Placement{"BelowTheSmallScreenOnTheLargeOne", 1100, 800, 170, 300, true},
                      Placement{"AcrossTheSeamOnBoth", 1024 - 10, 10, 20, 300, false},
                      Placement{"Int32Extremes", kMinInt32, kMaxInt32, 170, 300, false},
                      Placement{"NegativeSize", 100, 100, -170, -300, false}),
    [](const ::testing::TestParamInfo<Placement>& testCase) { return std::string(testCase.param.Name); });

TEST(CaptionPlacementWithoutScreens, NothingIsReachable)
{
    EXPECT_FALSE(CaptionOnSomeScreen(0, 0, 170, 300, kCaption, {}));
}

TEST(MainWindowPlacement, AStoredPositionOffEveryScreenBecomesTheDefaultsInTheBlockToo)
{
    SettingsBlock block;
    SetDefaultSettings(block, {1024, 768}, kDefaultMainWindowWidth);
    const WindowPosition defaults = DefaultMainWindowPosition({1024, 768});
    block.WindowLeft = 1200; // on the second screen: kept
    block.WindowTop = 500;
    WindowPosition placed = PlaceMainWindow(block, {1024, 768}, 170, 300, kCaption, kScreens);
    EXPECT_EQ(placed.Left, 1200);
    EXPECT_EQ(placed.Top, 500);

    block.WindowLeft = -30000;
    placed = PlaceMainWindow(block, {1024, 768}, 170, 300, kCaption, kScreens);
    EXPECT_EQ(placed.Left, defaults.Left);
    EXPECT_EQ(placed.Top, defaults.Top);
    EXPECT_EQ(block.WindowLeft, defaults.Left) << "the block follows, so nothing counts as moved";
    EXPECT_EQ(block.WindowTop, defaults.Top);
}

} // namespace
} // namespace calventa::core
