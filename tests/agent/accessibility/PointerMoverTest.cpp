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
    EXPECT_EQ(PointerMover::centerMouseOnElementWithOrigin({100, 200}, {80, 20}), (Point{165, 210}));
    desktop.setMainScreenScaleFactor(2);
    EXPECT_EQ(PointerMover::centerMouseOnElementWithOrigin({100, 200}, {80, 20}), (Point{150, 210}));
    // Narrower than the inset: left of the origin, not clamped.
    desktop.setMainScreenScaleFactor(1);
    EXPECT_EQ(PointerMover::centerMouseOnElementWithOrigin({100, 200}, {10, 20}), (Point{95, 210}));

    ASSERT_EQ(desktop.pointerMoves().size(), 3u);
    EXPECT_EQ(desktop.pointerMoves().back().to, (Point{95, 210}));
    EXPECT_EQ(desktop.pointer().location(), (Point{95, 210}));
    EXPECT_EQ(desktop.buttonEventCount(), 0) << "a move must never click";
}

TEST_F(PointerMoverTest, ReadsThePointerWithoutMovingIt)
{
    desktop.userMovesPointer({100.75f, 50.25f});
    EXPECT_EQ(pointerLocation(), (Point{100.75f, 50.25f}));
    EXPECT_TRUE(desktop.pointerMoves().empty()) << "the user's moves are not the program's";
}

} // namespace
