#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::sim;

namespace {

TEST(SimSoundServiceTest, OneSharedSoundPerNamePlayingForItsLengthInVirtualTime)
{
    SimDesktop desktop;
    desktop.addSound("Bottle", 0.5);
    SoundService& sounds = desktop.sounds();
    EXPECT_EQ(sounds.soundNamed("Nope"), nullptr);

    auto bottle = sounds.soundNamed("Bottle");
    ASSERT_TRUE(bottle);
    EXPECT_EQ(sounds.soundNamed("Bottle"), bottle);
    EXPECT_FALSE(bottle->isPlaying());

    desktop.advance(1);
    bottle->setVolume(0.25f);
    EXPECT_TRUE(bottle->play());
    EXPECT_TRUE(sounds.soundNamed("Bottle")->isPlaying()) << "the same object knows it plays";
    desktop.advance(0.4);
    EXPECT_TRUE(bottle->isPlaying());
    EXPECT_FALSE(bottle->play()) << "a playing sound does not start again";
    desktop.advance(0.1);
    EXPECT_FALSE(bottle->isPlaying());
    bottle->setVolume(1.0f);
    EXPECT_TRUE(bottle->play());

    ASSERT_EQ(desktop.playedSounds().size(), 2u);
    EXPECT_EQ(desktop.playedSounds()[0].time, 1.0);
    EXPECT_EQ(desktop.playedSounds()[0].name, "Bottle");
    EXPECT_EQ(desktop.playedSounds()[0].volume, 0.25f);
    EXPECT_EQ(desktop.playedSounds()[1].time, 1.5);
}

} // namespace
