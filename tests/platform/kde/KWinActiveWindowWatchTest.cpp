// What KWin's activation script reports, as the agent reads it: a report it
// cannot read in full is no activation at all, rather than a wrong place.

#include "platform/kde/KWinActiveWindowWatch.h"

#include <gtest/gtest.h>

namespace velmora::kde::testing {
namespace {

TEST(KWinActiveWindowWatchTest, ReadsAWholeReportAndRefusesAnythingElse)
{
    const auto told = KWinActiveWindowWatch::parse("4242 460 330 360 242 803 451\nSave changes? (qt5) \xe2\x80\x94 Editor");
    ASSERT_TRUE(told);
    EXPECT_EQ(told->pid, 4242);
    EXPECT_EQ(told->surface, (Point{460, 330}));
    EXPECT_EQ(told->size.width, 360);
    EXPECT_EQ(told->size.height, 242);
    EXPECT_EQ(told->pointer, (Point{803, 451}));
    EXPECT_EQ(told->caption, "Save changes? (qt5) \xe2\x80\x94 Editor");

    // No active window: only where the pointer is.
    const auto none = KWinActiveWindowWatch::parse("0 0 0 0 0 12 34\n");
    ASSERT_TRUE(none);
    EXPECT_EQ(none->pid, 0);
    EXPECT_EQ(none->caption, "");

    for (const char* broken : {"", "4242 460 330\nTitle", "4242 460 330 360 242 803 451 9\nTitle", "-1 0 0 0 0 0 0\n",
                               "pid 460 330 360 242 803 451\n", "4242 460 330 360 242 803\n451"}) {
        SCOPED_TRACE(broken);
        EXPECT_FALSE(KWinActiveWindowWatch::parse(broken));
    }
}

} // namespace
} // namespace velmora::kde::testing
