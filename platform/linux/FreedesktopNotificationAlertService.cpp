#include "platform/linux/FreedesktopNotificationAlertService.h"

#include "platform/linux/GCharPtr.h"
#include "platform/linux/TimeBudgets.h"

#include <algorithm>
#include <charconv>
#include <utility>

namespace velmora::linux_desktop {

namespace {

constexpr const char* kObjectPath = "/org/freedesktop/Notifications";
constexpr const char* kDefaultActionKey = "default";
// The server's value for "as the server likes" and for "until closed".
constexpr gint32 kServerExpiry = -1;
constexpr gint32 kNeverExpires = 0;
// The urgency hint's values.
constexpr guchar kNormalUrgency = 1;
constexpr guchar kCriticalUrgency = 2;

// The button an action key names: "default" is the first, otherwise the
// decimal index the key was made from; nothing for a key we never gave.
std::optional<size_t> buttonOfAction(const std::string& key, size_t buttonCount)
{
    if (key == kDefaultActionKey)
        return 0;
    size_t index = 0;
    const auto [end, error] = std::from_chars(key.data(), key.data() + key.size(), index);
    if (error != std::errc() || end != key.data() + key.size() || key.empty() || index >= buttonCount)
        return std::nullopt;
    return index;
}

// Unsubscribes a signal subscription when the scope ends.
class Subscription {
public:
    Subscription(GDBusConnection* bus, guint id) : m_bus(bus), m_id(id) { }
    Subscription(const Subscription&) = delete;
    Subscription& operator=(const Subscription&) = delete;
    ~Subscription() { g_dbus_connection_signal_unsubscribe(m_bus, m_id); }

private:
    GDBusConnection* m_bus; // borrowed: outlives the subscription
    guint m_id;
};

} // namespace

FreedesktopNotificationAlertService::FreedesktopNotificationAlertService(GObjectRef<GDBusConnection> sessionBus, Sender sender)
    : m_bus(std::move(sessionBus))
    , m_sender(std::move(sender))
{
}

FreedesktopNotificationAlertService::Outcome FreedesktopNotificationAlertService::present(const Alert& alert)
{
    if (m_running || alert.buttons.empty() || !m_bus)
        return {};
    m_running = true;
    m_aborted = false;
    m_server.clear();
    m_id.reset();
    m_early.clear();
    m_closed = false;
    m_answer.reset();
    m_buttonCount = alert.buttons.size();
    m_context = g_main_context_ref_thread_default();
    const Outcome outcome = show(alert);
    g_main_context_unref(std::exchange(m_context, nullptr));
    m_running = false;
    return outcome;
}

FreedesktopNotificationAlertService::Outcome FreedesktopNotificationAlertService::show(const Alert& alert)
{
    // Everything goes to the one server that owns the name now, by its
    // unique name, so that its signals can be told from anyone else's.
    auto server = findServer();
    if (!server)
        return {};
    m_server = std::move(*server);

    const auto offered = capabilities();
    if (!offered || m_aborted)
        return {};
    const auto has = [&](const char* capability) {
        return std::find(offered->begin(), offered->end(), capability) != offered->end();
    };
    // A question without its buttons cannot be answered; information can.
    if (alert.buttons.size() > 1 && !has("actions"))
        return {};

    const Subscription serverSignals(m_bus.get(),
        g_dbus_connection_signal_subscribe(m_bus.get(), m_server.c_str(), kBusName, nullptr, kObjectPath, nullptr,
            G_DBUS_SIGNAL_FLAGS_NONE, &FreedesktopNotificationAlertService::onServerSignal, this, nullptr));
    // A server that goes away never answers: the alert ends unanswered.
    const Subscription serverGone(m_bus.get(),
        g_dbus_connection_signal_subscribe(m_bus.get(), "org.freedesktop.DBus", "org.freedesktop.DBus", "NameOwnerChanged",
            "/org/freedesktop/DBus", kBusName, G_DBUS_SIGNAL_FLAGS_NONE,
            &FreedesktopNotificationAlertService::onNameOwnerChanged, this, nullptr));

    // Not abortable: once sent, the notification may be on screen, and only
    // its id lets it be closed again.
    GVariant* reply = call(m_server.c_str(), kObjectPath, kBusName, "Notify", notifyParameters(alert, has("body-markup")),
        G_VARIANT_TYPE("(u)"), Abortable::No);
    if (!reply)
        return {};
    std::uint32_t id = 0;
    g_variant_get(reply, "(u)", &id);
    g_variant_unref(reply);
    m_id = id;
    for (const auto& event : std::exchange(m_early, {}))
        take(event);

    while (!m_answer && !m_closed && !m_aborted)
        g_main_context_iteration(m_context, TRUE);
    if (m_aborted) {
        if (!m_closed)
            closeNotification(id);
        return {Delivery::Shown, std::nullopt};
    }
    return {Delivery::Shown, m_answer};
}

std::optional<std::string> FreedesktopNotificationAlertService::findServer()
{
    const auto owner = [this]() -> std::optional<std::string> {
        GVariant* reply = callBus("GetNameOwner", g_variant_new("(s)", kBusName), G_VARIANT_TYPE("(s)"));
        if (!reply)
            return std::nullopt;
        const gchar* unique = nullptr;
        g_variant_get(reply, "(&s)", &unique);
        std::string name = unique;
        g_variant_unref(reply);
        return name;
    };
    if (auto found = owner())
        return found;
    // dunst, xfce4-notifyd and others are started by the bus at the first
    // notification, not at login: a name nobody owns yet may still be served.
    GVariant* activatable = callBus("ListActivatableNames", nullptr, G_VARIANT_TYPE("(as)"));
    if (!activatable)
        return std::nullopt;
    GVariant* names = g_variant_get_child_value(activatable, 0);
    gsize count = 0;
    const gchar** list = g_variant_get_strv(names, &count);
    const bool startable = std::any_of(list, list + count, [](const gchar* name) { return g_strcmp0(name, kBusName) == 0; });
    g_free(list);
    g_variant_unref(names);
    g_variant_unref(activatable);
    if (!startable)
        return std::nullopt;
    GVariant* started = callBus("StartServiceByName", g_variant_new("(su)", kBusName, 0u), G_VARIANT_TYPE("(u)"));
    if (!started)
        return std::nullopt;
    g_variant_unref(started);
    return owner();
}

GVariant* FreedesktopNotificationAlertService::callBus(const char* method, GVariant* parameters, const GVariantType* replyType)
{
    return call("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", method, parameters, replyType, Abortable::Yes);
}

GVariant* FreedesktopNotificationAlertService::call(const char* destination, const char* path, const char* interface,
    const char* method, GVariant* parameters, const GVariantType* replyType, Abortable abortable)
{
    struct Reply {
        GVariant* value{nullptr}; // owned until returned
        bool done{false};
    } reply;
    GCancellable* cancellable = g_cancellable_new();
    g_dbus_connection_call(m_bus.get(), destination, path, interface, method, parameters, replyType, G_DBUS_CALL_FLAGS_NONE,
        kNotificationCallMs, cancellable,
        [](GObject* bus, GAsyncResult* result, gpointer data) {
            auto* r = static_cast<Reply*>(data);
            r->value = g_dbus_connection_call_finish(G_DBUS_CONNECTION(bus), result, nullptr);
            r->done = true;
        },
        &reply);
    while (!reply.done && !(abortable == Abortable::Yes && m_aborted))
        g_main_context_iteration(m_context, TRUE);
    if (!reply.done) {
        // The callback holds `reply`: it must have run before this returns.
        g_cancellable_cancel(cancellable);
        while (!reply.done)
            g_main_context_iteration(m_context, TRUE);
    }
    g_object_unref(cancellable);
    if (reply.value && abortable == Abortable::Yes && m_aborted) {
        g_variant_unref(reply.value);
        return nullptr;
    }
    return reply.value;
}

std::optional<std::vector<std::string>> FreedesktopNotificationAlertService::capabilities()
{
    GVariant* reply = call(m_server.c_str(), kObjectPath, kBusName, "GetCapabilities", nullptr, G_VARIANT_TYPE("(as)"),
        Abortable::Yes);
    if (!reply)
        return std::nullopt;
    std::vector<std::string> offered;
    GVariantIter* iter = nullptr;
    g_variant_get(reply, "(as)", &iter);
    const gchar* capability = nullptr;
    while (g_variant_iter_next(iter, "&s", &capability))
        offered.emplace_back(capability);
    g_variant_iter_free(iter);
    g_variant_unref(reply);
    return offered;
}

GVariant* FreedesktopNotificationAlertService::notifyParameters(const Alert& alert, bool markup) const
{
    std::string body = alert.message;
    // A feed's text must show as written, not become a link or bold.
    if (markup)
        body = GCharPtr(g_markup_escape_text(body.c_str(), static_cast<gssize>(body.size()))).str();

    GVariantBuilder actions;
    g_variant_builder_init(&actions, G_VARIANT_TYPE("as"));
    // Clicking the notification itself is the first (default) button, as
    // Return is in a dialog; servers show it as no button of its own.
    g_variant_builder_add(&actions, "s", kDefaultActionKey);
    g_variant_builder_add(&actions, "s", alert.buttons[0].c_str());
    for (size_t i = 0; i < alert.buttons.size(); ++i) {
        g_variant_builder_add(&actions, "s", std::to_string(i).c_str());
        g_variant_builder_add(&actions, "s", alert.buttons[i].c_str());
    }

    GVariantBuilder hints;
    g_variant_builder_init(&hints, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&hints, "{sv}", "urgency",
        g_variant_new_byte(alert.style == AlertStyle::Critical ? kCriticalUrgency : kNormalUrgency));
    if (!m_sender.desktopEntry.empty())
        g_variant_builder_add(&hints, "{sv}", "desktop-entry", g_variant_new_string(m_sender.desktopEntry.c_str()));

    // A question waits for its answer as a dialog would; information may go
    // when the server sees fit.
    const gint32 expiry = alert.buttons.size() > 1 ? kNeverExpires : kServerExpiry;
    return g_variant_new("(susssasa{sv}i)", m_sender.appName.c_str(), 0u, m_sender.iconName.c_str(), alert.title.c_str(),
        body.c_str(), &actions, &hints, expiry);
}

void FreedesktopNotificationAlertService::take(const ServerEvent& event)
{
    if (!m_id) {
        m_early.push_back(event);
        return;
    }
    if (event.id != *m_id || m_answer || m_closed)
        return;
    if (!event.actionKey) {
        m_closed = true;
        return;
    }
    // A key we never gave answers nothing; the closing that follows does.
    m_answer = buttonOfAction(*event.actionKey, m_buttonCount);
}

void FreedesktopNotificationAlertService::closeNotification(std::uint32_t id)
{
    // No callback: the message is sent without waiting for a reply, so a
    // server that has stopped answering cannot hold the agent here.
    g_dbus_connection_call(m_bus.get(), m_server.c_str(), kObjectPath, kBusName, "CloseNotification", g_variant_new("(u)", id),
        nullptr, G_DBUS_CALL_FLAGS_NONE, kNotificationCallMs, nullptr, nullptr, nullptr);
}

void FreedesktopNotificationAlertService::abortModal()
{
    if (!m_running)
        return;
    m_aborted = true;
    g_main_context_wakeup(m_context);
}

// static
void FreedesktopNotificationAlertService::onServerSignal(GDBusConnection*, const gchar* sender, const gchar*, const gchar*,
    const gchar* signal, GVariant* parameters, gpointer data)
{
    auto* self = static_cast<FreedesktopNotificationAlertService*>(data);
    // The subscription names the sender already; the bus daemon stamps it.
    if (!sender || self->m_server != sender)
        return;
    ServerEvent event;
    if (g_strcmp0(signal, "ActionInvoked") == 0 && g_variant_is_of_type(parameters, G_VARIANT_TYPE("(us)"))) {
        const gchar* key = nullptr;
        g_variant_get(parameters, "(u&s)", &event.id, &key);
        event.actionKey = key;
    } else if (g_strcmp0(signal, "NotificationClosed") == 0 && g_variant_is_of_type(parameters, G_VARIANT_TYPE("(uu)"))) {
        guint32 reason = 0;
        g_variant_get(parameters, "(uu)", &event.id, &reason);
    } else {
        return;
    }
    self->take(event);
}

// static
void FreedesktopNotificationAlertService::onNameOwnerChanged(GDBusConnection*, const gchar*, const gchar*, const gchar*,
    const gchar*, GVariant* parameters, gpointer data)
{
    auto* self = static_cast<FreedesktopNotificationAlertService*>(data);
    const gchar* name = nullptr;
    const gchar* oldOwner = nullptr;
    const gchar* newOwner = nullptr;
    if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(sss)")))
        return;
    g_variant_get(parameters, "(&s&s&s)", &name, &oldOwner, &newOwner);
    if (self->m_server == oldOwner)
        self->m_closed = true;
}

} // namespace velmora::linux_desktop
