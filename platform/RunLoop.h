#pragma once

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

    // Runs `callback` once, `delay` seconds from now. It cannot be cancelled:
    // the callback must own or weakly reference what it touches.
    virtual void performAfterDelay(double delay, std::function<void()> callback) = 0;

    // Runs `callback` once the current pass of the loop has finished, e.g. to
    // release an object whose own callback is still on the stack.
    virtual void performAtEndOfPass(std::function<void()> callback) = 0;

    // Dispatches until stop() is called.
    virtual void run() = 0;
    virtual void stop() = 0;
};

} // namespace velmora
