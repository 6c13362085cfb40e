#include "platform/linux/AtspiBusStatus.h"

#include "platform/linux/GErrorPtr.h"
#include "platform/linux/GObjectRef.h"
#include "platform/linux/GVariantPtr.h"
#include "platform/linux/TimeBudgets.h"

namespace velmora::linux_desktop {

// static
std::string AtspiBusStatus::address(GDBusConnection* sessionBus)
{
    GErrorPtr error;
    GVariantPtr reply(g_dbus_connection_call_sync(sessionBus, "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress",
        nullptr, G_VARIANT_TYPE("(s)"), G_DBUS_CALL_FLAGS_NONE, kBusCallMs, nullptr, error.out()));
    if (!reply)
        return {};
    const gchar* address = nullptr;
    g_variant_get(reply.get(), "(&s)", &address);
    return address ? address : "";
}

// static
bool AtspiBusStatus::isEnabled(GDBusConnection* sessionBus)
{
    if (!sessionBus)
        return false;
    GErrorPtr error;
    GVariantPtr reply(g_dbus_connection_call_sync(sessionBus, "org.a11y.Bus", "/org/a11y/bus", "org.freedesktop.DBus.Properties",
        "Get", g_variant_new("(ss)", "org.a11y.Status", "IsEnabled"), G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NO_AUTO_START,
        kBusCallMs, nullptr, error.out()));
    bool enabled = false;
    if (reply) {
        GVariant* inner = nullptr;
        g_variant_get(reply.get(), "(v)", &inner);
        GVariantPtr value(inner);
        enabled = g_variant_is_of_type(value.get(), G_VARIANT_TYPE_BOOLEAN) && g_variant_get_boolean(value.get());
    }
    if (enabled)
        return true;
    // GNOME keeps the same switch as a setting of its own; read it only where
    // its schema is installed (asking for a missing schema aborts).
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    GSettingsSchema* schema = source ? g_settings_schema_source_lookup(source, "org.gnome.desktop.interface", TRUE) : nullptr;
    if (!schema)
        return false;
    const bool hasKey = g_settings_schema_has_key(schema, "toolkit-accessibility");
    g_settings_schema_unref(schema);
    if (!hasKey)
        return false;
    auto settings = GObjectRef<GSettings>::adopt(g_settings_new("org.gnome.desktop.interface"));
    return g_settings_get_boolean(settings.get(), "toolkit-accessibility");
}

} // namespace velmora::linux_desktop
