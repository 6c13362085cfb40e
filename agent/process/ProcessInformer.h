#pragma once

#include "platform/ProcessManager.h"

#include <optional>
#include <string>
#include <sys/types.h>

namespace velmora {

// Finds running processes of the user's session by name.
class ProcessInformer {
public:
    ProcessInformer() = delete;

    // The first process, in the process manager's order, whose name equals
    // `name` exactly (case-sensitive); nothing when none does.
    static std::optional<ProcessRecord> processNamed(ProcessManager& processes, const std::string& name);
    // That process's identifier; nothing when none runs.
    static std::optional<pid_t> pidOfProcessNamed(ProcessManager& processes, const std::string& name);
};

} // namespace velmora
