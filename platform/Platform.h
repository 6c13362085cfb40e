#pragma once

#include "platform/Accessibility.h"
#include "platform/AgentChannel.h"
#include "platform/AlertService.h"
#include "platform/ApplicationFinder.h"
#include "platform/SessionBroadcast.h"
#include "platform/NotificationCenter.h"
#include "platform/PaneServices.h"
#include "platform/Pointer.h"
#include "platform/ProcessManager.h"
#include "platform/RunLoop.h"
#include "platform/Screens.h"
#include "platform/SoundService.h"
#include "platform/SystemLog.h"
#include "platform/ProgramSettings.h"
#include "platform/Workspace.h"

namespace velmora {

// The desktop a program runs on: one backend instance per process, installed
// once by the program's entry point (apps/) or by a test's scoped helper.
// Class operations of the engine reach the desktop through current().
class Platform {
public:
    virtual ~Platform() = default;

    virtual Accessibility& accessibility() = 0;
    virtual Pointer& pointer() = 0;
    virtual Screens& screens() = 0;
    virtual Workspace& workspace() = 0;
    virtual RunLoop& runLoop() = 0;
    virtual NotificationCenter& localNotificationCenter() = 0;
    virtual SessionBroadcast& distributedNotificationCenter() = 0;
    virtual AgentChannel& agentChannel() = 0;
    virtual ProgramSettings& standardUserDefaults() = 0;
    virtual SoundService& sounds() = 0;
    virtual ProcessManager& processManager() = 0;
    virtual Application& application() = 0;
    virtual SystemLog& systemLog() = 0;
    virtual AlertService& alerts() = 0;
    // Used by the settings pane only. A backend that does not offer them
    // answers as a desktop where nothing can be launched, opened or found.
    virtual PaneServices& paneServices();
    virtual ApplicationFinder& applicationFinder();

    // The installed platform; aborts if none is (a programming error).
    static Platform& current();
    static bool isInstalled();
    // Installs `platform` (not owned) and returns the previous one.
    static Platform* install(Platform* platform);
};

// Installs a platform for a scope and restores the previous one after it.
class ScopedPlatform {
public:
    explicit ScopedPlatform(Platform& platform) : m_previous(Platform::install(&platform)) { }
    ~ScopedPlatform() { Platform::install(m_previous); }
    ScopedPlatform(const ScopedPlatform&) = delete;
    ScopedPlatform& operator=(const ScopedPlatform&) = delete;

private:
    Platform* m_previous;
};

// Shorthand for a line in the installed platform's system log.
void logMessage(const std::string& line);

} // namespace velmora
