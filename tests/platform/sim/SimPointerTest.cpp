#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::sim;

namespace {

TEST(SimPointerTest, WarpsAreRecordedWithTimeAndOriginUserMovesAreNot)
{
    SimDesktop desktop;
    desktop.userMovesPointer({10, 20});
    desktop.advance(1.5);
    desktop.pointer().moveTo({300, 400});

    ASSERT_EQ(desktop.pointerMoves().size(), 1u);
    const auto& move = desktop.pointerMoves()[0];
    EXPECT_EQ(move.time, 1.5);
    EXPECT_EQ(move.from, (Point{10, 20}));
    EXPECT_EQ(move.to, (Point{300, 400}));
    EXPECT_EQ(desktop.pointer().location(), (Point{300, 400}));
    EXPECT_EQ(desktop.buttonEventCount(), 0);
}

TEST(SimPointerTest, HeldButtonReleasesWhenTheVirtualClockPassesItsReleaseTime)
{
    SimDesktop desktop;
    desktop.holdMouseButton(2.0);
    RunLoop& loop = desktop.runLoop();
    // The engine's busy wait: poll while blocking, no dispatch in between.
    double released = -1;
    while (loop.now() < 5.0) {
        if (!desktop.pointer().anyButtonDown()) {
            released = loop.now();
            break;
        }
        loop.blockFor(0.25);
    }
    EXPECT_EQ(released, 2.0);

    desktop.setMouseButtonDown(true);
    desktop.advance(100);
    EXPECT_TRUE(desktop.pointer().anyButtonDown()) << "a button set down stays down";
    desktop.setMouseButtonDown(false);
    EXPECT_FALSE(desktop.pointer().anyButtonDown());
}

} // namespace
