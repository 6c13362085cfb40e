#include "agent/accessibility/PointerMover.h"

#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::sim;

namespace {

class PointerMoverTest : public ::testing::Test {
protected:
    SimDesktop desktop;
    ScopedPlatform scoped{desktop};
};

TEST_F(PointerMoverTest, LandsInsetFromTheRightEdgeTimesScale)
{
    desktop.setMainScreenScaleFactor(1);
    EXPECT_EQ(PointerMover::centerMouseOnElementWithOrigin({100, 200}, {80, 20}), (CGPoint{165, 210}));
    desktop.setMainScreenScaleFactor(2);
    EXPECT_EQ(PointerMover::centerMouseOnElementWithOrigin({100, 200}, {80, 20}), (CGPoint{150, 210}));
    // Narrower than the inset: left of the origin, not clamped.
    desktop.setMainScreenScaleFactor(1);
    EXPECT_EQ(PointerMover::centerMouseOnElementWithOrigin({100, 200}, {10, 20}), (CGPoint{95, 210}));

    ASSERT_EQ(desktop.pointerMoves().size(), 3u);
    EXPECT_EQ(desktop.pointerMoves().back().to, (CGPoint{95, 210}));
    EXPECT_EQ(desktop.pointer().location(), (CGPoint{95, 210}));
    EXPECT_EQ(desktop.buttonEventCount(), 0) << "a move must never click";
}

TEST_F(PointerMoverTest, ConvertsAboutThePrimaryScreen)
{
    desktop.setScreens({Screen{{{0, 0}, {1280, 800}}, 1}, Screen{{{1280, -200}, {1920, 1200}}, 2}});
    EXPECT_EQ(convertGlobalPointToCGPoint({10, 0}), (CGPoint{10, 800}));
    EXPECT_EQ(convertGlobalPointToCarbonPoint({10, 0}), (CarbonPoint{800, 10}));
    EXPECT_EQ(convertGlobalPointToCGPoint({2000, -100}), (CGPoint{2000, 900})); // on the second screen
    EXPECT_EQ(convertCGPointToGlobalPoint({10, 800}), (NSPoint{10, 0}));

    // Truncation toward zero, not rounding.
    EXPECT_EQ(convertGlobalPointToCarbonPoint({10.9f, 799.5f}).h, 10);
    EXPECT_EQ(convertGlobalPointToCarbonPoint({-0.5f, 799.5f}).h, 0);
    EXPECT_EQ(convertGlobalPointToCarbonPoint({10.9f, 799.5f}).v, 0);
    // Only the low 16 bits survive.
    EXPECT_EQ(convertGlobalPointToCarbonPoint({65536 + 7, 800}).h, 7);
    EXPECT_EQ(convertGlobalPointToCarbonPoint({-1, 800}).h, -1);

    desktop.setScreens({});
    EXPECT_EQ(convertGlobalPointToCGPoint({10, 20}), (CGPoint{10, 20}));
}

TEST_F(PointerMoverTest, ReadsThePointerInEveryForm)
{
    desktop.setScreens({Screen{{{0, 0}, {1440, 900}}, 1}});
    desktop.userMovesPointer({100.75f, 50.25f});
    EXPECT_EQ(currentMouseLocation(), (NSPoint{100.75f, 849.75f}));
    EXPECT_EQ(currentGlobalMouse(), (CarbonPoint{50, 100}));
    EXPECT_TRUE(desktop.pointerMoves().empty()) << "the user's moves are not the program's";
}

TEST(PointTextTest, RoundTripsThePointerLocationText)
{
    EXPECT_EQ(NSStringFromPoint({165, 210}), "{165, 210}");
    EXPECT_EQ(NSStringFromPoint({10.5f, -3.25f}), "{10.5, -3.25}");
    EXPECT_EQ(NSPointFromString("{10.5, -3.25}"), (NSPoint{10.5f, -3.25f}));
    NSPoint odd{0.1f, 1234.567f};
    EXPECT_EQ(NSPointFromString(NSStringFromPoint(odd)), odd);
    EXPECT_EQ(NSPointFromString("garbage"), (NSPoint{0, 0}));
}

} // namespace
