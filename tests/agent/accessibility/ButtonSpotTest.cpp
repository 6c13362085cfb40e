#include "agent/accessibility/ButtonSpot.h"

#include <gtest/gtest.h>

using namespace velmora;

namespace {

TEST(ButtonSpotTest, LandsInsetFromTheRightEdgeTimesScaleAndCentred)
{
    EXPECT_EQ(ButtonSpot::on({100, 200}, {80, 20}, 1), (Point{165, 210}));
    EXPECT_EQ(ButtonSpot::on({100, 200}, {80, 20}, 2), (Point{150, 210}));
    EXPECT_EQ(ButtonSpot::on({100.5f, 200}, {80, 21}, 1.5f), (Point{158, 210.5f}));
    // Narrower than the inset: left of the origin, not clamped.
    EXPECT_EQ(ButtonSpot::on({100, 200}, {10, 20}, 1), (Point{95, 210}));
}

} // namespace
