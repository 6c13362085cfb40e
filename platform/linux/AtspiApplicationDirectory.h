#pragma once

#include "platform/AccessibleElement.h"
#include "platform/linux/GObjectRef.h"

#include <atspi/atspi.h>
#include <gio/gio.h>

#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

namespace velmora::linux_desktop {

// The applications on the accessibility bus: bus name <-> process, and each
// one's root object. Refreshed from the registry's list of the desktop's
// children when a lookup misses; process ids come from the bus daemon, never
// from an application, so a hung application still has one.
class AtspiApplicationDirectory {
public:
    // `accessibilityBus` may be null: the directory is then always empty.
    explicit AtspiApplicationDirectory(GObjectRef<GDBusConnection> accessibilityBus);
    AtspiApplicationDirectory(const AtspiApplicationDirectory&) = delete;
    AtspiApplicationDirectory& operator=(const AtspiApplicationDirectory&) = delete;

    struct Record {
        pid_t pid{0};
        GObjectRef<AtspiAccessible> root;
    };

    // The processes with an AT-SPI application now, in bus-name order.
    std::vector<pid_t> pids();
    // A process may have two applications: Qt 6 with GTK's platform theme
    // also starts GTK's own bridge, which has no windows but GTK's file
    // dialogs. `preferredBus` (the active application's) speaks for its
    // process then. Null when the process has none.
    const Record* applicationForPid(pid_t pid, const std::string& preferredBus);
    const Record* find(const std::string& bus) const;
    // The process of `bus`; asked of libatspi through `any` (an object of it)
    // when the registry does not list it; 0 when unknown.
    pid_t pidForBus(const std::string& bus, AtspiAccessible* any);
    // Like pidForBus(), but also for an application that left and whose
    // leaving has not been handled yet.
    pid_t lastPidForBus(const std::string& bus);
    // The application element of `bus`; empty when it is not listed.
    AccessibleElement applicationElement(const std::string& bus) const;

    // The registry announced an application joining: its process, asked of
    // the bus daemon (libatspi may learn of it later than we do); 0 when
    // unknown.
    pid_t joined(const std::string& bus);
    // The registry announced it leaving: its process as it was known, 0 when
    // it never was. It is forgotten.
    pid_t left(const std::string& bus);

private:
    void refresh();

    GObjectRef<GDBusConnection> m_bus;
    std::map<std::string, Record> m_appsByBus;
    // Every application seen, until the registry says it left: a refresh
    // drops a departed application before its leaving is dispatched, and
    // the termination notice still needs its process.
    std::map<std::string, pid_t> m_pidsByBus;
};

} // namespace velmora::linux_desktop
