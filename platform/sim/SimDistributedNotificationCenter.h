#pragma once

#include "platform/DistributedNotificationCenter.h"

#include <memory>
#include <set>
#include <string>
#include <vector>

namespace velmora::sim {

class SimNotificationBus;
class SimRunLoop;

// One process's view of the notification bus: its registrations deliver on
// its own run loop, and all of them end with it.
class SimDistributedNotificationCenter final : public DistributedNotificationCenter {
public:
    SimDistributedNotificationCenter(std::shared_ptr<SimNotificationBus> bus, SimRunLoop& runLoop);
    ~SimDistributedNotificationCenter() override;
    SimDistributedNotificationCenter(const SimDistributedNotificationCenter&) = delete;
    SimDistributedNotificationCenter& operator=(const SimDistributedNotificationCenter&) = delete;

    // DistributedNotificationCenter overrides.
    [[nodiscard]] NotificationObservation addObserver(const std::string& name, Handler handler) override;
    void postNotificationName(const std::string& name) override;

    // What this process posted, in order.
    const std::vector<std::string>& posted() const { return m_posted; }
    const std::shared_ptr<SimNotificationBus>& bus() const { return m_bus; }

private:
    std::shared_ptr<SimNotificationBus> m_bus;
    SimRunLoop& m_runLoop; // not owned
    std::shared_ptr<std::set<uint64_t>> m_ids; // our live registrations
    std::vector<std::string> m_posted;
};

} // namespace velmora::sim
