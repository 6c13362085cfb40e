#pragma once

#include "platform/RunLoop.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace velmora::sim {

// A run loop on a virtual clock that starts at 0 and moves only when told to
// (advance, blockFor, run). Nothing but watched descriptors depends on real
// time, so a scenario that spans minutes of timers runs in microseconds and
// always in the same order.
//
// Work due at the same instant runs in the order it was scheduled. A "pass"
// is the dispatch of one item (a timer firing, a delayed call, a queued
// delivery); work handed to performAtEndOfPass runs once the outermost
// dispatch has returned.
class SimRunLoop final : public RunLoop {
public:
    SimRunLoop();
    ~SimRunLoop() override;
    SimRunLoop(const SimRunLoop&) = delete;
    SimRunLoop& operator=(const SimRunLoop&) = delete;

    // RunLoop overrides.
    double now() const override;
    // Moves the clock without dispatching: what is due meanwhile waits for
    // the next advance(), runPending() or run().
    void blockFor(double seconds) override;
    [[nodiscard]] std::unique_ptr<Timer> scheduleTimer(double interval, TimerRepeats repeats, std::function<void()> callback) override;
    DelayedCall performAfterDelay(double delay, std::function<void()> callback) override;
    // The descriptors are real: they are polled, without waiting, before
    // each timer or call is dispatched, so a loopback exchange moves on as
    // the virtual clock advances. Only run() waits for them, in real time
    // (up to kLongestFdWait a turn), and only when nothing else is scheduled.
    std::unique_ptr<FdWatch> watchFd(int fd, FdEvents interest, std::function<void(FdEvents ready)> callback) override;
    void performAtEndOfPass(std::function<void()> callback) override;
    // A delayed call nobody cancels: the simulated world's own events (a
    // scenario step, a bus delivery that looks its receiver up when it
    // arrives), which outlive every part under test.
    void post(double delay, std::function<void()> callback);
    // Dispatches in virtual time, jumping the clock from one due item to the
    // next, until stop(). Returns when nothing is scheduled and no descriptor
    // is watched any more. A stop() made while not running ends the next
    // run() at once.
    void run() override;
    void stop() override;

    // Runs everything due up to now + seconds in time order, each item with
    // the clock set to its due time, then leaves the clock at now + seconds
    // (or later, if a callback blocked past it). Negative spans count as 0.
    void advance(double seconds);
    // Runs what is due now, including work that became due meanwhile.
    void runPending() { advance(0); }
    // What the nested loop of a modal alert does: runs what is due now and
    // the end-of-pass work, also from inside a dispatch.
    void runNestedPass();

    // Items still scheduled (invalidated timers and cancelled calls not counted).
    size_t scheduledCount() const;
    // Items dispatched so far: timers fired, delayed calls run, descriptors
    // found ready; what a real loop would count as wake-ups.
    uint64_t dispatchCount() const { return m_dispatchCount; }
    size_t watchedFdCount() const;

    // Short, so that a stop() from outside any callback is seen soon.
    static constexpr double kLongestFdWait = 0.05;
    // A descriptor still ready after this many reports in a row waits for
    // the next item: a callback that never reads cannot stall the clock.
    static constexpr int kMostFdRoundsBetweenItems = 64;
    bool isDispatching() const { return m_dispatchDepth > 0; }

    // Shared by a timer's handle and its queue entry.
    struct TimerState;
    // Shared by a descriptor watch's handle and the loop's list.
    struct FdWatchState;

private:
    struct Entry {
        std::shared_ptr<TimerState> timer; // set for timers
        std::shared_ptr<DelayedCall::Record> call; // set for delayed calls
    };
    using Key = std::pair<int64_t, uint64_t>; // (due time in ns, scheduling order)

    void schedule(int64_t due, Entry entry);
    // Dispatches the earliest item due at or before `limit`; false when none.
    bool dispatchNext(int64_t limit);
    void dispatch(Entry entry);
    void runEndOfPass();
    void dropInvalidTimers();
    // Dispatches the watched descriptors that are ready, waiting up to
    // `waitMilliseconds` of real time for one; false when none was.
    bool dispatchReadyFds(int waitMilliseconds);
    void drainReadyFds();

    int64_t m_now{0}; // nanoseconds: sums of short intervals stay exact
    uint64_t m_nextSequence{0};
    std::map<Key, Entry> m_queue;
    std::vector<std::function<void()>> m_endOfPass;
    std::vector<std::shared_ptr<FdWatchState>> m_fdWatches;
    uint64_t m_dispatchCount{0};
    int m_dispatchDepth{0};
    bool m_stopRequested{false};
};

} // namespace velmora::sim
