#include "platform/linux/AtspiAccessibility.h"

#include "platform/linux/AtspiObserver.h"
#include "platform/linux/HungAppLedger.h"
#include "platform/linux/TimeBudgets.h"
#include "platform/linux/DesktopSession.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>

namespace velmora::linux_desktop::testing {
namespace {

class AtspiAccessibilityTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!m_session.isReady())
            GTEST_FAIL() << "no private desktop: run through run-desktop-tests.sh";
    }

    AtspiAccessibility& ax() { return m_session.ax(); }

    // A zenity question dialog, ready and active.
    AccessibleElement startQuestion(Program& program)
    {
        AccessibleElement window = m_session.waitForActiveWindow(program.pid());
        EXPECT_TRUE(window) << "zenity showed no active window";
        return window;
    }

    std::vector<std::string> titlesOf(const AttributeValue& list)
    {
        std::vector<std::string> titles;
        if (auto* array = list.array()) {
            for (const auto& item : *array)
                titles.push_back(item.element() ? m_session.title(*item.element()) : "?");
        }
        return titles;
    }

    double millisecondsOf(const std::function<void()>& body)
    {
        const gint64 start = g_get_monotonic_time();
        body();
        return static_cast<double>(g_get_monotonic_time() - start) / 1000.0;
    }

    DesktopSession m_session;
};

TEST_F(AtspiAccessibilityTest, QuestionDialogReadsAsAWindowWithItsButtonsAsChildren)
{
    Program zenity({"zenity", "--question", "--title=Proceed", "--text=Really proceed?"});
    AccessibleElement window = startQuestion(zenity);
    ASSERT_TRUE(window);
    AccessibleElement app = ax().createApplication(zenity.pid());
    ASSERT_TRUE(app);

    EXPECT_EQ(m_session.read(window, "AXRole"), AttributeValue("AXWindow"));
    EXPECT_EQ(m_session.title(window), "Proceed");
    EXPECT_EQ(m_session.read(app, "AXFrontmost"), AttributeValue(true));
    EXPECT_EQ(m_session.read(app, "AXHidden"), AttributeValue(false));
    AttributeValue windows = m_session.read(app, "AXWindows");
    ASSERT_TRUE(windows.array());
    EXPECT_NE(std::find(windows.array()->begin(), windows.array()->end(), AttributeValue(window)), windows.array()->end());

    // The layout boxes are skipped: the buttons are the dialog's own children.
    AttributeValue children = m_session.read(window, "AXChildren");
    auto titles = titlesOf(children);
    EXPECT_NE(std::find(titles.begin(), titles.end(), "Yes"), titles.end()) << ::testing::PrintToString(titles);
    EXPECT_NE(std::find(titles.begin(), titles.end(), "No"), titles.end());
    for (const auto& item : *children.array()) {
        std::string role = m_session.read(*item.element(), "AXRole").description();
        EXPECT_NE(role, "AXGroup") << "an unnamed layout container was not skipped";
        if (m_session.title(*item.element()) == "Yes") {
            EXPECT_EQ(role, "AXButton");
            EXPECT_EQ(m_session.read(*item.element(), "AXParent"), AttributeValue(window));
        }
    }

    AttributeValue defaultButton = m_session.read(window, "AXDefaultButton");
    ASSERT_TRUE(defaultButton.element());
    EXPECT_EQ(m_session.title(*defaultButton.element()), "Yes");
    EXPECT_EQ(m_session.read(*defaultButton.element(), "AXEnabled"), AttributeValue(true));
    AttributeValue cancelButton = m_session.read(window, "AXCancelButton");
    ASSERT_TRUE(cancelButton.element());
    EXPECT_EQ(m_session.title(*cancelButton.element()), "No");

    // Only windows advertise the button attributes; buttons advertise geometry.
    std::vector<std::string> names;
    ASSERT_EQ(ax().copyAttributeNames(window, names), AccessibilityError::Success);
    EXPECT_NE(std::find(names.begin(), names.end(), "AXDefaultButton"), names.end());
    ASSERT_EQ(ax().copyAttributeNames(*defaultButton.element(), names), AccessibilityError::Success);
    EXPECT_EQ(std::find(names.begin(), names.end(), "AXDefaultButton"), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), "AXPosition"), names.end());

    pid_t pid = 0;
    EXPECT_EQ(ax().getPid(*defaultButton.element(), pid), AccessibilityError::Success);
    EXPECT_EQ(pid, zenity.pid());
}

TEST_F(AtspiAccessibilityTest, EntryDialogOffersOkAsDefaultAndCancelAsCancel)
{
    Program zenity({"zenity", "--entry", "--title=Name", "--text=Your name"});
    AccessibleElement window = startQuestion(zenity);
    ASSERT_TRUE(window);
    AttributeValue defaultButton = m_session.read(window, "AXDefaultButton");
    ASSERT_TRUE(defaultButton.element());
    EXPECT_EQ(m_session.title(*defaultButton.element()), "OK");
    AttributeValue cancelButton = m_session.read(window, "AXCancelButton");
    ASSERT_TRUE(cancelButton.element());
    EXPECT_EQ(m_session.title(*cancelButton.element()), "Cancel");
}

TEST_F(AtspiAccessibilityTest, ElementAtAPointIsTheButtonShownThere)
{
    Program zenity({"zenity", "--question", "--text=Point?"});
    AccessibleElement window = startQuestion(zenity);
    ASSERT_TRUE(window);
    AttributeValue yes = m_session.read(window, "AXDefaultButton");
    ASSERT_TRUE(yes.element());
    auto position = m_session.read(*yes.element(), "AXPosition").pointValue();
    auto size = m_session.read(*yes.element(), "AXSize").sizeValue();
    ASSERT_TRUE(position && size);
    EXPECT_GT(size->width, 20);
    EXPECT_GT(size->height, 10);

    AccessibleElement found;
    ASSERT_EQ(ax().copyElementAtPosition(ax().createSystemWide(), position->x + size->width - 15, position->y + size->height / 2, found),
        AccessibilityError::Success);
    EXPECT_EQ(found, *yes.element());
    EXPECT_EQ(m_session.title(found), "Yes");

    // Asked of the application element, the same answer.
    AccessibleElement viaApp;
    ASSERT_EQ(ax().copyElementAtPosition(ax().createApplication(zenity.pid()), position->x + 2, position->y + 2, viaApp), AccessibilityError::Success);
    EXPECT_EQ(viaApp, *yes.element());
}

TEST_F(AtspiAccessibilityTest, ObserversHearTheirOwnApplicationOnly)
{
    Program first({"zenity", "--info", "--title=First", "--text=one"});
    ASSERT_TRUE(m_session.waitForActiveWindow(first.pid()));
    pumpFor(0.3); // its own start-up events

    std::vector<std::string> heardByFirst, heardBySecond;
    std::unique_ptr<AccessibilityObserver> firstObserver, secondObserver;
    ASSERT_EQ(ax().createObserver(first.pid(), [&](const AccessibleElement&, const std::string& n) { heardByFirst.push_back(n); }, firstObserver),
        AccessibilityError::Success);
    AccessibleElement firstApp = ax().createApplication(first.pid());
    for (const char* name : {"AXFocusedWindowChanged", "AXApplicationActivated", "AXApplicationDeactivated", "AXWindowCreated"})
        ASSERT_EQ(firstObserver->addNotification(firstApp, name), AccessibilityError::Success);
    EXPECT_EQ(firstObserver->addNotification(firstApp, "AXFocusedWindowChanged"), AccessibilityError::NotificationAlreadyRegistered);
    EXPECT_EQ(firstObserver->addNotification(firstApp, "AXValueChanged"), AccessibilityError::NotificationUnsupported);
    firstObserver->addToRunLoop();
    pumpFor(0.2);
    heardByFirst.clear();

    Program second({"zenity", "--question", "--title=Second", "--text=two"});
    ASSERT_TRUE(pumpUntil([&] { return static_cast<bool>(ax().createApplication(second.pid())); }, 10));
    ASSERT_EQ(ax().createObserver(second.pid(), [&](const AccessibleElement&, const std::string& n) { heardBySecond.push_back(n); }, secondObserver),
        AccessibilityError::Success);
    AccessibleElement secondApp = ax().createApplication(second.pid());
    ASSERT_EQ(secondObserver->addNotification(secondApp, "AXFocusedWindowChanged"), AccessibilityError::Success);
    // Not on the run loop yet: nothing may arrive.
    ASSERT_TRUE(m_session.waitForActiveWindow(second.pid()));
    pumpFor(0.3);
    EXPECT_TRUE(heardBySecond.empty());
    secondObserver->addToRunLoop();

    // The second dialog took the focus from the first.
    ASSERT_TRUE(pumpUntil([&] {
        return std::count(heardByFirst.begin(), heardByFirst.end(), "AXApplicationDeactivated") > 0;
    }, 5)) << ::testing::PrintToString(heardByFirst);
    EXPECT_EQ(std::count(heardByFirst.begin(), heardByFirst.end(), "AXFocusedWindowChanged"), 0);

    // Closing the second gives the focus back to the first: only the first hears it.
    heardBySecond.clear();
    second.kill(SIGKILL);
    ASSERT_TRUE(pumpUntil([&] {
        return std::count(heardByFirst.begin(), heardByFirst.end(), "AXFocusedWindowChanged") > 0;
    }, 5)) << ::testing::PrintToString(heardByFirst);
    EXPECT_TRUE(heardBySecond.empty());

    // Destroyed observers hear nothing more.
    firstObserver.reset();
    secondObserver.reset();
    Program third({"zenity", "--info", "--text=three"});
    ASSERT_TRUE(m_session.waitForActiveWindow(third.pid()));
    pumpFor(0.2);
}

TEST_F(AtspiAccessibilityTest, AFrozenApplicationCostsOneTimeoutAndIsNotAskedAgainUntilItAnswers)
{
    Program frozen({"zenity", "--question", "--title=Frozen", "--text=cold"});
    AccessibleElement frozenWindow = m_session.waitForActiveWindow(frozen.pid());
    ASSERT_TRUE(frozenWindow);
    Program healthy({"zenity", "--info", "--title=Healthy", "--text=warm"});
    AccessibleElement healthyWindow = m_session.waitForActiveWindow(healthy.pid());
    ASSERT_TRUE(healthyWindow);

    frozen.signal(SIGSTOP);
    AttributeValue value;
    AccessibilityError first = AccessibilityError::Success;
    double firstMs = millisecondsOf([&] { first = ax().copyAttributeValue(frozenWindow, "AXPosition", value); });
    EXPECT_EQ(first, AccessibilityError::CannotComplete);
    EXPECT_GE(firstMs, kHungAfterMs);
    EXPECT_LE(firstMs, kAtspiCallMs + 200.0); // one budget, with room for a loaded machine

    // Every later request fails at once, whatever it asks.
    double laterMs = millisecondsOf([&] {
        EXPECT_EQ(ax().copyAttributeValue(frozenWindow, "AXDefaultButton", value), AccessibilityError::CannotComplete);
        EXPECT_EQ(ax().copyAttributeValue(ax().createApplication(frozen.pid()), "AXWindows", value), AccessibilityError::CannotComplete);
        std::unique_ptr<AccessibilityObserver> observer;
        EXPECT_EQ(ax().createObserver(frozen.pid(), [](const AccessibleElement&, const std::string&) { }, observer), AccessibilityError::CannotComplete);
    });
    EXPECT_LT(laterMs, 100.0);
    EXPECT_TRUE(ax().ledger().isHung(AtspiElement::busNameOf(frozenWindow.refAs<AtspiElement>()->accessible())));

    // Others are served as before.
    double healthyMs = millisecondsOf([&] { EXPECT_EQ(m_session.title(healthyWindow), "Healthy"); });
    EXPECT_LT(healthyMs, 100.0);

    // Still frozen after several ping timeouts: still not asked.
    pumpFor(kPingTimeoutMs / 1000.0 + 0.5);
    EXPECT_GE(ax().ledger().pingCount(), 2);
    EXPECT_EQ(ax().copyAttributeValue(frozenWindow, "AXTitle", value), AccessibilityError::CannotComplete);

    // Thawed: its next ping answers and it is served again.
    frozen.signal(SIGCONT);
    ASSERT_TRUE(pumpUntil([&] { return ax().ledger().hungCount() == 0; }, kPingTimeoutMs / 1000.0 + 2));
    EXPECT_EQ(m_session.title(frozenWindow), "Frozen");
}

TEST_F(AtspiAccessibilityTest, AThawedApplicationsActiveWindowIsAnnouncedAgain)
{
    Program frozen({"zenity", "--question", "--title=Thawing", "--text=later"});
    AccessibleElement window = m_session.waitForActiveWindow(frozen.pid());
    ASSERT_TRUE(window);
    std::vector<std::string> heard;
    std::unique_ptr<AccessibilityObserver> observer;
    ASSERT_EQ(ax().createObserver(frozen.pid(), [&](const AccessibleElement&, const std::string& n) { heard.push_back(n); }, observer),
        AccessibilityError::Success);
    ASSERT_EQ(observer->addNotification(ax().createApplication(frozen.pid()), "AXFocusedWindowChanged"), AccessibilityError::Success);
    observer->addToRunLoop();
    pumpFor(0.3);

    // Whatever focus change came while it was frozen could not be acted on.
    frozen.signal(SIGSTOP);
    AttributeValue value;
    ASSERT_EQ(ax().copyAttributeValue(window, "AXPosition", value), AccessibilityError::CannotComplete);
    heard.clear();
    frozen.signal(SIGCONT);
    ASSERT_TRUE(pumpUntil([&] { return ax().ledger().hungCount() == 0; }, kPingTimeoutMs / 1000.0 + 2));
    EXPECT_TRUE(pumpUntil([&] { return std::count(heard.begin(), heard.end(), "AXFocusedWindowChanged") > 0; }, 2))
        << ::testing::PrintToString(heard);
}

// The focus moves on from a frozen application that cannot announce losing
// it, to one whose activation has not been dispatched (a starting toolkit may
// activate its window before it announces anything). The newcomer, asked
// before any event is dispatched, is frontmost with its own window focused.
TEST_F(AtspiAccessibilityTest, TheFocusLeavingAFrozenApplicationIsSeenByTheOneThatTookIt)
{
    Program frozen({"zenity", "--question", "--title=Left", "--text=frozen"});
    ASSERT_TRUE(startQuestion(frozen));
    EXPECT_EQ(m_session.read(ax().createApplication(frozen.pid()), "AXFrontmost").boolValue(), std::optional<bool>(true));
    frozen.signal(SIGSTOP);

    // Waited for out of process, the loop not run: nothing is dispatched.
    Program taker({"zenity", "--info", "--title=Taker", "--text=mine"});
    const std::string probe = std::string(DESKTOP_TESTS_DIR "/window-active.py ") + std::to_string(taker.pid());
    bool active = false;
    for (int i = 0; i < 100 && !active; ++i) {
        active = std::system(probe.c_str()) == 0;
        if (!active)
            g_usleep(100 * 1000);
    }
    ASSERT_TRUE(active) << "the window manager gave the new dialog no focus";

    AccessibleElement app = ax().createApplication(taker.pid());
    ASSERT_TRUE(app);
    EXPECT_EQ(m_session.read(app, "AXFrontmost").boolValue(), std::optional<bool>(true));
    AttributeValue focused = m_session.read(app, "AXFocusedWindow");
    ASSERT_TRUE(focused.element());
    EXPECT_EQ(m_session.title(*focused.element()), "Taker");
    frozen.signal(SIGCONT);
}

TEST_F(AtspiAccessibilityTest, AnApplicationKilledWhileWatchedLeavesNothingBehind)
{
    Program doomed({"zenity", "--question", "--text=doomed"});
    AccessibleElement window = m_session.waitForActiveWindow(doomed.pid());
    ASSERT_TRUE(window);
    std::unique_ptr<AccessibilityObserver> observer;
    ASSERT_EQ(ax().createObserver(doomed.pid(), [](const AccessibleElement&, const std::string&) { }, observer), AccessibilityError::Success);
    doomed.kill(SIGKILL);
    ASSERT_TRUE(pumpUntil([&] {
        auto pids = ax().applicationPids();
        return std::find(pids.begin(), pids.end(), doomed.pid()) == pids.end();
    }, 5));
    AttributeValue value;
    AccessibilityError error = ax().copyAttributeValue(window, "AXTitle", value);
    EXPECT_TRUE(error == AccessibilityError::InvalidUIElement || error == AccessibilityError::CannotComplete) << static_cast<int>(error);
    EXPECT_FALSE(ax().createApplication(doomed.pid()));
    EXPECT_EQ(ax().ledger().hungCount(), 0u);
}

TEST_F(AtspiAccessibilityTest, ThePanesFormReportsTheSwitchButObservesNothing)
{
    // The private desktop has the switch on and a dialog that the full
    // backend sees; the session-bus-only form (the pane's) reports the
    // switch, but claims no application.
    Program zenity({"zenity", "--question", "--title=Unseen", "--text=Not here"});
    startQuestion(zenity);
    ASSERT_TRUE(ax().isAPIEnabled());
    ASSERT_TRUE(ax().createApplication(zenity.pid()));

    AtspiAccessibility statusOnly(AtspiAccessibility::Buses{GObjectRef<GDBusConnection>::retain(m_session.sessionBus()), {}}, nullptr);
    EXPECT_TRUE(statusOnly.isAPIEnabled());
    EXPECT_TRUE(statusOnly.applicationPids().empty());
    EXPECT_FALSE(statusOnly.createApplication(zenity.pid()));
    std::unique_ptr<AccessibilityObserver> observer;
    EXPECT_NE(statusOnly.createObserver(zenity.pid(), [](const AccessibleElement&, const std::string&) { }, observer), AccessibilityError::Success);
    EXPECT_FALSE(observer);
}

} // namespace
} // namespace velmora::linux_desktop::testing
