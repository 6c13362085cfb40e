#include "platform/linux/DBusAgentChannel.h"

#include "platform/linux/GErrorPtr.h"
#include "platform/linux/TimeBudgets.h"

#include <cstdio>

namespace velmora::linux_desktop {

namespace {

constexpr const char* kIntrospection =
    "<node>"
    "  <interface name='com.brightfen.velmora.Agent'>"
    "    <method name='Quit'/>"
    "    <method name='Reload'/>"
    "    <property name='Version' type='s' access='read'/>"
    "    <property name='Running' type='b' access='read'/>"
    "  </interface>"
    "</node>";

// RequestName's flag and answers (the bus daemon's own numbers).
constexpr guint32 kDoNotQueue = 4;
constexpr guint32 kPrimaryOwner = 1;
constexpr guint32 kAlreadyOwner = 4;

GDBusInterfaceInfo* interfaceInfo()
{
    // Parsed once and kept for the life of the process, as GDBus expects.
    static GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kIntrospection, nullptr);
    return node ? node->interfaces[0] : nullptr;
}

// Shared between the claim and GDBus's registration: a call already queued
// when the claim goes finds it inactive instead of a freed agent.
struct ClaimState {
    std::string version;
    AgentChannel::Orders orders;
    bool active{true};
};
using ClaimStateRef = std::shared_ptr<ClaimState>;

void onMethodCall(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method, GVariant*,
    GDBusMethodInvocation* invocation, gpointer data)
{
    ClaimStateRef state = *static_cast<ClaimStateRef*>(data);
    // The reply first: the caller learns the order was taken even when the
    // order ends this process.
    g_dbus_method_invocation_return_value(invocation, nullptr);
    if (!state->active)
        return;
    const std::string name = method;
    if (name == "Quit" && state->orders.quit)
        state->orders.quit();
    else if (name == "Reload" && state->orders.reload)
        state->orders.reload();
}

GVariant* onGetProperty(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* property, GError** error, gpointer data)
{
    const ClaimState& state = **static_cast<ClaimStateRef*>(data);
    const std::string name = property;
    if (name == "Version")
        return g_variant_new_string(state.version.c_str());
    if (name == "Running")
        return g_variant_new_boolean(state.active);
    g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_PROPERTY, "No property %s", property);
    return nullptr;
}

const GDBusInterfaceVTable kVTable = {onMethodCall, onGetProperty, nullptr, {}};

class DBusClaim final : public AgentChannel::Claim {
public:
    DBusClaim(GObjectRef<GDBusConnection> bus, guint registration, ClaimStateRef state)
        : m_bus(std::move(bus)), m_registration(registration), m_state(std::move(state)) { }

    ~DBusClaim() override
    {
        m_state->active = false;
        g_dbus_connection_unregister_object(m_bus.get(), m_registration);
        // Given back at once rather than when the connection closes, so a new
        // agent started right after this one ends finds the name free.
        g_dbus_connection_call(m_bus.get(), "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "ReleaseName",
            g_variant_new("(s)", DBusAgentChannel::kBusName), nullptr, G_DBUS_CALL_FLAGS_NONE, kBusCallMs, nullptr, nullptr, nullptr);
    }

private:
    GObjectRef<GDBusConnection> m_bus;
    guint m_registration;
    ClaimStateRef m_state;
};

// The watcher's handlers, with the same guard as the claim's.
struct WatchState {
    AgentChannel::WatchHandlers handlers;
    bool active{true};
};
using WatchStateRef = std::shared_ptr<WatchState>;

void onNameAppeared(GDBusConnection*, const gchar*, const gchar*, gpointer data)
{
    WatchStateRef state = *static_cast<WatchStateRef*>(data);
    if (state->active && state->handlers.appeared)
        state->handlers.appeared();
}

void onNameVanished(GDBusConnection*, const gchar*, gpointer data)
{
    WatchStateRef state = *static_cast<WatchStateRef*>(data);
    if (state->active && state->handlers.vanished)
        state->handlers.vanished();
}

void freeWatchState(gpointer data)
{
    delete static_cast<WatchStateRef*>(data);
}

void freeClaimState(gpointer data)
{
    delete static_cast<ClaimStateRef*>(data);
}

// A version request in flight. The bus call owns it; the caller's handle only
// watches the record, so a dropped handle leaves nothing to call.
struct VersionRequest {
    std::shared_ptr<DelayedCall::Record> record{std::make_shared<DelayedCall::Record>()};
    std::shared_ptr<std::optional<std::string>> answer{std::make_shared<std::optional<std::string>>()};
};

void onVersionReply(GObject* source, GAsyncResult* result, gpointer data)
{
    std::unique_ptr<VersionRequest> request(static_cast<VersionRequest*>(data));
    GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, nullptr);
    std::optional<std::string> version;
    if (reply) {
        GVariant* value = nullptr;
        g_variant_get(reply, "(v)", &value);
        if (value && g_variant_is_of_type(value, G_VARIANT_TYPE_STRING))
            version = g_variant_get_string(value, nullptr);
        if (value)
            g_variant_unref(value);
        g_variant_unref(reply);
    }
    *request->answer = std::move(version);
    DelayedCall::run(*request->record);
}

} // namespace

DBusAgentChannel::DBusAgentChannel(GObjectRef<GDBusConnection> sessionBus) : m_bus(std::move(sessionBus)) { }

DBusAgentChannel::~DBusAgentChannel() = default;

AgentChannel::ClaimOutcome DBusAgentChannel::claim(const std::string& version, Orders orders)
{
    auto state = std::make_shared<ClaimState>(ClaimState{version, std::move(orders), true});
    GErrorPtr error;
    // The object exists before the name does, so whoever sees the name can call it.
    const guint registration = g_dbus_connection_register_object(m_bus.get(), kObjectPath, interfaceInfo(), &kVTable,
        new ClaimStateRef(state), freeClaimState, error.out());
    if (!registration) {
        std::fprintf(stderr, "VelmoraBG: cannot export %s: %s\n", kObjectPath, error.message().c_str());
        return {};
    }
    GVariant* reply = g_dbus_connection_call_sync(m_bus.get(), "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
        "RequestName", g_variant_new("(su)", kBusName, kDoNotQueue), G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, kBusCallMs, nullptr,
        error.out());
    guint32 answer = 0;
    if (reply) {
        g_variant_get(reply, "(u)", &answer);
        g_variant_unref(reply);
    }
    if (answer == kPrimaryOwner || answer == kAlreadyOwner)
        return {ClaimResult::Owned, std::make_unique<DBusClaim>(m_bus.share(), registration, std::move(state))};

    state->active = false;
    g_dbus_connection_unregister_object(m_bus.get(), registration);
    if (!reply) {
        std::fprintf(stderr, "VelmoraBG: cannot claim %s on the session bus: %s\n", kBusName, error.message().c_str());
        return {};
    }
    return {ClaimResult::HeldByAnother, nullptr};
}

NotificationObservation DBusAgentChannel::watch(WatchHandlers handlers)
{
    auto state = std::make_shared<WatchState>(WatchState{std::move(handlers), true});
    const guint id = g_bus_watch_name_on_connection(m_bus.get(), kBusName, G_BUS_NAME_WATCHER_FLAGS_NONE, onNameAppeared,
        onNameVanished, new WatchStateRef(state), freeWatchState);
    return NotificationObservation([state, id] {
        state->active = false;
        g_bus_unwatch_name(id);
    });
}

DelayedCall DBusAgentChannel::requestVersion(VersionHandler handler)
{
    auto request = std::make_unique<VersionRequest>();
    request->record->callback = [handler = std::move(handler), answer = request->answer] { handler(std::move(*answer)); };
    DelayedCall handle(request->record);
    g_dbus_connection_call(m_bus.get(), kBusName, kObjectPath, "org.freedesktop.DBus.Properties", "Get",
        g_variant_new("(ss)", kInterface, "Version"), G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NO_AUTO_START, kBusCallMs, nullptr,
        onVersionReply, request.release());
    return handle;
}

void DBusAgentChannel::callAgent(const char* method)
{
    g_dbus_connection_call(m_bus.get(), kBusName, kObjectPath, kInterface, method, nullptr, nullptr, G_DBUS_CALL_FLAGS_NO_AUTO_START,
        kBusCallMs, nullptr, nullptr, nullptr);
}

void DBusAgentChannel::orderQuit()
{
    callAgent("Quit");
}

void DBusAgentChannel::orderReload()
{
    callAgent("Reload");
}

} // namespace velmora::linux_desktop
