#include "platform/linux/NotificationOrDialogAlertService.h"

#include "platform/linux/DesktopSession.h"
#include "platform/linux/FakeNotificationServer.h"
#include "platform/linux/FreedesktopNotificationAlertService.h"
#include "platform/linux/GlibRunLoop.h"
#include "platform/linux/ZenityAlertService.h"

#include <gtest/gtest.h>

#include <memory>

// After gtest: Xlib's macros (None, Bool) break its headers.
#include "platform/linux/ActiveWindow.h"

namespace velmora::linux_desktop::testing {
namespace {

const Alert kOffer{AlertStyle::Informational, "A newer version", "Version 2 is out.", {"Install", "Later"}};

std::unique_ptr<NotificationOrDialogAlertService> makeAlerts()
{
    return std::make_unique<NotificationOrDialogAlertService>(
        std::make_unique<FreedesktopNotificationAlertService>(newSessionConnection(), FreedesktopNotificationAlertService::Sender{}),
        std::make_unique<ZenityAlertService>());
}

TEST(NotificationOrDialogAlertServiceTest, ANotificationWhereTheServerCanAnswerADialogWhereItCannot)
{
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr) << "no X display: run through run-desktop-tests.sh";
    GlibRunLoop loop;
    auto alerts = makeAlerts();
    auto reaper = loop.scheduleTimer(30.0, TimerRepeats::No, [&] {
        ADD_FAILURE() << "the alert was never answered";
        alerts->abortModal();
    });
    {
        FakeNotificationServer server;
        ASSERT_TRUE(server.isReady());
        server.onNotify = [&](const FakeNotificationServer::Received& n) { server.invokeAction(n.id, "1"); };
        EXPECT_EQ(alerts->runModal(kOffer), std::optional<size_t>(1));
        EXPECT_EQ(server.received().size(), 1u);
    }

    // No buttons on this server: the question goes to a dialog, which Return
    // answers with its default button once it has the focus.
    FakeNotificationServer buttonless({{"body"}, true, false});
    ASSERT_TRUE(buttonless.isReady());
    auto presser = loop.scheduleTimer(0.5, TimerRepeats::Yes, [&] {
        if (activePid(display) != 0 && activePid(display) != getpid())
            pressKey(display, XK_Return);
    });
    EXPECT_EQ(alerts->runModal(kOffer), std::optional<size_t>(0));
    presser.reset();
    EXPECT_TRUE(buttonless.received().empty());
    XCloseDisplay(display);
}

TEST(NotificationOrDialogAlertServiceTest, AnAbortWhileTheServerIsSilentShowsNoDialogAfterIt)
{
    GlibRunLoop loop;
    auto alerts = makeAlerts();
    FakeNotificationServer silent({{"actions", "body"}, false, false});
    ASSERT_TRUE(silent.isReady());
    auto abort = loop.performAfterDelay(0.2, [&] { alerts->abortModal(); });
    // A dialog would stay until this ends it.
    auto reaper = loop.scheduleTimer(10.0, TimerRepeats::No, [&] { alerts->abortModal(); });
    const gint64 start = g_get_monotonic_time();
    EXPECT_EQ(alerts->runModal(kOffer), std::nullopt);
    const double seconds = static_cast<double>(g_get_monotonic_time() - start) / G_USEC_PER_SEC;
    EXPECT_LT(seconds, kNotificationCallMs / 1000.0 + 1.0) << "a dialog followed the aborted notification";
}

} // namespace
} // namespace velmora::linux_desktop::testing
