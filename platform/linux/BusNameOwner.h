#pragma once

#include "platform/linux/GObjectRef.h"

#include <gio/gio.h>

#include <string>

namespace velmora::linux_desktop {

// Whether a name is owned on the bus now: one call to the bus daemon,
// bounded by kBusCallMs. False when the bus does not answer.
bool busNameHasOwner(GDBusConnection* bus, const char* name);

// The shared connection to the session bus, as g_bus_get_sync() gives it, but
// never waiting longer than `timeoutMs`: a bus daemon that accepts the socket
// and never answers the handshake would otherwise hold the program for good.
// Null, with `error` set, when it fails or runs out of time.
GObjectRef<GDBusConnection> sessionBusWithin(int timeoutMs, std::string& error);
// A private connection to the bus at `address` (the accessibility bus), the
// same way bounded.
GObjectRef<GDBusConnection> busAtAddressWithin(const std::string& address, int timeoutMs, std::string& error);

} // namespace velmora::linux_desktop
