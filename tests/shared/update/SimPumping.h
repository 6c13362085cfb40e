#pragma once

#include "platform/sim/SimDesktop.h"
#include "shared/update/URLConnection.h"

#include <chrono>
#include <thread>

namespace velmora::test {

// Loopback exchanges need real time while the simulated loop runs on its
// virtual clock: advance the clock by one pump interval at a time, letting a
// little real time pass, until `done` holds or the real-time reaper expires.
template<typename Done>
bool runUntil(sim::SimDesktop& desktop, Done done, double seconds = 10)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        desktop.advance(URLConnection::kPumpInterval);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return done();
}

} // namespace velmora::test
