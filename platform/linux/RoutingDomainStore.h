#pragma once

#include "platform/PersistentDomainStore.h"

#include <map>
#include <string>

namespace velmora::linux_desktop {

// Sends each domain to the store that keeps it: a few domains live where the
// desktop keeps that kind of data (login items as autostart entries), all
// others in the fallback store. The stores are borrowed and outlive the router.
class RoutingDomainStore final : public PersistentDomainStore {
public:
    explicit RoutingDomainStore(PersistentDomainStore& fallback);

    void route(const std::string& domain, PersistentDomainStore& store);

    std::optional<Value::Dictionary> read(const std::string& domain) override;
    bool update(const std::string& domain, const Change& change) override;

private:
    PersistentDomainStore& storeFor(const std::string& domain);

    PersistentDomainStore& m_fallback;
    std::map<std::string, PersistentDomainStore*> m_routes; // not owned
};

} // namespace velmora::linux_desktop
