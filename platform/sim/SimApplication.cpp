#include "platform/sim/SimApplication.h"

#include "platform/sim/SimRunLoop.h"

namespace velmora::sim {

SimApplication::SimApplication(NotificationCenter& localCenter, SimRunLoop& runLoop)
    : m_localCenter(localCenter)
    , m_runLoop(runLoop)
{
    setProgramPath(kDefaultProgramPath);
}

bool SimApplication::fileExists(const std::string& path)
{
    if (path.empty())
        return false;
    if (m_files.contains(path))
        return true;
    // A folder exists when something lies below it.
    std::string folder = path.back() == '/' ? path : path + "/";
    auto below = m_files.lower_bound(folder);
    return below != m_files.end() && below->starts_with(folder);
}

void SimApplication::terminate()
{
    m_localCenter.post(kWillTerminateNotification, this);
    m_terminated = true;
    m_runLoop.stop();
}

void SimApplication::setProgramPath(const std::string& path)
{
    m_programPath = path;
    m_files.insert(path);
}

} // namespace velmora::sim
