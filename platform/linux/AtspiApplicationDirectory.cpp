#include "platform/linux/AtspiApplicationDirectory.h"

#include "platform/linux/AtspiElement.h"
#include "platform/linux/GErrorPtr.h"
#include "platform/linux/GVariantPtr.h"
#include "platform/linux/TimeBudgets.h"

namespace velmora::linux_desktop {

AtspiApplicationDirectory::AtspiApplicationDirectory(GObjectRef<GDBusConnection> accessibilityBus)
    : m_bus(std::move(accessibilityBus))
{
}

void AtspiApplicationDirectory::refresh()
{
    auto desktop = GObjectRef<AtspiAccessible>::adopt(atspi_get_desktop(0));
    if (!desktop)
        return;
    GErrorPtr error;
    int count = atspi_accessible_get_child_count(desktop.get(), error.out());
    std::map<std::string, Record> fresh;
    for (int i = 0; i < count; ++i) {
        auto app = GObjectRef<AtspiAccessible>::adopt(atspi_accessible_get_child_at_index(desktop.get(), i, error.out()));
        if (!app)
            continue;
        std::string bus = AtspiElement::busNameOf(app.get());
        auto known = m_appsByBus.find(bus);
        if (known != m_appsByBus.end()) {
            fresh.emplace(bus, Record{known->second.pid, std::move(app)});
            continue;
        }
        // Asked of the bus daemon, not of the application: a hung
        // application still has a process id.
        pid_t pid = static_cast<pid_t>(atspi_accessible_get_process_id(app.get(), error.out()));
        if (pid > 0)
            fresh.emplace(bus, Record{pid, std::move(app)});
    }
    m_appsByBus = std::move(fresh);
    for (const auto& [bus, record] : m_appsByBus)
        m_pidsByBus[bus] = record.pid;
}

std::vector<pid_t> AtspiApplicationDirectory::pids()
{
    if (!m_bus)
        return {};
    refresh();
    std::vector<pid_t> pids;
    for (const auto& [bus, record] : m_appsByBus)
        pids.push_back(record.pid);
    return pids;
}

const AtspiApplicationDirectory::Record* AtspiApplicationDirectory::applicationForPid(pid_t pid, const std::string& preferredBus)
{
    if (!m_bus)
        return nullptr;
    if (auto preferred = m_appsByBus.find(preferredBus); preferred != m_appsByBus.end() && preferred->second.pid == pid)
        return &preferred->second;
    for (int attempt = 0; attempt < 2; ++attempt) {
        for (const auto& [bus, record] : m_appsByBus) {
            if (record.pid == pid)
                return &record;
        }
        if (attempt == 0)
            refresh();
    }
    return nullptr;
}

const AtspiApplicationDirectory::Record* AtspiApplicationDirectory::find(const std::string& bus) const
{
    auto it = m_appsByBus.find(bus);
    return it != m_appsByBus.end() ? &it->second : nullptr;
}

pid_t AtspiApplicationDirectory::pidForBus(const std::string& bus, AtspiAccessible* any)
{
    if (const Record* record = find(bus))
        return record->pid;
    refresh();
    if (const Record* record = find(bus))
        return record->pid;
    GErrorPtr error;
    return any ? static_cast<pid_t>(atspi_accessible_get_process_id(any, error.out())) : 0;
}

pid_t AtspiApplicationDirectory::lastPidForBus(const std::string& bus)
{
    auto it = m_pidsByBus.find(bus);
    return it != m_pidsByBus.end() ? it->second : pidForBus(bus, nullptr);
}

AccessibleElement AtspiApplicationDirectory::applicationElement(const std::string& bus) const
{
    const Record* record = find(bus);
    if (!record)
        return {};
    return AtspiElement::make(record->root.share(), AtspiElement::Kind::Application);
}

pid_t AtspiApplicationDirectory::joined(const std::string& bus)
{
    if (!m_bus)
        return 0;
    GErrorPtr error;
    GVariantPtr reply(g_dbus_connection_call_sync(m_bus.get(), "org.freedesktop.DBus", "/org/freedesktop/DBus",
        "org.freedesktop.DBus", "GetConnectionUnixProcessID", g_variant_new("(s)", bus.c_str()), G_VARIANT_TYPE("(u)"),
        G_DBUS_CALL_FLAGS_NONE, kBusCallMs, nullptr, error.out()));
    if (!reply)
        return 0;
    guint32 pid = 0;
    g_variant_get(reply.get(), "(u)", &pid);
    if (pid > 0)
        m_pidsByBus[bus] = static_cast<pid_t>(pid);
    return static_cast<pid_t>(pid);
}

pid_t AtspiApplicationDirectory::left(const std::string& bus)
{
    pid_t pid = 0;
    if (auto known = m_pidsByBus.find(bus); known != m_pidsByBus.end()) {
        pid = known->second;
        m_pidsByBus.erase(known);
    }
    m_appsByBus.erase(bus);
    return pid;
}

} // namespace velmora::linux_desktop
