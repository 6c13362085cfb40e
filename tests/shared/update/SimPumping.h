#pragma once

#include "platform/sim/SimDesktop.h"
#include "shared/update/HttpTransfer.h"

#include <chrono>
#include <memory>
#include <thread>

namespace velmora::test {

// Virtual seconds the clock moves per step while a loopback exchange runs.
constexpr double kPacingStep = 0.01;

// Loopback exchanges need real time while the simulated loop runs on its
// virtual clock: advance the clock one step at a time, letting a little real
// time pass, until `done` holds or the real-time reaper expires.
template<typename Done>
bool runUntil(sim::SimDesktop& desktop, Done done, double seconds = 10)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        desktop.advance(kPacingStep);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return done();
}

// For code that runs the loop itself (run() jumps the clock from one timer
// to the next): while it lives, the virtual clock outruns real time at most
// fivefold, as under runUntil, so a loopback server can answer before the
// request's time-out comes round on the virtual clock.
class RealTimePacing {
public:
    explicit RealTimePacing(sim::SimDesktop& desktop)
        : m_timer(desktop.runLoop().scheduleTimer(kPacingStep, TimerRepeats::Yes,
              [] { std::this_thread::sleep_for(std::chrono::milliseconds(2)); }))
    {
    }

private:
    std::unique_ptr<Timer> m_timer;
};

} // namespace velmora::test
