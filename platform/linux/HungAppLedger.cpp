#include "platform/linux/HungAppLedger.h"

#include "platform/linux/GErrorPtr.h"
#include "platform/linux/TimeBudgets.h"

#include <set>

namespace velmora::linux_desktop {

struct HungAppLedger::State {
    GObjectRef<GDBusConnection> bus;
    GObjectRef<GCancellable> cancellable;
    std::set<std::string> hung;
    int pings{0};
    std::function<void(const std::string&)> onRecovered;
};

// What a ping in flight knows; it outlives the ledger when the ledger goes
// first (the cancelled call still completes), hence the weak reference.
struct HungAppLedger::PingContext {
    std::weak_ptr<State> state;
    std::string busName;
};

HungAppLedger::HungAppLedger(GObjectRef<GDBusConnection> bus) : m_state(std::make_shared<State>())
{
    m_state->bus = std::move(bus);
    m_state->cancellable = GObjectRef<GCancellable>::adopt(g_cancellable_new());
}

HungAppLedger::~HungAppLedger()
{
    g_cancellable_cancel(m_state->cancellable.get());
}

bool HungAppLedger::isHung(const std::string& busName) const
{
    return !busName.empty() && m_state->hung.count(busName) > 0;
}

void HungAppLedger::markHung(const std::string& busName)
{
    if (busName.empty() || !m_state->hung.insert(busName).second)
        return;
    sendPing(m_state, busName);
}

void HungAppLedger::forget(const std::string& busName)
{
    m_state->hung.erase(busName);
}

size_t HungAppLedger::hungCount() const
{
    return m_state->hung.size();
}

int HungAppLedger::pingCount() const
{
    return m_state->pings;
}

// static
void HungAppLedger::sendPing(const std::shared_ptr<State>& state, const std::string& busName)
{
    if (!state->bus)
        return;
    ++state->pings;
    g_dbus_connection_call(state->bus.get(), busName.c_str(), "/", "org.freedesktop.DBus.Peer", "Ping", nullptr, nullptr,
        G_DBUS_CALL_FLAGS_NO_AUTO_START, kPingTimeoutMs, state->cancellable.get(), &HungAppLedger::onPingDone,
        new PingContext{state, busName});
}

// static
void HungAppLedger::onPingDone(GObject* source, GAsyncResult* result, gpointer data)
{
    std::unique_ptr<PingContext> context(static_cast<PingContext*>(data));
    GErrorPtr error;
    GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, error.out());
    if (reply)
        g_variant_unref(reply);
    auto state = context->state.lock();
    if (!state || error.matches(G_IO_ERROR, G_IO_ERROR_CANCELLED) || !state->hung.count(context->busName))
        return;
    if (error.matches(G_IO_ERROR, G_IO_ERROR_TIMED_OUT) || error.matches(G_DBUS_ERROR, G_DBUS_ERROR_NO_REPLY)) {
        sendPing(state, context->busName);
        return;
    }
    // An answer, or a bus that no longer knows the name: either way nothing
    // is left to wait for.
    state->hung.erase(context->busName);
    if (!error && state->onRecovered) {
        auto handler = state->onRecovered;
        handler(context->busName);
    }
}

void HungAppLedger::setRecoveryHandler(std::function<void(const std::string& busName)> handler)
{
    m_state->onRecovered = std::move(handler);
}

} // namespace velmora::linux_desktop
