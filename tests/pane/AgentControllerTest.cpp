#include "pane/SettingsPaneScene.h"
#include "shared/loginitems/AutostartSynchronizer.h"
#include "shared/process/AgentExitStatus.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/wait.h>

using namespace velmora;

namespace {

class AgentControllerTest : public scenes::SettingsPaneScene {
protected:
    AgentControllerTest() { storeCurrentVersion(); }

    // Shown, asked, and told that nothing runs.
    void showPaneWithoutAgent()
    {
        controller().setupUI();
        desktop.advance(AgentClient::kStatusTimeout + 0.1);
    }

    // Changes announced for each key, in order.
    void recordChanges(const std::vector<std::string>& keys)
    {
        m_recorded.clear();
        for (const auto& key : keys)
            m_observations.push_back(controller().addObserver(key, [this](const std::string& k) { m_recorded.push_back(k); }));
    }
    const std::vector<std::string>& recorded() const { return m_recorded; }

private:
    std::vector<NotificationObservation> m_observations;
    std::vector<std::string> m_recorded;
};

TEST_F(AgentControllerTest, FirstReadsStoreTheDefaultsEachWithOneReloadOrder)
{
    desktop.standardUserDefaults().removePersistentDomainForName(kDomain);
    EXPECT_FLOAT_EQ(controller().feedbackSoundVolume(), 13.0f / 34.0f);
    EXPECT_EQ(controller().feedbackSoundName(), "Bottle");
    EXPECT_TRUE(controller().shouldCheckForUpdatesDaily());
    EXPECT_FALSE(controller().snapsBackAfterDismiss());
    EXPECT_EQ(controller().soundToPlay(), 0);
    EXPECT_FALSE(controller().playsSoundOnMove());
    EXPECT_FALSE(controller().snapsToAlternateButton());
    desktop.runPending();
    EXPECT_EQ(reloadOrders(), 7);
    EXPECT_EQ(stored("QK.velmora.snapbackCursor"), Value(false)) << "a default is stored as a boolean";
    EXPECT_EQ(stored("feedbackSoundVolume"), Value(static_cast<double>(13.0f / 34.0f)));

    // Later reads find the keys and write nothing.
    controller().feedbackSoundVolume();
    controller().snapsToAlternateButton();
    desktop.runPending();
    EXPECT_EQ(reloadOrders(), 7);
}

TEST_F(AgentControllerTest, BooleanSettingsAreStoredAsIntegersAndReadBackAlike)
{
    controller().setSnapsBackAfterDismiss(true);
    controller().setPlaysSoundOnMove(true);
    controller().setSnapsToAlternateButton(true);
    controller().setShouldCheckForUpdatesDaily(false);
    controller().setFeedbackSoundVolume(0.75f);
    desktop.runPending();
    EXPECT_EQ(reloadOrders(), 5) << "one order per change";
    EXPECT_EQ(stored("QK.velmora.snapbackCursor"), Value(1));
    EXPECT_EQ(stored("playsSoundOnMove"), Value(1));
    EXPECT_EQ(stored("snapToAlternateButtonInstead"), Value(1));
    EXPECT_EQ(stored("shouldCheckForUpdatesDaily"), Value(false));
    EXPECT_TRUE(controller().snapsBackAfterDismiss());
    EXPECT_FLOAT_EQ(controller().feedbackSoundVolume(), 0.75f);

    // The agent reads what the pane stored.
    desktop.standardUserDefaults().synchronize();
    EXPECT_TRUE(desktop.standardUserDefaults().boolForKey("QK.velmora.snapbackCursor"));
    EXPECT_TRUE(desktop.standardUserDefaults().boolForKey("snapToAlternateButtonInstead"));
}

TEST_F(AgentControllerTest, DerivedKeysFollowWhatTheyDependOn)
{
    recordChanges({"canRun", "canChangeSettings", "waitingForResponse", "isRunning", "snapsToAlternateButton"});
    controller().setWaitingForResponse(true);
    EXPECT_EQ(recorded(), (std::vector<std::string>{"waitingForResponse", "canRun", "canChangeSettings"}));

    recordChanges({});
    controller().setWaitingForResponse(true);
    EXPECT_TRUE(recorded().empty()) << "an unchanged value is not announced";

    controller().setIsRunning(true);
    EXPECT_EQ(recorded(), (std::vector<std::string>{"isRunning", "canChangeSettings"}));

    recordChanges({});
    controller().setSnapsToAlternateButton(true);
    EXPECT_EQ(recorded(), (std::vector<std::string>{"snapsToAlternateButton"}));
}

TEST_F(AgentControllerTest, RunSwitchNeedsAccessibilityACurrentToolkitAndNoPendingAnswer)
{
    showPaneWithoutAgent();
    EXPECT_TRUE(controller().canRun());
    EXPECT_FALSE(controller().canChangeSettings()) << "nothing runs";

    desktop.setAPIEnabled(false);
    EXPECT_FALSE(controller().accessibilityAPIIsRunning());
    EXPECT_FALSE(controller().canRun());
    desktop.setAPIEnabled(true);

    desktop.paneServices().setToolkitVersionNumber(299.9); // rounds down to 299
    EXPECT_FALSE(controller().canRun());
    desktop.paneServices().setToolkitVersionNumber(300);
    EXPECT_TRUE(controller().canRun());

    controller().setWaitingForResponse(true);
    EXPECT_FALSE(controller().canRun());
}

TEST_F(AgentControllerTest, TurningTheSwitchOnLaunchesTheAgentAndAddsItsLoginItemOnceItAnnouncesItself)
{
    agentStartsWhenLaunched(0.4);
    showPaneWithoutAgent();
    controller().setShouldRun(false); // unchanged: nothing happens
    EXPECT_TRUE(desktop.paneServices().launches().empty());

    controller().setShouldRun(true);
    const std::string agent = kAgentPath;
    EXPECT_EQ(desktop.paneServices().launches(), (std::vector<std::string>{agent}));
    EXPECT_EQ(desktop.paneServices().lastArguments(), (std::vector<std::string>{AgentExitStatus::kFailWithoutDesktopOption}));
    EXPECT_FALSE(AutostartSynchronizer::of(desktop).launchesAtLogin(agent)) << "not before the agent announces itself";
    EXPECT_TRUE(controller().waitingForResponse());
    EXPECT_FALSE(controller().canRun());

    desktop.advance(60); // no time-out while starting
    EXPECT_TRUE(AutostartSynchronizer::of(desktop).launchesAtLogin(agent));
    EXPECT_TRUE(controller().isRunning());
    EXPECT_FALSE(controller().waitingForResponse());
    EXPECT_TRUE(controller().shouldRun());
    EXPECT_TRUE(controller().canChangeSettings());
    EXPECT_EQ(desktop.paneServices().launches().size(), 1u);

    controller().setShouldRun(false);
    EXPECT_FALSE(AutostartSynchronizer::of(desktop).launchesAtLogin(agent));
    EXPECT_TRUE(controller().waitingForResponse());
    desktop.runPending();
    EXPECT_TRUE(desktop.terminated());
    EXPECT_FALSE(controller().isRunning());
    EXPECT_FALSE(controller().waitingForResponse());
    EXPECT_FALSE(controller().shouldRun());
}

TEST_F(AgentControllerTest, AnAgentThatCannotBeLaunchedLeavesTheSwitchOffWithoutALoginItem)
{
    desktop.paneServices().setLaunchHandler([](const std::string&) { return false; });
    showPaneWithoutAgent();
    const std::string agent = kAgentPath;
    recordChanges({"agentLaunchFailure"});

    for (int attempt = 1; attempt <= 2; ++attempt) {
        SCOPED_TRACE(attempt);
        controller().setShouldRun(true);
        EXPECT_EQ(desktop.paneServices().launches().size(), static_cast<size_t>(attempt));
        EXPECT_FALSE(controller().shouldRun());
        EXPECT_FALSE(controller().waitingForResponse());
        EXPECT_TRUE(controller().canRun()) << "the switch can be tried again";
        EXPECT_FALSE(AutostartSynchronizer::of(desktop).launchesAtLogin(agent));
        EXPECT_NE(controller().agentLaunchFailure().find(agent), std::string::npos) << controller().agentLaunchFailure();
        ASSERT_FALSE(desktop.logLines().empty());
        EXPECT_EQ(desktop.logLines().back(), "could not launch the agent at " + agent);
    }
    // Each failure is announced, the second after the first was cleared.
    EXPECT_EQ(recorded().size(), 3u);

    desktop.paneServices().setLaunchHandler([](const std::string&) { return true; });
    controller().setShouldRun(true);
    EXPECT_EQ(controller().agentLaunchFailure(), "");
    EXPECT_TRUE(controller().waitingForResponse());
}

TEST_F(AgentControllerTest, AnAgentThatEndsBeforeAnnouncingItselfLeavesTheSwitchOffWithoutALoginItemAndSaysWhy)
{
    const std::string agent = kAgentPath;
    desktop.paneServices().setLaunchHandler([](const std::string&) { return true; });
    showPaneWithoutAgent();
    const std::pair<int, const char*> ends[] = {
        {W_EXITCODE(AgentExitStatus::kNoDisplay, 0), "no X display"},
        {W_EXITCODE(AgentExitStatus::kNoSessionBus, 0), "no session bus"},
        {W_EXITCODE(AgentExitStatus::kNoAccessibilityBus, 0), "accessibility bus did not come up within 5 seconds"},
        {W_EXITCODE(1, 0), "exit code 1"},
        {SIGKILL, "signal 9"},
    };
    for (const auto& [waitStatus, why] : ends) {
        SCOPED_TRACE(why);
        controller().setShouldRun(true);
        desktop.advance(2.0);
        desktop.paneServices().endLastLaunched(waitStatus);
        EXPECT_FALSE(controller().shouldRun());
        EXPECT_FALSE(controller().waitingForResponse());
        EXPECT_TRUE(controller().canRun()) << "the switch can be tried again";
        EXPECT_NE(controller().agentLaunchFailure().find(why), std::string::npos) << controller().agentLaunchFailure();
        ASSERT_FALSE(desktop.logLines().empty());
        const std::string& logged = desktop.logLines().back();
        EXPECT_TRUE(logged.starts_with("the agent ended before it started watching: ") && logged.find(why) != std::string::npos) << logged;
        EXPECT_FALSE(AutostartSynchronizer::of(desktop).launchesAtLogin(agent));
    }

    // One that announces itself and ends later (told to quit, or killed) is no
    // failure to start: the login item it earned stays until the switch goes off.
    agentStartsWhenLaunched(0.3);
    controller().setShouldRun(true);
    desktop.advance(1.0);
    ASSERT_TRUE(controller().isRunning());
    desktop.paneServices().endLastLaunched(SIGKILL);
    EXPECT_EQ(controller().agentLaunchFailure(), "");
    EXPECT_TRUE(AutostartSynchronizer::of(desktop).launchesAtLogin(agent));
}

TEST_F(AgentControllerTest, WithoutAWindowARunningReplyLeavesTheSwitchAlone)
{
    pane.setWindow(nullptr);
    startAgent();
    controller().setupUI();
    desktop.runPending();
    EXPECT_TRUE(controller().isRunning());
    EXPECT_TRUE(controller().waitingForResponse());
    EXPECT_FALSE(controller().shouldRun());
}

TEST_F(AgentControllerTest, RepliesBeforeThePaneWasShownChangeOnlyTheBelief)
{
    controller().setupNotifications();
    startAgent();
    desktop.runPending();
    EXPECT_TRUE(controller().isRunning());
    EXPECT_FALSE(controller().shouldRun()) << "a pane that never loaded must not act";
    EXPECT_EQ(window.raised, 0);
}

TEST_F(AgentControllerTest, ActionsGoToTheDesktop)
{
    desktop.paneServices().setHasAccessibilitySettings(false);
    EXPECT_FALSE(controller().showUniversalAccess());
    EXPECT_FALSE(controller().accessibilityInstructions().empty());
    desktop.paneServices().setHasAccessibilitySettings(true);
    EXPECT_TRUE(controller().showUniversalAccess());
    EXPECT_EQ(desktop.paneServices().accessibilitySettingsOpenCount(), 1);

    const std::string link = controller().feedbackMailLink();
    const std::string tail = "?subject=velmora-feedback:version_" + controller().currentVersionString();
    EXPECT_EQ(link.rfind("mailto:", 0), 0u);
    EXPECT_EQ(link.substr(link.size() - tail.size()), tail);

    // Help opens the user guide that ships with the program, not the
    // developers' README: the installed one, or the source tree's in a build
    // folder; either way a file that exists.
    controller().helpButton();
    ASSERT_EQ(desktop.openedFiles().size(), 1u);
    EXPECT_EQ(desktop.openedFiles().front(), AgentController::userGuidePath());
    EXPECT_EQ(std::filesystem::path(desktop.openedFiles().front()).filename(), "user-guide.html");
    EXPECT_TRUE(std::filesystem::is_regular_file(desktop.openedFiles().front())) << desktop.openedFiles().front();
}

} // namespace
