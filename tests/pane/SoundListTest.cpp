#include "pane/SoundList.h"

#include "support/SoundTree.h"

#include <gtest/gtest.h>

#include <fstream>

namespace velmora {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

class SoundListTest : public test::SoundTree {
protected:
    static const std::vector<std::string>& types() { return SoundLibrary::soundFileTypes(); }
};

TEST_F(SoundListTest, OnlyReadableTypesByNameAndNothingFromSubdirectories)
{
    touch("sounds/Bottle.oga");
    touch("sounds/Ping.wav");
    touch("sounds/bell.ogg");
    touch("sounds/readme.txt");
    touch("sounds/Shout.OGA");      // types match case-sensitively
    touch("sounds/Song.flac");      // not a type the player reads
    touch("sounds/.oga");           // hidden, no extension
    touch("sounds/two.dots.wav");   // only the last extension goes
    touch("sounds/Nested/Inner.oga");
    fs::create_directories(m_root / "sounds/Folder.ogg"); // judged by its name alone

    EXPECT_EQ(SoundList::soundNamesInDirectories({m_root / "sounds"}, types()),
        (Names{"Bottle", "Folder", "Ping", "bell", "two.dots"}));
}

TEST_F(SoundListTest, DuplicatesStayAndSortByBytes)
{
    touch("system/Glass.oga");
    touch("system/alarm.oga");
    touch("system/\u00c9clair.oga"); // non-ASCII sorts after every ASCII letter
    touch("user/Glass.wav");
    touch("user/Zed.oga");

    EXPECT_EQ(SoundList::soundNamesInDirectories({m_root / "system", m_root / "user"}, types()),
        (Names{"Glass", "Glass", "Zed", "alarm", "\u00c9clair"}));
}

TEST_F(SoundListTest, MissingDirectoriesAndFilesInTheirPlaceAreSkipped)
{
    touch("notadirectory");
    touch("present/Tink.oga");
    EXPECT_EQ(SoundList::soundNamesInDirectories({m_root / "missing", m_root / "notadirectory", m_root / "present"}, types()),
        (Names{"Tink"}));
    EXPECT_TRUE(SoundList::soundNamesInDirectories({m_root / "missing"}, types()).empty());
}

TEST_F(SoundListTest, CoversOwnUserLocalSystemAndThemeSoundsAndTheAgentPlaysEachOne)
{
    touch("resources/sounds/Purr.oga");
    touch("home/.local/share/sounds/Mine.wav");
    touch("usr/local/share/sounds/Local.ogg");
    touch("usr/share/sounds/System.oga");
    touch("usr/share/sounds/freedesktop/stereo/bell.oga");
    touch("usr/share/sounds/freedesktop/stereo/Purr.oga");
    touch("usr/share/sounds/freedesktop/index.theme");

    SoundList list(library());
    const Names& names = list.names();
    EXPECT_EQ(names, (Names{"Local", "Mine", "Purr", "Purr", "System", "bell"}));
    for (const std::string& name : names)
        EXPECT_TRUE(library().pathForSoundNamed(name)) << name << " is listed but the agent cannot find it";
}

TEST_F(SoundListTest, BuiltOnceAndKept)
{
    touch("usr/share/sounds/First.oga");
    SoundList list(library());
    const Names* first = &list.names();
    touch("usr/share/sounds/Second.oga");
    EXPECT_EQ(&list.names(), first);
    EXPECT_EQ(list.names(), Names{"First"});

    const Names* process = &SoundList::availableSoundsforPW();
    EXPECT_EQ(&SoundList::availableSoundsforPW(), process);
}

TEST_F(SoundListTest, GroupsVelmorasOwnBeforeTheThemesAndReadsThemAsWords)
{
    touch("resources/sounds/Glass.oga");
    touch("resources/sounds/Ping.oga");
    touch("home/.local/share/sounds/freedesktop/stereo/power-unplug.oga");
    touch("usr/share/sounds/freedesktop/stereo/power-unplug.oga");
    touch("usr/share/sounds/freedesktop/stereo/audio_channel-front-center.oga");
    touch("usr/share/sounds/freedesktop/stereo/Ping.oga");
    SoundList list(library());
    const auto groups = list.groups();
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0].names, (Names{"Glass", "Ping"}));
    // A theme's sound of Velmora's name is never played: the agent finds Velmora's first.
    EXPECT_EQ(groups[1].names, (Names{"audio_channel-front-center", "power-unplug"}));
    EXPECT_NE(groups[0].title, groups[1].title);

    EXPECT_EQ(SoundList::readableName("audio_channel-front-center"), "Audio channel front center");
    EXPECT_EQ(SoundList::readableName("Glass"), "Glass");
    EXPECT_EQ(SoundList::readableName(""), "");
}

TEST_F(SoundListTest, NoEmptyGroups)
{
    touch("usr/share/sounds/freedesktop/stereo/bell.oga");
    const auto groups = SoundList(library()).groups();
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(groups[0].names, Names{"bell"});
}

} // namespace
} // namespace velmora
