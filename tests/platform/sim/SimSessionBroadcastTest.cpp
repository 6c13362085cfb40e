#include "platform/sim/MemorySettingsStore.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimNotificationBus.h"

#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::sim;

namespace {

TEST(SimSessionBroadcastTest, DeliversAsynchronouslyToEveryObserverFromItsOwnRunLoop)
{
    SimDesktop desktop;
    auto& center = desktop.distributedNotificationCenter();
    std::vector<std::string> heard;
    auto first = center.addObserver("ZQK_Ping", [&](const std::string& n) { heard.push_back("first " + n); });
    auto second = center.addObserver("ZQK_Ping", [&](const std::string& n) { heard.push_back("second " + n); });
    auto other = center.addObserver("ZQK_Other", [&](const std::string& n) { heard.push_back(n); });

    center.postNotificationName("ZQK_Ping");
    EXPECT_TRUE(heard.empty()) << "posting never runs a receiver";
    desktop.runPending();
    EXPECT_EQ(heard, (std::vector<std::string>{"first ZQK_Ping", "second ZQK_Ping"}));

    center.postNotificationName("ZQK_Ping");
    second.reset(); // removed before its delivery ran
    desktop.runPending();
    EXPECT_EQ(heard.size(), 3u);
    EXPECT_EQ(heard.back(), "first ZQK_Ping");
    EXPECT_EQ(desktop.postedDistributedNotifications(), (std::vector<std::string>{"ZQK_Ping", "ZQK_Ping"}));
}

TEST(SimSessionBroadcastTest, TwoDesktopsOnOneBusAndOneStoreTalkEachOnItsOwnClock)
{
    MemorySettingsStore store;
    auto bus = std::make_shared<SimNotificationBus>();
    SimDesktop agent(&store, "com.brightfen.velmora", bus);
    std::vector<std::string> agentHeard;
    auto observation = agent.distributedNotificationCenter().addObserver("ZQK_Reload", [&](const std::string& n) {
        agent.standardUserDefaults().synchronize();
        agentHeard.push_back(n + " " + agent.standardUserDefaults().stringForKey("feedbackSoundName"));
    });
    NotificationObservation outlivesThePane;
    {
        SimDesktop pane(&store, "com.brightfen.velmora.prefpane", bus);
        outlivesThePane = pane.distributedNotificationCenter().addObserver("ZQK_Reload", [](const std::string&) { });
        EXPECT_TRUE(pane.standardUserDefaults().updatePersistentDomain("com.brightfen.velmora", [](auto& domain) {
            domain = Value::Dictionary{{"feedbackSoundName", "Glass"}};
            return true;
        }));
        pane.distributedNotificationCenter().postNotificationName("ZQK_Reload");
        EXPECT_TRUE(agentHeard.empty());
        pane.distributedNotificationCenter().postNotificationName("ZQK_Reload");
        // The pane goes away with deliveries still queued on its loop and an
        // observation it does not own still registered on the shared bus.
    }
    EXPECT_EQ(bus->observerCount(), 1u) << "the pane's registration left with it";
    agent.runPending();
    EXPECT_EQ(agentHeard, (std::vector<std::string>{"ZQK_Reload Glass", "ZQK_Reload Glass"}));
    agent.distributedNotificationCenter().postNotificationName("ZQK_Reload");
    agent.runPending();
    EXPECT_EQ(agentHeard.size(), 3u);
}

TEST(MemorySettingsStoreTest, UpdatesReplaceRemoveOrFailWithoutStoring)
{
    MemorySettingsStore store;
    EXPECT_FALSE(store.read("d"));
    EXPECT_TRUE(store.update("d", [](auto& domain) {
        EXPECT_FALSE(domain);
        domain = Value::Dictionary{{"a", 1}};
        return true;
    }));
    EXPECT_TRUE(store.update("d", [](auto& domain) {
        (*domain)["b"] = true;
        return true;
    }));
    EXPECT_EQ(*store.read("d"), (Value::Dictionary{{"a", 1}, {"b", true}}));
    EXPECT_TRUE(store.update("d", [](auto& domain) {
        domain->clear();
        return false; // declined: nothing changes
    }));
    EXPECT_EQ(store.read("d")->size(), 2u);

    store.setWritesFail(true);
    EXPECT_FALSE(store.update("d", [](auto& domain) {
        domain.reset();
        return true;
    }));
    EXPECT_TRUE(store.read("d"));
    store.setWritesFail(false);
    EXPECT_TRUE(store.update("d", [](auto& domain) {
        domain.reset();
        return true;
    }));
    EXPECT_FALSE(store.read("d"));
    EXPECT_EQ(store.writeCount(), 3);
}

} // namespace
