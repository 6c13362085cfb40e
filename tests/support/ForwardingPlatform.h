#pragma once

#include "platform/Platform.h"
#include "platform/sim/SimDesktop.h"

namespace velmora {

// The simulated desktop behind every service; a test overrides the one
// service it wants to bend (the pointer under a drifting hand, an
// accessibility interface that stops answering).
class ForwardingPlatform : public Platform {
public:
    // `desktop` is not owned and must outlive this platform.
    explicit ForwardingPlatform(sim::SimDesktop& desktop) : m_desktop(desktop) { }

    Accessibility& accessibility() override { return m_desktop.accessibility(); }
    Pointer& pointer() override { return m_desktop.pointer(); }
    Screens& screens() override { return m_desktop.screens(); }
    Workspace& workspace() override { return m_desktop.workspace(); }
    RunLoop& runLoop() override { return m_desktop.runLoop(); }
    NotificationCenter& localNotificationCenter() override { return m_desktop.localNotificationCenter(); }
    SessionBroadcast& distributedNotificationCenter() override { return m_desktop.distributedNotificationCenter(); }
    AgentChannel& agentChannel() override { return m_desktop.agentChannel(); }
    ProgramSettings& standardUserDefaults() override { return m_desktop.standardUserDefaults(); }
    SoundService& sounds() override { return m_desktop.sounds(); }
    ProcessManager& processManager() override { return m_desktop.processManager(); }
    Application& application() override { return m_desktop.application(); }
    SystemLog& systemLog() override { return m_desktop.systemLog(); }
    AlertService& alerts() override { return m_desktop.alerts(); }

protected:
    sim::SimDesktop& m_desktop; // not owned
};

} // namespace velmora
