#include "agent/process/Agent.h"

#include "agent/process/VelmoraControlEndpoint.h"
#include "agent/snapping/AppTracker.h"

#include "platform/sim/SimDesktop.h"
#include "shared/preferences/VelmoraPreferences.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace velmora;
using namespace velmora::sim;

namespace {

class AgentStartupTest : public ::testing::Test {
protected:
    SimDesktop desktop;
    ScopedPlatform scoped{desktop};

    void switchOnSoundAndSnapBack()
    {
        desktop.addSound("Bottle", 0.3);
        auto& defaults = desktop.standardUserDefaults();
        defaults.setObject(VelmoraPreferences::kPlaysSoundOnMove, true);
        defaults.setObject(VelmoraPreferences::kFeedbackSoundName, "Bottle");
        defaults.setObject(VelmoraPreferences::kFeedbackSoundVolume, 0.5);
        defaults.setObject(VelmoraPreferences::kSnapbackCursor, true);
        defaults.synchronize();
    }
};

TEST_F(AgentStartupTest, ADialogAlreadyFocusedAtStartIsSnappedSilentlyAndNeverSnappedBack)
{
    switchOnSoundAndSnapBack();
    SimApp& editor = desktop.addRunningApp("Editor", "org.example.Editor");
    auto document = editor.addWindow("Untitled", {0, 0}, {1440, 900});
    auto dialog = editor.addDialog("Save changes?", {500, 300});
    desktop.activate(editor);
    desktop.focusWindow(editor, dialog);
    desktop.runPending();

    Agent delegate{desktop};
    delegate.start();
    ASSERT_EQ(desktop.pointerMoves().size(), 1u) << "the tracker's first check snaps at once";
    EXPECT_TRUE(desktop.playedSounds().empty()) << "the sound player did not exist yet";

    // Answer the dialog without moving the pointer: nothing watches that snap.
    desktop.closeWindow(editor, dialog);
    desktop.advance(1.0);
    EXPECT_EQ(desktop.pointerMoves().size(), 1u);

    // A second start-up call changes nothing: each component exists once.
    delegate.start();
    auto next = editor.addDialog("Replace?", {300, 200});
    desktop.focusWindow(editor, next);
    desktop.advance(0.1);
    EXPECT_EQ(desktop.pointerMoves().size(), 2u);
    EXPECT_EQ(desktop.playedSounds().size(), 1u) << "one sound player, one sound";
}

// What the stop does to the old generation's login item is LegacyAgentStopperTest's.
TEST_F(AgentStartupTest, OlderGenerationIsStopped)
{
    pid_t old = desktop.addProcess("velmorabg", "/opt/old/velmorabg.app");
    Agent delegate{desktop};
    delegate.start();
    EXPECT_EQ(desktop.quitRequests(), std::vector<pid_t>{old});
}

// The lines from the accessibility state on, as the agent logged them.
std::vector<std::string> linesFromAccessibility(const SimDesktop& desktop)
{
    const auto& lines = desktop.logLines();
    auto first = std::find_if(lines.begin(), lines.end(), [](const std::string& line) { return line.starts_with("Accessibility: "); });
    return {first, lines.end()};
}

TEST_F(AgentStartupTest, StartsWithAccessibilityOffSaysHowToSwitchItOnAndGivesUpOnEachApplicationInTheEnd)
{
    desktop.addRunningApp("Editor", "org.example.Editor");
    desktop.setAPIEnabled(false);
    Agent delegate{desktop};
    ASSERT_TRUE(delegate.start());
    ASSERT_NE(delegate.appTracker(), nullptr);
    ASSERT_NE(delegate.mouseMoveListener(), nullptr);
    auto lines = linesFromAccessibility(desktop);
    ASSERT_GE(lines.size(), 2u) << "no accessibility line";
    EXPECT_TRUE(lines[0].starts_with("Accessibility: off: no application can be watched")) << lines[0];
    EXPECT_NE(lines[0].find(desktop.paneServices().accessibilityInstructions()), std::string::npos) << lines[0];
    EXPECT_EQ(lines[1], "Watching 0 applications");

    // It announced itself, and still answers the pane's question.
    auto posted = [&](const char* name) { return std::ranges::count(desktop.postedDistributedNotifications(), name); };
    EXPECT_EQ(posted(kAgentRuns), 1);
    desktop.distributedNotificationCenter().postNotificationName(kAskIfAgentRuns);
    desktop.advance(0.1);
    EXPECT_EQ(posted(kAgentRuns), 2);

    desktop.advance(25);
    EXPECT_EQ(std::ranges::count(desktop.logLines(), "Could not connect to application \"Editor\""), 1);
}

TEST_F(AgentStartupTest, ItsFirstLinesSayAccessibilityIsOnAndCountTheApplicationsItWatches)
{
    desktop.addRunningApp("Editor", "org.example.Editor");
    desktop.addRunningApp("Viewer", "org.example.Viewer");
    desktop.addRunningApp("Mail", "org.example.Mail");
    desktop.standardUserDefaults().setObject(VelmoraPreferences::kIgnoredApps, Value::Array{"Mail"});
    desktop.standardUserDefaults().synchronize();
    Agent delegate{desktop};
    ASSERT_TRUE(delegate.start());
    auto lines = linesFromAccessibility(desktop);
    ASSERT_GE(lines.size(), 2u) << "no accessibility line";
    EXPECT_EQ(lines[0], "Accessibility: on");
    EXPECT_EQ(lines[1], "Watching 2 applications") << "the ignored one is not counted";
}

TEST_F(AgentStartupTest, ASecondAgentEndsBeforeWatchingAnything)
{
    SimApp& editor = desktop.addRunningApp("Editor", "org.example.Editor");
    Agent first{desktop};
    ASSERT_TRUE(first.start());

    Agent second{desktop};
    EXPECT_FALSE(second.start());
    EXPECT_TRUE(second.anotherAgentRuns());
    EXPECT_EQ(second.appTracker(), nullptr);
    EXPECT_EQ(second.communicator(), nullptr);
    EXPECT_NE(std::find(desktop.logLines().begin(), desktop.logLines().end(), "another agent is already running; this one ends"),
        desktop.logLines().end());

    // Only the first one snaps.
    auto dialog = editor.addDialog("Save changes?", {500, 300});
    desktop.activate(editor);
    desktop.focusWindow(editor, dialog);
    desktop.advance(0.5);
    EXPECT_EQ(desktop.pointerMoves().size(), 1u);
}

} // namespace
