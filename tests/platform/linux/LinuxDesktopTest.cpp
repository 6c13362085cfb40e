#include "platform/linux/LinuxDesktop.h"

#include "platform/linux/AtspiAccessibility.h"
#include "platform/linux/DesktopSession.h"
#include "platform/linux/FakeNotificationServer.h"
#include "shared/preferences/PlistSettingsFile.h"
#include "platform/linux/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <algorithm>
#include <filesystem>

namespace velmora::linux_desktop::testing {
namespace {

class LinuxDesktopTest : public ::testing::Test {
protected:
    std::unique_ptr<LinuxDesktop> create()
    {
        return LinuxDesktop::create(std::make_unique<PlistSettingsFile>(m_directory.path().string()), LinuxDesktop::Options{});
    }

    TemporaryFolder m_directory;
};

TEST_F(LinuxDesktopTest, OnARealDesktopEveryServiceIsThereAndWorks)
{
    auto desktop = create();
    ASSERT_TRUE(desktop) << "run through run-desktop-tests.sh";
    ScopedPlatform scoped(*desktop);
    Platform& platform = Platform::current();

    EXPECT_TRUE(platform.accessibility().isAPIEnabled());
    EXPECT_EQ(platform.screens().screens().size(), 1u);
    platform.pointer().moveTo({40, 50});
    EXPECT_EQ(platform.pointer().location(), (Point{40, 50}));

    // Defaults go to the settings file, login items to autostart entries.
    platform.standardUserDefaults().setObject("playsSoundOnMove", true);
    EXPECT_TRUE(platform.standardUserDefaults().synchronize());
    EXPECT_TRUE(std::filesystem::exists(m_directory / "com.brightfen.velmora.plist"));
    EXPECT_TRUE(platform.standardUserDefaults().updatePersistentDomain("loginwindow", [](std::optional<Value::Dictionary>& domain) {
        if (!domain)
            domain = Value::Dictionary{};
        (*domain)["AutoLaunchedApplicationDictionary"] = Value::Array{Value::Dictionary{{"Path", "/usr/bin/velmora-test-item"}, {"Hide", false}}};
        return true;
    }));
    const char* config = std::getenv("XDG_CONFIG_HOME");
    ASSERT_TRUE(config);
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(config) / "autostart" / "velmora-test-item.desktop"));
    std::filesystem::remove(std::filesystem::path(config) / "autostart" / "velmora-test-item.desktop");

    // A running dialog is a launched application with a program name; its
    // start was announced.
    std::vector<pid_t> launches;
    auto launched = platform.workspace().notificationCenter().addObserver(kApplicationLaunchedNotification, nullptr,
        [&](const Notification& n) {
            if (auto info = ApplicationInfo::fromRecord(n.userInfo))
                launches.push_back(info->pid);
        });
    Program zenity({"zenity", "--info", "--text=desktop"});
    ASSERT_TRUE(pumpUntil([&] {
        for (const auto& app : platform.workspace().launchedApplications()) {
            if (app.pid == zenity.pid())
                return app.name == "zenity" && app.path == "/usr/bin/zenity";
        }
        return false;
    }, 10));
    EXPECT_TRUE(pumpUntil([&] { return std::count(launches.begin(), launches.end(), zenity.pid()) == 1; }, 5));
    const pid_t zenityPid = zenity.pid();
    int terminations = 0;
    auto observation = platform.workspace().notificationCenter().addObserver(kApplicationTerminatedNotification, nullptr,
        [&](const Notification& n) {
            auto info = ApplicationInfo::fromRecord(n.userInfo);
            if (info && info->pid == zenityPid && info->name == "zenity")
                ++terminations;
        });
    zenity.kill(SIGKILL);
    EXPECT_TRUE(pumpUntil([&] { return terminations == 1; }, 10));

    logMessage("desktop test line");
}

TEST_F(LinuxDesktopTest, AlertsAreNotificationsWhereTheSessionHasANotificationServer)
{
    LinuxDesktop::Options options;
    options.role = LinuxDesktop::Role::Pane;
    auto desktop = LinuxDesktop::create(std::make_unique<PlistSettingsFile>(m_directory.path().string()), std::move(options));
    ASSERT_TRUE(desktop) << "run through run-desktop-tests.sh";
    FakeNotificationServer server;
    ASSERT_TRUE(server.isReady());
    server.onNotify = [&](const FakeNotificationServer::Received& n) { server.invokeAction(n.id, "1"); };
    auto reaper = desktop->runLoop().scheduleTimer(15.0, TimerRepeats::No, [&] { desktop->alerts().abortModal(); });
    EXPECT_EQ(desktop->alerts().runModal({AlertStyle::Informational, "A newer version", "Version 2", {"Install", "Cancel"}}),
        std::optional<size_t>(1));
    ASSERT_EQ(server.received().size(), 1u);
    EXPECT_EQ(server.received()[0].appName, "Velmora");
    EXPECT_EQ(server.received()[0].desktopEntry, "com.brightfen.velmora.settings");
}

TEST_F(LinuxDesktopTest, WithoutAnXDisplayThereIsNoDesktop)
{
    std::string display = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
    unsetenv("DISPLAY");
    auto desktop = create();
    setenv("DISPLAY", display.c_str(), 1);
    EXPECT_FALSE(desktop);
}

} // namespace
} // namespace velmora::linux_desktop::testing
