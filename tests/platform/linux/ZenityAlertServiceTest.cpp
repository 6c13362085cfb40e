#include "platform/linux/ZenityAlertService.h"

#include "platform/linux/GlibRunLoop.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

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

TEST(ZenityAlertServiceTest, TheMessageShowsAsWrittenNotAsMarkup)
{
    GlibRunLoop loop;
    ZenityAlertService alerts;
    // A version string from a feed, written to become a link and to break
    // markup parsing (the bare "&").
    const std::string message = "Version <a href=\"file:///etc/passwd\">9.9</a> & <b>more</b> is available.";
    Alert alert{AlertStyle::Informational, "A newer version", message, {"OK"}};

    std::string shown;
    // AT-SPI reads the label as the user sees it: the tags and entity as
    // text when escaped, a link and bold text (or nothing) when parsed.
    auto reader = loop.scheduleTimer(1.0, TimerRepeats::Yes, [&] {
        FILE* pipe = popen("timeout 10 " DESKTOP_TESTS_DIR "/alert-texts.py", "r");
        if (!pipe)
            return;
        char line[1024];
        while (std::fgets(line, sizeof line, pipe)) {
            std::string text(line);
            if (text.find("Version") != std::string::npos) {
                shown = text.substr(0, text.find_last_not_of('\n') + 1);
            }
        }
        pclose(pipe);
        if (!shown.empty())
            alerts.abortModal();
    });
    // Gives up (and fails) when the dialog never shows its text.
    auto reaper = loop.scheduleTimer(30.0, TimerRepeats::No, [&] { alerts.abortModal(); });
    EXPECT_EQ(alerts.runModal(alert), std::nullopt);
    EXPECT_EQ(shown, message);
}

} // namespace
} // namespace velmora::linux_desktop::testing
