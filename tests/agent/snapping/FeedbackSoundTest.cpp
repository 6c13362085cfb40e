#include "agent/snapping/FeedbackSound.h"

#include "agent/snapping/SnapEvent.h"
#include "agent/snapping/SnapNotifications.h"
#include "platform/sim/SimDesktop.h"
#include "shared/preferences/VelmoraPreferences.h"

#include <gtest/gtest.h>

#include <memory>

namespace velmora {
namespace {

class FeedbackSoundTest : public ::testing::Test {
protected:
    FeedbackSoundTest()
    {
        m_desktop.addSound("Bottle", 0.5);
        m_desktop.addSound("Pop", 0.1);
    }

    ProgramSettings& defaults() { return m_desktop.standardUserDefaults(); }
    void enable(const char* name = "Bottle", double volume = 0.5)
    {
        defaults().setObject(VelmoraPreferences::kPlaysSoundOnMove, true);
        defaults().setObject(VelmoraPreferences::kFeedbackSoundName, name);
        defaults().setObject(VelmoraPreferences::kFeedbackSoundVolume, volume);
    }
    // The two moves the sound answers; their content does not matter.
    void snap()
    {
        m_desktop.localNotificationCenter().post(
            Notification{kPointerSnapped, nullptr, {}, SnapEvent{{10, 10}, {50, 50}, {}}});
    }
    void snapBack() { m_desktop.localNotificationCenter().post(kPointerSnappedBack, &m_desktop); }
    const auto& played() const { return m_desktop.playedSounds(); }

    sim::SimDesktop m_desktop;
    ScopedPlatform m_scoped{m_desktop};
    std::unique_ptr<FeedbackSound> m_sound = std::make_unique<FeedbackSound>(m_desktop);
};

TEST_F(FeedbackSoundTest, PlaysOnSnapAndOnSnapBack)
{
    enable("Bottle", 0.75);
    snap();
    m_desktop.advance(1.0);
    snapBack();
    ASSERT_EQ(played().size(), 2u);
    EXPECT_EQ(played()[0].name, "Bottle");
    EXPECT_FLOAT_EQ(played()[0].volume, 0.75f);
    EXPECT_DOUBLE_EQ(played()[1].time, 1.0);
    EXPECT_TRUE(m_desktop.logLines().empty());
}

TEST_F(FeedbackSoundTest, SilentWhenSwitchedOffOrUnset)
{
    defaults().setObject(VelmoraPreferences::kFeedbackSoundName, "Bottle");
    defaults().setObject(VelmoraPreferences::kFeedbackSoundVolume, 1.0);
    snap();
    snapBack();
    defaults().setObject(VelmoraPreferences::kPlaysSoundOnMove, false);
    snap();
    snapBack();
    EXPECT_TRUE(played().empty());

    defaults().setObject(VelmoraPreferences::kPlaysSoundOnMove, 1); // as the pane stores it
    snap();
    EXPECT_EQ(played().size(), 1u);
}

TEST_F(FeedbackSoundTest, NoNameOrUnknownNamePlaysNothingAndSaysNothing)
{
    defaults().setObject(VelmoraPreferences::kPlaysSoundOnMove, true);
    defaults().setObject(VelmoraPreferences::kFeedbackSoundVolume, 1.0);
    snap();
    EXPECT_EQ(m_sound->soundToPlay(), nullptr);
    defaults().setObject(VelmoraPreferences::kFeedbackSoundName, "Nonexistent");
    snap();
    snapBack();
    EXPECT_EQ(m_sound->soundToPlay(), nullptr);
    defaults().setObject(VelmoraPreferences::kFeedbackSoundName, 7); // not a name at all
    snap();
    EXPECT_TRUE(played().empty());
    EXPECT_TRUE(m_desktop.logLines().empty());
}

TEST_F(FeedbackSoundTest, MissingVolumePlaysSilently)
{
    enable();
    defaults().removeObject(VelmoraPreferences::kFeedbackSoundVolume);
    EXPECT_EQ(m_sound->volume(), 0.0f);
    snap();
    ASSERT_EQ(played().size(), 1u);
    EXPECT_EQ(played()[0].volume, 0.0f);
}

TEST_F(FeedbackSoundTest, StillPlayingSoundIsNotDoubledButTakesTheNewVolume)
{
    enable("Bottle", 0.5); // half a second long
    snap();
    m_desktop.advance(0.2);
    defaults().setObject(VelmoraPreferences::kFeedbackSoundVolume, 0.9);
    snapBack();
    EXPECT_EQ(played().size(), 1u);
    EXPECT_FLOAT_EQ(m_desktop.sounds().soundNamed("Bottle")->volume(), 0.9f);

    m_desktop.advance(0.4); // finished by now
    snap();
    ASSERT_EQ(played().size(), 2u);
    EXPECT_FLOAT_EQ(played()[1].volume, 0.9f);
}

TEST_F(FeedbackSoundTest, NameAndVolumeAreReadAtEveryMove)
{
    enable("Bottle", 0.25);
    snap();
    // A different sound is a different object: it plays although Bottle still does.
    defaults().setObject(VelmoraPreferences::kFeedbackSoundName, "Pop");
    defaults().setObject(VelmoraPreferences::kFeedbackSoundVolume, 0.6);
    m_desktop.advance(0.1);
    snapBack();
    ASSERT_EQ(played().size(), 2u);
    EXPECT_EQ(played()[1].name, "Pop");
    EXPECT_FLOAT_EQ(played()[1].volume, 0.6f);
    EXPECT_FLOAT_EQ(played()[0].volume, 0.25f);
}

TEST_F(FeedbackSoundTest, DestructionUnsubscribes)
{
    enable();
    m_sound.reset();
    snap();
    snapBack();
    EXPECT_TRUE(played().empty());
}

} // namespace
} // namespace velmora
