#pragma once

#include "agent/process/VelmoraControlEndpoint.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimRunLoop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace velmora::scenes {

// An agent that says it is another version than the pane.
class OtherVersionAgent final : public VelmoraControlEndpoint {
public:
    OtherVersionAgent(const ControlEndpoint::Services& services, std::string version)
        : VelmoraControlEndpoint(services)
        , m_version(std::move(version))
    {
    }
    std::string versionString() const override { return m_version; }

private:
    std::string m_version;
};

// A simulated desktop on which both halves of the control protocol run: the
// pane under test and, when a test starts one, agents (communicators), all
// sharing one session bus and one preferences store. Every broadcast control
// notification is counted as it is delivered, every order to the agent's
// name as it is sent.
class ControlProtocolScene : public ::testing::Test {
protected:
    static constexpr const char* kDomain = "com.brightfen.velmora";

    ControlProtocolScene()
    {
        for (const char* name : {kAskIfAgentRuns, kAgentRuns, kAgentMustQuit,
                 kAgentWillQuit, kAgentMustReloadPreferences}) {
            m_counters.push_back(desktop.distributedNotificationCenter().addObserver(name, [this](const std::string& n) { ++m_delivered[n]; }));
        }
        // The agents share this desktop's process; one that terminates must
        // still go away as its own process would, answering nothing more.
        m_termination = desktop.localNotificationCenter().addObserver(kWillTerminateNotification, nullptr,
            [this](const Notification&) { desktop.runLoop().performAtEndOfPass([this] { agents.clear(); }); });
    }

    ~ControlProtocolScene() override
    {
        m_termination.reset();
        agents.clear();
        m_counters.clear();
    }

    // Deliveries of a control notification so far.
    int delivered(const std::string& name) { return m_delivered[name]; }

    // Orders the pane sent to the agent's name.
    int reloadOrders() { return std::ranges::count(desktop.agentOrdersSent(), std::string("reload")); }
    int quitOrders() { return std::ranges::count(desktop.agentOrdersSent(), std::string("quit")); }

    // An agent that has finished starting: its name held, subscribed, and its
    // announcement posted. `version` empty: the pane's own.
    VelmoraControlEndpoint& startAgent(const std::string& version = {})
    {
        agents.push_back(version.empty() ? std::make_unique<VelmoraControlEndpoint>(ControlEndpoint::Services::of(desktop))
                                         : std::make_unique<OtherVersionAgent>(ControlEndpoint::Services::of(desktop), version));
        EXPECT_EQ(agents.back()->claimName(), AgentChannel::ClaimResult::Owned) << "another agent holds the name";
        agents.back()->setup();
        return *agents.back();
    }

    // Launching the agent's path brings an agent up `startupSeconds` later.
    void agentStartsWhenLaunched(double startupSeconds = 0.3)
    {
        desktop.paneServices().setLaunchHandler([this, startupSeconds](const std::string&) {
            desktop.simRunLoop().post(startupSeconds, [this] { startAgent(); });
            return true;
        });
    }

    std::optional<Value::Dictionary> storedDomain() { return desktop.standardUserDefaults().persistentDomainForName(kDomain); }
    Value stored(const std::string& key)
    {
        auto domain = storedDomain();
        return domain ? valueForKey(*domain, key) : Value();
    }

    sim::SimDesktop desktop;
    ScopedPlatform scoped{desktop};
    std::vector<std::unique_ptr<VelmoraControlEndpoint>> agents;

private:
    std::vector<NotificationObservation> m_counters;
    NotificationObservation m_termination;
    std::map<std::string, int> m_delivered;
};

} // namespace velmora::scenes
