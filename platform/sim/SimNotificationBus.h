#pragma once

#include "platform/AgentChannel.h"
#include "platform/SessionBroadcast.h"

#include <cstdint>
#include <memory>
#include <optional>
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
    using Handler = SessionBroadcast::Handler;

    SimNotificationBus() = default;
    SimNotificationBus(const SimNotificationBus&) = delete;
    SimNotificationBus& operator=(const SimNotificationBus&) = delete;

    // `runLoop` (not owned) must outlive the registration.
    uint64_t add(std::string name, SimRunLoop& runLoop, Handler handler);
    // Also drops deliveries already queued for it. Unknown ids are ignored.
    void remove(uint64_t id);
    void post(const std::string& name);

    size_t observerCount() const { return m_registrations.size(); }

    // The agent's well-known name: at most one holder, whose orders run on
    // its own loop; watchers hear each change on theirs.
    struct AgentHolder {
        uint64_t id;
        std::string version;
        SimRunLoop* runLoop; // not owned
        std::shared_ptr<AgentChannel::Orders> orders;
    };
    // Nothing when another holder has the name.
    std::optional<uint64_t> claimAgentName(std::string version, SimRunLoop& runLoop, AgentChannel::Orders orders);
    void releaseAgentName(uint64_t id);
    const std::optional<AgentHolder>& agentHolder() const { return m_agentHolder; }
    uint64_t watchAgentName(SimRunLoop& runLoop, AgentChannel::WatchHandlers handlers);
    // A stuck bus: new watchers hear nothing.
    void setAnswersWatchers(bool answers) { m_answersWatchers = answers; }
    void unwatchAgentName(uint64_t id);

private:
    void tellAgentWatchers(bool appeared);

    struct Registration {
        uint64_t id;
        std::string name;
        SimRunLoop* runLoop;              // not owned
        std::shared_ptr<Handler> handler; // queued deliveries hold it weakly
    };

    struct AgentWatcher {
        uint64_t id;
        SimRunLoop* runLoop; // not owned
        std::shared_ptr<AgentChannel::WatchHandlers> handlers;
    };

    std::vector<Registration> m_registrations;
    std::optional<AgentHolder> m_agentHolder;
    std::vector<AgentWatcher> m_agentWatchers;
    bool m_answersWatchers{true};
    uint64_t m_nextId{1};
};

} // namespace velmora::sim
