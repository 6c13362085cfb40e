#include "platform/linux/GlibRunLoop.h"

#include "platform/RunLoopContract.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velmora::linux_desktop::testing {
namespace {

TEST(GlibRunLoopTest, TimersDelayedCallsAndEndOfPassWorkRunInTimeOrder)
{
    GlibRunLoop loop;
    std::vector<std::string> order;
    int ticks = 0;
    std::unique_ptr<Timer> repeating = loop.scheduleTimer(0.02, TimerRepeats::Yes, [&] {
        if (++ticks == 3)
            repeating.reset(); // a timer may end itself from its own callback
    });
    auto cancelled = loop.scheduleTimer(0.01, TimerRepeats::No, [&] { order.push_back("cancelled"); });
    cancelled->invalidate();
    EXPECT_FALSE(cancelled->isValid());
    auto once = loop.scheduleTimer(0.05, TimerRepeats::No, [&] { order.push_back("timer"); });
    auto delayed = loop.performAfterDelay(0.03, [&] { order.push_back("delayed"); });
    loop.performAtEndOfPass([&] { order.push_back("end of pass"); });
    auto stop = loop.performAfterDelay(0.2, [&] { loop.stop(); });
    // Reaper: the test fails rather than hangs if stop() never comes.
    auto reaper = loop.scheduleTimer(5, TimerRepeats::No, [&] { ADD_FAILURE() << "loop never stopped"; loop.stop(); });

    const double start = loop.now();
    loop.run();
    EXPECT_GE(loop.now() - start, 0.19);
    EXPECT_EQ(order, (std::vector<std::string>{"end of pass", "delayed", "timer"}));
    EXPECT_EQ(ticks, 3);
    EXPECT_FALSE(once->isValid());
}

TEST(GlibRunLoopTest, BlockingDispatchesNothingAndDestroyingTheLoopDropsItsWork)
{
    bool ran = false;
    DelayedCall leftOver; // outlives its loop
    {
        GlibRunLoop loop;
        loop.performAtEndOfPass([&] { ran = true; });
        const double start = loop.now();
        loop.blockFor(0.05);
        EXPECT_GE(loop.now() - start, 0.045);
        EXPECT_FALSE(ran);
        GlibRunLoop::iterate(false);
        EXPECT_TRUE(ran);

        ran = false;
        leftOver = loop.performAfterDelay(0, [&] { ran = true; });
    }
    EXPECT_FALSE(leftOver.isPending()) << "the loop's end dropped it";
    for (int i = 0; i < 5; ++i)
        GlibRunLoop::iterate(false);
    EXPECT_FALSE(ran);
}

} // namespace
} // namespace velmora::linux_desktop::testing

namespace velmora::test {
namespace {

struct GlibLoopDriver {
    linux_desktop::GlibRunLoop loop;
    void runFor(double seconds)
    {
        DelayedCall stop = loop.performAfterDelay(seconds, [this] { loop.stop(); });
        loop.run();
    }
};

INSTANTIATE_TYPED_TEST_SUITE_P(Glib, RunLoopContract, GlibLoopDriver);

} // namespace
} // namespace velmora::test
