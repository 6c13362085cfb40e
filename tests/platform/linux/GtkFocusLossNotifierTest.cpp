// The settings window's alerts on a real window manager: raised over another
// program, and closed by the update check when that program is given the
// focus back. GTK runs in this test process.

#include "pane/gtk/GtkAlertService.h"
#include "pane/gtk/GtkFocusLossNotifier.h"
#include "platform/ProcessManager.h"
#include "platform/linux/DesktopSession.h"
#include "platform/linux/GtkInProcess.h"

#include <gtkmm/window.h>

#include <gtest/gtest.h>

#include <unistd.h>

// After gtkmm and gtest: Xlib's macros (None, Bool) break their headers.
#include "platform/linux/ActiveWindow.h"

namespace velmora::linux_desktop::testing {
namespace {

class GtkFocusLossNotifierTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_display = XOpenDisplay(nullptr);
        if (!m_display || !gtkReady())
            GTEST_FAIL() << "no X display: run through run-desktop-tests.sh";
        m_parent = std::make_unique<Gtk::Window>();
        m_alerts = std::make_unique<GtkAlertService>(*m_parent);
    }
    void TearDown() override
    {
        m_alerts.reset();
        m_parent.reset();
        if (m_display)
            XCloseDisplay(m_display);
    }

    // An answer to the update check's offer, which, like the checker, the
    // test closes unanswered on the resign-active notice. A reaper closes it
    // too, and says so, should nothing else.
    std::optional<size_t> runOffer(std::function<void()> whileUp)
    {
        auto observation = m_center.addObserver(kWillResignActiveNotification, nullptr, [&](const Notification&) {
            ++m_resignations;
            m_alerts->abortModal();
        });
        auto poll = m_loop.scheduleTimer(0.2, TimerRepeats::Yes, whileUp);
        auto reaper = m_loop.scheduleTimer(20.0, TimerRepeats::No, [&] {
            ADD_FAILURE() << "the alert was never closed";
            m_alerts->abortModal();
        });
        return m_alerts->runModal({AlertStyle::Informational, "An updated version of Velmora is available!", "Version 9 is available.",
            {"Go to Update Webpage", "Cancel"}});
    }

    Display* m_display{nullptr};
    GlibRunLoop m_loop;
    NotificationCenter m_center;
    std::unique_ptr<Gtk::Window> m_parent; // made once GTK is up
    std::unique_ptr<GtkAlertService> m_alerts;
    int m_resignations{0};
};

TEST_F(GtkFocusLossNotifierTest, TheOfferComesOverAnotherProgramAndClosesWhenThatOneIsChosenAgain)
{
    Program other({"zenity", "--info", "--title=Elsewhere", "--text=Another program"});
    ASSERT_TRUE(pumpUntil([&] { return activePid(m_display) == other.pid(); }, 20)) << "the other program never took the focus";
    // Recent input there: a window manager that weighs input times would
    // keep the focus with it for a window that merely asks.
    pressKey(m_display, XK_Shift_L);
    pumpFor(0.3);

    GtkFocusLossNotifier notifier(m_center);
    EXPECT_FALSE(notifier.isActive());
    bool cameToFront = false;
    const auto answer = runOffer([&] {
        if (!cameToFront && activePid(m_display) == getpid()) {
            cameToFront = true;
            activate(m_display, other.pid());
        }
    });
    EXPECT_TRUE(cameToFront);
    EXPECT_EQ(answer, std::nullopt);
    EXPECT_EQ(m_resignations, 1);
    EXPECT_FALSE(notifier.isActive());
}

TEST_F(GtkFocusLossNotifierTest, FocusPassingBetweenOurOwnWindowsIsNoLoss)
{
    GtkFocusLossNotifier notifier(m_center);
    m_parent->set_title("Velmora");
    m_parent->show();
    ASSERT_TRUE(pumpUntil([&] { return m_parent->is_active(); }, 20)) << "the window never took the focus";
    ASSERT_TRUE(pumpUntil([&] { return notifier.isActive(); }, 5));

    // The alert takes the focus from the window, the answer gives it back.
    bool answered = false;
    const auto answer = runOffer([&] {
        if (!answered && activePid(m_display) == getpid() && !m_parent->is_active()) {
            answered = true;
            pressKey(m_display, XK_Return);
        }
    });
    EXPECT_EQ(answer, std::optional<size_t>(0));
    EXPECT_TRUE(pumpUntil([&] { return m_parent->is_active(); }, 5));
    pumpFor(2.0 * GtkFocusLossNotifier::kSettleMs / 1000.0);
    EXPECT_EQ(m_resignations, 0);
    EXPECT_TRUE(notifier.isActive());
    m_parent->hide();
}

} // namespace
} // namespace velmora::linux_desktop::testing
