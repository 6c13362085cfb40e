#include "platform/sim/SimPaneServices.h"

namespace velmora::sim {

bool SimPaneServices::launchApplicationAtPath(const std::string& path)
{
    m_launches.push_back(path);
    return m_launchHandler ? m_launchHandler(path) : true;
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
