#include "pane/feedback/NetworkReachability.h"

#include <gio/gio.h>

#include <memory>

namespace velmora {

namespace {

struct GUriDeleter {
    void operator()(GUri* uri) const { g_uri_unref(uri); }
};
struct GObjectDeleter {
    void operator()(gpointer object) const { g_object_unref(object); }
};

} // namespace

// static
std::optional<NetworkReachability::Host> NetworkReachability::hostOfURL(const std::string& url)
{
    std::unique_ptr<GUri, GUriDeleter> uri(g_uri_parse(url.c_str(), G_URI_FLAGS_NONE, nullptr));
    if (!uri || !g_uri_get_host(uri.get()) || !*g_uri_get_host(uri.get()))
        return std::nullopt;
    int port = g_uri_get_port(uri.get());
    if (port < 0) {
        const char* scheme = g_uri_get_scheme(uri.get());
        port = g_ascii_strcasecmp(scheme, "https") == 0 ? 443 : 80;
    }
    return Host{g_uri_get_host(uri.get()), static_cast<uint16_t>(port)};
}

// static
bool NetworkReachability::checkReachabilityByName(const Host& host)
{
    // The desktop's own monitor (NetworkManager's view where it runs, the
    // kernel's routes elsewhere); a process-wide object GIO keeps.
    GNetworkMonitor* monitor = g_network_monitor_get_default();
    std::unique_ptr<GSocketConnectable, GObjectDeleter> address(g_network_address_new(host.name.c_str(), host.port));
    if (!g_network_monitor_can_reach(monitor, address.get(), nullptr, nullptr))
        return false;
    return g_network_monitor_get_connectivity(monitor) != G_NETWORK_CONNECTIVITY_PORTAL;
}

} // namespace velmora
