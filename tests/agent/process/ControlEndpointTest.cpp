#include "agent/process/VelmoraControlEndpoint.h"
#include "agent/snapping/SnapNotifications.h"
#include "pane/ControlProtocolScene.h"
#include "pane/AgentController.h"

#include <gtest/gtest.h>

using namespace velmora;

namespace {

class ControlEndpointTest : public scenes::ControlProtocolScene {
protected:
    // Counts the agent's rereads of its settings, each checked to come from `agent`.
    NotificationObservation countRereads(int& rereads, const void* agent = nullptr)
    {
        return desktop.localNotificationCenter().addObserver(kPreferencesReloaded, nullptr, [&rereads, agent](const Notification& n) {
            EXPECT_TRUE(!agent || n.object == agent) << "a reread announced by another object";
            ++rereads;
        });
    }
};

TEST_F(ControlEndpointTest, AnnouncesOnceAtSetupAndAnswersEveryQuery)
{
    startAgent();
    desktop.runPending();
    EXPECT_EQ(delivered(kAgentRuns), 1);

    desktop.distributedNotificationCenter().postNotificationName(kAskIfAgentRuns);
    desktop.distributedNotificationCenter().postNotificationName(kAskIfAgentRuns);
    desktop.runPending();
    EXPECT_EQ(delivered(kAgentRuns), 3);
    EXPECT_FALSE(desktop.terminated());
}

TEST_F(ControlEndpointTest, QuitOrderSaysGoodbyeTwiceAndEndsTheProgram)
{
    startAgent();
    desktop.runPending();
    desktop.distributedNotificationCenter().postNotificationName(kAgentMustQuit);
    desktop.runPending();
    EXPECT_TRUE(desktop.terminated());
    // Once for the order, once more from the program's own will-terminate,
    // which announces an end for any other reason too.
    EXPECT_EQ(delivered(kAgentWillQuit), 2);
}

TEST_F(ControlEndpointTest, OrdersThroughTheNameAndAsBroadcastsAreTakenAlike)
{
    auto& agent = startAgent();
    int updates = 0;
    auto observation = countRereads(updates, &agent);

    // Another process changes a key behind the agent's back.
    desktop.standardUserDefaults().updatePersistentDomain(kDomain, [](std::optional<Value::Dictionary>& domain) {
        if (!domain)
            domain.emplace();
        (*domain)["snapToAlternateButtonInstead"] = 1;
        return true;
    });
    desktop.agentChannel().orderReload();
    desktop.runPending();
    EXPECT_EQ(updates, 1);
    EXPECT_TRUE(desktop.standardUserDefaults().boolForKey("snapToAlternateButtonInstead"));
    desktop.distributedNotificationCenter().postNotificationName(kAgentMustReloadPreferences);
    desktop.runPending();
    EXPECT_EQ(updates, 2);

    desktop.agentChannel().orderQuit();
    desktop.runPending();
    EXPECT_TRUE(desktop.terminated());
    EXPECT_GE(delivered(kAgentWillQuit), 1);
}

TEST_F(ControlEndpointTest, AFloodOfReloadOrdersRereadsOncePerTurnOfTheLoop)
{
    startAgent();
    int updates = 0;
    auto observation = countRereads(updates);
    for (int i = 0; i < 10000; ++i) {
        desktop.agentChannel().orderReload();
        desktop.distributedNotificationCenter().postNotificationName(kAgentMustReloadPreferences);
    }
    desktop.runPending();
    EXPECT_EQ(updates, 1) << "one reload however many orders wait";

    // An order after the reload is a change the agent has not seen yet.
    desktop.agentChannel().orderReload();
    desktop.runPending();
    EXPECT_EQ(updates, 2);
}

TEST_F(ControlEndpointTest, WhileAnAlertIsUpOrdersAreTakenAndEndingClosesItUnanswered)
{
    startAgent();
    desktop.runPending();
    int updates = 0;
    auto observation = countRereads(updates);
    const Alert offer{AlertStyle::Informational, "An updated version of Velmora is available!", "Version 9 is available.",
        {"Go to Update Webpage", "Cancel"}};
    // The alert's own loop delivers what comes meanwhile.
    desktop.alerts().whileShowing = [&](const Alert&) {
        desktop.agentChannel().orderReload();
        desktop.runPending();
        EXPECT_EQ(updates, 1) << "the reload waited for the alert";
        desktop.agentChannel().orderQuit();
        desktop.runPending();
    };
    EXPECT_EQ(desktop.alerts().runModal(offer), std::nullopt);
    EXPECT_TRUE(desktop.terminated());
    EXPECT_EQ(delivered(kAgentWillQuit), 2);

    // Ending for another reason (the session's SIGTERM) closes it as well.
    desktop.runPending();
    startAgent();
    desktop.alerts().whileShowing = [&](const Alert&) { desktop.application().terminate(); };
    EXPECT_EQ(desktop.alerts().runModal(offer), std::nullopt);
    // Once ended, an agent has no say over the next alert.
    desktop.runPending();
    desktop.alerts().whileShowing = [&](const Alert&) { desktop.application().terminate(); };
    EXPECT_EQ(desktop.alerts().runModal(offer), std::optional<size_t>(0));
}

TEST_F(ControlEndpointTest, OneAgentHoldsTheNameUntilItGoes)
{
    startAgent();
    VelmoraControlEndpoint second{ControlEndpoint::Services::of(desktop)};
    EXPECT_EQ(second.claimName(), AgentChannel::ClaimResult::HeldByAnother);
    // The second one's orders handlers never run: quitting reaches the first only.
    desktop.agentChannel().orderQuit();
    desktop.runPending();
    EXPECT_TRUE(desktop.terminated());

    // Gone (its termination took it away): the name is free for the next one.
    desktop.runPending();
    ASSERT_TRUE(agents.empty());
    VelmoraControlEndpoint third{ControlEndpoint::Services::of(desktop)};
    EXPECT_EQ(third.claimName(), AgentChannel::ClaimResult::Owned);
}

TEST_F(ControlEndpointTest, DestroyedAgentTakesNoMoreOrders)
{
    startAgent();
    desktop.runPending();
    agents.clear();
    desktop.distributedNotificationCenter().postNotificationName(kAskIfAgentRuns);
    desktop.distributedNotificationCenter().postNotificationName(kAgentMustQuit);
    desktop.agentChannel().orderQuit();
    desktop.runPending();
    EXPECT_EQ(delivered(kAgentRuns), 1);
    EXPECT_EQ(delivered(kAgentWillQuit), 0);
    EXPECT_FALSE(desktop.terminated());
    // Its will-terminate subscription went too.
    desktop.application().terminate();
    desktop.runPending();
    EXPECT_EQ(delivered(kAgentWillQuit), 0);
}

} // namespace
