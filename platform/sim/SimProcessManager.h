#pragma once

#include "platform/ProcessManager.h"

#include <map>
#include <vector>

namespace velmora::sim {

class SimDesktop;

// The session's processes: every running application plus the processes
// added on their own (such as "loginwindow"), in process-id order.
class SimProcessManager final : public ProcessManager {
public:
    explicit SimProcessManager(SimDesktop& desktop) : m_desktop(desktop) { }

    // ProcessManager overrides.
    std::vector<ProcessRecord> processes() override;
    // Recorded; false for a process that does not exist. The process does
    // not quit by itself: a test decides whether and when it does.
    bool sendQuit(pid_t pid) override;

    void addProcess(ProcessRecord record) { m_others[record.pid] = std::move(record); }
    void removeProcess(pid_t pid) { m_others.erase(pid); }
    bool hasProcess(pid_t pid);
    const std::vector<pid_t>& quitRequests() const { return m_quitRequests; }

private:
    SimDesktop& m_desktop; // not owned; owns us
    std::map<pid_t, ProcessRecord> m_others;
    std::vector<pid_t> m_quitRequests;
};

} // namespace velmora::sim
