#include "platform/linux/RoutingDomainStore.h"

namespace velmora::linux_desktop {

RoutingDomainStore::RoutingDomainStore(PersistentDomainStore& fallback) : m_fallback(fallback) { }

void RoutingDomainStore::route(const std::string& domain, PersistentDomainStore& store)
{
    m_routes[domain] = &store;
}

std::optional<Value::Dictionary> RoutingDomainStore::read(const std::string& domain)
{
    return storeFor(domain).read(domain);
}

bool RoutingDomainStore::update(const std::string& domain, const Change& change)
{
    return storeFor(domain).update(domain, change);
}

PersistentDomainStore& RoutingDomainStore::storeFor(const std::string& domain)
{
    auto it = m_routes.find(domain);
    return it == m_routes.end() ? m_fallback : *it->second;
}

} // namespace velmora::linux_desktop
