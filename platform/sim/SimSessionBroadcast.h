#pragma once

#include "platform/SessionBroadcast.h"

#include <memory>
#include <set>
#include <string>
#include <vector>

namespace velmora::sim {

class SimNotificationBus;
class SimRunLoop;

// One process's view of the notification bus: its registrations deliver on
// its own run loop, and all of them end with it.
class SimSessionBroadcast final : public SessionBroadcast {
public:
    SimSessionBroadcast(std::shared_ptr<SimNotificationBus> bus, SimRunLoop& runLoop);
    ~SimSessionBroadcast() override;
    SimSessionBroadcast(const SimSessionBroadcast&) = delete;
    SimSessionBroadcast& operator=(const SimSessionBroadcast&) = delete;

    // SessionBroadcast overrides.
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
