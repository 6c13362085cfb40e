#include "platform/linux/ZenityAlertService.h"

#include "platform/linux/GlibRunLoop.h"

#include <gtest/gtest.h>

// After gtest: Xlib's macros (None, Bool) break its headers.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace velmora::linux_desktop::testing {
namespace {

TEST(ZenityAlertServiceTest, TheDefaultButtonAnswersAndAnAbortLeavesNoAnswerWhileTheLoopRuns)
{
    GlibRunLoop loop;
    ZenityAlertService alerts;
    Alert alert{AlertStyle::Informational, "A newer version", "Version 2 is out.", {"Install", "Later", "Skip This Version"}};

    int ticks = 0;
    auto ticker = loop.scheduleTimer(0.1, TimerRepeats::Yes, [&] { ++ticks; });
    // Return answers with the default button once the dialog has the focus;
    // on a loaded machine that can take a while, so keep pressing.
    auto presser = loop.scheduleTimer(2.0, TimerRepeats::Yes, [] {
        Display* display = XOpenDisplay(nullptr);
        KeyCode code = XKeysymToKeycode(display, XK_Return);
        XTestFakeKeyEvent(display, code, True, CurrentTime);
        XTestFakeKeyEvent(display, code, False, CurrentTime);
        XCloseDisplay(display);
    });
    EXPECT_EQ(alerts.runModal(alert), std::optional<size_t>(0));
    presser.reset();
    EXPECT_GE(ticks, 10) << "the loop was not served while the alert was up";

    loop.performAfterDelay(1.0, [&] { alerts.abortModal(); });
    EXPECT_EQ(alerts.runModal(alert), std::nullopt);
}

} // namespace
} // namespace velmora::linux_desktop::testing
