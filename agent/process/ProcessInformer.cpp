#include "agent/process/ProcessInformer.h"

#include "platform/NotFound.h"
#include "platform/Platform.h"

namespace velmora {

std::optional<ProcessRecord> ProcessInformer::infoDictionaryForProcessNamed(const std::string& name)
{
    for (auto& process : Platform::current().processManager().processes()) {
        if (process.name == name)
            return std::move(process);
    }
    return std::nullopt;
}

pid_t ProcessInformer::processIDForProcessNamed(const std::string& name)
{
    auto process = infoDictionaryForProcessNamed(name);
    return process ? process->pid : kNSNotFound;
}

} // namespace velmora
