#pragma once

#include <gio/gio.h>

namespace velmora::linux_desktop {

// Whether a name is owned on the bus now: one call to the bus daemon,
// bounded by kBusCallMs. False when the bus does not answer.
bool busNameHasOwner(GDBusConnection* bus, const char* name);

} // namespace velmora::linux_desktop
