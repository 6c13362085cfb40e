#pragma once

#include "platform/DistributedNotificationCenter.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace velmora::sim {

class SimRunLoop;

// The medium of simulated distributed notifications: every registration on
// the bus hears every post of its name, wherever it was posted. Several
// SimDesktops (an agent's and a pane's) can share one bus. A delivery runs
// from the receiver's own run loop, never inside the post.
class SimNotificationBus {
public:
    using Handler = DistributedNotificationCenter::Handler;

    SimNotificationBus() = default;
    SimNotificationBus(const SimNotificationBus&) = delete;
    SimNotificationBus& operator=(const SimNotificationBus&) = delete;

    // `runLoop` (not owned) must outlive the registration.
    uint64_t add(std::string name, SimRunLoop& runLoop, Handler handler);
    // Also drops deliveries already queued for it. Unknown ids are ignored.
    void remove(uint64_t id);
    void post(const std::string& name);

    size_t observerCount() const { return m_registrations.size(); }

private:
    struct Registration {
        uint64_t id;
        std::string name;
        SimRunLoop* runLoop;              // not owned
        std::shared_ptr<Handler> handler; // queued deliveries hold it weakly
    };

    std::vector<Registration> m_registrations;
    uint64_t m_nextId{1};
};

} // namespace velmora::sim
