#include "agent/accessibility/ApplicationObserver.h"

#include "agent/accessibility/ElementQueries.h"
#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::sim;

namespace {

struct Delivery {
    std::string notification;
    AccessibleElement element;
};

// Records what reaches it; `onDelivery` lets a test act from inside a delivery.
class RecordingObserver : public ApplicationObserver {
public:
    static std::unique_ptr<RecordingObserver> make(Accessibility& accessibility, pid_t pid, const std::vector<std::string>& names)
    {
        std::unique_ptr<RecordingObserver> observer(new RecordingObserver(accessibility));
        if (!observer->initialize(pid, names))
            return nullptr;
        return observer;
    }
    void respondToNotification(const std::string& notification, const AccessibleElement& element) override
    {
        deliveries.push_back({notification, element});
        if (onDelivery)
            onDelivery();
    }
    std::vector<Delivery> deliveries;
    std::function<void()> onDelivery;

private:
    using ApplicationObserver::ApplicationObserver;
};

class AccessibilityObserverTest : public ::testing::Test {
protected:
    SimDesktop desktop;
    ScopedPlatform scoped{desktop};
    SimApp& app = desktop.launch("Editor");
    const std::vector<std::string> eight{"AXFocusedUIElementChanged", "AXFocusedWindowChanged", "AXMainWindowChanged",
        "AXWindowCreated", "AXApplicationActivated", "AXApplicationDeactivated", "AXApplicationShown",
        "AXApplicationHidden"};
};

TEST_F(AccessibilityObserverTest, ConstructionNeedsAccessAndEverySubscription)
{
    EXPECT_NE(ApplicationObserver::create(desktop.accessibility(), app.info.pid, eight), nullptr);

    app.refusedNotifications = {"AXApplicationHidden"}; // the last of eight
    EXPECT_EQ(ApplicationObserver::create(desktop.accessibility(), app.info.pid, eight), nullptr);
    app.refusedNotifications.clear();

    // An application that cannot be observed still yields an instance from
    // the bare constructor, but it cannot subscribe to anything.
    app.accessible = false;
    auto bare = ApplicationObserver::create(desktop.accessibility(), app.info.pid);
    ASSERT_NE(bare, nullptr);
    EXPECT_FALSE(bare->hasObserver());
    EXPECT_FALSE(bare->addNotification("AXFocusedWindowChanged"));
    EXPECT_EQ(ApplicationObserver::create(desktop.accessibility(), app.info.pid, {"AXFocusedWindowChanged"}), nullptr);
    app.accessible = true;

    desktop.setAPIEnabled(false);
    EXPECT_EQ(ApplicationObserver::create(desktop.accessibility(), app.info.pid), nullptr);
    EXPECT_EQ(ApplicationObserver::create(desktop.accessibility(), app.info.pid, eight), nullptr);
}

TEST_F(AccessibilityObserverTest, DeliversTheReportedElementThroughTheRunLoop)
{
    auto observer = RecordingObserver::make(desktop.accessibility(), app.info.pid, eight);
    ASSERT_NE(observer, nullptr);
    auto window = app.addWindow("Save changes?");
    desktop.focusWindow(app, window, /*created=*/true);
    EXPECT_TRUE(observer->deliveries.empty()) << "delivery must wait for the run loop";

    desktop.runPending();
    ASSERT_EQ(observer->deliveries.size(), 2u);
    for (const auto& delivery : observer->deliveries)
        EXPECT_EQ(delivery.element, window->element()) << delivery.notification;
    EXPECT_NE(observer->deliveries[0].element, app.root->element());

    // Another application's notifications do not arrive here.
    SimApp& other = desktop.launch("Other");
    desktop.focusWindow(other, other.addWindow("Elsewhere"));
    desktop.runPending();
    EXPECT_EQ(observer->deliveries.size(), 2u);
}

TEST_F(AccessibilityObserverTest, NothingArrivesAfterDestruction)
{
    auto first = RecordingObserver::make(desktop.accessibility(), app.info.pid, eight);
    auto second = RecordingObserver::make(desktop.accessibility(), app.info.pid, eight);
    ASSERT_TRUE(first && second);

    // Queued, then the observer goes before the loop runs.
    desktop.focusWindow(app, app.addWindow("One"));
    first.reset();
    desktop.runPending();
    EXPECT_EQ(second->deliveries.size(), 1u);

    // Destroyed from inside another observer's delivery, with its own
    // delivery of the same event still queued.
    auto third = RecordingObserver::make(desktop.accessibility(), app.info.pid, eight);
    RecordingObserver* thirdRaw = third.get();
    second->onDelivery = [&] { third.reset(); };
    desktop.focusWindow(app, app.addWindow("Two"));
    desktop.runPending();
    EXPECT_EQ(third, nullptr);
    EXPECT_EQ(second->deliveries.size(), 2u);
    (void)thirdRaw; // never dereferenced: ASan would flag a delivery to it
}

} // namespace
