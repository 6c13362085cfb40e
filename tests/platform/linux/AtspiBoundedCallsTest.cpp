// Requests to applications: which failures make an application count as
// hung, what the interface is told of libatspi's errors, and that a hung
// application is asked nothing more.

#include "platform/linux/AtspiBoundedCalls.h"

#include "platform/linux/TimeBudgets.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace velmora::linux_desktop {
namespace {

constexpr const char* kEditor = ":1.42";
constexpr const char* kFiles = ":1.43";

void setAtspiError(GErrorPtr& error, int code, const char* message)
{
    g_set_error_literal(error.out(), g_quark_from_static_string("atspi_error"), code, message);
}

void waitPastTheHungBudget()
{
    std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<int>(kHungAfterMs) + 20));
}

// Without a bus no ping can answer: a hung application stays hung until
// forgotten, which is all these tests need of the ledger.
class AtspiBoundedCallsTest : public ::testing::Test {
protected:
    AtspiBoundedCalls m_calls{GObjectRef<GDBusConnection>()};
};

TEST_F(AtspiBoundedCallsTest, OnlyAFailureAfterWaitingOutTheBudgetMarksTheApplicationHung)
{
    // Failing at once: gone, not hung.
    EXPECT_EQ(m_calls.call(kEditor, "role", [](GErrorPtr& error) {
        setAtspiError(error, 0, "The application no longer exists");
        return AccessibilityError::Success;
    }), AccessibilityError::InvalidUIElement);
    // Answering slowly: alive.
    EXPECT_EQ(m_calls.call(kEditor, "name", [](GErrorPtr&) {
        waitPastTheHungBudget();
        return AccessibilityError::Success;
    }), AccessibilityError::Success);
    EXPECT_FALSE(m_calls.isHung(kEditor));

    // An empty answer after the whole budget is a timeout too.
    EXPECT_EQ(m_calls.call(kEditor, "states", [](GErrorPtr&) {
        waitPastTheHungBudget();
        return AccessibilityError::NoValue;
    }), AccessibilityError::CannotComplete);
    EXPECT_TRUE(m_calls.isHung(kEditor));
    EXPECT_FALSE(m_calls.isHung(kFiles));
    EXPECT_EQ(m_calls.count(), 3);
}

TEST_F(AtspiBoundedCallsTest, AHungApplicationIsRefusedAtOnceUntilForgotten)
{
    m_calls.call(kEditor, "role", [](GErrorPtr& error) {
        waitPastTheHungBudget();
        setAtspiError(error, 1, "Did not receive a reply");
        return AccessibilityError::Success;
    });
    ASSERT_TRUE(m_calls.isHung(kEditor));
    const long sent = m_calls.count();

    bool asked = false;
    EXPECT_EQ(m_calls.call(kEditor, "name", [&](GErrorPtr&) { asked = true; return AccessibilityError::Success; }), AccessibilityError::CannotComplete);
    EXPECT_FALSE(asked);
    EXPECT_EQ(m_calls.count(), sent) << "a refused request was counted as sent";
    EXPECT_EQ(m_calls.hungOr(kEditor, AccessibilityError::NoValue), AccessibilityError::CannotComplete);
    EXPECT_EQ(m_calls.hungOr(kFiles, AccessibilityError::NoValue), AccessibilityError::NoValue);
    // Other applications are asked as before.
    EXPECT_EQ(m_calls.call(kFiles, "name", [&](GErrorPtr&) { asked = true; return AccessibilityError::Success; }), AccessibilityError::Success);
    EXPECT_TRUE(asked);

    m_calls.ledger().forget(kEditor);
    EXPECT_EQ(m_calls.call(kEditor, "name", [](GErrorPtr&) { return AccessibilityError::Success; }), AccessibilityError::Success);
}

TEST_F(AtspiBoundedCallsTest, LibatspisErrorsSayWhetherTheObjectIsGoneOrTheApplicationDidNotAnswer)
{
    GErrorPtr error;
    setAtspiError(error, 0, "The application no longer exists");
    EXPECT_EQ(AtspiBoundedCalls::errorFor(error), AccessibilityError::InvalidUIElement);
    setAtspiError(error, 1, "The object /org/a11y/atspi/accessible/12 is defunct");
    EXPECT_EQ(AtspiBoundedCalls::errorFor(error), AccessibilityError::InvalidUIElement);
    setAtspiError(error, 1, "Did not receive a reply");
    EXPECT_EQ(AtspiBoundedCalls::errorFor(error), AccessibilityError::CannotComplete);
    g_set_error_literal(error.out(), G_IO_ERROR, G_IO_ERROR_FAILED, "defunct");
    EXPECT_EQ(AtspiBoundedCalls::errorFor(error), AccessibilityError::Failure);
}

} // namespace
} // namespace velmora::linux_desktop
