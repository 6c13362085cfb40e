#pragma once

#include "platform/ProcessManager.h"

#include <optional>
#include <string>

namespace velmora::linux_desktop {

// The processes of the current user, read from /proc. A process is named by
// the last component of its first argument (what `ps -o args` shows and what
// a program calls itself), or by its kernel name when it has no arguments.
class LinuxProcessManager final : public ProcessManager {
public:
    explicit LinuxProcessManager(std::string procRoot = "/proc");

    // In ascending pid order; processes that vanish while being read, and
    // those of other users, are left out.
    std::vector<ProcessRecord> processes() override;
    // SIGTERM: the signal every program treats as "quit now, cleanly".
    bool sendQuit(pid_t pid) override;
    // One look at /proc; an exited process not yet reaped does not run.
    bool isRunning(pid_t pid) override;

    // One process's record; nothing when it is gone or unreadable.
    std::optional<ProcessRecord> record(pid_t pid) const;

private:
    std::string m_procRoot;
};

} // namespace velmora::linux_desktop
