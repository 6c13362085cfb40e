#include "pane/PulseAnimation.h"
#include "pane/SettingsPane.h"
#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

using namespace velmora;

namespace {

void expectColor(const PulseAnimation::Color& actual, const PulseAnimation::Color& expected)
{
    EXPECT_NEAR(actual.red, expected.red, 1e-9);
    EXPECT_NEAR(actual.green, expected.green, 1e-9);
    EXPECT_NEAR(actual.blue, expected.blue, 1e-9);
}

class PulseAnimationTest : public ::testing::Test {
protected:
    // Not installed: the pane and the animation reach the desktop only
    // through what they are given, so a lookup of the installed one aborts.
    sim::SimDesktop desktop;
};

TEST_F(PulseAnimationTest, TheLightColourSwingsFromWhiteToLightRedAndBackEveryTwoSeconds)
{
    expectColor(PulseAnimation::lightColorAt(0), PulseAnimation::kLightColorFrom);
    expectColor(PulseAnimation::lightColorAt(1), PulseAnimation::kLightColorTo);
    expectColor(PulseAnimation::lightColorAt(2), PulseAnimation::kLightColorFrom);
    expectColor(PulseAnimation::lightColorAt(3), PulseAnimation::kLightColorTo);
    // Half way is half way; the way back mirrors the way out.
    EXPECT_NEAR(PulseAnimation::lightColorAt(0.5).green, (1.0 + 164 / 255.0) / 2, 1e-9);
    expectColor(PulseAnimation::lightColorAt(0.3), PulseAnimation::lightColorAt(1.7));
    // Eased: the first tenth of the way moves less than a tenth of the change.
    const double change = 1.0 - 164 / 255.0;
    EXPECT_LT(1.0 - PulseAnimation::lightColorAt(0.1).green, 0.1 * change);
    EXPECT_GT(1.0 - PulseAnimation::lightColorAt(0.5).green, 1.0 - PulseAnimation::lightColorAt(0.4).green + 0.1 * change * 0.9);
}

TEST_F(PulseAnimationTest, BrightnessMapsOntoTheGradientFromDarkRedToTheLightColour)
{
    const PulseAnimation::Color light = PulseAnimation::kLightColorTo;
    expectColor(PulseAnimation::falseColor(0, light), {110 / 255.0, 23 / 255.0, 23 / 255.0});
    expectColor(PulseAnimation::falseColor(1, light), light);
    expectColor(PulseAnimation::falseColor(2, light), light);
    EXPECT_NEAR(PulseAnimation::falseColor(0.5, light).red, (110 / 255.0 + 1.0) / 2, 1e-9);

    // Premultiplied pixels: black, white, half-transparent white, fully transparent.
    std::array<uint32_t, 4> pixels{0xff000000, 0xffffffff, 0x80808080, 0x00000000};
    PulseAnimation::mapPixels(reinterpret_cast<uint8_t*>(pixels.data()), 4, 1, 16, light);
    EXPECT_EQ(pixels[0], 0xff6e1717u);
    EXPECT_EQ(pixels[1], 0xffffa4a4u);
    EXPECT_EQ(pixels[2] >> 24, 0x80u);
    EXPECT_EQ((pixels[2] >> 8) & 0xff, static_cast<uint32_t>(std::lround(164 * 128 / 255.0)));
    EXPECT_EQ(pixels[3], 0u);
}

TEST_F(PulseAnimationTest, FollowsThePaneStartingAndStoppingAndRedrawsWhilePulsing)
{
    PulseAnimation animation{desktop.localNotificationCenter(), desktop.runLoop()};
    int frames = 0;
    animation.onFrame = [&] { ++frames; };
    SettingsPane pane{desktop};

    // A tenth of a second after the pane is selected, written out rather
    // than read back from the pane, so that a changed delay fails here.
    pane.didSelect();
    desktop.advance(0.099);
    EXPECT_FALSE(animation.pulsing());
    desktop.advance(0.002);
    ASSERT_TRUE(animation.pulsing());
    desktop.advance(1.0);
    EXPECT_GE(frames, 25);
    EXPECT_NEAR(animation.elapsed(), 1.0, 0.02);

    // A second start neither restarts the swing nor adds a second frame timer.
    const int before = frames;
    pane.startAnimatingPulsingButton();
    EXPECT_NEAR(animation.elapsed(), 1.0, 0.02);
    desktop.advance(1.0);
    EXPECT_LE(frames - before, 31);

    pane.didUnselect();
    EXPECT_FALSE(animation.pulsing());
    EXPECT_EQ(animation.elapsed(), 0);
    const int stopped = frames;
    desktop.advance(1.0);
    EXPECT_EQ(frames, stopped);
}

} // namespace
