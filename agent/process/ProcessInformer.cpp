#include "agent/process/ProcessInformer.h"


namespace velmora {

std::optional<ProcessRecord> ProcessInformer::processNamed(ProcessManager& processes, const std::string& name)
{
    for (auto& process : processes.processes()) {
        if (process.name == name)
            return std::move(process);
    }
    return std::nullopt;
}

std::optional<pid_t> ProcessInformer::pidOfProcessNamed(ProcessManager& processes, const std::string& name)
{
    auto process = processNamed(processes, name);
    if (!process)
        return std::nullopt;
    return process->pid;
}

} // namespace velmora
