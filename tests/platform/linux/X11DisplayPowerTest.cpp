#include "platform/linux/X11DisplayPower.h"

#include "platform/linux/DesktopSession.h"
#include "platform/linux/LinuxDesktop.h"
#include "shared/preferences/PlistSettingsFile.h"
#include "platform/linux/TemporaryFolder.h"

#include <X11/Xlib.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

namespace velmora::linux_desktop::testing {
namespace {

// The screen saver switched on and off by another client, as a desktop's
// locker or idle timer would.
void forceScreenSaver(int mode)
{
    Display* other = XOpenDisplay(nullptr);
    ASSERT_TRUE(other);
    XForceScreenSaver(other, mode);
    XSync(other, False);
    XCloseDisplay(other);
}

TEST(X11DisplayPowerTest, TheScreenSaverPutsScreensToSleepAndTheWorkspaceTellsSleepAndWakeOnce)
{
    const TemporaryFolder prefs;
    {
        auto desktop = LinuxDesktop::create(std::make_unique<PlistSettingsFile>(prefs.path().string()), LinuxDesktop::Options{});
        ASSERT_TRUE(desktop) << "run through run-desktop-tests.sh";
        auto x11 = X11Connection::open();
        ASSERT_TRUE(x11);
        X11DisplayPower power(x11->display());
        EXPECT_FALSE(power.displaysAsleep());

        std::vector<std::string> told;
        NotificationCenter& center = desktop->workspace().notificationCenter();
        auto sleep = center.addObserver(kScreensDidSleepNotification, nullptr,
            [&](const Notification& n) { told.push_back(n.name); });
        auto wake = center.addObserver(kScreensDidWakeNotification, nullptr,
            [&](const Notification& n) { told.push_back(n.name); });

        forceScreenSaver(ScreenSaverActive);
        EXPECT_TRUE(power.displaysAsleep());
        // Told by the workspace's own poll, once however many polls pass.
        EXPECT_TRUE(pumpUntil([&] { return !told.empty(); }, 2.0 * kDpmsPollMs / 1000.0 + 1));
        pumpFor(kDpmsPollMs / 1000.0 + 0.2);

        forceScreenSaver(ScreenSaverReset);
        EXPECT_FALSE(power.displaysAsleep());
        EXPECT_TRUE(pumpUntil([&] { return told.size() >= 2; }, 2.0 * kDpmsPollMs / 1000.0 + 1));
        EXPECT_EQ(told, (std::vector<std::string>{kScreensDidSleepNotification, kScreensDidWakeNotification}));
    }
}

} // namespace
} // namespace velmora::linux_desktop::testing
