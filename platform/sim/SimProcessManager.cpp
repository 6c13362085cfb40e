#include "platform/sim/SimProcessManager.h"

#include "platform/sim/SimDesktop.h"

#include <algorithm>

namespace velmora::sim {

std::vector<ProcessRecord> SimProcessManager::processes()
{
    std::vector<ProcessRecord> records;
    for (SimApp* app : m_desktop.apps()) {
        if (!app->processEnded)
            records.push_back({app->info.pid, app->info.name, app->info.path});
    }
    for (const auto& [pid, record] : m_others)
        records.push_back(record);
    std::sort(records.begin(), records.end(), [](const auto& a, const auto& b) { return a.pid < b.pid; });
    return records;
}

bool SimProcessManager::hasProcess(pid_t pid)
{
    return m_others.contains(pid) || m_desktop.app(pid);
}

bool SimProcessManager::sendQuit(pid_t pid)
{
    if (!hasProcess(pid))
        return false;
    m_quitRequests.push_back(pid);
    return true;
}

} // namespace velmora::sim
