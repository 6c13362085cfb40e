#include "platform/linux/FreedesktopNotificationAlertService.h"

#include "platform/DelayedCallGroup.h"

#include "platform/linux/DesktopSession.h"
#include "platform/linux/FakeNotificationServer.h"
#include "platform/linux/BusNameOwner.h"
#include "platform/linux/GlibRunLoop.h"
#include "platform/linux/TimeBudgets.h"
#include "platform/linux/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace velmora::linux_desktop::testing {
namespace {

using Delivery = FreedesktopNotificationAlertService::Delivery;

const Alert kOffer{AlertStyle::Informational, "A newer version", "Version <b>2</b> & more is out.",
    {"Install", "Later", "Skip This Version"}};
const Alert kFailure{AlertStyle::Critical, "Update failed", "The feed could not be read.", {"OK"}};

class FreedesktopNotificationAlertServiceTest : public ::testing::Test {
protected:
    FreedesktopNotificationAlertService makeService()
    {
        FreedesktopNotificationAlertService::Sender sender;
        sender.desktopEntry = "com.brightfen.velmora.settings";
        return FreedesktopNotificationAlertService(newSessionConnection(), sender);
    }

    GlibRunLoop m_loop;
    // The server's scripted answers; a dropped handle would cancel them.
    DelayedCallGroup m_later{m_loop};
    // Ends any alert left waiting, so that a broken service fails instead of hanging.
    std::unique_ptr<Timer> m_reaper;
    void armReaper(FreedesktopNotificationAlertService& alerts)
    {
        m_reaper = m_loop.scheduleTimer(15.0, TimerRepeats::No, [&alerts] {
            ADD_FAILURE() << "the alert was never answered";
            alerts.abortModal();
        });
    }
};

TEST_F(FreedesktopNotificationAlertServiceTest, AnActionAnswersWithItsButtonAndTheNotificationCarriesTheAlert)
{
    FakeNotificationServer server;
    ASSERT_TRUE(server.isReady());
    auto alerts = makeService();
    armReaper(alerts);
    std::string key = "2";
    server.onNotify = [&](const FakeNotificationServer::Received& n) {
        m_later.performAfterDelay(0.3, [&server, &key, id = n.id] { server.invokeAction(id, key); });
    };
    int ticks = 0;
    auto ticker = m_loop.scheduleTimer(0.05, TimerRepeats::Yes, [&] { ++ticks; });

    auto outcome = alerts.present(kOffer);
    EXPECT_EQ(outcome.delivery, Delivery::Shown);
    EXPECT_EQ(outcome.answer, std::optional<size_t>(2));
    EXPECT_GE(ticks, 3) << "the loop was not served while the notification was up";
    ASSERT_EQ(server.received().size(), 1u);
    const auto& offer = server.received()[0];
    EXPECT_EQ(offer.appName, "Velmora");
    EXPECT_EQ(offer.icon, "velmora");
    EXPECT_EQ(offer.summary, "A newer version");
    // The server reads markup: the feed's text is escaped to show as written.
    EXPECT_EQ(offer.body, "Version &lt;b&gt;2&lt;/b&gt; &amp; more is out.");
    EXPECT_EQ(offer.actions,
        (std::vector<std::string>{"default", "Install", "0", "Install", "1", "Later", "2", "Skip This Version"}));
    EXPECT_EQ(offer.urgency, std::optional<guchar>(1));
    EXPECT_EQ(offer.desktopEntry, "com.brightfen.velmora.settings");
    EXPECT_EQ(offer.expiry, 0) << "a question must wait for its answer";

    // Clicking the notification itself is the default button.
    key = "default";
    EXPECT_EQ(alerts.present(kOffer).answer, std::optional<size_t>(0));

    // A critical one-button alert; a key that names no button answers nothing.
    key = "7";
    server.onNotify = [&](const FakeNotificationServer::Received& n) {
        m_later.performAfterDelay(0.2, [&server, id = n.id] {
            server.invokeAction(id, "7");
            server.closeByUser(id);
        });
    };
    outcome = alerts.present(kFailure);
    EXPECT_EQ(outcome.delivery, Delivery::Shown);
    EXPECT_EQ(outcome.answer, std::nullopt);
    ASSERT_EQ(server.received().size(), 3u);
    EXPECT_EQ(server.received()[2].urgency, std::optional<guchar>(2));
    EXPECT_EQ(server.received()[2].expiry, -1);
    EXPECT_EQ(server.received()[2].actions, (std::vector<std::string>{"default", "OK", "0", "OK"}));
}

TEST_F(FreedesktopNotificationAlertServiceTest, WithoutMarkupTheBodyIsSentAsWritten)
{
    FakeNotificationServer server({{"actions", "body"}, true, false});
    ASSERT_TRUE(server.isReady());
    auto alerts = makeService();
    armReaper(alerts);
    server.onNotify = [&](const FakeNotificationServer::Received& n) { server.invokeAction(n.id, "0"); };
    EXPECT_EQ(alerts.present(kOffer).answer, std::optional<size_t>(0));
    ASSERT_EQ(server.received().size(), 1u);
    EXPECT_EQ(server.received()[0].body, kOffer.message);
}

TEST_F(FreedesktopNotificationAlertServiceTest, ClosingAnswersNothingAndAnAbortClosesTheNotification)
{
    FakeNotificationServer server;
    ASSERT_TRUE(server.isReady());
    auto alerts = makeService();
    armReaper(alerts);
    server.onNotify = [&](const FakeNotificationServer::Received& n) {
        m_later.performAfterDelay(0.2, [&server, id = n.id] { server.closeByUser(id); });
    };
    auto outcome = alerts.present(kOffer);
    EXPECT_EQ(outcome.delivery, Delivery::Shown);
    EXPECT_EQ(outcome.answer, std::nullopt);
    EXPECT_TRUE(server.closeRequests().empty()) << "a notification the user closed was closed again";

    server.onNotify = [&](const FakeNotificationServer::Received&) {
        m_later.performAfterDelay(0.2, [&alerts] { alerts.abortModal(); });
    };
    outcome = alerts.present(kOffer);
    EXPECT_EQ(outcome.delivery, Delivery::Shown);
    EXPECT_EQ(outcome.answer, std::nullopt);
    ASSERT_EQ(server.received().size(), 2u);
    EXPECT_TRUE(pumpUntil([&] { return !server.closeRequests().empty(); }, 5)) << "the aborted notification stayed";
    EXPECT_EQ(server.closeRequests(), std::vector<std::uint32_t>{server.received()[1].id});

    // Nothing runs: nothing to abort, and the next alert is not aborted by it.
    alerts.abortModal();
    server.onNotify = [&](const FakeNotificationServer::Received& n) { server.invokeAction(n.id, "1"); };
    EXPECT_EQ(alerts.present(kOffer).answer, std::optional<size_t>(1));
}

TEST_F(FreedesktopNotificationAlertServiceTest, SignalsFromAnotherSenderOrForAnotherNotificationAreIgnored)
{
    FakeNotificationServer server;
    ASSERT_TRUE(server.isReady());
    auto stranger = newSessionConnection();
    ASSERT_TRUE(stranger);
    auto alerts = makeService();
    armReaper(alerts);
    server.onNotify = [&](const FakeNotificationServer::Received& n) {
        // Another client on the bus, for our notification.
        emitNotificationSignal(stranger.get(), "ActionInvoked", g_variant_new("(us)", n.id, "1"));
        emitNotificationSignal(stranger.get(), "NotificationClosed", g_variant_new("(uu)", n.id, 2u));
        // The server, for another notification.
        server.invokeAction(n.id + 1, "1");
        server.closeByUser(n.id + 1);
        m_later.performAfterDelay(0.5, [&server, id = n.id] { server.invokeAction(id, "2"); });
    };
    EXPECT_EQ(alerts.present(kOffer).answer, std::optional<size_t>(2));
}

TEST_F(FreedesktopNotificationAlertServiceTest, AnAnswerSentBeforeTheServersReplyCounts)
{
    FakeNotificationServer server({{"actions", "body"}, true, true});
    ASSERT_TRUE(server.isReady());
    auto alerts = makeService();
    armReaper(alerts);
    server.onNotify = [&](const FakeNotificationServer::Received& n) {
        server.invokeAction(n.id + 1, "2");
        server.invokeAction(n.id, "1");
    };
    EXPECT_EQ(alerts.present(kOffer).answer, std::optional<size_t>(1));
}

TEST_F(FreedesktopNotificationAlertServiceTest, WithoutAServerOrItsButtonsAQuestionIsNotShown)
{
    auto alerts = makeService();
    armReaper(alerts);
    EXPECT_EQ(alerts.present(kOffer).delivery, Delivery::NotShown) << "no server owns the name";

    FakeNotificationServer server({{"body", "body-markup"}, true, false});
    ASSERT_TRUE(server.isReady());
    EXPECT_EQ(alerts.present(kOffer).delivery, Delivery::NotShown);
    EXPECT_TRUE(server.received().empty()) << "a question was sent to a server that shows no buttons";

    // Information needs no button.
    server.onNotify = [&](const FakeNotificationServer::Received& n) { server.closeByUser(n.id); };
    EXPECT_EQ(alerts.present(kFailure).delivery, Delivery::Shown);
    EXPECT_EQ(server.received().size(), 1u);
}

TEST_F(FreedesktopNotificationAlertServiceTest, AServerThatNeverAnswersIsGivenUpAtTheBoundAndOneThatQuitsEndsTheAlert)
{
    auto alerts = makeService();
    armReaper(alerts);
    {
        FakeNotificationServer silent({{"actions", "body"}, false, false});
        ASSERT_TRUE(silent.isReady());
        int ticks = 0;
        auto ticker = m_loop.scheduleTimer(0.05, TimerRepeats::Yes, [&] { ++ticks; });
        // An unbounded call would wait for good: this ends it, late.
        auto late = m_loop.scheduleTimer(10.0, TimerRepeats::No, [&] { silent.answerHeldCalls(); });
        const gint64 start = g_get_monotonic_time();
        EXPECT_EQ(alerts.present(kOffer).delivery, Delivery::NotShown);
        const double seconds = static_cast<double>(g_get_monotonic_time() - start) / G_USEC_PER_SEC;
        EXPECT_EQ(silent.received().size(), 1u);
        EXPECT_LT(seconds, kNotificationCallMs / 1000.0 + 1.0);
        EXPECT_GE(ticks, 10) << "the loop was not served while the server was silent";
    }

    FakeNotificationServer quitting;
    ASSERT_TRUE(quitting.isReady());
    quitting.onNotify = [&](const FakeNotificationServer::Received&) {
        m_later.performAfterDelay(0.2, [&quitting] { quitting.vanish(); });
    };
    const auto outcome = alerts.present(kOffer);
    EXPECT_EQ(outcome.delivery, Delivery::Shown);
    EXPECT_EQ(outcome.answer, std::nullopt);
}

// A bus of its own that starts the notification server on demand: the
// harness's bus starts nothing.
TEST_F(FreedesktopNotificationAlertServiceTest, AServerTheBusStartsOnDemandIsStartedForTheAlert)
{
    const TemporaryFolder folder;
    std::filesystem::create_directory(folder / "services");
    std::ofstream(folder / "services" / "org.freedesktop.Notifications.service")
        << "[D-BUS Service]\nName=org.freedesktop.Notifications\n"
        << "Exec=/usr/bin/timeout 60 /usr/bin/python3 " DESKTOP_TESTS_DIR "/notification-server.py 1\n";
    const std::string socket = (folder / "bus").string();
    std::ofstream(folder / "bus.conf") << "<busconfig><type>session</type><listen>unix:path=" << socket << "</listen>"
                                       << "<auth>EXTERNAL</auth><servicedir>" << (folder / "services").string() << "</servicedir>"
                                       << "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                                       << "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy>"
                                       << "</busconfig>";
    {
        Program daemon({"dbus-daemon", "--nofork", "--nopidfile", "--config-file=" + (folder / "bus.conf").string()});
        // Its socket is there a moment before it listens.
        GObjectRef<GDBusConnection> bus;
        std::string error;
        ASSERT_TRUE(pumpUntil([&] {
            return std::filesystem::exists(socket) && (bus = busAtAddressWithin("unix:path=" + socket, kSessionBusConnectMs, error));
        }, 10)) << "the bus did not start: " << error;
        EXPECT_FALSE(busNameHasOwner(bus.get(), FreedesktopNotificationAlertService::kBusName));

        FreedesktopNotificationAlertService alerts(std::move(bus), {});
        armReaper(alerts);
        // Python on a busy machine: more than one call's bound to start.
        std::optional<size_t> answer;
        for (int attempt = 0; attempt < 5 && !answer; ++attempt)
            answer = alerts.present(kOffer).answer;
        EXPECT_EQ(answer, std::optional<size_t>(1));
    }
}

} // namespace
} // namespace velmora::linux_desktop::testing
