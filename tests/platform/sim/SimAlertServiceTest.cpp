#include "platform/sim/SimAlertService.h"

#include <gtest/gtest.h>

namespace velmora::sim {
namespace {

const Alert kQuestion{AlertStyle::Informational, "Title", "Message", {"Go", "Cancel"}};
const Alert kNotice{AlertStyle::Critical, "Notice", "Text", {"OK"}};

TEST(SimAlertServiceTest, AnswersAsToldThenWithTheDefaultButton)
{
    SimAlertService alerts;
    alerts.answerNextWith(1);
    EXPECT_EQ(alerts.runModal(kQuestion), size_t{1});
    EXPECT_EQ(alerts.runModal(kQuestion), size_t{0});
    // An answer past the last button picks the last one.
    alerts.answerNextWith(5);
    EXPECT_EQ(alerts.runModal(kNotice), size_t{0});
    ASSERT_EQ(alerts.shown().size(), 3u);
    EXPECT_EQ(alerts.shown()[0].alert.title, "Title");
    EXPECT_EQ(alerts.shown()[0].answer, size_t{1});
    EXPECT_EQ(alerts.shown()[2].alert.style, AlertStyle::Critical);
}

TEST(SimAlertServiceTest, AbortingFromInsideTheModalLeavesItUnanswered)
{
    SimAlertService alerts;
    alerts.abortModal(); // nothing runs: no effect on the next alert
    bool sawShowing = false;
    alerts.whileShowing = [&](const Alert&) {
        sawShowing = alerts.isShowing();
        alerts.abortModal();
    };
    alerts.answerNextWith(0);
    EXPECT_EQ(alerts.runModal(kQuestion), std::nullopt);
    EXPECT_TRUE(sawShowing);
    EXPECT_FALSE(alerts.isShowing());
    alerts.whileShowing = nullptr;
    // The queued answer still serves the next alert.
    alerts.answerNextWith(1);
    EXPECT_EQ(alerts.runModal(kQuestion), size_t{0});
    EXPECT_EQ(alerts.runModal(kQuestion), size_t{1});
}

} // namespace
} // namespace velmora::sim
