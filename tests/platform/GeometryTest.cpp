#include "platform/Geometry.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(GeometryTest, RectHoldsItsTopLeftEdgesButNotItsBottomRight)
{
    const Rect screen{{1280, -200}, {1920, 1200}};
    EXPECT_TRUE(screen.contains({1280, -200}));
    EXPECT_TRUE(screen.contains({3199.5f, 999.5f}));
    EXPECT_FALSE(screen.contains({3200, 500})) << "the right edge is the neighbour's";
    EXPECT_FALSE(screen.contains({2000, 1000})) << "the bottom edge is the neighbour's";
    EXPECT_FALSE(screen.contains({1279.9f, 0}));
    EXPECT_FALSE(screen.contains({2000, -200.5f}));
    EXPECT_FALSE((Rect{{0, 0}, {0, 0}}).contains({0, 0})) << "an empty rect holds nothing";
}

TEST(GeometryTest, WholePixelsTruncateTowardZero)
{
    EXPECT_EQ(wholePixels({10.9f, 799.5f}), (Point{10, 799}));
    EXPECT_EQ(wholePixels({-0.5f, -1.75f}), (Point{0, -1})) << "not floor: -0.5 is in pixel 0";
    EXPECT_EQ(wholePixels({65543, -32769}), (Point{65543, -32769})) << "no 16-bit wrap";
}

} // namespace
} // namespace velmora
