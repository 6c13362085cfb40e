#include "platform/sim/SimPaneServices.h"

#include <utility>

namespace velmora::sim {

std::optional<DelayedCall> SimPaneServices::launchApplicationAtPath(const std::string& path, const std::vector<std::string>& arguments, ExitHandler ended)
{
    m_launches.push_back(path);
    m_lastArguments = arguments;
    const bool launched = m_launchHandler ? m_launchHandler(path) : true;
    m_lastEnded.reset();
    if (!launched)
        return std::nullopt;
    m_lastWaitStatus = std::make_shared<int>(0);
    m_lastEnded = std::make_shared<DelayedCall::Record>();
    if (ended)
        m_lastEnded->callback = [ended = std::move(ended), status = m_lastWaitStatus] { ended(*status); };
    return DelayedCall(m_lastEnded);
}

void SimPaneServices::endLastLaunched(int waitStatus)
{
    // Moved out first: the handler may launch again.
    auto ended = std::exchange(m_lastEnded, nullptr);
    if (!ended)
        return;
    *m_lastWaitStatus = waitStatus;
    DelayedCall::run(*ended);
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
