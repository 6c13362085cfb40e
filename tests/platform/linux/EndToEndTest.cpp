// The agent's engine on the real desktop: real dialogs of programs nobody
// here wrote (zenity, GTK 3), the pointer of the X server, expected spots
// computed from the buttons' extents as AT-SPI itself reports them.

#include "agent/snapping/SnapNotifications.h"
#include "platform/linux/AgentOnDesktop.h"
#include "platform/linux/AtspiAccessibility.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace velmora::linux_desktop::testing {
namespace {

// One request per attribute the engine reads for a dialog of an application
// that has just closed its previous one: its windows (count, then one each)
// and their states, the new window's role and interfaces, the default
// button's search, the button's interfaces, states and extents, the window's
// extents (the spot must lie inside it), then the snap-back watcher's look at
// what lies under the pointer (five steps down, three of them to objects not
// seen before), all within the one event: 18 when nothing of the new dialog
// was read before. A poll of the previous dialog's watcher that happens to
// run after the new dialog appeared reads some of these ahead of the event
// (12 were counted then); one to spare.
constexpr long kMostRequestsPerSnap = 19;

class EndToEndTest : public ApplicationOnDesktopTest {
protected:
    void pressReturn() { pressKeys(m_display, {}, XK_Return); }
};

TEST_F(EndToEndTest, ADialogOfAnApplicationStartedAfterTheAgentSnapsToItsDefaultButton)
{
    startAgent();
    EXPECT_TRUE(zenitySnapsTo(m_display, {"zenity", "--question", "--title=Snap", "--text=Snap here?"}, "Yes"));
}

TEST_F(EndToEndTest, ADialogAlreadyOpenWhenTheAgentStartsSnaps)
{
    Program zenity({"zenity", "--warning", "--title=Early", "--text=Opened first"});
    auto ok = expectedSpot(zenity.pid(), "OK");
    ASSERT_TRUE(ok);
    pumpFor(0.3);
    restPointer({20, 20});
    startAgent();
    EXPECT_TRUE(pointerReaches(*ok));
}

TEST_F(EndToEndTest, ASecondDialogOfTheSameApplicationSnapsAndTheFirstSnapsBackFromTheKeyboard)
{
    setPreference(VelmoraPreferences::kSnapbackCursor, true);
    startAgent();
    Program dialogs({DESKTOP_TESTS_DIR "/two-dialogs.py"});
    auto open = expectedSpot(dialogs.pid(), "Open");
    ASSERT_TRUE(open);
    ASSERT_TRUE(pointerReaches(*open));
    // Answered from the keyboard: the pointer goes back to where it rested
    // (the next dialog may take it again within the same pass, so the spot
    // is read when the return is announced) ...
    std::vector<Point> returns;
    auto observation = s_desktop->localNotificationCenter().addObserver(kPointerSnappedBack, nullptr,
        [&](const Notification&) { returns.push_back(pointer()); });
    pressReturn();
    ASSERT_TRUE(pumpUntil([&] { return !returns.empty(); }, 10));
    EXPECT_EQ(returns, (std::vector<Point>{{20, 20}}));
    // ... and the second dialog of the same application snaps in turn.
    auto save = expectedSpot(dialogs.pid(), "Save");
    ASSERT_TRUE(save);
    EXPECT_TRUE(pointerReaches(*save));
}

// What one snap costs the dialog's application, counted within the event
// whose delivery moved the pointer: each attribute the engine reads is one
// request at most, and nothing is asked twice for one event. The dialog is
// the second of an application already observed, so its first dialog's
// closing and its windows' reshuffle have all been seen.
TEST_F(EndToEndTest, ADialogIsSnappedToWithFewRequests)
{
    startAgent();
    auto& atspi = dynamic_cast<AtspiAccessibility&>(s_desktop->accessibility());
    Program dialogs({DESKTOP_TESTS_DIR "/two-dialogs.py"});
    auto open = expectedSpot(dialogs.pid(), "Open");
    ASSERT_TRUE(open);
    ASSERT_TRUE(pointerReaches(*open));
    pumpFor(0.5);

    long requests = -1;
    auto observation = s_desktop->localNotificationCenter().addObserver(kPointerSnapped, nullptr,
        [&](const Notification&) { requests = atspi.requestsThisEvent(); });
    pressReturn();
    ASSERT_TRUE(pumpUntil([&] { return requests >= 0; }, 10));
    std::printf("requests for the event that snapped: %ld\n", requests);
    EXPECT_LE(requests, kMostRequestsPerSnap);
    EXPECT_GT(requests, 0);
}

TEST_F(EndToEndTest, TheCancelPreferenceSnapsToTheButtonThatDeclines)
{
    setPreference(VelmoraPreferences::kSnapToAlternateButtonInstead, true);
    startAgent();
    EXPECT_TRUE(zenitySnapsTo(m_display, {"zenity", "--entry", "--title=Alternate", "--text=Name"}, "Cancel"));
}

TEST_F(EndToEndTest, AnIgnoredApplicationIsLeftAlone)
{
    setPreference(VelmoraPreferences::kIgnoredApps, Value::Array{"zenity"});
    startAgent();
    EXPECT_TRUE(zenitySnapsTo(m_display, {"zenity", "--question", "--title=Ignored", "--text=Leave me"}, "Yes", true));
}

TEST_F(EndToEndTest, KilledAndFrozenApplicationsLeaveTheAgentSnappingElsewhere)
{
    startAgent();
    {
        Program killed({"zenity", "--question", "--title=Killed", "--text=bye"});
        ASSERT_TRUE(expectedSpot(killed.pid(), "Yes"));
        pumpFor(0.5);
        killed.kill(SIGKILL);
    }
    Program frozen({"zenity", "--info", "--title=Frozen", "--text=cold"});
    ASSERT_TRUE(expectedSpot(frozen.pid(), "OK"));
    pumpFor(1.5); // observed, and snapped to or not: what matters is what follows
    frozen.signal(SIGSTOP);
    restPointer({20, 20});

    Program healthy({"zenity", "--question", "--title=Healthy", "--text=still here?"});
    auto yes = expectedSpot(healthy.pid(), "Yes");
    ASSERT_TRUE(yes);
    const gint64 start = g_get_monotonic_time();
    EXPECT_TRUE(pointerReaches(*yes));
    // At most one request timed out on the frozen application on the way.
    EXPECT_LT((g_get_monotonic_time() - start) / 1000, 2 * kAtspiCallMs + 2000);
    frozen.signal(SIGCONT);
}

} // namespace
} // namespace velmora::linux_desktop::testing
