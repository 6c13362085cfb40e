#include "agent/process/PreffPaneCommunicator.h"
#include "agent/snapping/SnapNotifications.h"
#include "pane/ControlProtocolScene.h"
#include "pane/VelmoraBGController.h"

#include <gtest/gtest.h>

using namespace velmora;

namespace {

class QuitNotificationWatcherTest : public scenes::ControlProtocolScene { };

TEST_F(QuitNotificationWatcherTest, AnnouncesOnceAtSetupAndAnswersEveryQuery)
{
    startAgent();
    desktop.runPending();
    EXPECT_EQ(delivered(ZQK_VelmoraIsRunningNotification), 1);

    desktop.distributedNotificationCenter().postNotificationName(ZQK_VelmoraAreYouRunning);
    desktop.distributedNotificationCenter().postNotificationName(ZQK_VelmoraAreYouRunning);
    desktop.runPending();
    EXPECT_EQ(delivered(ZQK_VelmoraIsRunningNotification), 3);
    EXPECT_FALSE(desktop.terminated());
}

TEST_F(QuitNotificationWatcherTest, QuitOrderSaysGoodbyeTwiceAndEndsTheProgram)
{
    startAgent();
    desktop.runPending();
    desktop.distributedNotificationCenter().postNotificationName(ZQK_VelmoraMustQuitNotification);
    desktop.runPending();
    EXPECT_TRUE(desktop.terminated());
    // Once for the order, once more from the program's own will-terminate.
    EXPECT_EQ(delivered(ZQK_VelmoraWillTerminate), 2);
}

TEST_F(QuitNotificationWatcherTest, EndingForAnyOtherReasonIsAnnounced)
{
    startAgent();
    desktop.application().terminate();
    desktop.runPending();
    EXPECT_EQ(delivered(ZQK_VelmoraWillTerminate), 1);
}

TEST_F(QuitNotificationWatcherTest, ReloadOrderRereadsAndPostsOneLocalUpdate)
{
    auto& agent = startAgent();
    std::vector<const void*> senders;
    auto updates = desktop.localNotificationCenter().addObserver(ZQK_VelmoraPrefsUpdated, nullptr,
        [&](const Notification& n) { senders.push_back(n.object); });

    // Another process changes a key behind the agent's back.
    desktop.standardUserDefaults().updatePersistentDomain(kDomain, [](std::optional<Value::Dictionary>& domain) {
        if (!domain)
            domain.emplace();
        (*domain)["snapToAlternateButtonInstead"] = 1;
        return true;
    });
    desktop.distributedNotificationCenter().postNotificationName(ZQK_VelmoraMustUpdatePrefsNotification);
    desktop.runPending();
    ASSERT_EQ(senders.size(), 1u);
    EXPECT_EQ(senders[0], &agent);
    EXPECT_TRUE(desktop.standardUserDefaults().boolForKey("snapToAlternateButtonInstead"));
}

TEST_F(QuitNotificationWatcherTest, DestroyedAgentTakesNoMoreOrders)
{
    startAgent();
    desktop.runPending();
    agents.clear();
    desktop.distributedNotificationCenter().postNotificationName(ZQK_VelmoraAreYouRunning);
    desktop.distributedNotificationCenter().postNotificationName(ZQK_VelmoraMustQuitNotification);
    desktop.runPending();
    EXPECT_EQ(delivered(ZQK_VelmoraIsRunningNotification), 1);
    EXPECT_EQ(delivered(ZQK_VelmoraWillTerminate), 0);
    EXPECT_FALSE(desktop.terminated());
    // Its will-terminate subscription went too.
    desktop.application().terminate();
    desktop.runPending();
    EXPECT_EQ(delivered(ZQK_VelmoraWillTerminate), 0);
}

TEST_F(QuitNotificationWatcherTest, BothSidesNameTheProtocolAlike)
{
    PreffPaneCommunicator agent;
    VelmoraBGController pane;
    EXPECT_EQ(agent.askForStatusNotificationName(), pane.askForStatusNotificationName());
    EXPECT_EQ(agent.statusReturned(), pane.statusReturned());
    EXPECT_EQ(agent.mustQuitNotificationName(), pane.mustQuitNotificationName());
    EXPECT_EQ(agent.willQuitNotificationName(), pane.willQuitNotificationName());
    EXPECT_EQ(agent.mustUpdatePrefsNotificationName(), pane.mustUpdatePrefsNotificationName());
}

} // namespace
