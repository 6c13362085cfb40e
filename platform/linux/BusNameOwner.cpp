#include "platform/linux/BusNameOwner.h"

#include "platform/linux/GErrorPtr.h"
#include "platform/linux/TimeBudgets.h"

namespace velmora::linux_desktop {

bool busNameHasOwner(GDBusConnection* bus, const char* name)
{
    if (!bus)
        return false;
    GErrorPtr error;
    GVariant* reply = g_dbus_connection_call_sync(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                  "org.freedesktop.DBus", "NameHasOwner", g_variant_new("(s)", name),
                                                  G_VARIANT_TYPE("(b)"), G_DBUS_CALL_FLAGS_NONE, kBusCallMs, nullptr,
                                                  error.out());
    gboolean owned = FALSE;
    if (reply) {
        g_variant_get(reply, "(b)", &owned);
        g_variant_unref(reply);
    }
    return owned;
}

} // namespace velmora::linux_desktop
