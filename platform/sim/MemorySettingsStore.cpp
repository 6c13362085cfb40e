#include "platform/sim/MemorySettingsStore.h"

namespace velmora::sim {

std::optional<Value::Dictionary> MemorySettingsStore::read(const std::string& domain)
{
    auto it = m_domains.find(domain);
    if (it == m_domains.end())
        return std::nullopt;
    return it->second;
}

bool MemorySettingsStore::update(const std::string& domain, const Change& change)
{
    std::optional<Value::Dictionary> contents = read(domain);
    if (!change(contents))
        return true; // left untouched, as asked
    if (m_writesFail)
        return false;
    if (contents)
        m_domains[domain] = std::move(*contents);
    else
        m_domains.erase(domain);
    ++m_writeCount;
    return true;
}

} // namespace velmora::sim
