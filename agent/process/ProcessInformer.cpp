#include "agent/process/ProcessInformer.h"

#include "platform/Platform.h"

namespace velmora {

std::optional<ProcessRecord> ProcessInformer::processNamed(const std::string& name)
{
    for (auto& process : Platform::current().processManager().processes()) {
        if (process.name == name)
            return std::move(process);
    }
    return std::nullopt;
}

std::optional<pid_t> ProcessInformer::pidOfProcessNamed(const std::string& name)
{
    auto process = processNamed(name);
    if (!process)
        return std::nullopt;
    return process->pid;
}

} // namespace velmora
