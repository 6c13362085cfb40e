// Which observers hear a notification, and that one destroyed or created
// during a delivery is not called for it.

#include "platform/linux/AtspiObserverRegistry.h"

#include "platform/linux/AtspiElement.h"
#include "platform/linux/AtspiObserver.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace velmora::linux_desktop {
namespace {

// An element of no application. All such elements name the same (no) object,
// so an observer's subscription on its application covers them all.
AccessibleElement bareElement(AtspiElement::Kind kind = AtspiElement::Kind::Object)
{
    return AtspiElement::make(GObjectRef<AtspiAccessible>::adopt(static_cast<AtspiAccessible*>(g_object_new(ATSPI_TYPE_ACCESSIBLE, nullptr))), kind);
}

class AtspiObserverRegistryTest : public ::testing::Test {
protected:
    std::unique_ptr<AtspiObserver> observe(pid_t pid, const std::string& name, const std::string& notification)
    {
        auto observer = std::make_unique<AtspiObserver>(m_registry, pid, bareElement(AtspiElement::Kind::Application),
            [this, name](const AccessibleElement&, const std::string& heard) { m_heard.push_back(name + ": " + heard); });
        EXPECT_EQ(observer->addNotification(bareElement(AtspiElement::Kind::Application), notification), AccessibilityError::Success);
        observer->addToRunLoop();
        return observer;
    }

    AtspiObserverRegistry m_registry;
    std::vector<std::string> m_heard;
};

TEST_F(AtspiObserverRegistryTest, ANotificationReachesTheObserversOfItsProcessThatAskedForIt)
{
    auto editor = observe(501, "editor", "AXFocusedWindowChanged");
    auto editorWindows = observe(501, "editor windows", "AXWindowCreated");
    auto files = observe(502, "files", "AXFocusedWindowChanged");
    EXPECT_EQ(m_registry.count(), 3u);

    m_registry.deliver(501, "AXFocusedWindowChanged", bareElement());
    m_registry.deliver(502, "AXWindowCreated", bareElement());
    m_registry.deliver(0, "AXFocusedWindowChanged", bareElement());
    m_registry.deliver(501, "AXFocusedWindowChanged", AccessibleElement());
    EXPECT_EQ(m_heard, (std::vector<std::string>{"editor: AXFocusedWindowChanged"}));

    files.reset();
    EXPECT_EQ(m_registry.count(), 2u);
    m_registry.deliver(502, "AXFocusedWindowChanged", bareElement());
    EXPECT_EQ(m_heard.size(), 1u) << "a destroyed observer was called";
}

TEST_F(AtspiObserverRegistryTest, AnObserverNotOnTheRunLoopYetHearsNothing)
{
    auto observer = std::make_unique<AtspiObserver>(m_registry, 501, bareElement(AtspiElement::Kind::Application),
        [this](const AccessibleElement&, const std::string& heard) { m_heard.push_back(heard); });
    ASSERT_EQ(observer->addNotification(bareElement(AtspiElement::Kind::Application), "AXWindowCreated"), AccessibilityError::Success);
    m_registry.deliver(501, "AXWindowCreated", bareElement());
    EXPECT_TRUE(m_heard.empty());
    observer->addToRunLoop();
    m_registry.deliver(501, "AXWindowCreated", bareElement());
    EXPECT_EQ(m_heard, (std::vector<std::string>{"AXWindowCreated"}));
}

TEST_F(AtspiObserverRegistryTest, ObserversDestroyedOrCreatedDuringADeliveryAreNotCalledForIt)
{
    std::unique_ptr<AtspiObserver> second;
    std::unique_ptr<AtspiObserver> latecomer;
    auto first = std::make_unique<AtspiObserver>(m_registry, 501, bareElement(AtspiElement::Kind::Application),
        [&](const AccessibleElement&, const std::string& heard) {
            m_heard.push_back("first: " + heard);
            second.reset();
            latecomer = observe(501, "latecomer", "AXApplicationActivated");
        });
    ASSERT_EQ(first->addNotification(bareElement(AtspiElement::Kind::Application), "AXApplicationActivated"), AccessibilityError::Success);
    first->addToRunLoop();
    second = observe(501, "second", "AXApplicationActivated");

    m_registry.deliver(501, "AXApplicationActivated", bareElement());
    EXPECT_EQ(m_heard, (std::vector<std::string>{"first: AXApplicationActivated"}));
    ASSERT_TRUE(latecomer);
    first.reset();
    m_registry.deliver(501, "AXApplicationActivated", bareElement());
    EXPECT_EQ(m_heard.back(), "latecomer: AXApplicationActivated");
}

} // namespace
} // namespace velmora::linux_desktop
