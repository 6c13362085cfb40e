#include "pane/feedback/SystemProfile.h"

#include "platform/sim/SimDesktop.h"
#include "shared/preferences/VelmoraPreferences.h"
#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>

namespace velmora {
namespace {

// An os-release of the given fields.
SystemProfile::OsInfo osRelease(std::map<std::string, std::string> fields)
{
    return [fields = std::move(fields)](const char* key) {
        auto field = fields.find(key);
        return field == fields.end() ? std::string() : field->second;
    };
}

TEST(SystemProfileTest, TheDistributionIsNamedAsOsReleaseNamesIt)
{
    EXPECT_EQ(SystemProfile::distributionName(osRelease({{"NAME", "Debian GNU/Linux"}, {"PRETTY_NAME", "Debian GNU/Linux 12 (bookworm)"}})),
        "Debian GNU/Linux 12 (bookworm)");
    EXPECT_EQ(SystemProfile::distributionName(osRelease({{"NAME", "Fedora"}, {"VERSION", "40 (Workstation Edition)"}})),
        "Fedora 40 (Workstation Edition)");
    EXPECT_EQ(SystemProfile::distributionName(osRelease({{"ID", "arch"}})), "");
    // This machine's own, as GLib reads it: the build machines all name theirs.
    EXPECT_NE(SystemProfile::distributionName(&SystemProfile::systemOsInfo), "");
}

class SystemProfileCollectTest : public ::testing::Test {
protected:
    SystemProfileCollectTest()
    {
        m_sources.procDirectory = m_root.string();
        std::ofstream(m_root / "cpuinfo") << "processor\t: 0\nmodel name\t: Test CPU 3000\n";
        std::ofstream(m_root / "meminfo") << "MemTotal:       16314536 kB\nMemFree: 1 kB\n";
        m_snapshot.velmoraVersion = "1.2.3";
        m_snapshot.settings = {{"ignoredApps", Value::Array{"Terminal"}}, {"playsSoundOnMove", 0}};
        m_snapshot.screens = {Screen{{{0, 0}, {1920, 1080}}, 2.0f}, Screen{{{1920, 0}, {1280, 1024}}, 1.0f}};
        m_snapshot.accessibilityEnabled = false;
        m_snapshot.toolkitVersionNumber = 324;
        m_snapshot.currentDesktop = "XFCE";
        m_snapshot.sessionType = "x11";
        m_snapshot.x11Display = ":0";
    }

    test::TemporaryDirectory m_directory;
    std::filesystem::path m_root{m_directory.path()};
    SystemProfile::Sources m_sources;
    SystemProfile::Snapshot m_snapshot;
};

TEST_F(SystemProfileCollectTest, SummarisesTheMachineFromTheGivenSources)
{
    m_sources.osInfo = osRelease({{"PRETTY_NAME", "Test Linux 1"}});
    auto profile = SystemProfile::collect(m_snapshot, m_sources);
    ASSERT_TRUE(profile);
    for (const char* expected : {"  Version: 1.2.3\n", "    playsSoundOnMove: 0\n", "  Distribution: Test Linux 1\n",
             "  Processor: Test CPU 3000, ", "  Memory: 16314536 kB\n", "  Desktop: XFCE\n", "  Session type: x11\n",
             "  Display server: X11\n", "  Screens: 2\n    1920 x 1080 at (0, 0), scale 2\n    1280 x 1024 at (1920, 0), scale 1\n",
             "  Accessibility bus: disabled\n", "  GTK: 3.24\n"})
        EXPECT_NE(profile->find(expected), std::string::npos) << expected << " missing from:\n" << *profile;

    m_snapshot.waylandDisplay = "wayland-0";
    m_snapshot.toolkitVersionNumber = 0;
    profile = SystemProfile::collect(m_snapshot, m_sources);
    ASSERT_TRUE(profile);
    EXPECT_NE(profile->find("  Display server: Wayland, with X11 clients through Xwayland\n"), std::string::npos);
    EXPECT_NE(profile->find("  GTK: none\n"), std::string::npos);
}

TEST_F(SystemProfileCollectTest, MissingFilesReadAsUnknownAndStrayBytesDropTheProfile)
{
    auto profile = SystemProfile::collect(m_snapshot, SystemProfile::Sources{osRelease({}), "/nonexistent"});
    ASSERT_TRUE(profile);
    EXPECT_NE(profile->find("  Distribution: unknown\n"), std::string::npos);
    EXPECT_NE(profile->find("  Memory: unknown\n"), std::string::npos);

    m_sources.osInfo = osRelease({{"PRETTY_NAME", "Broken \xff\xfe Linux"}});
    EXPECT_EQ(SystemProfile::collect(m_snapshot, m_sources), std::nullopt);
}

TEST(SystemProfileSnapshotTest, ReadsTheDesktopThroughTheServicesItIsGiven)
{
    // Not installed: a read of the installed desktop would abort.
    sim::SimDesktop desktop;
    desktop.standardUserDefaults().setPersistentDomain({{"playsSoundOnMove", false}}, VelmoraPreferences::kDomain);
    desktop.setScreens({Screen{{{0, 0}, {2560, 1440}}, 1.5f}});
    desktop.setAPIEnabled(false);
    desktop.paneServices().setToolkitVersionNumber(324);

    auto snapshot = SystemProfile::Snapshot::take(desktop.standardUserDefaults(), desktop.screens(), desktop.accessibility(), desktop.paneServices());
    EXPECT_EQ(snapshot.settings, (Value::Dictionary{{"playsSoundOnMove", false}}));
    ASSERT_EQ(snapshot.screens.size(), 1u);
    EXPECT_EQ(snapshot.screens[0].frame, (Rect{{0, 0}, {2560, 1440}}));
    EXPECT_EQ(snapshot.screens[0].scaleFactor, 1.5f);
    EXPECT_FALSE(snapshot.accessibilityEnabled);
    EXPECT_EQ(snapshot.toolkitVersionNumber, 324);
}

} // namespace
} // namespace velmora
