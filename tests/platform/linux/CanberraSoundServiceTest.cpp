#include "platform/linux/CanberraSoundService.h"
#include "platform/linux/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace velmora::linux_desktop::testing {
namespace {

TEST(CanberraSoundServiceTest, NamesResolveToOurSoundsFirstThenTheThemeAndVolumeMapsToDecibels)
{
    EXPECT_FLOAT_EQ(CanberraSoundService::decibelsForVolume(1.0f), 0.0f);
    EXPECT_NEAR(CanberraSoundService::decibelsForVolume(0.5f), -6.0206f, 1e-3);
    EXPECT_FLOAT_EQ(CanberraSoundService::decibelsForVolume(0.0f), -120.0f);
    EXPECT_FLOAT_EQ(CanberraSoundService::decibelsForVolume(-1.0f), -120.0f);
    EXPECT_FLOAT_EQ(CanberraSoundService::decibelsForVolume(2.0f), 0.0f);

    const TemporaryFolder own;
    std::filesystem::create_directories(own / "sounds");
    std::ofstream(own / "sounds" / "bell.wav") << "RIFF";
    CanberraSoundService service{SoundLibrary(own.path())};
    EXPECT_EQ(service.library().pathForSoundNamed("bell"), own / "sounds" / "bell.wav") << "our own sound shadows the theme's";
    auto themed = service.library().pathForSoundNamed("complete");
    ASSERT_TRUE(themed) << "the freedesktop sound theme is not installed";
    EXPECT_EQ(themed->filename(), "complete.oga");

    auto sound = service.soundNamed("complete");
    ASSERT_TRUE(sound);
    EXPECT_EQ(service.soundNamed("complete"), sound);
    EXPECT_EQ(service.soundNamed("no-such-sound"), nullptr);
    sound->setVolume(0.25f);
    EXPECT_FLOAT_EQ(sound->volume(), 0.25f);
    // Whether it plays depends on the machine's sound system; if it did not
    // start, it must not claim to be playing.
    if (!sound->play()) {
        EXPECT_FALSE(sound->isPlaying());
    }
}
} // namespace
} // namespace velmora::linux_desktop::testing
