#include "platform/linux/DBusSessionBroadcast.h"

#include "platform/linux/DesktopSession.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace velmora::linux_desktop::testing {
namespace {

// A connection of its own, as another process would have.
GObjectRef<GDBusConnection> newSessionConnection()
{
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (!address)
        return {};
    return GObjectRef<GDBusConnection>::adopt(g_dbus_connection_new_for_address_sync(address,
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT | G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, nullptr));
}

TEST(DBusSessionBroadcastTest, NamesTravelBetweenConnectionsToEveryListenerOfThatName)
{
    auto paneBus = newSessionConnection();
    auto agentBus = newSessionConnection();
    ASSERT_TRUE(paneBus && agentBus) << "no session bus: run through run-desktop-tests.sh";
    DBusSessionBroadcast pane(std::move(paneBus));
    DBusSessionBroadcast agent(std::move(agentBus));

    std::vector<std::string> heardByAgent, heardByAgentToo, heardByPane;
    auto first = agent.addObserver("ZQK_VelmoraAreYouRunning", [&](const std::string& name) { heardByAgent.push_back(name); });
    auto second = agent.addObserver("ZQK_VelmoraAreYouRunning", [&](const std::string& name) { heardByAgentToo.push_back(name); });
    auto paneSide = pane.addObserver("ZQK_VelmoraIsRunningNotification", [&](const std::string& name) { heardByPane.push_back(name); });
    // Subscriptions reach the bus daemon asynchronously; a round trip settles them.
    pumpFor(0.2);

    pane.postNotificationName("ZQK_VelmoraAreYouRunning");
    pane.postNotificationName("ZQK_VelmoraMustQuitNotification"); // nobody listens to this one
    // Delivery is asynchronous: nothing has arrived inside the post.
    EXPECT_TRUE(heardByAgent.empty());
    ASSERT_TRUE(pumpUntil([&] { return heardByAgent.size() == 1 && heardByAgentToo.size() == 1; }, 5));
    EXPECT_EQ(heardByAgent[0], "ZQK_VelmoraAreYouRunning");
    EXPECT_TRUE(heardByPane.empty());

    agent.postNotificationName("ZQK_VelmoraIsRunningNotification");
    ASSERT_TRUE(pumpUntil([&] { return heardByPane.size() == 1; }, 5));

    // An ended observation hears nothing more; the other one still does.
    first.reset();
    pane.postNotificationName("ZQK_VelmoraAreYouRunning");
    ASSERT_TRUE(pumpUntil([&] { return heardByAgentToo.size() == 2; }, 5));
    pumpFor(0.1);
    EXPECT_EQ(heardByAgent.size(), 1u);
}

TEST(DBusSessionBroadcastTest, APostFromAnotherProcessArrives)
{
    auto bus = newSessionConnection();
    ASSERT_TRUE(bus);
    DBusSessionBroadcast center(std::move(bus));
    int heard = 0;
    auto observation = center.addObserver("ZQK_VelmoraMustUpdatePrefsNotification", [&](const std::string&) { ++heard; });
    pumpFor(0.2);
    std::string command = std::string("gdbus emit --session --object-path ") + DBusSessionBroadcast::kObjectPath
        + " --signal " + DBusSessionBroadcast::kInterface + "." + DBusSessionBroadcast::kMember
        + " ZQK_VelmoraMustUpdatePrefsNotification";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_TRUE(pumpUntil([&] { return heard == 1; }, 5));
}

} // namespace
} // namespace velmora::linux_desktop::testing
