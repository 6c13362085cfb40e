#include "platform/sim/SimPaneServices.h"

namespace velmora::sim {

bool SimPaneServices::launchApplicationAtPath(const std::string& path, const std::vector<std::string>& arguments, ExitHandler ended)
{
    m_launches.push_back(path);
    m_lastArguments = arguments;
    const bool launched = m_launchHandler ? m_launchHandler(path) : true;
    m_lastEnded = launched ? std::move(ended) : ExitHandler{};
    return launched;
}

void SimPaneServices::endLastLaunched(int waitStatus)
{
    // Moved out first: the handler may launch again.
    ExitHandler ended = std::move(m_lastEnded);
    m_lastEnded = {};
    if (ended)
        ended(waitStatus);
}

bool SimPaneServices::openAccessibilitySettings()
{
    if (!m_hasAccessibilitySettings)
        return false;
    ++m_accessibilitySettingsOpenCount;
    return true;
}

std::string SimPaneServices::accessibilityInstructions()
{
    return "Switch on assistive technologies in the simulated desktop's settings.";
}

} // namespace velmora::sim
