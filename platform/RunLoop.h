#pragma once

#include "platform/DelayedCall.h"
#include "platform/FdWatch.h"

#include <functional>
#include <memory>

namespace velmora {

enum class TimerRepeats { No, Yes };

// A scheduled timer. Destroying it invalidates it: its callback never runs
// again, even if it was already due.
class Timer {
public:
    virtual ~Timer() = default;
    virtual void invalidate() = 0;
    virtual bool isValid() const = 0;
};

// The thread's event loop. Everything in the agent runs from it.
class RunLoop {
public:
    virtual ~RunLoop() = default;

    // Monotonic seconds; virtual seconds on the simulated desktop.
    virtual double now() const = 0;

    // Holds the thread for `seconds` without dispatching anything (a busy
    // wait in the engine polls with this).
    virtual void blockFor(double seconds) = 0;

    // A timer firing first `interval` seconds from now, then every `interval`
    // seconds if it repeats. The timer lives as long as the returned handle.
    [[nodiscard]] virtual std::unique_ptr<Timer> scheduleTimer(double interval, TimerRepeats repeats, std::function<void()> callback) = 0;

    // Runs `callback` once, `delay` seconds from now, unless the returned
    // handle is cancelled or destroyed first (see DelayedCall). Calls due at
    // the same time run in the order scheduled.
    [[nodiscard]] virtual DelayedCall performAfterDelay(double delay, std::function<void()> callback) = 0;

    // Calls `callback` from the loop whenever `fd` is ready for what
    // `interest` asks (and on error or hang-up), until the handle goes. The
    // watch is level-triggered: the callback must consume what is ready.
    [[nodiscard]] virtual std::unique_ptr<FdWatch> watchFd(int fd, FdEvents interest, std::function<void(FdEvents ready)> callback) = 0;

    // Runs `callback` once the current pass of the loop has finished, e.g. to
    // release an object whose own callback is still on the stack.
    virtual void performAtEndOfPass(std::function<void()> callback) = 0;

    // Dispatches until stop() is called.
    virtual void run() = 0;
    virtual void stop() = 0;
};

} // namespace velmora
