#include "platform/linux/RoutingSettingsStore.h"

namespace velmora::linux_desktop {

RoutingSettingsStore::RoutingSettingsStore(SettingsStore& fallback) : m_fallback(fallback) { }

void RoutingSettingsStore::route(const std::string& domain, SettingsStore& store)
{
    m_routes[domain] = &store;
}

std::optional<Value::Dictionary> RoutingSettingsStore::read(const std::string& domain)
{
    return storeFor(domain).read(domain);
}

bool RoutingSettingsStore::update(const std::string& domain, const Change& change)
{
    return storeFor(domain).update(domain, change);
}

SettingsStore& RoutingSettingsStore::storeFor(const std::string& domain)
{
    auto it = m_routes.find(domain);
    return it == m_routes.end() ? m_fallback : *it->second;
}

} // namespace velmora::linux_desktop
