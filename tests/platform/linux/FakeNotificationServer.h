#pragma once

// A notification server (org.freedesktop.Notifications) on the private
// session bus, in the test's own process: it records what it is sent and
// sends the signals a test asks for. Its calls are served from the main
// context, as the alert service's own loop iterates it.

#include "platform/linux/BusNameOwner.h"
#include "platform/linux/GErrorPtr.h"
#include "platform/linux/GObjectRef.h"
#include "platform/linux/TimeBudgets.h"

#include <gtest/gtest.h>

#include <gio/gio.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace velmora::linux_desktop::testing {

// A connection of its own to the private session bus: a second client.
inline GObjectRef<GDBusConnection> newSessionConnection()
{
    std::string error;
    auto bus = busAtAddressWithin(g_getenv("DBUS_SESSION_BUS_ADDRESS") ? g_getenv("DBUS_SESSION_BUS_ADDRESS") : "",
        kSessionBusConnectMs, error);
    if (!bus)
        ADD_FAILURE() << "no private session bus (run through run-desktop-tests.sh): " << error;
    return bus;
}

inline void emitNotificationSignal(GDBusConnection* from, const char* signal, GVariant* parameters)
{
    g_dbus_connection_emit_signal(from, nullptr, "/org/freedesktop/Notifications", "org.freedesktop.Notifications", signal,
        parameters, nullptr);
}

struct FakeNotificationServerOptions {
    std::vector<std::string> capabilities{"actions", "body", "body-markup"};
    bool answersNotify{true};
    // onNotify runs before the id is sent back, as a server may send a
    // signal before its reply.
    bool signalsBeforeReplying{false};
};

class FakeNotificationServer {
public:
    using Options = FakeNotificationServerOptions;
    struct Received {
        std::uint32_t id{0};
        std::string appName;
        std::string icon;
        std::string summary;
        std::string body;
        std::vector<std::string> actions;
        std::optional<guchar> urgency;
        std::string desktopEntry;
        gint32 expiry{0};
    };
    // The first id it gives: not 1, so that an id made up elsewhere is unlikely to match.
    static constexpr std::uint32_t kFirstId = 41;

    explicit FakeNotificationServer(Options options = {}) : m_options(std::move(options))
    {
        m_bus = newSessionConnection();
        if (!m_bus)
            return;
        static const char* const kInterface = R"(<node><interface name="org.freedesktop.Notifications">
            <method name="GetCapabilities"><arg direction="out" type="as"/></method>
            <method name="Notify"><arg type="s"/><arg type="u"/><arg type="s"/><arg type="s"/><arg type="s"/>
              <arg type="as"/><arg type="a{sv}"/><arg type="i"/><arg direction="out" type="u"/></method>
            <method name="CloseNotification"><arg type="u"/></method>
            <signal name="ActionInvoked"><arg type="u"/><arg type="s"/></signal>
            <signal name="NotificationClosed"><arg type="u"/><arg type="u"/></signal>
            </interface></node>)";
        GErrorPtr error;
        GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kInterface, error.out());
        static const GDBusInterfaceVTable vtable{&FakeNotificationServer::onMethodCall, nullptr, nullptr, {}};
        m_registration = g_dbus_connection_register_object(m_bus.get(), "/org/freedesktop/Notifications",
            node->interfaces[0], &vtable, this, nullptr, error.out());
        g_dbus_node_info_unref(node);
        EXPECT_NE(m_registration, 0u) << error.message();
        GVariant* reply = g_dbus_connection_call_sync(m_bus.get(), "org.freedesktop.DBus", "/org/freedesktop/DBus",
            "org.freedesktop.DBus", "RequestName", g_variant_new("(su)", "org.freedesktop.Notifications", 4u /* no queue */),
            G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, kBusCallMs, nullptr, error.out());
        guint32 result = 0;
        if (reply) {
            g_variant_get(reply, "(u)", &result);
            g_variant_unref(reply);
        }
        m_owned = result == 1; // the primary owner
        EXPECT_TRUE(m_owned) << "the fake notification server could not take its name " << error.message();
    }

    ~FakeNotificationServer()
    {
        answerHeldCalls();
        vanish();
        if (m_registration)
            g_dbus_connection_unregister_object(m_bus.get(), m_registration);
    }
    FakeNotificationServer(const FakeNotificationServer&) = delete;
    FakeNotificationServer& operator=(const FakeNotificationServer&) = delete;

    bool isReady() const { return m_owned; }
    const std::vector<Received>& received() const { return m_received; }
    const std::vector<std::uint32_t>& closeRequests() const { return m_closeRequests; }
    GDBusConnection* connection() const { return m_bus.get(); }
    // Run for each notification, once its id is sent back (see Options).
    std::function<void(const Received&)> onNotify;

    void invokeAction(std::uint32_t id, const std::string& key)
    {
        emitNotificationSignal(m_bus.get(), "ActionInvoked", g_variant_new("(us)", id, key.c_str()));
    }
    // Reason 2: dismissed by the user.
    void closeByUser(std::uint32_t id) { emitNotificationSignal(m_bus.get(), "NotificationClosed", g_variant_new("(uu)", id, 2u)); }

    // Fails the calls it has held unanswered (Options::answersNotify).
    void answerHeldCalls()
    {
        for (GDBusMethodInvocation* invocation : std::exchange(m_unanswered, {}))
            g_dbus_method_invocation_return_dbus_error(invocation, "org.example.Error.Late", "answered late");
    }

    // Gives its name up, as a server that quits.
    void vanish()
    {
        if (!m_owned)
            return;
        m_owned = false;
        GVariant* reply = g_dbus_connection_call_sync(m_bus.get(), "org.freedesktop.DBus", "/org/freedesktop/DBus",
            "org.freedesktop.DBus", "ReleaseName", g_variant_new("(s)", "org.freedesktop.Notifications"), nullptr,
            G_DBUS_CALL_FLAGS_NONE, kBusCallMs, nullptr, nullptr);
        if (reply)
            g_variant_unref(reply);
    }

private:
    static void onMethodCall(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
        GVariant* parameters, GDBusMethodInvocation* invocation, gpointer data)
    {
        auto* self = static_cast<FakeNotificationServer*>(data);
        if (g_strcmp0(method, "GetCapabilities") == 0) {
            GVariantBuilder list;
            g_variant_builder_init(&list, G_VARIANT_TYPE("as"));
            for (const auto& capability : self->m_options.capabilities)
                g_variant_builder_add(&list, "s", capability.c_str());
            g_dbus_method_invocation_return_value(invocation, g_variant_new("(as)", &list));
        } else if (g_strcmp0(method, "Notify") == 0) {
            Received notification = parse(parameters);
            if (!self->m_options.answersNotify) {
                self->m_unanswered.push_back(invocation);
                self->m_received.push_back(notification);
                return;
            }
            notification.id = self->m_nextId++;
            self->m_received.push_back(notification);
            if (self->onNotify && self->m_options.signalsBeforeReplying)
                self->onNotify(notification);
            g_dbus_method_invocation_return_value(invocation, g_variant_new("(u)", notification.id));
            if (self->onNotify && !self->m_options.signalsBeforeReplying)
                self->onNotify(notification);
        } else if (g_strcmp0(method, "CloseNotification") == 0) {
            guint32 id = 0;
            g_variant_get(parameters, "(u)", &id);
            self->m_closeRequests.push_back(id);
            g_dbus_method_invocation_return_value(invocation, nullptr);
            // Reason 3: closed by CloseNotification.
            emitNotificationSignal(self->m_bus.get(), "NotificationClosed", g_variant_new("(uu)", id, 3u));
        }
    }

    static Received parse(GVariant* parameters)
    {
        Received r;
        const gchar *appName, *icon, *summary, *body;
        guint32 replaces = 0;
        GVariantIter* actions = nullptr;
        GVariant* hints = nullptr;
        g_variant_get(parameters, "(&su&s&s&sas@a{sv}i)", &appName, &replaces, &icon, &summary, &body, &actions, &hints, &r.expiry);
        r.appName = appName;
        r.icon = icon;
        r.summary = summary;
        r.body = body;
        const gchar* action = nullptr;
        while (g_variant_iter_next(actions, "&s", &action))
            r.actions.emplace_back(action);
        g_variant_iter_free(actions);
        guchar urgency = 0;
        if (g_variant_lookup(hints, "urgency", "y", &urgency))
            r.urgency = urgency;
        const gchar* entry = nullptr;
        if (g_variant_lookup(hints, "desktop-entry", "&s", &entry))
            r.desktopEntry = entry;
        g_variant_unref(hints);
        return r;
    }

    Options m_options;
    GObjectRef<GDBusConnection> m_bus;
    guint m_registration{0};
    bool m_owned{false};
    std::uint32_t m_nextId{kFirstId};
    std::vector<Received> m_received;
    std::vector<std::uint32_t> m_closeRequests;
    std::vector<GDBusMethodInvocation*> m_unanswered; // owned: a reference each, until answered
};

} // namespace velmora::linux_desktop::testing
