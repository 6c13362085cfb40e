#include "pane/AgentClient.h"
#include "pane/SettingsPaneScene.h"
#include "platform/sim/SimNotificationBus.h"

#include <gtest/gtest.h>

using namespace velmora;

namespace {

class AgentClientTest : public scenes::SettingsPaneScene { };

TEST_F(AgentClientTest, NoAgentIsKnownAtOnceAndAStuckBusEndsTheWaitAfterTwoSeconds)
{
    storeCurrentVersion();
    controller().setupUI();
    EXPECT_TRUE(controller().waitingForResponse());
    EXPECT_FALSE(controller().canRun());
    desktop.runPending();
    EXPECT_FALSE(controller().isRunning());
    EXPECT_FALSE(controller().waitingForResponse()) << "the bus said no holder: nothing to wait for";

    // A bus that never answers: the time-out decides.
    desktop.sessionBus().setAnswersWatchers(false);
    controller().setupUI();
    desktop.advance(1.9);
    EXPECT_TRUE(controller().waitingForResponse()) << "the time-out came early";
    desktop.advance(0.2);
    EXPECT_FALSE(controller().isRunning());
    EXPECT_FALSE(controller().waitingForResponse());
    EXPECT_FALSE(controller().shouldRun());
    EXPECT_EQ(quitOrders(), 0);
}

TEST_F(AgentClientTest, AnAnswerCancelsEveryPendingTimeOut)
{
    storeCurrentVersion();
    startAgent();
    desktop.runPending();
    controller().setupUI();
    controller().setupUI(); // shown twice: two watches, two time-outs
    desktop.advance(0.5);
    EXPECT_TRUE(controller().isRunning());
    EXPECT_TRUE(controller().shouldRun());
    EXPECT_FALSE(controller().waitingForResponse());
    EXPECT_GE(window.raised, 1);

    desktop.advance(5);
    EXPECT_TRUE(controller().isRunning()) << "a time-out survived the answer";
    EXPECT_TRUE(controller().shouldRun());
    EXPECT_TRUE(desktop.paneServices().launches().empty()) << "the switch followed the agent and must not launch";
}

TEST_F(AgentClientTest, AnAgentStartedElsewhereOrKilledIsFollowedWithoutAQuery)
{
    storeCurrentVersion();
    controller().setupUI();
    desktop.advance(3);
    ASSERT_FALSE(controller().isRunning());

    // Started some other way, e.g. at login, while the pane is open.
    startAgent();
    desktop.runPending();
    EXPECT_TRUE(controller().isRunning());
    EXPECT_TRUE(controller().shouldRun());
    EXPECT_TRUE(desktop.paneServices().launches().empty());

    // Killed: no goodbye, but its name goes with it.
    agents.clear();
    desktop.runPending();
    EXPECT_FALSE(controller().isRunning());
    EXPECT_FALSE(controller().shouldRun());
    EXPECT_EQ(delivered(kAgentWillQuit), 0);
}

TEST_F(AgentClientTest, AnnouncementsFromAnyoneButTheNameHolderAreNotBelieved)
{
    storeCurrentVersion();
    controller().setupUI();
    desktop.runPending();
    desktop.distributedNotificationCenter().postNotificationName(kAgentRuns);
    desktop.advance(3);
    EXPECT_FALSE(controller().isRunning());
}

TEST_F(AgentClientTest, OnlyAnAgentThatSaysItIsAnotherVersionIsToldToQuit)
{
    // The file says another version, the agent says ours: it stays.
    desktop.standardUserDefaults().setPersistentDomain({{"currentVersion", "0.9"}, {"playsSoundOnMove", 1}}, kDomain);
    startAgent();
    controller().setupUI();
    desktop.advance(1);
    EXPECT_FALSE(desktop.terminated());
    EXPECT_EQ(quitOrders(), 0);
    EXPECT_EQ(stored("currentVersion"), Value(controller().currentVersionString())) << "the pane records its own version";
    EXPECT_EQ(stored("playsSoundOnMove"), Value(1)) << "the other keys must survive";

    // No settings file at all: no quit, and no file made just for the version.
    desktop.standardUserDefaults().removePersistentDomainForName(kDomain);
    controller().setupUI();
    desktop.advance(1);
    EXPECT_FALSE(desktop.terminated());
    EXPECT_FALSE(storedDomain());

    // An agent left from before an update says its old version: it goes.
    agents.clear();
    startAgent("0.9");
    desktop.advance(1);
    EXPECT_EQ(quitOrders(), 1);
    EXPECT_TRUE(desktop.terminated());
    EXPECT_FALSE(controller().isRunning());
    EXPECT_FALSE(controller().shouldRun());
    EXPECT_FALSE(controller().waitingForResponse());
}

TEST_F(AgentClientTest, AVersionQuestionWhoseHandleIsDroppedIsNeverAnswered)
{
    startAgent("0.9");
    int droppedAnswers = 0;
    std::optional<std::string> kept;
    {
        DelayedCall dropped = desktop.agentChannel().requestVersion([&](std::optional<std::string>) { ++droppedAnswers; });
    }
    DelayedCall pending = desktop.agentChannel().requestVersion([&](std::optional<std::string> version) { kept = std::move(version); });
    EXPECT_TRUE(pending.isPending());
    desktop.runPending();
    EXPECT_EQ(droppedAnswers, 0);
    EXPECT_EQ(kept, std::optional<std::string>("0.9"));
    EXPECT_FALSE(pending.isPending()) << "answered once";
}

TEST_F(AgentClientTest, StopListeningDropsTheWatchHidingDoesNot)
{
    storeCurrentVersion();
    pane.didSelect();
    desktop.advance(3);
    pane.didUnselect();
    startAgent();
    desktop.runPending();
    EXPECT_TRUE(controller().isRunning()) << "a hidden pane still listens";

    controller().closeUI();
    agents.clear();
    desktop.runPending();
    EXPECT_TRUE(controller().isRunning());
}

TEST_F(AgentClientTest, EachWriteKeepsTheOtherKeysAndSendsOneReloadOrder)
{
    storeCurrentVersion();
    controller().setPrefOfKey("SoundToPlayIndex", 3);
    controller().setPrefOfKey("feedbackSoundName", "Glass");
    desktop.runPending();
    EXPECT_EQ(reloadOrders(), 2);
    EXPECT_EQ(stored("currentVersion"), Value(controller().currentVersionString()));
    EXPECT_EQ(stored("SoundToPlayIndex"), Value(3));
    EXPECT_EQ(controller().prefForKey("feedbackSoundName"), Value("Glass"));
    EXPECT_TRUE(controller().prefHasKey("SoundToPlayIndex"));
    EXPECT_FALSE(controller().prefHasKey("playsSoundOnMove"));
    EXPECT_TRUE(controller().prefForKey("playsSoundOnMove").isNull());
}

} // namespace
