#pragma once

#include "platform/DelayedCallGroup.h"
#include "platform/RunLoop.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

namespace velmora::test {

// What every run loop promises about delayed calls and descriptor watches,
// run against each loop through a driver: `Driver::loop`, and
// `Driver::runFor(seconds)` that dispatches for that long on the loop's clock.
template<typename Driver>
class RunLoopContract : public ::testing::Test {
protected:
    std::function<void()> record(const std::string& name)
    {
        return [this, name] { events.push_back(name); };
    }

    Driver driver;
    RunLoop& loop{driver.loop};
    std::vector<std::string> events;
};

TYPED_TEST_SUITE_P(RunLoopContract);

TYPED_TEST_P(RunLoopContract, ACancelledCallNeverRunsAlsoWhenCancelledFromTheSamePass)
{
    auto& loop = this->loop;
    auto token = std::make_shared<int>(0);
    DelayedCall second;
    DelayedCall first = loop.performAfterDelay(0.01, [&] {
        this->events.push_back("first");
        second.cancel(); // due at the same instant, already in this pass
    });
    second = loop.performAfterDelay(0.01, this->record("second"));
    DelayedCall cancelled = loop.performAfterDelay(0.01, [&, token] { this->events.push_back("cancelled"); });
    { DelayedCall dropped = loop.performAfterDelay(0.01, this->record("dropped")); }
    EXPECT_TRUE(cancelled.isPending());
    cancelled.cancel();
    EXPECT_FALSE(cancelled.isPending());
    EXPECT_EQ(token.use_count(), 1) << "a cancelled call releases what it captured at once";

    this->driver.runFor(0.1);

    EXPECT_EQ(this->events, std::vector<std::string>{"first"});
    EXPECT_FALSE(first.isPending()) << "a call that ran is no longer pending";
    first.cancel(); // harmless after the run
}

TYPED_TEST_P(RunLoopContract, AnOwnerMayDestroyItselfFromInsideItsOwnCall)
{
    auto& loop = this->loop;
    struct Owner {
        explicit Owner(RunLoop& loop) : calls(loop) { }
        DelayedCall call;
        DelayedCallGroup calls;
        std::string name{"owner"};
    };
    std::unique_ptr<Owner> single = std::make_unique<Owner>(loop);
    // What the call captured lives until it returns, whatever becomes of its
    // handle meanwhile (long enough to sit on the heap).
    single->call = loop.performAfterDelay(0.01, [&, owner = single.get(), said = std::string(64, 'x')] {
        this->events.push_back(owner->name);
        single.reset(); // destroys the handle of the call now running
        this->events.push_back(said.substr(0, 1));
    });

    std::unique_ptr<Owner> grouped = std::make_unique<Owner>(loop);
    grouped->calls.performAfterDelay(0.02, [&] {
        this->events.push_back("grouped");
        grouped.reset(); // cancels its sibling, due in the same pass
    });
    grouped->calls.performAfterDelay(0.02, this->record("sibling"));
    EXPECT_EQ(grouped->calls.pendingCount(), 2u);

    this->driver.runFor(0.1);

    EXPECT_EQ(this->events, (std::vector<std::string>{"owner", "x", "grouped"}));
    EXPECT_FALSE(single);
    EXPECT_FALSE(grouped);
}

TYPED_TEST_P(RunLoopContract, ACallMayReplaceItsOwnHandle)
{
    auto& loop = this->loop;
    int runs = 0;
    DelayedCall again;
    std::function<void()> tick = [&] {
        if (++runs < 3)
            again = loop.performAfterDelay(0.01, tick); // what a self-rearming timeout does
    };
    again = loop.performAfterDelay(0.01, tick);

    this->driver.runFor(0.2);

    EXPECT_EQ(runs, 3);
    EXPECT_FALSE(again.isPending());
}

TYPED_TEST_P(RunLoopContract, AWatchedDescriptorIsReportedUntilItsWatchGoes)
{
    auto& loop = this->loop;
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    std::string received;
    std::unique_ptr<FdWatch> watch;
    watch = loop.watchFd(fds[0], FdEvents{true, false, false}, [&](FdEvents ready) {
        char byte = 0;
        if (ready.readable && ::read(fds[0], &byte, 1) == 1)
            received += byte;
        if (byte == 'b')
            watch.reset(); // from inside its own callback
    });

    this->driver.runFor(0.05);
    EXPECT_EQ(received, "") << "nothing to read yet";
    ASSERT_EQ(::write(fds[1], "ab", 2), 2);
    this->driver.runFor(0.05);
    EXPECT_EQ(received, "ab");
    EXPECT_FALSE(watch);

    ASSERT_EQ(::write(fds[1], "c", 1), 1);
    this->driver.runFor(0.05);
    EXPECT_EQ(received, "ab") << "no report after the watch went";
    ::close(fds[0]);
    ::close(fds[1]);
}

REGISTER_TYPED_TEST_SUITE_P(RunLoopContract, ACancelledCallNeverRunsAlsoWhenCancelledFromTheSamePass,
    AnOwnerMayDestroyItselfFromInsideItsOwnCall, ACallMayReplaceItsOwnHandle, AWatchedDescriptorIsReportedUntilItsWatchGoes);

} // namespace velmora::test
