#pragma once

#include "platform/Platform.h"

#include <optional>
#include <string>

namespace velmora {

// Stops an agent of the older generation ("velmorabg") at start-up and takes
// it off the login items, so two agents never snap at once.
class LegacyAgentStopper {
public:
    // `platform` is not owned and must outlive the stopper.
    explicit LegacyAgentStopper(Platform& platform) : m_platform(platform) { }

    // The start-up run: a fresh instance, used once.
    static void stopAtStartup(Platform& platform);

    void stopIfRunning();
    // Whether a process of the older agent's name runs now.
    bool legacyAgentIsRunning();
    // Asks the older agent to quit (without waiting) and removes its login
    // item; the login item goes even when the quit could not be sent.
    void stopLegacyAgent();
    // The normalised path of the older agent's login item; nothing when absent.
    std::optional<std::string> legacyLoginItemPath();

private:
    Platform& m_platform;
};

} // namespace velmora
