#include "platform/linux/AtspiApplicationToolkits.h"

#include "platform/linux/AtspiApplicationDirectory.h"
#include "platform/linux/AtspiBoundedCalls.h"
#include "platform/linux/AtspiElement.h"
#include "platform/linux/AtspiObjectReads.h"
#include "platform/linux/AtspiTrace.h"
#include "platform/linux/AtspiWindowSystem.h"
#include "platform/linux/GCharPtr.h"
#include "platform/linux/GVariantPtr.h"
#include "platform/linux/QtConventions.h"
#include "platform/linux/TimeBudgets.h"

namespace velmora::linux_desktop {

AtspiApplicationToolkits::AtspiApplicationToolkits(GObjectRef<GDBusConnection> accessibilityBus, AtspiBoundedCalls& calls,
    AtspiObjectReads& reads, AtspiApplicationDirectory& directory, const AtspiWindowSystem& windowSystem)
    : m_bus(std::move(accessibilityBus))
    , m_calls(calls)
    , m_reads(reads)
    , m_directory(directory)
    , m_windowSystem(windowSystem)
{
}

AtspiApplicationToolkits::Toolkit AtspiApplicationToolkits::toolkitOf(const std::string& bus)
{
    if (auto known = m_toolkitByBus.find(bus); known != m_toolkitByBus.end())
        return known->second;
    if (!m_bus || bus.empty())
        return Toolkit::Other;
    // Calls of our own: libatspi's reads of these properties do not keep to
    // the timeout it is given. GTK 3's bridge has no GetAll: one Get each.
    auto property = [&](const char* what, std::string& text) {
        return m_calls.call(bus, what, [&](GErrorPtr& error) {
            GVariantPtr reply(g_dbus_connection_call_sync(m_bus.get(), bus.c_str(), "/org/a11y/atspi/accessible/root",
                "org.freedesktop.DBus.Properties", "Get", g_variant_new("(ss)", "org.a11y.atspi.Application", what),
                G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NO_AUTO_START, kAtspiCallMs, nullptr, error.out()));
            if (!reply)
                return AccessibilityError::CannotComplete;
            GVariant* inner = nullptr;
            g_variant_get(reply.get(), "(v)", &inner);
            GVariantPtr value(inner);
            if (g_variant_is_of_type(value.get(), G_VARIANT_TYPE_STRING))
                text = g_variant_get_string(value.get(), nullptr);
            return AccessibilityError::Success;
        });
    };
    std::string name, version;
    AccessibilityError result = property("ToolkitName", name);
    if (result == AccessibilityError::Success)
        result = property("Version", version);
    // A hung application is asked again once it answers; one that answers
    // without saying is no GTK 4 (which says).
    if (result == AccessibilityError::CannotComplete && m_calls.isHung(bus))
        return Toolkit::Other;
    const Toolkit toolkit = Gtk4Conventions::appliesTo(name, version) ? Toolkit::Gtk4
                            : QtConventions::appliesTo(name)          ? Toolkit::Qt
                                                                      : Toolkit::Other;
    VELMORA_TRACE("%s: toolkit %s %s%s", bus.c_str(), name.c_str(), version.c_str(),
        toolkit == Toolkit::Gtk4 ? " (GTK 4 conventions)" : "");
    m_toolkitByBus[bus] = toolkit;
    return toolkit;
}

std::optional<std::string> AtspiApplicationToolkits::shownNameOf(AtspiAccessible* accessible)
{
    auto name = m_reads.nameOf(accessible);
    if (name && followsGtk4(AtspiElement::busNameOf(accessible)))
        return Gtk4Conventions::plainName(*name);
    return name;
}

Gtk4Conventions::Margin AtspiApplicationToolkits::surfaceMargin(const std::string& bus, AtspiAccessible* any)
{
    if (auto known = m_surfaceMarginByBus.find(bus); known != m_surfaceMarginByBus.end())
        return known->second;
    const Toolkit toolkit = toolkitOf(bus);
    if (toolkit == Toolkit::Other)
        return {};
    // GTK 4's theme follows the library the application loaded, Qt's
    // decoration the platform it runs on: its memory map tells, read once
    // per application (a local file, no call to it).
    bool libadwaita = false, qtOnWayland = false;
    if (const pid_t pid = m_directory.pidForBus(bus, any); pid > 0) {
        gchar* text = nullptr;
        gsize length = 0;
        if (g_file_get_contents(("/proc/" + std::to_string(pid) + "/maps").c_str(), &text, &length, nullptr)) {
            GCharPtr maps(text);
            const std::string_view map(maps.get(), length);
            libadwaita = Gtk4Conventions::mapsLibadwaita(map);
            qtOnWayland = QtConventions::mapsWaylandPlatform(map);
        }
    }
    Gtk4Conventions::Margin margin;
    if (toolkit == Toolkit::Gtk4)
        margin = Gtk4Conventions::waylandSurfaceMargin(libadwaita);
    else if (qtOnWayland && m_windowSystem.qtDrawsDecorations)
        margin = QtConventions::waylandSurfaceMargin();
    VELMORA_TRACE("%s: surface margin %d, %d%s", bus.c_str(), margin.left, margin.top,
        toolkit == Toolkit::Qt ? (qtOnWayland ? " (Qt on Wayland)" : " (Qt on X11)") : libadwaita ? " (libadwaita)" : "");
    m_surfaceMarginByBus[bus] = margin;
    return margin;
}

void AtspiApplicationToolkits::forget(const std::string& bus)
{
    m_toolkitByBus.erase(bus);
    m_surfaceMarginByBus.erase(bus);
}

} // namespace velmora::linux_desktop
