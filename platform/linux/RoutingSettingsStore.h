#pragma once

#include "platform/SettingsStore.h"

#include <map>
#include <string>

namespace velmora::linux_desktop {

// Sends each domain to the store that keeps it: a few domains live where the
// desktop keeps that kind of data (login items as autostart entries), all
// others in the fallback store. The stores are borrowed and outlive the router.
class RoutingSettingsStore final : public SettingsStore {
public:
    explicit RoutingSettingsStore(SettingsStore& fallback);

    void route(const std::string& domain, SettingsStore& store);

    std::optional<Value::Dictionary> read(const std::string& domain) override;
    bool update(const std::string& domain, const Change& change) override;

private:
    SettingsStore& storeFor(const std::string& domain);

    SettingsStore& m_fallback;
    std::map<std::string, SettingsStore*> m_routes; // not owned
};

} // namespace velmora::linux_desktop
