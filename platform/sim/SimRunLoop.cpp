#include "platform/sim/SimRunLoop.h"

#include <poll.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace velmora::sim {

namespace {

// Longer spans than this are clamped: they would overflow the nanosecond clock
// and no scenario waits for decades.
constexpr double kLongestSpan = 1e9;

// A repeating timer with no interval would fire forever at one instant; like
// desktop run loops we give it a floor (0.1 ms).
constexpr int64_t kShortestRepeatInterval = 100'000;

int64_t toNanoseconds(double seconds)
{
    if (!(seconds > 0)) // also catches NaN
        return 0;
    return std::llround(std::min(seconds, kLongestSpan) * 1e9);
}

// Bumps a counter for the length of a scope, even if a callback throws.
class DepthGuard {
public:
    explicit DepthGuard(int& depth) : m_depth(depth) { ++m_depth; }
    ~DepthGuard() { --m_depth; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;

private:
    int& m_depth;
};

} // namespace

struct SimRunLoop::TimerState {
    std::function<void()> callback;
    int64_t firstDue{0};
    int64_t interval{0};
    uint64_t fired{0};
    bool repeats{false};
    bool valid{true};
};

struct SimRunLoop::FdWatchState {
    int fd{-1};
    FdEvents interest;
    std::function<void(FdEvents)> callback;
    bool valid{true};
};

namespace {

class SimFdWatch final : public FdWatch {
public:
    explicit SimFdWatch(std::shared_ptr<SimRunLoop::FdWatchState> state) : m_state(std::move(state)) { }
    ~SimFdWatch() override
    {
        m_state->valid = false;
        m_state->callback = nullptr; // the dispatcher runs a copy
    }

private:
    std::shared_ptr<SimRunLoop::FdWatchState> m_state;
};

// The handle the engine holds. It shares the timer's state with the queue
// entry, so invalidating it disarms an entry that is already due.
class SimTimer final : public Timer {
public:
    explicit SimTimer(std::shared_ptr<SimRunLoop::TimerState> state) : m_state(std::move(state)) { }
    ~SimTimer() override { invalidate(); }

    void invalidate() override
    {
        m_state->valid = false;
        // Drops what the callback captured now; the dispatcher runs a copy,
        // so invalidating from inside the callback is safe.
        m_state->callback = nullptr;
    }
    bool isValid() const override { return m_state->valid; }

private:
    std::shared_ptr<SimRunLoop::TimerState> m_state;
};

} // namespace

SimRunLoop::SimRunLoop() = default;

SimRunLoop::~SimRunLoop()
{
    // Emptied before the records go: a capture's destructor may cancel
    // another call, which then finds nothing to erase.
    auto queue = std::move(m_queue);
    m_queue.clear();
    queue.clear();
}

double SimRunLoop::now() const
{
    return static_cast<double>(m_now) / 1e9;
}

void SimRunLoop::blockFor(double seconds)
{
    m_now += toNanoseconds(seconds);
}

std::unique_ptr<Timer> SimRunLoop::scheduleTimer(double interval, TimerRepeats repeats, std::function<void()> callback)
{
    auto state = std::make_shared<TimerState>();
    state->callback = std::move(callback);
    state->repeats = repeats == TimerRepeats::Yes;
    state->interval = toNanoseconds(interval);
    if (state->repeats)
        state->interval = std::max(state->interval, kShortestRepeatInterval);
    state->firstDue = m_now + state->interval;
    schedule(state->firstDue, Entry{state, {}});
    return std::make_unique<SimTimer>(std::move(state));
}

DelayedCall SimRunLoop::performAfterDelay(double delay, std::function<void()> callback)
{
    auto record = std::make_shared<DelayedCall::Record>();
    record->callback = std::move(callback);
    const Key key{m_now + toNanoseconds(delay), m_nextSequence};
    record->unschedule = [this, key] { m_queue.erase(key); };
    schedule(key.first, Entry{nullptr, record});
    return DelayedCall(record);
}

void SimRunLoop::post(double delay, std::function<void()> callback)
{
    auto record = std::make_shared<DelayedCall::Record>();
    record->callback = std::move(callback);
    schedule(m_now + toNanoseconds(delay), Entry{nullptr, std::move(record)});
}

std::unique_ptr<FdWatch> SimRunLoop::watchFd(int fd, FdEvents interest, std::function<void(FdEvents ready)> callback)
{
    auto state = std::make_shared<FdWatchState>();
    state->fd = fd;
    state->interest = interest;
    state->callback = std::move(callback);
    m_fdWatches.push_back(state);
    return std::make_unique<SimFdWatch>(std::move(state));
}

size_t SimRunLoop::watchedFdCount() const
{
    return static_cast<size_t>(std::count_if(m_fdWatches.begin(), m_fdWatches.end(), [](const auto& watch) { return watch->valid; }));
}

void SimRunLoop::performAtEndOfPass(std::function<void()> callback)
{
    m_endOfPass.push_back(std::move(callback));
}

void SimRunLoop::run()
{
    while (!m_stopRequested) {
        if (m_dispatchDepth == 0)
            runEndOfPass();
        drainReadyFds();
        if (m_stopRequested)
            break;
        if (dispatchNext(std::numeric_limits<int64_t>::max()) || !m_endOfPass.empty())
            continue;
        dropInvalidTimers();
        if (!m_queue.empty())
            continue;
        if (watchedFdCount() == 0)
            break; // nothing left that could ever run
        // Only the outside world can wake us now: wait for it in real time.
        dispatchReadyFds(static_cast<int>(kLongestFdWait * 1000));
    }
    m_stopRequested = false;
}

void SimRunLoop::stop()
{
    m_stopRequested = true;
}

void SimRunLoop::advance(double seconds)
{
    const int64_t target = m_now + toNanoseconds(seconds);
    if (m_dispatchDepth == 0)
        runEndOfPass(); // work handed over outside any dispatch
    // A callback that blocks past the target makes what fell due meanwhile
    // part of this span too. Descriptors are looked at between items, never
    // waited for: the virtual clock does not stand still for the network.
    drainReadyFds();
    while (dispatchNext(std::max(target, m_now)))
        drainReadyFds();
    m_now = std::max(m_now, target);
}

void SimRunLoop::runNestedPass()
{
    drainReadyFds();
    while (dispatchNext(m_now))
        drainReadyFds();
    runEndOfPass();
}

size_t SimRunLoop::scheduledCount() const
{
    return static_cast<size_t>(std::count_if(m_queue.begin(), m_queue.end(),
        [](const auto& item) { return item.second.timer ? item.second.timer->valid : item.second.call->callback != nullptr; }));
}

void SimRunLoop::schedule(int64_t due, Entry entry)
{
    m_queue.emplace(Key{due, m_nextSequence++}, std::move(entry));
}

bool SimRunLoop::dispatchNext(int64_t limit)
{
    dropInvalidTimers();
    if (m_queue.empty() || m_queue.begin()->first.first > limit)
        return false;
    auto node = m_queue.extract(m_queue.begin());
    m_now = std::max(m_now, node.key().first); // never backwards, even after a blockFor
    dispatch(std::move(node.mapped()));
    return true;
}

void SimRunLoop::dispatch(Entry entry)
{
    {
        DepthGuard guard(m_dispatchDepth);
        ++m_dispatchCount;
        if (entry.timer) {
            auto state = entry.timer;
            auto callback = state->callback; // survives an invalidate() from inside
            ++state->fired;
            if (!state->repeats)
                state->valid = false;
            if (callback)
                callback();
            if (state->repeats && state->valid) {
                // Stay on the timer's own grid; fires missed while the thread
                // was blocked are skipped, not run in a burst.
                uint64_t index = state->fired;
                int64_t next = state->firstDue + static_cast<int64_t>(index) * state->interval;
                if (next <= m_now) {
                    index = static_cast<uint64_t>((m_now - state->firstDue) / state->interval) + 1;
                    next = state->firstDue + static_cast<int64_t>(index) * state->interval;
                    state->fired = index;
                }
                schedule(next, Entry{state, {}});
            } else if (!state->repeats) {
                state->callback = nullptr;
            }
        } else if (entry.call) {
            DelayedCall::run(*entry.call);
        }
    }
    if (m_dispatchDepth == 0)
        runEndOfPass();
}

void SimRunLoop::runEndOfPass()
{
    DepthGuard guard(m_dispatchDepth);
    while (!m_endOfPass.empty()) {
        auto batch = std::exchange(m_endOfPass, {});
        for (auto& callback : batch)
            if (callback)
                callback();
    }
}

void SimRunLoop::dropInvalidTimers()
{
    while (!m_queue.empty()) {
        auto& entry = m_queue.begin()->second;
        if (entry.timer ? !entry.timer->valid : !entry.call->callback)
            m_queue.erase(m_queue.begin());
        else
            break;
    }
}

void SimRunLoop::drainReadyFds()
{
    // A real loop reports a descriptor again on each pass while it stays
    // ready; here the passes between two items come in one go.
    for (int round = 0; round < kMostFdRoundsBetweenItems && dispatchReadyFds(0); ++round) { }
}

bool SimRunLoop::dispatchReadyFds(int waitMilliseconds)
{
    std::erase_if(m_fdWatches, [](const auto& watch) { return !watch->valid; });
    if (m_fdWatches.empty())
        return false;
    // A snapshot: callbacks may add or drop watches meanwhile.
    std::vector<std::shared_ptr<FdWatchState>> watches = m_fdWatches;
    std::vector<pollfd> fds;
    for (const auto& watch : watches) {
        short events = 0;
        if (watch->interest.readable)
            events |= POLLIN | POLLPRI;
        if (watch->interest.writable)
            events |= POLLOUT;
        fds.push_back(pollfd{watch->fd, events, 0});
    }
    if (::poll(fds.data(), fds.size(), waitMilliseconds) <= 0)
        return false;
    bool dispatched = false;
    for (size_t i = 0; i < fds.size(); ++i) {
        const short revents = fds[i].revents;
        if (revents == 0 || !watches[i]->valid)
            continue;
        FdEvents ready;
        ready.readable = (revents & (POLLIN | POLLPRI)) != 0;
        ready.writable = (revents & POLLOUT) != 0;
        ready.failed = (revents & (POLLERR | POLLHUP | POLLNVAL)) != 0;
        {
            DepthGuard guard(m_dispatchDepth);
            ++m_dispatchCount;
            auto callback = watches[i]->callback; // survives the watch's end from inside
            if (callback)
                callback(ready);
        }
        if (m_dispatchDepth == 0)
            runEndOfPass();
        dispatched = true;
    }
    return dispatched;
}

} // namespace velmora::sim
