#include "platform/linux/AtspiExtentsReader.h"

#include "platform/linux/AtspiApplicationDirectory.h"
#include "platform/linux/AtspiApplicationToolkits.h"
#include "platform/linux/AtspiBoundedCalls.h"
#include "platform/linux/AtspiElement.h"
#include "platform/linux/AtspiEventReadCache.h"
#include "platform/linux/AtspiObjectReads.h"
#include "platform/linux/AtspiTrace.h"
#include "platform/linux/AtspiTreeWalk.h"
#include "platform/linux/AtspiWindowSystem.h"
#include "platform/linux/X11WindowLocator.h"
#include "platform/linux/XWaylandWindows.h"

#include <string>

namespace velmora::linux_desktop {

namespace {

std::string describe(const AtspiExtentsReader::Origin& origin)
{
    return origin ? std::to_string(origin->first) + ", " + std::to_string(origin->second) : "not found";
}

} // namespace

AtspiExtentsReader::AtspiExtentsReader(AtspiBoundedCalls& calls, AtspiObjectReads& reads, AtspiTreeWalk& tree,
    AtspiApplicationToolkits& toolkits, AtspiApplicationDirectory& directory, AtspiEventReadCache& cache,
    const AtspiWindowSystem& windowSystem)
    : m_calls(calls)
    , m_reads(reads)
    , m_tree(tree)
    , m_toolkits(toolkits)
    , m_directory(directory)
    , m_cache(cache)
    , m_windowSystem(windowSystem)
{
}

AccessibilityError AtspiExtentsReader::extentsOf(AtspiAccessible* accessible, AtspiRect& rect)
{
    if (const auto* read = m_cache.extents.find(accessible)) {
        rect = *read;
        return AccessibilityError::Success;
    }
    const std::string bus = AtspiElement::busNameOf(accessible);
    const bool onX11 = m_windowSystem.x11 != nullptr;
    if (!m_toolkits.followsGtk4(bus)) {
        if (AccessibilityError result = m_reads.rawExtentsOf(accessible, ATSPI_COORD_TYPE_SCREEN, rect); result != AccessibilityError::Success)
            return result;
        // Without X11 these are the window's own (GTK 3's and Qt's), Qt's
        // counted from inside its decoration; but an X client's are the X
        // screen's, placed in its frame.
        if (!onX11 && rect.width >= 0 && rect.height >= 0) {
            if (auto frame = xwaylandFrameOf(accessible)) {
                rect.x -= frame->first;
                rect.y -= frame->second;
            } else {
                const auto margin = m_toolkits.surfaceMargin(bus, accessible);
                rect.x += margin.left;
                rect.y += margin.top;
            }
        }
    } else {
        // GTK 4 answers relative to the window whatever is asked (and warns
        // when asked for the screen): placed through its X window.
        if (AccessibilityError result = m_reads.rawExtentsOf(accessible, ATSPI_COORD_TYPE_WINDOW, rect); result != AccessibilityError::Success)
            return result;
        // Without X11 there is no window position to add: extents stay
        // relative to the window, counted from its surface's corner as other
        // toolkits count them there.
        if (!onX11) {
            const auto margin = m_toolkits.surfaceMargin(bus, accessible);
            if (rect.width >= 0 && rect.height >= 0) {
                rect.x += margin.left;
                rect.y += margin.top;
            }
            m_cache.keep(m_cache.extents, accessible, rect);
            return AccessibilityError::Success;
        }
        auto window = m_tree.windowOf(accessible);
        if (!window)
            return m_calls.hungOr(bus, AccessibilityError::NoValue);
        auto origin = windowOrigin(window.get());
        if (!origin)
            return m_calls.hungOr(bus, AccessibilityError::NoValue);
        if (rect.width >= 0 && rect.height >= 0) {
            rect.x += origin->first;
            rect.y += origin->second;
        }
    }
    m_cache.keep(m_cache.extents, accessible, rect);
    return AccessibilityError::Success;
}

AccessibilityError AtspiExtentsReader::pointForHitTest(AtspiAccessible* start, int& x, int& y, AtspiCoordType& coordinates)
{
    const std::string bus = AtspiElement::busNameOf(start);
    coordinates = ATSPI_COORD_TYPE_SCREEN;
    if (!m_windowSystem.x11) {
        const auto frame = m_toolkits.followsGtk4(bus) ? std::nullopt : xwaylandFrameOf(start);
        const auto margin = frame ? Gtk4Conventions::Margin{} : m_toolkits.surfaceMargin(bus, start);
        x += frame ? frame->first : -margin.left;
        y += frame ? frame->second : -margin.top;
        if (m_toolkits.followsGtk4(bus))
            coordinates = ATSPI_COORD_TYPE_WINDOW;
    } else if (m_toolkits.followsGtk4(bus)) {
        // Asked in its window's terms, as GTK 4 answers.
        auto window = m_tree.windowOf(start);
        auto origin = window ? windowOrigin(window.get()) : std::nullopt;
        if (!origin)
            return m_calls.hungOr(bus, AccessibilityError::NoValue);
        x -= origin->first;
        y -= origin->second;
        coordinates = ATSPI_COORD_TYPE_WINDOW;
    }
    return AccessibilityError::Success;
}

AtspiExtentsReader::Origin AtspiExtentsReader::windowOrigin(AtspiAccessible* window)
{
    if (const auto* read = m_cache.windowOrigins.find(window))
        return *read;
    const std::string bus = AtspiElement::busNameOf(window);
    Origin origin;
    AtspiRect own{};
    auto title = m_reads.nameOf(window);
    const pid_t pid = m_directory.pidForBus(bus, window);
    X11WindowLocator* windows = m_windowSystem.x11;
    if (windows && title && pid > 0 && m_reads.rawExtentsOf(window, ATSPI_COORD_TYPE_WINDOW, own) == AccessibilityError::Success) {
        if (auto client = windows->clientWindowOf(pid, *title)) {
            auto margin = Gtk4Conventions::windowMargin(client->frameExtents, client->width, client->height, own.width, own.height);
            origin = std::make_pair(client->x + margin.left, client->y + margin.top);
        }
    }
    VELMORA_TRACE("window \"%s\" of %s: origin %s", title ? title->c_str() : "?", bus.c_str(), describe(origin).c_str());
    if (!m_calls.isHung(bus))
        m_cache.keep(m_cache.windowOrigins, window, origin);
    return origin;
}

AtspiExtentsReader::Origin AtspiExtentsReader::xwaylandFrameOf(AtspiAccessible* accessible)
{
    if (m_windowSystem.x11 || !m_windowSystem.xwayland)
        return std::nullopt;
    const std::string bus = AtspiElement::busNameOf(accessible);
    const pid_t pid = m_directory.pidForBus(bus, accessible);
    // Asked of the X server first: a Wayland client's windows are never walked.
    auto* windows = m_windowSystem.xwayland->windows();
    if (pid <= 0 || !windows || !windows->listsClientOf(pid))
        return std::nullopt;
    auto window = m_tree.windowOf(accessible);
    if (!window)
        return std::nullopt;
    if (const auto* read = m_cache.frameOrigins.find(window.get()))
        return *read;
    Origin origin;
    auto title = m_reads.nameOf(window.get());
    windows = m_windowSystem.xwayland->windows();
    if (title && windows) {
        if (auto client = windows->clientWindowOf(pid, *title))
            origin = std::make_pair(client->frameX, client->frameY);
    }
    VELMORA_TRACE("X window \"%s\" of %s: frame %s", title ? title->c_str() : "?", bus.c_str(), describe(origin).c_str());
    if (!m_calls.isHung(bus))
        m_cache.keep(m_cache.frameOrigins, window.get(), origin);
    return origin;
}

} // namespace velmora::linux_desktop
