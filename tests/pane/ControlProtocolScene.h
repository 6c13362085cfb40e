#pragma once

#include "agent/process/PreffPaneCommunicator.h"
#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace velmora::scenes {

// A simulated desktop on which both halves of the control protocol run: the
// pane under test and, when a test starts one, agents (communicators), all
// sharing one distributed centre and one preferences store. Every control
// notification is counted as it is delivered.
class ControlProtocolScene : public ::testing::Test {
protected:
    static constexpr const char* kDomain = "com.brightfen.velmora";

    ControlProtocolScene()
    {
        for (const char* name : {ZQK_VelmoraAreYouRunning, ZQK_VelmoraIsRunningNotification, ZQK_VelmoraMustQuitNotification,
                 ZQK_VelmoraWillTerminate, ZQK_VelmoraMustUpdatePrefsNotification}) {
            m_counters.push_back(desktop.distributedNotificationCenter().addObserver(name, [this](const std::string& n) { ++m_delivered[n]; }));
        }
        // The agents share this desktop's process; one that terminates must
        // still go away as its own process would, answering nothing more.
        m_termination = desktop.localNotificationCenter().addObserver(kNSApplicationWillTerminateNotification, nullptr,
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

    // An agent that has finished starting: subscribed, and its announcement posted.
    PreffPaneCommunicator& startAgent()
    {
        agents.push_back(std::make_unique<PreffPaneCommunicator>());
        agents.back()->setup();
        return *agents.back();
    }

    // Launching the agent's path brings an agent up `startupSeconds` later.
    void agentStartsWhenLaunched(double startupSeconds = 0.3)
    {
        desktop.paneServices().setLaunchHandler([this, startupSeconds](const std::string&) {
            desktop.runLoop().performAfterDelay(startupSeconds, [this] { startAgent(); });
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
    std::vector<std::unique_ptr<PreffPaneCommunicator>> agents;

private:
    std::vector<NotificationObservation> m_counters;
    NotificationObservation m_termination;
    std::map<std::string, int> m_delivered;
};

} // namespace velmora::scenes
