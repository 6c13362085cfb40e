#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::sim;

namespace {

struct Delivery {
    AccessibleElement element;
    std::string notification;
};

class SimObserverTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        editor = &desktop.addRunningApp("Editor");
        window = editor->addWindow("Document");
    }

    std::unique_ptr<AccessibilityObserver> observe(SimApp& app)
    {
        std::unique_ptr<AccessibilityObserver> observer;
        EXPECT_EQ(desktop.accessibility().createObserver(app.info.pid,
                      [this](const AccessibleElement& e, const std::string& n) { deliveries.push_back({e, n}); }, observer),
            AccessibilityError::Success);
        return observer;
    }

    SimDesktop desktop;
    SimApp* editor{nullptr};
    std::shared_ptr<SimNode> window;
    std::vector<Delivery> deliveries;
};

TEST_F(SimObserverTest, CreationAndSubscriptionFailures)
{
    std::unique_ptr<AccessibilityObserver> observer;
    desktop.setAPIEnabled(false);
    EXPECT_EQ(desktop.accessibility().createObserver(editor->info.pid, {}, observer), AccessibilityError::APIDisabled);
    EXPECT_FALSE(observer);
    desktop.setAPIEnabled(true);
    EXPECT_NE(desktop.accessibility().createObserver(99999, {}, observer), AccessibilityError::Success);
    SimApp& shy = desktop.addRunningApp("Shy");
    shy.accessible = false;
    EXPECT_NE(desktop.accessibility().createObserver(shy.info.pid, {}, observer), AccessibilityError::Success);
    EXPECT_FALSE(observer);

    observer = observe(*editor);
    AccessibleElement app = editor->root->element();
    editor->refusedNotifications = {"AXApplicationHidden"};
    EXPECT_EQ(observer->addNotification(app, "AXApplicationHidden"), AccessibilityError::NotificationUnsupported);
    EXPECT_EQ(observer->addNotification(app, "AXWindowCreated"), AccessibilityError::Success);
    EXPECT_EQ(observer->addNotification(app, "AXWindowCreated"), AccessibilityError::NotificationAlreadyRegistered);
    EXPECT_EQ(observer->addNotification(shy.root->element(), "AXWindowCreated"), AccessibilityError::IllegalArgument);
    EXPECT_EQ(observer->addNotification(AccessibleElement(), "AXWindowCreated"), AccessibilityError::IllegalArgument);

    editor->hung = true;
    EXPECT_EQ(observer->addNotification(app, "AXFocusedWindowChanged"), AccessibilityError::CannotComplete);
    editor->hung = false;

    AccessibleElement doomed = window->element();
    desktop.closeWindow(*editor, window);
    EXPECT_EQ(observer->addNotification(doomed, "AXMoved"), AccessibilityError::InvalidUIElement);
}

TEST_F(SimObserverTest, DeliversFromTheRunLoopOnlyOnceOnItAndOnlyWhatWasSubscribed)
{
    auto observer = observe(*editor);
    ASSERT_EQ(observer->addNotification(editor->root->element(), "AXFocusedWindowChanged"), AccessibilityError::Success);
    SimApp& other = desktop.addRunningApp("Other");
    auto otherWindow = other.addWindow("Elsewhere");

    desktop.focusWindow(*editor, window, true); // AXWindowCreated is not subscribed
    desktop.focusWindow(other, otherWindow);    // another process
    desktop.runPending();
    EXPECT_TRUE(deliveries.empty()) << "nothing before the observer is on the run loop";

    observer->addToRunLoop();
    EXPECT_TRUE(deliveries.empty()) << "never from inside a call";
    desktop.runPending();
    ASSERT_EQ(deliveries.size(), 1u);
    EXPECT_EQ(deliveries[0].notification, "AXFocusedWindowChanged");
    EXPECT_EQ(deliveries[0].element, window->element()) << "the element the notification is about, not the app";

    // A subscription on one window hears that window only.
    auto second = editor->addWindow("Second");
    auto windowObserver = observe(*editor);
    ASSERT_EQ(windowObserver->addNotification(second->element(), "AXUIElementDestroyed"), AccessibilityError::Success);
    windowObserver->addToRunLoop();
    deliveries.clear();
    desktop.closeWindow(*editor, window);
    desktop.closeWindow(*editor, second);
    desktop.runPending();
    std::vector<AccessibleElement> destroyed;
    for (const auto& d : deliveries)
        if (d.notification == "AXUIElementDestroyed")
            destroyed.push_back(d.element);
    ASSERT_EQ(destroyed.size(), 1u);
    EXPECT_EQ(destroyed[0], second->element());
}

TEST_F(SimObserverTest, NothingIsDeliveredAfterTheObserverIsDestroyed)
{
    auto observer = observe(*editor);
    ASSERT_EQ(observer->addNotification(editor->root->element(), "AXFocusedWindowChanged"), AccessibilityError::Success);
    observer->addToRunLoop();
    desktop.focusWindow(*editor, window);
    desktop.focusWindow(*editor, window);
    observer.reset();
    desktop.runPending();
    EXPECT_TRUE(deliveries.empty());

    // Destroyed by its own callback: the second queued delivery must not come.
    std::unique_ptr<AccessibilityObserver> selfDestroying;
    int calls = 0;
    ASSERT_EQ(desktop.accessibility().createObserver(editor->info.pid,
                  [&](const AccessibleElement&, const std::string&) {
                      ++calls;
                      selfDestroying.reset();
                  },
                  selfDestroying),
        AccessibilityError::Success);
    ASSERT_EQ(selfDestroying->addNotification(editor->root->element(), "AXFocusedWindowChanged"), AccessibilityError::Success);
    selfDestroying->addToRunLoop();
    desktop.focusWindow(*editor, window);
    desktop.focusWindow(*editor, window);
    desktop.runPending();
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(selfDestroying);
}

} // namespace
