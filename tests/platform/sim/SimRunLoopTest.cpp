#include "platform/sim/SimRunLoop.h"

#include "platform/DelayedCallGroup.h"
#include "platform/RunLoopContract.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

using namespace velmora;
using velmora::sim::SimRunLoop;

namespace {

struct Event {
    std::string name;
    double time;
    friend bool operator==(const Event&, const Event&) = default;
};

class SimRunLoopTest : public ::testing::Test {
protected:
    std::function<void()> record(const std::string& name)
    {
        return [this, name] { events.push_back({name, loop.now()}); };
    }

    SimRunLoop loop;
    DelayedCallGroup calls{loop};
    std::vector<Event> events;
};

TEST_F(SimRunLoopTest, RunsDueWorkInTimeOrderTiesInSchedulingOrderEachAtItsOwnTime)
{
    calls.performAfterDelay(0.3, record("c"));
    auto timer = loop.scheduleTimer(0.1, TimerRepeats::No, record("a"));
    calls.performAfterDelay(0.1, record("b"));
    calls.performAfterDelay(0.2, record("x"));
    calls.performAfterDelay(1.5, record("late"));

    loop.advance(1.0);

    EXPECT_EQ(events, (std::vector<Event>{{"a", 0.1}, {"b", 0.1}, {"x", 0.2}, {"c", 0.3}}));
    EXPECT_EQ(loop.now(), 1.0);
    EXPECT_FALSE(timer->isValid()); // a one-shot timer is spent once it fired
    EXPECT_EQ(loop.scheduledCount(), 1u);
}

TEST_F(SimRunLoopTest, RepeatingTimerStaysOnItsGridHoweverTheClockIsAdvanced)
{
    auto timer = loop.scheduleTimer(0.05, TimerRepeats::Yes, record("poll"));
    for (int i = 0; i < 20; ++i)
        loop.advance(0.05);
    EXPECT_EQ(events.size(), 20u);
    EXPECT_EQ(events.back().time, 1.0);

    loop.advance(1.0);
    EXPECT_EQ(events.size(), 40u);
    EXPECT_EQ(events.back().time, 2.0);
}

TEST_F(SimRunLoopTest, DestroyedOrInvalidatedTimerNeverRunsEvenWhenAlreadyDue)
{
    std::unique_ptr<Timer> second;
    auto first = loop.scheduleTimer(0.1, TimerRepeats::No, [&] { second.reset(); });
    second = loop.scheduleTimer(0.1, TimerRepeats::Yes, record("second"));

    auto token = std::make_shared<int>(0);
    std::unique_ptr<Timer> self;
    self = loop.scheduleTimer(0.1, TimerRepeats::Yes, [&, token] {
        events.push_back({"self", loop.now()});
        self->invalidate(); // from inside its own callback
    });

    loop.advance(1.0);

    EXPECT_EQ(events, (std::vector<Event>{{"self", 0.1}}));
    EXPECT_FALSE(self->isValid());
    EXPECT_EQ(token.use_count(), 1) << "an invalidated timer must drop what its callback holds";
    EXPECT_EQ(loop.scheduledCount(), 0u);
}

TEST_F(SimRunLoopTest, EndOfPassWorkRunsRightAfterTheCurrentDispatchBeforeAnythingElse)
{
    calls.performAfterDelay(0.1, [&] {
        loop.performAtEndOfPass([&] {
            events.push_back({"end", loop.now()});
            loop.performAtEndOfPass(record("end of end"));
        });
        events.push_back({"callback", loop.now()});
    });
    calls.performAfterDelay(0.1, record("next"));

    loop.advance(0.1);

    EXPECT_EQ(events, (std::vector<Event>{{"callback", 0.1}, {"end", 0.1}, {"end of end", 0.1}, {"next", 0.1}}));
}

TEST_F(SimRunLoopTest, BlockForMovesTheClockWithoutDispatchingAndTheClockNeverGoesBack)
{
    calls.performAfterDelay(0.1, record("due"));
    loop.blockFor(5.0);
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(loop.now(), 5.0);

    loop.runPending();
    EXPECT_EQ(events, (std::vector<Event>{{"due", 5.0}}));
}

TEST_F(SimRunLoopTest, RepeatingTimerSkipsTheFiresItMissedWhileTheThreadWasBlocked)
{
    auto timer = loop.scheduleTimer(1.0, TimerRepeats::Yes, [&] {
        events.push_back({"tick", loop.now()});
        if (events.size() == 1)
            loop.blockFor(2.5); // busy until 3.5
    });
    loop.advance(5.0);
    EXPECT_EQ(events, (std::vector<Event>{{"tick", 1.0}, {"tick", 4.0}, {"tick", 5.0}}));
}

TEST_F(SimRunLoopTest, RunDispatchesUntilStoppedAndReturnsWhenNothingIsLeft)
{
    auto timer = loop.scheduleTimer(1.0, TimerRepeats::Yes, [&] {
        events.push_back({"tick", loop.now()});
        if (events.size() == 3)
            loop.stop();
    });
    loop.run();
    EXPECT_EQ(events.size(), 3u);
    EXPECT_EQ(loop.now(), 3.0);

    timer.reset();
    calls.performAfterDelay(7, record("last"));
    loop.run(); // must return on its own: nothing can ever run after "last"
    EXPECT_EQ(events.back(), (Event{"last", 10.0}));

    loop.stop();
    calls.performAfterDelay(1, record("never"));
    loop.run(); // a stop made beforehand ends it at once
    EXPECT_EQ(events.back().name, "last");
}

TEST_F(SimRunLoopTest, TwentyOneRetriesASecondApartTakeNoRealTime)
{
    int attempts = 0;
    std::function<void()> retry = [&] {
        if (++attempts < 21)
            calls.performAfterDelay(1.0, retry);
    };
    auto started = std::chrono::steady_clock::now();
    retry();
    loop.advance(30);
    auto elapsed = std::chrono::steady_clock::now() - started;

    EXPECT_EQ(attempts, 21);
    EXPECT_LT(elapsed, std::chrono::milliseconds(100));
}

TEST(SimRunLoopLifetimeTest, TimerHandleMayOutliveItsLoop)
{
    std::unique_ptr<Timer> timer;
    {
        SimRunLoop loop;
        timer = loop.scheduleTimer(1, TimerRepeats::Yes, [] { });
    }
    EXPECT_TRUE(timer->isValid());
    timer.reset(); // must not touch the loop
}

} // namespace

namespace velmora::test {
namespace {

struct SimLoopDriver {
    sim::SimRunLoop loop;
    void runFor(double seconds) { loop.advance(seconds); }
};

INSTANTIATE_TYPED_TEST_SUITE_P(Sim, RunLoopContract, SimLoopDriver);

} // namespace
} // namespace velmora::test
