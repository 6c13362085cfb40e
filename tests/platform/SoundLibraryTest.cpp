#include "platform/SoundLibrary.h"

#include "support/SoundTree.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace velmora {
namespace {

namespace fs = std::filesystem;

class SoundLibraryTest : public test::SoundTree { };

TEST_F(SoundLibraryTest, ProgramSoundsComeFirstThenUserThenSystemInOrder)
{
    fs::path system = touch("usr/share/sounds/freedesktop/stereo/Bottle.oga");
    EXPECT_EQ(library().pathForSoundNamed("Bottle"), system);

    fs::path local = touch("usr/local/share/sounds/Bottle.oga");
    EXPECT_EQ(library().pathForSoundNamed("Bottle"), local);

    // Without XDG_DATA_HOME the user's data lives under ~/.local/share.
    fs::path user = touch("home/.local/share/sounds/freedesktop/stereo/Bottle.ogg");
    EXPECT_EQ(library().pathForSoundNamed("Bottle"), user);

    fs::path own = touch("resources/sounds/Bottle.wav");
    EXPECT_EQ(library().pathForSoundNamed("Bottle"), own);
}

TEST_F(SoundLibraryTest, XdgDataHomeReplacesTheHomeDefault)
{
    touch("home/.local/share/sounds/Ping.oga");
    fs::path configured = touch("data/sounds/Ping.oga");
    m_environment.xdgDataHome = (m_root / "data").string();
    EXPECT_EQ(library().pathForSoundNamed("Ping"), configured);

    m_environment.xdgDataHome = "relative/data"; // invalid, so ignored: no user directory at all
    EXPECT_EQ(library().pathForSoundNamed("Ping"), std::nullopt);
}

TEST_F(SoundLibraryTest, MatchesBaseNameAndReadableTypeExactly)
{
    touch("resources/sounds/Glass.txt");
    touch("resources/sounds/glass.oga");
    fs::create_directories(m_root / "resources/sounds/Glass.wav"); // a directory, not a sound
    EXPECT_EQ(library().pathForSoundNamed("Glass"), std::nullopt);

    fs::path ogg = touch("resources/sounds/Glass.ogg");
    EXPECT_EQ(library().pathForSoundNamed("Glass"), ogg);
    fs::path oga = touch("resources/sounds/Glass.oga");
    EXPECT_EQ(library().pathForSoundNamed("Glass"), oga) << "in one directory .oga is preferred";
}

TEST_F(SoundLibraryTest, FollowsLinksToFiles)
{
    fs::path target = touch("elsewhere/tone.oga");
    fs::create_directories(m_root / "resources/sounds");
    fs::create_symlink(target, m_root / "resources/sounds/Tink.oga");
    EXPECT_EQ(library().pathForSoundNamed("Tink"), m_root / "resources/sounds/Tink.oga");

    fs::create_symlink(m_root / "missing.oga", m_root / "resources/sounds/Pop.oga");
    EXPECT_EQ(library().pathForSoundNamed("Pop"), std::nullopt);
}

TEST_F(SoundLibraryTest, NamesThatAreNotBaseNamesFindNothing)
{
    touch("resources/Escape.oga");
    touch("resources/sounds/freedesktop/stereo/Bottle.oga");
    EXPECT_EQ(library().pathForSoundNamed("../Escape"), std::nullopt);
    EXPECT_EQ(library().pathForSoundNamed("freedesktop/stereo/Bottle"), std::nullopt);
    EXPECT_EQ(library().pathForSoundNamed(""), std::nullopt);
    EXPECT_EQ(library().pathForSoundNamed(".."), std::nullopt);
}

TEST_F(SoundLibraryTest, UnsetVariablesUseTheXdgDefaults)
{
    SoundLibrary::Environment environment;
    environment.home = "/home/someone";
    environment.xdgDataDirs = "/opt/share::relative:/usr/share";
    SoundLibrary custom("/res", environment);
    std::vector<fs::path> expected{"/res/sounds",
        "/home/someone/.local/share/sounds", "/home/someone/.local/share/sounds/freedesktop/stereo",
        "/opt/share/sounds", "/opt/share/sounds/freedesktop/stereo",
        "/usr/share/sounds", "/usr/share/sounds/freedesktop/stereo"};
    EXPECT_EQ(custom.searchDirectories(), expected);

    SoundLibrary defaults("/res", SoundLibrary::Environment{});
    expected = {"/res/sounds", "/usr/local/share/sounds", "/usr/local/share/sounds/freedesktop/stereo",
        "/usr/share/sounds", "/usr/share/sounds/freedesktop/stereo"};
    EXPECT_EQ(defaults.searchDirectories(), expected);
}

// The sounds the program ships: the default one resolves from the resources,
// and each is a short Ogg stream of our own.
TEST(SoundLibraryResourcesTest, ShippedSoundsIncludeTheDefault)
{
    SoundLibrary shipped(VELMORA_SOURCE_RESOURCES, SoundLibrary::Environment{});
    auto bottle = shipped.pathForSoundNamed("Bottle");
    ASSERT_TRUE(bottle.has_value());
    EXPECT_EQ(bottle->parent_path(), fs::path(VELMORA_SOURCE_RESOURCES) / "sounds");

    int count = 0;
    for (const auto& entry : fs::directory_iterator(fs::path(VELMORA_SOURCE_RESOURCES) / "sounds")) {
        ++count;
        EXPECT_EQ(entry.path().extension(), ".oga") << entry.path();
        EXPECT_LT(entry.file_size(), 16u * 1024) << entry.path();
        char magic[4]{};
        std::ifstream(entry.path(), std::ios::binary).read(magic, sizeof magic);
        EXPECT_EQ(std::string(magic, sizeof magic), "OggS") << entry.path();
        EXPECT_EQ(shipped.pathForSoundNamed(entry.path().stem().string()), entry.path());
    }
    EXPECT_GE(count, 5);
}

} // namespace
} // namespace velmora
