#include "platform/linux/ZenityAlertService.h"

#include "platform/ProcessManager.h"
#include "platform/linux/DesktopSession.h"
#include "platform/linux/GlibRunLoop.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

// After gtest: Xlib's macros (None, Bool) break its headers.
#include "platform/linux/ActiveWindow.h"

namespace velmora::linux_desktop::testing {
namespace {

TEST(ZenityAlertServiceTest, TheDefaultButtonAnswersAndAnAbortLeavesNoAnswerWhileTheLoopRuns)
{
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr) << "no X display: run through run-desktop-tests.sh";
    GlibRunLoop loop;
    ZenityAlertService alerts;
    Alert alert{AlertStyle::Informational, "A newer version", "Version 2 is out.", {"Install", "Later", "Skip This Version"}};

    int ticks = 0;
    auto ticker = loop.scheduleTimer(0.1, TimerRepeats::Yes, [&] { ++ticks; });
    // Return answers with the default button once the dialog has the focus;
    // on a loaded machine that can take a while, so keep pressing.
    auto presser = loop.scheduleTimer(2.0, TimerRepeats::Yes, [display] { pressKey(display, XK_Return); });
    EXPECT_EQ(alerts.runModal(alert), std::optional<size_t>(0));
    presser.reset();
    EXPECT_GE(ticks, 10) << "the loop was not served while the alert was up";

    auto abort = loop.performAfterDelay(1.0, [&] { alerts.abortModal(); });
    EXPECT_EQ(alerts.runModal(alert), std::nullopt);
    XCloseDisplay(display);
}

TEST(ZenityAlertServiceTest, TheDialogLosingTheFocusToAnotherProgramIsTheAgentLosingTheFront)
{
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr) << "no X display: run through run-desktop-tests.sh";
    ASSERT_LE(atspi_init(), 1) << "no accessibility bus";
    GlibRunLoop loop;
    NotificationCenter center;
    ZenityAlertService alerts(&center);
    Program other({"zenity", "--info", "--title=Elsewhere", "--text=Another program"});
    ASSERT_TRUE(pumpUntil([&] { return activePid(display) == other.pid(); }, 20)) << "the other program never took the focus";

    // As the update checker does with its offer.
    int resignations = 0;
    auto observation = center.addObserver(kWillResignActiveNotification, &alerts, [&](const Notification&) {
        ++resignations;
        alerts.abortModal();
    });
    bool hadTheFront = false;
    auto poll = loop.scheduleTimer(0.2, TimerRepeats::Yes, [&] {
        const pid_t active = activePid(display);
        if (!hadTheFront && active != 0 && active != other.pid()) {
            hadTheFront = true;
            activate(display, other.pid());
        }
    });
    auto reaper = loop.scheduleTimer(30.0, TimerRepeats::No, [&] {
        ADD_FAILURE() << "the alert was never closed";
        alerts.abortModal();
    });
    EXPECT_EQ(alerts.runModal({AlertStyle::Informational, "An updated version of Velmora is available!", "Version 9 is available.",
                  {"Go to Update Webpage", "Cancel"}}),
        std::nullopt);
    EXPECT_TRUE(hadTheFront);
    EXPECT_EQ(resignations, 1);

    // An alert answered while it has the focus loses nothing.
    poll = loop.scheduleTimer(0.2, TimerRepeats::Yes, [&] {
        const pid_t active = activePid(display);
        if (active != 0 && active != other.pid())
            pressKey(display, XK_Return);
    });
    EXPECT_EQ(alerts.runModal({AlertStyle::Critical, "You are up to date!", "1.0 is the latest version of Velmora.", {"OK"}}),
        std::optional<size_t>(0));
    pumpFor(0.5);
    EXPECT_EQ(resignations, 1);
    XCloseDisplay(display);
}

TEST(ZenityAlertServiceTest, TheMessageShowsAsWrittenNotAsMarkup)
{
    GlibRunLoop loop;
    ZenityAlertService alerts;
    // A version string from a feed, written to become a link and to break
    // markup parsing (the bare "&").
    const std::string message = "Version <a href=\"file:///etc/passwd\">9.9</a> & <b>more</b>";
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
