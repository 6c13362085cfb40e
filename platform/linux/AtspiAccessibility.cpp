#include "platform/linux/AtspiAccessibility.h"

#include "platform/linux/AtspiObserver.h"
#include "platform/linux/AtspiRoleMap.h"
#include "platform/linux/GCharPtr.h"
#include "platform/linux/Gtk4Conventions.h"
#include "platform/linux/QtConventions.h"
#include "platform/linux/TimeBudgets.h"
#include "platform/linux/SurfaceLocator.h"
#include "platform/linux/X11WindowLocator.h"
#include "platform/linux/XWaylandWindows.h"

#include <libintl.h>

#include <algorithm>
#include <array>

namespace velmora::linux_desktop {

namespace {

// What the backend sees and does, for following a snap that did not happen:
// G_MESSAGES_DEBUG=velmora-atspi prints it. Switched off, its arguments
// (some build strings) are not even evaluated on the agent's event path.
#define VELMORA_TRACE(...)                                                                   \
    do {                                                                                     \
        if (!g_log_writer_default_would_drop(G_LOG_LEVEL_DEBUG, "velmora-atspi"))           \
            g_log("velmora-atspi", G_LOG_LEVEL_DEBUG, __VA_ARGS__);                         \
    } while (0)

// Deeper than any dialog's layout nesting; bounds the cost of a pathological tree.
constexpr int kMaxLayoutDepth = 8;
// How far an element-at-point search descends.
constexpr int kMaxPointDepth = 32;
// At most this many buttons are compared by label for the cancel button.
constexpr int kMaxButtons = 64;

// GTK 4 announces a dialog taking the focus only by its active state.
constexpr std::array<const char*, 8> kEventTypes = {
    "window:activate", "window:deactivate", "window:create", "window:destroy",
    "window:minimize", "window:restore", "object:state-changed:focused", "object:state-changed:active",
};

// Events listened to only so that libatspi keeps its cache of names and
// states current (it answers those reads from the cache, and updates it from
// the events it receives): a button enabled after its dialog opened must not
// read as disabled. The dispatch ignores them.
constexpr std::array<const char*, 6> kCacheEventTypes = {
    "object:state-changed:sensitive", "object:state-changed:enabled", "object:state-changed:iconified",
    "object:state-changed:showing", "object:state-changed:defunct", "object:property-change:accessible-name",
};

bool isDispatched(const char* type)
{
    return type && std::any_of(kEventTypes.begin(), kEventTypes.end(), [type](const char* t) { return g_strcmp0(t, type) == 0; });
}

// libatspi's error domain and codes; its public headers do not name them.
GQuark atspiErrorDomain()
{
    return g_quark_from_static_string("atspi_error");
}
constexpr int kAtspiErrorApplicationGone = 0;
constexpr int kAtspiErrorIpc = 1;

GQuark roleQuark()
{
    static GQuark quark = g_quark_from_static_string("velmora-role");
    return quark;
}

GQuark interfacesQuark()
{
    static GQuark quark = g_quark_from_static_string("velmora-interfaces");
    return quark;
}
constexpr unsigned kInterfacesKnown = 1u;
constexpr unsigned kHasComponent = 2u;
constexpr unsigned kHasCollection = 4u;

template <typename T>
const T* readThisEvent(const std::vector<std::pair<GObjectRef<AtspiAccessible>, T>>& reads, AtspiAccessible* accessible)
{
    for (const auto& [object, value] : reads) {
        if (object.get() == accessible)
            return &value;
    }
    return nullptr;
}

struct StateSetRef {
    GObjectRef<AtspiStateSet> set;
    bool has(AtspiStateType state) const { return set && atspi_state_set_contains(set.get(), state); }
};

struct ArrayDeleter {
    void operator()(GArray* array) const { g_array_unref(array); }
};
using GArrayPtr = std::unique_ptr<GArray, ArrayDeleter>;

// A toolkit's label of a button without its mnemonic marker, folded for comparison.
std::string foldLabel(const std::string& label)
{
    std::string plain;
    for (char c : label) {
        if (c != '_')
            plain += c;
    }
    GCharPtr folded(g_utf8_casefold(plain.c_str(), -1));
    return folded.str();
}

// The labels toolkits give the button that declines, in the user's language
// and in English (the label of a program without translations).
const std::vector<std::string>& cancelLabels()
{
    static const std::vector<std::string> labels = [] {
        std::vector<std::string> out;
        for (const char* label : {"_Cancel", "_No", "_Close"}) {
            out.push_back(foldLabel(dgettext("gtk30", label)));
            out.push_back(foldLabel(dgettext("gtk40", label)));
            out.push_back(foldLabel(label));
        }
        return out;
    }();
    return labels;
}

bool declines(const std::string& label)
{
    const auto& labels = cancelLabels();
    return std::find(labels.begin(), labels.end(), foldLabel(label)) != labels.end();
}

AXValue elementArray(const std::vector<GObjectRef<AtspiAccessible>>& list)
{
    AXValue::Array array;
    for (const auto& item : list)
        array.push_back(AtspiElement::make(item.share()));
    return AXValue(std::move(array));
}

} // namespace

AtspiAccessibility::AtspiAccessibility(Buses buses, X11WindowLocator* windows, XWaylandWindows* xwayland)
    : m_buses(std::move(buses))
    , m_windows(windows)
    , m_xwayland(xwayland)
    , m_ledger(m_buses.accessibility.share())
{
    // While an application was frozen its focus changes could not be acted
    // on: once it answers again, its active window is announced anew.
    m_ledger.setRecoveryHandler([this](const std::string& bus) {
        VELMORA_TRACE("%s answers again", bus.c_str());
        if (m_activeWindow && m_activeBus == bus)
            enqueue({"window:activate", m_activeWindow.share(), 0, bus});
    });
    // Without the accessibility bus libatspi cannot start: it is not touched.
    if (m_buses.accessibility) {
        m_listener = GObjectRef<AtspiEventListener>::adopt(atspi_event_listener_new(&AtspiAccessibility::onEvent, this, nullptr));
        for (const char* type : kEventTypes)
            atspi_event_listener_register(m_listener.get(), type, nullptr);
        for (const char* type : kCacheEventTypes)
            atspi_event_listener_register(m_listener.get(), type, nullptr);
        // The registry announces applications joining and leaving as children
        // of the desktop. Subscribing to its signal alone (not to every
        // application's children-changed) keeps the agent asleep while
        // applications rebuild their own trees.
        m_registrySubscription = g_dbus_connection_signal_subscribe(m_buses.accessibility.get(), "org.a11y.atspi.Registry",
            "org.a11y.atspi.Event.Object", "ChildrenChanged", "/org/a11y/atspi/accessible/root", nullptr,
            G_DBUS_SIGNAL_FLAGS_NONE, &AtspiAccessibility::onRegistrySignal, this, nullptr);
    }
}

AtspiAccessibility::~AtspiAccessibility()
{
    if (m_registrySubscription)
        g_dbus_connection_signal_unsubscribe(m_buses.accessibility.get(), m_registrySubscription);
    if (m_listener) {
        for (const char* type : kEventTypes)
            atspi_event_listener_deregister(m_listener.get(), type, nullptr);
        for (const char* type : kCacheEventTypes)
            atspi_event_listener_deregister(m_listener.get(), type, nullptr);
    }
    m_dispatch.stop();
}

// static
std::string AtspiAccessibility::busAddress(GDBusConnection* sessionBus)
{
    GErrorPtr error;
    GVariant* reply = g_dbus_connection_call_sync(sessionBus, "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress",
        nullptr, G_VARIANT_TYPE("(s)"), G_DBUS_CALL_FLAGS_NONE, kBusCallMs, nullptr, error.out());
    if (!reply)
        return {};
    const gchar* address = nullptr;
    g_variant_get(reply, "(&s)", &address);
    std::string result = address ? address : "";
    g_variant_unref(reply);
    return result;
}

// --- Guarded requests -------------------------------------------------------

AXError AtspiAccessibility::request(const std::string& bus, const char* what, const std::function<AXError(GErrorPtr& error)>& body)
{
    if (m_ledger.isHung(bus))
        return AXError::CannotComplete;
    ++m_requestCount;
    const gint64 start = g_get_monotonic_time();
    GErrorPtr error;
    AXError result = body(error);
    const double elapsedMs = static_cast<double>(g_get_monotonic_time() - start) / 1000.0;
    VELMORA_TRACE("%s of %s: %.2f ms%s", what, bus.c_str(), elapsedMs, error || result != AXError::Success ? ", failed" : "");
    // Only a request that failed after waiting out its budget marks the
    // application hung. One that answered slowly (a loaded machine, an
    // application still starting) is alive, and its next dialog must still
    // be snapped. Some of libatspi's calls report no error, only an empty
    // answer: their bodies say so by what they return.
    if ((error || result != AXError::Success) && elapsedMs >= kHungAfterMs) {
        VELMORA_TRACE("%s: no answer after %.0f ms, taken as hung", bus.c_str(), elapsedMs);
        m_ledger.markHung(bus);
        return AXError::CannotComplete;
    }
    if (error)
        return errorFor(error);
    return result;
}

// static
AXError AtspiAccessibility::errorFor(const GErrorPtr& error)
{
    if (error.matches(atspiErrorDomain(), kAtspiErrorApplicationGone))
        return AXError::InvalidUIElement;
    if (error.matches(atspiErrorDomain(), kAtspiErrorIpc)) {
        // libatspi reports an object that died with its window as an IPC
        // failure naming it defunct.
        if (error.message().find("defunct") != std::string::npos)
            return AXError::InvalidUIElement;
        return AXError::CannotComplete;
    }
    return AXError::Failure;
}

AXError AtspiAccessibility::interfacesOf(AtspiAccessible* accessible, unsigned& interfaces)
{
    interfaces = GPOINTER_TO_UINT(g_object_get_qdata(G_OBJECT(accessible), interfacesQuark()));
    if (interfaces & kInterfacesKnown)
        return AXError::Success;
    // A request of its own: a frozen application costs one timeout here and
    // the read that follows is refused at once.
    AXError result = request(AtspiElement::busNameOf(accessible), "interfaces", [&](GErrorPtr&) {
        GArrayPtr names(atspi_accessible_get_interfaces(accessible));
        // Every live object offers at least one: none is a failed request,
        // and must not be remembered as the object's interfaces.
        if (!names || names->len == 0)
            return AXError::InvalidUIElement;
        interfaces = kInterfacesKnown;
        for (guint i = 0; names && i < names->len; ++i) {
            gchar* name = g_array_index(names.get(), gchar*, i);
            if (g_strcmp0(name, "Component") == 0)
                interfaces |= kHasComponent;
            else if (g_strcmp0(name, "Collection") == 0)
                interfaces |= kHasCollection;
            g_free(name);
        }
        return AXError::Success;
    });
    if (result != AXError::Success)
        return result;
    g_object_set_qdata(G_OBJECT(accessible), interfacesQuark(), GUINT_TO_POINTER(interfaces));
    return AXError::Success;
}

GObjectRef<AtspiComponent> AtspiAccessibility::componentOf(AtspiAccessible* accessible)
{
    // Once the interfaces are known libatspi answers this itself.
    unsigned interfaces = 0;
    if (interfacesOf(accessible, interfaces) != AXError::Success || !(interfaces & kHasComponent))
        return {};
    return GObjectRef<AtspiComponent>::adopt(atspi_accessible_get_component_iface(accessible));
}

std::optional<AtspiRole> AtspiAccessibility::roleOf(AtspiAccessible* accessible)
{
    // A role never changes for the life of an object, so it is asked once.
    if (gpointer cached = g_object_get_qdata(G_OBJECT(accessible), roleQuark()))
        return static_cast<AtspiRole>(GPOINTER_TO_INT(cached) - 1);
    AtspiRole role = ATSPI_ROLE_INVALID;
    AXError result = request(AtspiElement::busNameOf(accessible), "role", [&](GErrorPtr& error) {
        role = atspi_accessible_get_role(accessible, error.out());
        return AXError::Success;
    });
    if (result != AXError::Success || role == ATSPI_ROLE_INVALID)
        return std::nullopt;
    g_object_set_qdata(G_OBJECT(accessible), roleQuark(), GINT_TO_POINTER(static_cast<int>(role) + 1));
    return role;
}

std::optional<std::string> AtspiAccessibility::nameOf(AtspiAccessible* accessible)
{
    GCharPtr name;
    AXError result = request(AtspiElement::busNameOf(accessible), "name", [&](GErrorPtr& error) {
        name = GCharPtr(atspi_accessible_get_name(accessible, error.out()));
        return AXError::Success;
    });
    if (result != AXError::Success)
        return std::nullopt;
    return name.str();
}

std::optional<std::vector<GObjectRef<AtspiAccessible>>> AtspiAccessibility::childrenOf(AtspiAccessible* accessible)
{
    if (const auto* read = readThisEvent(m_eventReads.children, accessible)) {
        std::vector<GObjectRef<AtspiAccessible>> copy;
        for (const auto& child : *read)
            copy.push_back(child.share());
        return copy;
    }
    const std::string bus = AtspiElement::busNameOf(accessible);
    int count = 0;
    if (request(bus, "child count", [&](GErrorPtr& error) {
            count = atspi_accessible_get_child_count(accessible, error.out());
            return AXError::Success;
        }) != AXError::Success)
        return std::nullopt;
    std::vector<GObjectRef<AtspiAccessible>> children;
    for (int i = 0; i < count; ++i) {
        GObjectRef<AtspiAccessible> child;
        AXError result = request(bus, "child", [&](GErrorPtr& error) {
            child = GObjectRef<AtspiAccessible>::adopt(atspi_accessible_get_child_at_index(accessible, i, error.out()));
            return AXError::Success;
        });
        if (result == AXError::CannotComplete)
            return std::nullopt;
        if (child)
            children.push_back(std::move(child));
    }
    if (m_dispatching) {
        std::vector<GObjectRef<AtspiAccessible>> kept;
        for (const auto& child : children)
            kept.push_back(child.share());
        m_eventReads.children.emplace_back(GObjectRef<AtspiAccessible>::retain(accessible), std::move(kept));
    }
    return children;
}

AXError AtspiAccessibility::stateSetOf(AtspiAccessible* accessible, GObjectRef<AtspiStateSet>& states)
{
    if (const auto* read = readThisEvent(m_eventReads.states, accessible)) {
        states = read->share();
        return AXError::Success;
    }
    AXError result = request(AtspiElement::busNameOf(accessible), "states", [&](GErrorPtr&) {
        states = GObjectRef<AtspiStateSet>::adopt(atspi_accessible_get_state_set(accessible));
        return states ? AXError::Success : AXError::CannotComplete;
    });
    if (result == AXError::Success && m_dispatching)
        m_eventReads.states.emplace_back(GObjectRef<AtspiAccessible>::retain(accessible), states.share());
    return result;
}

bool AtspiAccessibility::stateOf(AtspiAccessible* accessible, AtspiStateType state, AXError& error)
{
    StateSetRef states;
    error = stateSetOf(accessible, states.set);
    if (error == AXError::Success && states.has(ATSPI_STATE_DEFUNCT))
        error = AXError::InvalidUIElement;
    return error == AXError::Success && states.has(state);
}

AXError AtspiAccessibility::extentsOf(AtspiAccessible* accessible, AtspiRect& rect)
{
    if (const auto* read = readThisEvent(m_eventReads.extents, accessible)) {
        rect = *read;
        return AXError::Success;
    }
    const std::string bus = AtspiElement::busNameOf(accessible);
    if (!followsGtk4(bus)) {
        if (AXError result = rawExtentsOf(accessible, ATSPI_COORD_TYPE_SCREEN, rect); result != AXError::Success)
            return result;
        // Without X11 these are the window's own (GTK 3's and Qt's), Qt's
        // counted from inside its decoration; but an X client's are the X
        // screen's, placed in its frame.
        if (!m_windows && rect.width >= 0 && rect.height >= 0) {
            if (auto frame = xwaylandFrameOf(accessible)) {
                rect.x -= frame->first;
                rect.y -= frame->second;
            } else {
                const auto margin = surfaceMargin(bus, accessible);
                rect.x += margin.left;
                rect.y += margin.top;
            }
        }
    } else {
        // GTK 4 answers relative to the window whatever is asked (and warns
        // when asked for the screen): placed through its X window.
        if (AXError result = rawExtentsOf(accessible, ATSPI_COORD_TYPE_WINDOW, rect); result != AXError::Success)
            return result;
        // Without X11 there is no window position to add: extents stay
        // relative to the window, counted from its surface's corner as other
        // toolkits count them there.
        if (!m_windows) {
            const auto margin = surfaceMargin(bus, accessible);
            if (rect.width >= 0 && rect.height >= 0) {
                rect.x += margin.left;
                rect.y += margin.top;
            }
            if (m_dispatching)
                m_eventReads.extents.emplace_back(GObjectRef<AtspiAccessible>::retain(accessible), rect);
            return AXError::Success;
        }
        auto window = windowOf(accessible);
        if (!window)
            return m_ledger.isHung(bus) ? AXError::CannotComplete : AXError::NoValue;
        auto origin = windowOrigin(window.get());
        if (!origin)
            return m_ledger.isHung(bus) ? AXError::CannotComplete : AXError::NoValue;
        if (rect.width >= 0 && rect.height >= 0) {
            rect.x += origin->first;
            rect.y += origin->second;
        }
    }
    if (m_dispatching)
        m_eventReads.extents.emplace_back(GObjectRef<AtspiAccessible>::retain(accessible), rect);
    return AXError::Success;
}

AXError AtspiAccessibility::rawExtentsOf(AtspiAccessible* accessible, AtspiCoordType type, AtspiRect& rect)
{
    const std::string bus = AtspiElement::busNameOf(accessible);
    auto component = componentOf(accessible);
    if (!component)
        return m_ledger.isHung(bus) ? AXError::CannotComplete : AXError::AttributeUnsupported;
    AtspiRect* raw = nullptr;
    AXError result = request(bus, "extents", [&](GErrorPtr& error) {
        raw = atspi_component_get_extents(component.get(), type, error.out());
        return AXError::Success;
    });
    std::unique_ptr<AtspiRect, decltype(&g_free)> owned(raw, &g_free);
    if (result != AXError::Success)
        return result;
    if (!raw)
        return AXError::NoValue;
    rect = *raw;
    return AXError::Success;
}

AtspiAccessibility::Toolkit AtspiAccessibility::toolkitOf(const std::string& bus)
{
    if (auto known = m_toolkitByBus.find(bus); known != m_toolkitByBus.end())
        return known->second;
    if (!m_buses.accessibility || bus.empty())
        return Toolkit::Other;
    // Calls of our own: libatspi's reads of these properties do not keep to
    // the timeout it is given. GTK 3's bridge has no GetAll: one Get each.
    auto property = [&](const char* what, std::string& text) {
        return request(bus, what, [&](GErrorPtr& error) {
            GVariant* reply = g_dbus_connection_call_sync(m_buses.accessibility.get(), bus.c_str(),
                "/org/a11y/atspi/accessible/root", "org.freedesktop.DBus.Properties", "Get",
                g_variant_new("(ss)", "org.a11y.atspi.Application", what), G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NO_AUTO_START,
                kAtspiCallMs, nullptr, error.out());
            if (!reply)
                return AXError::CannotComplete;
            GVariant* value = nullptr;
            g_variant_get(reply, "(v)", &value);
            if (g_variant_is_of_type(value, G_VARIANT_TYPE_STRING))
                text = g_variant_get_string(value, nullptr);
            g_variant_unref(value);
            g_variant_unref(reply);
            return AXError::Success;
        });
    };
    std::string name, version;
    AXError result = property("ToolkitName", name);
    if (result == AXError::Success)
        result = property("Version", version);
    // A hung application is asked again once it answers; one that answers
    // without saying is no GTK 4 (which says).
    if (result == AXError::CannotComplete && m_ledger.isHung(bus))
        return Toolkit::Other;
    const Toolkit toolkit = Gtk4Conventions::appliesTo(name, version) ? Toolkit::Gtk4
                            : QtConventions::appliesTo(name)          ? Toolkit::Qt
                                                                      : Toolkit::Other;
    VELMORA_TRACE("%s: toolkit %s %s%s", bus.c_str(), name.c_str(), version.c_str(),
        toolkit == Toolkit::Gtk4 ? " (GTK 4 conventions)" : "");
    m_toolkitByBus[bus] = toolkit;
    return toolkit;
}

std::optional<std::string> AtspiAccessibility::shownNameOf(AtspiAccessible* accessible)
{
    auto name = nameOf(accessible);
    if (name && followsGtk4(AtspiElement::busNameOf(accessible)))
        return Gtk4Conventions::plainName(*name);
    return name;
}

bool AtspiAccessibility::isShown(const std::string& bus, AtspiStateSet* states)
{
    if (!states || !atspi_state_set_contains(states, ATSPI_STATE_VISIBLE))
        return false;
    return atspi_state_set_contains(states, ATSPI_STATE_SHOWING) || followsGtk4(bus);
}

GObjectRef<AtspiAccessible> AtspiAccessibility::windowOf(AtspiAccessible* accessible)
{
    if (const auto* read = readThisEvent(m_eventReads.windowOfButton, accessible))
        return read->share();
    const std::string bus = AtspiElement::busNameOf(accessible);
    auto current = GObjectRef<AtspiAccessible>::retain(accessible);
    for (int depth = 0; depth < kMaxPointDepth; ++depth) {
        auto role = roleOf(current.get());
        if (!role)
            return {};
        if (AtspiRoleMap::isWindow(*role))
            return current;
        GObjectRef<AtspiAccessible> parent;
        if (parentOf(bus, current.get(), parent) != AXError::Success || !parent)
            return {};
        current = std::move(parent);
    }
    return {};
}

std::optional<std::pair<int, int>> AtspiAccessibility::windowOrigin(AtspiAccessible* window)
{
    if (const auto* read = readThisEvent(m_eventReads.windowOrigins, window))
        return *read;
    const std::string bus = AtspiElement::busNameOf(window);
    std::optional<std::pair<int, int>> origin;
    AtspiRect own{};
    auto title = nameOf(window);
    const pid_t pid = pidForBus(bus, window);
    if (m_windows && title && pid > 0 && rawExtentsOf(window, ATSPI_COORD_TYPE_WINDOW, own) == AXError::Success) {
        if (auto client = m_windows->clientWindowOf(pid, *title)) {
            auto margin = Gtk4Conventions::windowMargin(client->frameExtents, client->width, client->height, own.width, own.height);
            origin = std::make_pair(client->x + margin.left, client->y + margin.top);
        }
    }
    VELMORA_TRACE("window \"%s\" of %s: origin %s", title ? title->c_str() : "?", bus.c_str(),
        origin ? (std::to_string(origin->first) + ", " + std::to_string(origin->second)).c_str() : "not found");
    if (m_dispatching && !m_ledger.isHung(bus))
        m_eventReads.windowOrigins.emplace_back(GObjectRef<AtspiAccessible>::retain(window), origin);
    return origin;
}

std::optional<std::pair<int, int>> AtspiAccessibility::xwaylandFrameOf(AtspiAccessible* accessible)
{
    if (m_windows || !m_xwayland)
        return std::nullopt;
    const std::string bus = AtspiElement::busNameOf(accessible);
    const pid_t pid = pidForBus(bus, accessible);
    // Asked of the X server first: a Wayland client's windows are never walked.
    auto* windows = m_xwayland->windows();
    if (pid <= 0 || !windows || !windows->listsClientOf(pid))
        return std::nullopt;
    auto window = windowOf(accessible);
    if (!window)
        return std::nullopt;
    if (const auto* read = readThisEvent(m_eventReads.frameOrigins, window.get()))
        return *read;
    std::optional<std::pair<int, int>> origin;
    auto title = nameOf(window.get());
    windows = m_xwayland->windows();
    if (title && windows) {
        if (auto client = windows->clientWindowOf(pid, *title))
            origin = std::make_pair(client->frameX, client->frameY);
    }
    VELMORA_TRACE("X window \"%s\" of %s: frame %s", title ? title->c_str() : "?", bus.c_str(),
        origin ? (std::to_string(origin->first) + ", " + std::to_string(origin->second)).c_str() : "not found");
    if (m_dispatching && !m_ledger.isHung(bus))
        m_eventReads.frameOrigins.emplace_back(GObjectRef<AtspiAccessible>::retain(window.get()), origin);
    return origin;
}

Gtk4Conventions::Margin AtspiAccessibility::surfaceMargin(const std::string& bus, AtspiAccessible* any)
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
    if (const pid_t pid = pidForBus(bus, any); pid > 0) {
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
    else if (qtOnWayland && m_qtDrawsDecorations)
        margin = QtConventions::waylandSurfaceMargin();
    VELMORA_TRACE("%s: surface margin %d, %d%s", bus.c_str(), margin.left, margin.top,
        toolkit == Toolkit::Qt ? (qtOnWayland ? " (Qt on Wayland)" : " (Qt on X11)") : libadwaita ? " (libadwaita)" : "");
    m_surfaceMarginByBus[bus] = margin;
    return margin;
}

// --- Accessibility ----------------------------------------------------------

bool AtspiAccessibility::isAPIEnabled()
{
    // The pane never joins the bus (the agent does): for it, the switch is
    // the answer. Nothing here may wait on the registry, which the pane must
    // answer without.
    if (!m_buses.session)
        return false;
    GErrorPtr error;
    GVariant* reply = g_dbus_connection_call_sync(m_buses.session.get(), "org.a11y.Bus", "/org/a11y/bus",
        "org.freedesktop.DBus.Properties", "Get", g_variant_new("(ss)", "org.a11y.Status", "IsEnabled"),
        G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NO_AUTO_START, kBusCallMs, nullptr, error.out());
    bool enabled = false;
    if (reply) {
        GVariant* inner = nullptr;
        g_variant_get(reply, "(v)", &inner);
        enabled = g_variant_is_of_type(inner, G_VARIANT_TYPE_BOOLEAN) && g_variant_get_boolean(inner);
        g_variant_unref(inner);
        g_variant_unref(reply);
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

void AtspiAccessibility::refreshApplications()
{
    auto desktop = GObjectRef<AtspiAccessible>::adopt(atspi_get_desktop(0));
    if (!desktop)
        return;
    GErrorPtr error;
    int count = atspi_accessible_get_child_count(desktop.get(), error.out());
    std::map<std::string, AppRecord> fresh;
    for (int i = 0; i < count; ++i) {
        auto app = GObjectRef<AtspiAccessible>::adopt(atspi_accessible_get_child_at_index(desktop.get(), i, error.out()));
        if (!app)
            continue;
        std::string bus = AtspiElement::busNameOf(app.get());
        auto known = m_appsByBus.find(bus);
        if (known != m_appsByBus.end()) {
            fresh.emplace(bus, AppRecord{known->second.pid, std::move(app)});
            continue;
        }
        // Asked of the bus daemon, not of the application: a hung
        // application still has a process id.
        pid_t pid = static_cast<pid_t>(atspi_accessible_get_process_id(app.get(), error.out()));
        if (pid > 0)
            fresh.emplace(bus, AppRecord{pid, std::move(app)});
    }
    m_appsByBus = std::move(fresh);
    for (const auto& [bus, record] : m_appsByBus)
        m_pidsByBus[bus] = record.pid;
}

const AtspiAccessibility::AppRecord* AtspiAccessibility::applicationForPid(pid_t pid)
{
    // A process may have two: Qt 6 with GTK's platform theme also starts
    // GTK's own bridge, which has no windows but GTK's file dialogs. The one
    // whose window is active speaks for the process.
    if (auto active = m_appsByBus.find(m_activeBus); active != m_appsByBus.end() && active->second.pid == pid)
        return &active->second;
    for (int attempt = 0; attempt < 2; ++attempt) {
        for (const auto& [bus, record] : m_appsByBus) {
            if (record.pid == pid)
                return &record;
        }
        if (attempt == 0)
            refreshApplications();
    }
    return nullptr;
}

pid_t AtspiAccessibility::pidForBus(const std::string& bus, AtspiAccessible* any)
{
    auto it = m_appsByBus.find(bus);
    if (it != m_appsByBus.end())
        return it->second.pid;
    refreshApplications();
    it = m_appsByBus.find(bus);
    if (it != m_appsByBus.end())
        return it->second.pid;
    GErrorPtr error;
    return any ? static_cast<pid_t>(atspi_accessible_get_process_id(any, error.out())) : 0;
}

AXElement AtspiAccessibility::applicationElement(const std::string& bus)
{
    auto it = m_appsByBus.find(bus);
    if (it == m_appsByBus.end())
        return {};
    return AtspiElement::make(it->second.root.share(), AtspiElement::Kind::Application);
}

std::vector<pid_t> AtspiAccessibility::applicationPids()
{
    if (!m_buses.accessibility)
        return {};
    refreshApplications();
    std::vector<pid_t> pids;
    for (const auto& [bus, record] : m_appsByBus)
        pids.push_back(record.pid);
    return pids;
}

pid_t AtspiAccessibility::activePid()
{
    // The compositor, where it tells, as X11's window manager is asked: the
    // accessibility events lag behind it (between a window going and the
    // next one hearing it has the focus, an application that quits with its
    // window would still be the active one here).
    if (!m_windows && m_surfaces) {
        if (auto focused = m_surfaces->focusedProcess())
            return *focused;
    }
    if (m_activeBus.empty())
        return 0;
    auto it = m_pidsByBus.find(m_activeBus);
    return it != m_pidsByBus.end() ? it->second : pidForBus(m_activeBus, nullptr);
}

AXElement AtspiAccessibility::createApplication(pid_t pid)
{
    if (!m_buses.accessibility)
        return {};
    const AppRecord* record = applicationForPid(pid);
    if (!record)
        return {};
    return AtspiElement::make(record->root.share(), AtspiElement::Kind::Application);
}

AXElement AtspiAccessibility::createSystemWide()
{
    return AtspiElement::make({}, AtspiElement::Kind::SystemWide);
}

AXError AtspiAccessibility::copyAttributeNames(const AXElement& element, std::vector<std::string>& names)
{
    auto* e = element.refAs<AtspiElement>();
    if (!e)
        return AXError::IllegalArgument;
    names.clear();
    switch (e->kind()) {
    case AtspiElement::Kind::SystemWide:
        names = {"AXRole", "AXFocusedApplication"};
        return AXError::Success;
    case AtspiElement::Kind::Application:
        if (m_ledger.isHung(e->busName()))
            return AXError::CannotComplete;
        names = {"AXRole", "AXTitle", "AXWindows", "AXFocusedWindow", "AXFocusedUIElement", "AXFrontmost", "AXHidden", "AXChildren"};
        return AXError::Success;
    case AtspiElement::Kind::Object:
        break;
    }
    // Derived from the role and the interfaces, each asked once per object.
    auto role = roleOf(e->accessible());
    if (!role)
        return m_ledger.isHung(e->busName()) ? AXError::CannotComplete : AXError::InvalidUIElement;
    unsigned interfaces = 0;
    if (AXError error = interfacesOf(e->accessible(), interfaces); error == AXError::CannotComplete)
        return error;
    names = {"AXRole", "AXTitle", "AXDescription", "AXEnabled", "AXShowing", "AXParent", "AXChildren", "AXTopLevelUIElement"};
    if (interfaces & kHasComponent) {
        names.push_back("AXPosition");
        names.push_back("AXSize");
    }
    if (AtspiRoleMap::isWindow(*role)) {
        names.push_back("AXSubrole");
        if (!m_windows)
            names.push_back("AXWindowRelativePositions");
        names.push_back("AXDefaultButton");
        names.push_back("AXCancelButton");
    }
    return AXError::Success;
}

AXError AtspiAccessibility::copyAttributeValue(const AXElement& element, const std::string& attribute, AXValue& value)
{
    auto* e = element.refAs<AtspiElement>();
    value = {};
    if (!e)
        return AXError::IllegalArgument;
    switch (e->kind()) {
    case AtspiElement::Kind::SystemWide:
        if (attribute == "AXRole") {
            value = "AXSystemWide";
            return AXError::Success;
        }
        if (attribute == "AXFocusedApplication") {
            if (m_activeBus.empty())
                return AXError::NoValue;
            value = applicationElement(m_activeBus);
            return value.isNone() ? AXError::NoValue : AXError::Success;
        }
        return AXError::AttributeUnsupported;
    case AtspiElement::Kind::Application: {
        AXError result = valueForApplication(*e, attribute, value);
        VELMORA_TRACE("%s of %s: error %d, %s", attribute.c_str(), e->busName().c_str(), static_cast<int>(result),
            value.description().c_str());
        return result;
    }
    case AtspiElement::Kind::Object: {
        AXError result = valueForObject(*e, attribute, value);
        if (result != AXError::Success)
            VELMORA_TRACE("%s of an element of %s: error %d", attribute.c_str(), e->busName().c_str(), static_cast<int>(result));
        return result;
    }
    }
    return AXError::Failure;
}

AXError AtspiAccessibility::windowsOf(const AtspiElement& app, std::vector<GObjectRef<AtspiAccessible>>& windows)
{
    auto children = childrenOf(app.accessible());
    if (!children)
        return m_ledger.isHung(app.busName()) ? AXError::CannotComplete : AXError::InvalidUIElement;
    windows.clear();
    for (auto& child : *children) {
        auto role = roleOf(child.get());
        if (role && AtspiRoleMap::isWindow(*role))
            windows.push_back(std::move(child));
    }
    // Newest first, as a stacking order would list them.
    std::reverse(windows.begin(), windows.end());
    return AXError::Success;
}

AXError AtspiAccessibility::valueForApplication(const AtspiElement& app, const std::string& attribute, AXValue& value)
{
    // A process may have two applications (see applicationForPid()): the
    // one whose window is active answers for the other too.
    if (!m_activeBus.empty() && m_activeBus != app.busName()) {
        auto active = m_appsByBus.find(m_activeBus);
        if (active != m_appsByBus.end() && active->second.pid == pidForBus(app.busName(), app.accessible())) {
            const AXElement speaker = applicationElement(m_activeBus);
            return valueForApplication(*speaker.refAs<AtspiElement>(), attribute, value);
        }
    }
    if (m_ledger.isHung(app.busName()))
        return AXError::CannotComplete;
    const bool ownsActive = m_activeWindow && AtspiElement::busNameOf(m_activeWindow.get()) == app.busName();
    if (attribute == "AXRole") {
        value = "AXApplication";
        return AXError::Success;
    }
    if (attribute == "AXTitle") {
        auto name = nameOf(app.accessible());
        if (!name)
            return AXError::CannotComplete;
        value = *name;
        return AXError::Success;
    }
    if (attribute == "AXFocusedUIElement") {
        auto it = m_focusedByBus.find(app.busName());
        if (it == m_focusedByBus.end())
            return AXError::NoValue;
        value = AtspiElement::make(it->second.share());
        return AXError::Success;
    }
    // The active window as the events told it answers without a request for
    // the application that owns it. Any other is asked about its own windows:
    // the events' word may be stale, as a frozen or killed application never
    // announces losing the focus, and one just started may activate its
    // window before it announces anything.
    if (ownsActive && attribute == "AXFrontmost") {
        value = true;
        return AXError::Success;
    }
    if (ownsActive && attribute == "AXHidden") {
        value = false; // an active window is never iconified
        return AXError::Success;
    }
    if (ownsActive && attribute == "AXFocusedWindow") {
        value = AtspiElement::make(m_activeWindow.share());
        return AXError::Success;
    }

    std::vector<GObjectRef<AtspiAccessible>> windows;
    const bool wantsWindows = attribute == "AXWindows" || attribute == "AXChildren" || attribute == "AXFrontmost"
        || attribute == "AXFocusedWindow" || attribute == "AXHidden";
    if (!wantsWindows)
        return AXError::AttributeUnsupported;
    if (AXError error = windowsOf(app, windows); error != AXError::Success)
        return error;
    if (attribute == "AXWindows" || attribute == "AXChildren") {
        value = elementArray(windows);
        return AXError::Success;
    }
    if (attribute == "AXHidden") {
        bool allIconified = !windows.empty();
        for (const auto& window : windows) {
            AXError error = AXError::Success;
            allIconified = stateOf(window.get(), ATSPI_STATE_ICONIFIED, error) && allIconified;
            if (error == AXError::CannotComplete)
                return error;
        }
        value = allIconified;
        return AXError::Success;
    }
    // Ask its windows, and remember an active one for the events that follow:
    // it is newer than any other application's claim.
    for (const auto& window : windows) {
        AXError error = AXError::Success;
        if (stateOf(window.get(), ATSPI_STATE_ACTIVE, error)) {
            m_activeWindow = window.share();
            m_activeBus = app.busName();
            if (attribute == "AXFrontmost")
                value = true;
            else
                value = AtspiElement::make(window.share());
            return AXError::Success;
        }
        if (error == AXError::CannotComplete)
            return error;
    }
    // GTK 4 keeps ACTIVE out of its windows' state sets: the window manager
    // tells which window is active, matched by process and title. Asked of
    // the X server first, so that only the application owning the active
    // window is asked its toolkit.
    auto active = m_windows ? m_windows->activeClient() : std::nullopt;
    if (active && active->pid == pidForBus(app.busName(), app.accessible()) && followsGtk4(app.busName())) {
        for (const auto& window : windows) {
            auto title = nameOf(window.get());
            if (!title)
                return m_ledger.isHung(app.busName()) ? AXError::CannotComplete : AXError::InvalidUIElement;
            if (*title != active->title && windows.size() > 1)
                continue;
            m_activeWindow = window.share();
            m_activeBus = app.busName();
            if (attribute == "AXFrontmost")
                value = true;
            else
                value = AtspiElement::make(window.share());
            return AXError::Success;
        }
    }
    if (attribute == "AXFrontmost") {
        value = false;
        return AXError::Success;
    }
    return AXError::NoValue;
}

AXError AtspiAccessibility::valueForObject(const AtspiElement& element, const std::string& attribute, AXValue& value)
{
    AtspiAccessible* accessible = element.accessible();
    const std::string& bus = element.busName();
    if (attribute == "AXRole") {
        auto role = roleOf(accessible);
        if (!role)
            return m_ledger.isHung(bus) ? AXError::CannotComplete : AXError::InvalidUIElement;
        value = AtspiRoleMap::roleName(*role);
        return AXError::Success;
    }
    if (attribute == "AXTitle" || attribute == "AXDescription") {
        GCharPtr text;
        AXError result = request(bus, "title", [&](GErrorPtr& error) {
            text = GCharPtr(attribute == "AXTitle" ? atspi_accessible_get_name(accessible, error.out())
                                                   : atspi_accessible_get_description(accessible, error.out()));
            return AXError::Success;
        });
        if (result != AXError::Success)
            return result;
        value = attribute == "AXTitle" && followsGtk4(bus) ? Gtk4Conventions::plainName(text.str()) : text.str();
        return AXError::Success;
    }
    if (attribute == "AXEnabled" || attribute == "AXShowing") {
        StateSetRef states;
        if (AXError result = stateSetOf(accessible, states.set); result != AXError::Success)
            return result;
        // What the engine takes for an element gone with its window.
        if (states.has(ATSPI_STATE_DEFUNCT))
            return AXError::InvalidUIElement;
        if (attribute == "AXShowing")
            value = isShown(bus, states.set.get());
        else // GTK 4 never sets ENABLED: SENSITIVE alone tells there.
            value = states.has(ATSPI_STATE_SENSITIVE) && (states.has(ATSPI_STATE_ENABLED) || followsGtk4(bus));
        return AXError::Success;
    }
    if (attribute == "AXWindowRelativePositions") {
        // Without X11 nothing tells where a window is: toolkits then give
        // every extent relative to its window.
        if (m_windows)
            return AXError::AttributeUnsupported;
        value = true;
        return AXError::Success;
    }
    if (attribute == "AXSubrole") {
        auto role = roleOf(accessible);
        if (!role)
            return m_ledger.isHung(bus) ? AXError::CannotComplete : AXError::InvalidUIElement;
        if (!AtspiRoleMap::isWindow(*role))
            return AXError::AttributeUnsupported;
        value = AtspiRoleMap::windowSubrole(*role);
        return AXError::Success;
    }
    if (attribute == "AXPosition" || attribute == "AXSize") {
        AtspiRect rect{};
        if (AXError result = extentsOf(accessible, rect); result != AXError::Success)
            return result;
        // A window that is gone, or not on screen, reports a negative size.
        if (rect.width < 0 || rect.height < 0)
            return AXError::NoValue;
        if (attribute == "AXPosition")
            value = CGPoint{static_cast<float>(rect.x), static_cast<float>(rect.y)};
        else
            value = CGSize{static_cast<float>(rect.width), static_cast<float>(rect.height)};
        return AXError::Success;
    }
    if (attribute == "AXChildren") {
        std::vector<GObjectRef<AtspiAccessible>> children;
        if (AXError error = visibleChildren(accessible, children, 0); error != AXError::Success)
            return error;
        value = elementArray(children);
        return AXError::Success;
    }
    if (attribute == "AXParent") {
        AXElement parent;
        if (AXError error = visibleParent(accessible, parent); error != AXError::Success)
            return error;
        value = parent;
        return AXError::Success;
    }
    if (attribute == "AXTopLevelUIElement") {
        // Up to the object whose parent is the application.
        auto current = GObjectRef<AtspiAccessible>::retain(accessible);
        for (int depth = 0; depth < kMaxPointDepth; ++depth) {
            GObjectRef<AtspiAccessible> parent;
            AXError result = parentOf(bus, current.get(), parent);
            if (result != AXError::Success)
                return result;
            auto role = parent ? roleOf(parent.get()) : std::nullopt;
            if (!parent || !role || *role == ATSPI_ROLE_APPLICATION) {
                value = AtspiElement::make(std::move(current));
                return AXError::Success;
            }
            current = std::move(parent);
        }
        return AXError::NoValue;
    }
    if (attribute == "AXDefaultButton" || attribute == "AXCancelButton") {
        auto role = roleOf(accessible);
        if (!role || !AtspiRoleMap::isWindow(*role))
            return role ? AXError::AttributeUnsupported : AXError::CannotComplete;
        AXElement button;
        AXError error = attribute == "AXDefaultButton" ? defaultButton(accessible, button) : cancelButton(accessible, button);
        if (error != AXError::Success)
            return error;
        if (!button)
            return AXError::NoValue;
        value = button;
        return AXError::Success;
    }
    return AXError::AttributeUnsupported;
}

AXError AtspiAccessibility::visibleChildren(AtspiAccessible* accessible, std::vector<GObjectRef<AtspiAccessible>>& out, int depth)
{
    auto children = childrenOf(accessible);
    if (!children)
        return AXError::CannotComplete;
    for (auto& child : *children) {
        auto role = roleOf(child.get());
        if (!role)
            continue;
        bool layoutOnly = AtspiRoleMap::isLayoutOnly(*role, true);
        if (!layoutOnly && *role == ATSPI_ROLE_PANEL) {
            auto name = nameOf(child.get());
            layoutOnly = name && name->empty();
        }
        if (layoutOnly && depth < kMaxLayoutDepth) {
            if (AXError error = visibleChildren(child.get(), out, depth + 1); error == AXError::CannotComplete)
                return error;
        } else {
            out.push_back(std::move(child));
        }
    }
    return AXError::Success;
}

AXError AtspiAccessibility::parentOf(const std::string& bus, AtspiAccessible* accessible, GObjectRef<AtspiAccessible>& parent)
{
    return request(bus, "parent", [&](GErrorPtr& error) {
        parent = GObjectRef<AtspiAccessible>::adopt(atspi_accessible_get_parent(accessible, error.out()));
        return AXError::Success;
    });
}

AXError AtspiAccessibility::visibleParent(AtspiAccessible* accessible, AXElement& parentElement)
{
    const std::string bus = AtspiElement::busNameOf(accessible);
    auto current = GObjectRef<AtspiAccessible>::retain(accessible);
    for (int depth = 0; depth <= kMaxLayoutDepth; ++depth) {
        GObjectRef<AtspiAccessible> parent;
        AXError result = parentOf(bus, current.get(), parent);
        if (result != AXError::Success)
            return result;
        if (!parent)
            return AXError::NoValue;
        auto role = roleOf(parent.get());
        if (!role)
            return AXError::CannotComplete;
        if (*role == ATSPI_ROLE_APPLICATION) {
            parentElement = AtspiElement::make(std::move(parent), AtspiElement::Kind::Application);
            return AXError::Success;
        }
        bool layoutOnly = AtspiRoleMap::isLayoutOnly(*role, true);
        if (!layoutOnly && *role == ATSPI_ROLE_PANEL) {
            auto name = nameOf(parent.get());
            layoutOnly = name && name->empty();
        }
        if (!layoutOnly) {
            parentElement = AtspiElement::make(std::move(parent));
            return AXError::Success;
        }
        current = std::move(parent);
    }
    return AXError::NoValue;
}

AXError AtspiAccessibility::pushButtons(AtspiAccessible* window, std::vector<GObjectRef<AtspiAccessible>>& buttons, bool onlyDefault)
{
    const std::string bus = AtspiElement::busNameOf(window);
    // GTK 4 never sets SHOWING below its windows: its buttons are sorted out
    // by their area instead.
    const bool gtk4 = followsGtk4(bus);
    if (AXError error = collectPushButtons(window, buttons, onlyDefault, !gtk4); error != AXError::Success)
        return error;
    // Their extents are placed through this window: no walk up to it.
    if (gtk4 && m_dispatching) {
        for (const auto& button : buttons)
            m_eventReads.windowOfButton.emplace_back(button.share(), GObjectRef<AtspiAccessible>::retain(window));
    }
    return AXError::Success;
}

AXError AtspiAccessibility::collectPushButtons(AtspiAccessible* window, std::vector<GObjectRef<AtspiAccessible>>& buttons,
    bool onlyDefault, bool onlyShowing)
{
    const std::string bus = AtspiElement::busNameOf(window);
    // One request for the whole window where the toolkit offers a search of
    // its own tree (GTK and most others do).
    unsigned interfaces = 0;
    if (interfacesOf(window, interfaces) == AXError::CannotComplete)
        return AXError::CannotComplete;
    GObjectRef<AtspiCollection> collectionRef;
    if (interfaces & kHasCollection)
        collectionRef = GObjectRef<AtspiCollection>::adopt(atspi_accessible_get_collection_iface(window));
    AtspiCollection* collection = collectionRef.get();
    if (collection) {
        GArray* roles = g_array_new(FALSE, FALSE, sizeof(AtspiRole));
        AtspiRole pushButton = ATSPI_ROLE_PUSH_BUTTON;
        g_array_append_val(roles, pushButton);
        GArray* stateList = g_array_new(FALSE, FALSE, sizeof(AtspiStateType));
        // A button not on screen (a hidden bar's, another page's) answers nothing.
        AtspiStateType showing = ATSPI_STATE_SHOWING;
        if (onlyShowing)
            g_array_append_val(stateList, showing);
        if (onlyDefault) {
            AtspiStateType isDefault = ATSPI_STATE_IS_DEFAULT;
            g_array_append_val(stateList, isDefault);
        }
        auto states = GObjectRef<AtspiStateSet>::adopt(atspi_state_set_new(stateList));
        g_array_unref(stateList);
        auto rule = GObjectRef<AtspiMatchRule>::adopt(atspi_match_rule_new(states.get(), ATSPI_Collection_MATCH_ALL, nullptr,
            ATSPI_Collection_MATCH_ALL, roles, ATSPI_Collection_MATCH_ANY, nullptr, ATSPI_Collection_MATCH_ALL, FALSE));
        g_array_unref(roles);
        GArray* matches = nullptr;
        AXError result = request(bus, "matches", [&](GErrorPtr& error) {
            matches = atspi_collection_get_matches(collection, rule.get(), ATSPI_Collection_SORT_ORDER_CANONICAL,
                onlyDefault ? 1 : kMaxButtons, TRUE, error.out());
            return AXError::Success;
        });
        if (result == AXError::Success && matches) {
            for (guint i = 0; i < matches->len; ++i) {
                auto* match = g_array_index(matches, AtspiAccessible*, i);
                // The rule admits push buttons only: the role is known without asking.
                if (match && !g_object_get_qdata(G_OBJECT(match), roleQuark()))
                    g_object_set_qdata(G_OBJECT(match), roleQuark(), GINT_TO_POINTER(static_cast<int>(ATSPI_ROLE_PUSH_BUTTON) + 1));
                buttons.push_back(GObjectRef<AtspiAccessible>::adopt(match));
            }
            g_array_free(matches, TRUE);
            return AXError::Success;
        }
        if (matches)
            g_array_free(matches, TRUE);
        if (result == AXError::CannotComplete || result == AXError::InvalidUIElement)
            return result;
    }
    // No search offered: walk the tree.
    std::vector<GObjectRef<AtspiAccessible>> pending;
    pending.push_back(GObjectRef<AtspiAccessible>::retain(window));
    int visited = 0;
    while (!pending.empty() && visited < 4 * kMaxButtons * kMaxLayoutDepth && static_cast<int>(buttons.size()) < kMaxButtons) {
        auto node = std::move(pending.back());
        pending.pop_back();
        ++visited;
        auto children = childrenOf(node.get());
        if (!children)
            return AXError::CannotComplete;
        for (auto it = children->rbegin(); it != children->rend(); ++it) {
            auto role = roleOf(it->get());
            if (role && *role == ATSPI_ROLE_PUSH_BUTTON) {
                StateSetRef states;
                if (stateSetOf(it->get(), states.set) == AXError::CannotComplete)
                    return AXError::CannotComplete;
                if ((!onlyShowing || states.has(ATSPI_STATE_SHOWING)) && (!onlyDefault || states.has(ATSPI_STATE_IS_DEFAULT)))
                    buttons.push_back(it->share());
            } else if (role) {
                pending.push_back(it->share());
            }
        }
    }
    // The walk pushed children last-first; restore the tree's order.
    std::reverse(buttons.begin(), buttons.end());
    return AXError::Success;
}

AXError AtspiAccessibility::defaultButton(AtspiAccessible* window, AXElement& button)
{
    if (followsGtk4(AtspiElement::busNameOf(window)))
        return gtk4DefaultButton(window, button);
    std::vector<GObjectRef<AtspiAccessible>> buttons;
    if (AXError error = pushButtons(window, buttons, true); error != AXError::Success)
        return error;
    if (!buttons.empty())
        button = AtspiElement::make(std::move(buttons.front()));
    return AXError::Success;
}

bool AtspiAccessibility::hasArea(AtspiAccessible* button, AXError& error)
{
    AtspiRect rect{};
    error = extentsOf(button, rect);
    if (error == AXError::NoValue || error == AXError::AttributeUnsupported)
        error = AXError::Success;
    return error == AXError::Success && rect.width > 0 && rect.height > 0;
}

AXError AtspiAccessibility::gtk4DefaultButton(AtspiAccessible* window, AXElement& button)
{
    // Only a dialog's buttons answer it; in a main window the focus is just
    // where the user works.
    auto role = roleOf(window);
    if (!role)
        return AXError::CannotComplete;
    if (*role != ATSPI_ROLE_DIALOG && *role != ATSPI_ROLE_ALERT && *role != ATSPI_ROLE_FILE_CHOOSER)
        return AXError::Success;
    std::vector<GObjectRef<AtspiAccessible>> buttons;
    if (AXError error = pushButtons(window, buttons, false); error != AXError::Success)
        return error;
    std::vector<Gtk4Conventions::Button> facts;
    for (const auto& candidate : buttons) {
        Gtk4Conventions::Button fact;
        auto name = shownNameOf(candidate.get());
        if (!name)
            return AXError::CannotComplete;
        fact.name = *name;
        AXError error = AXError::Success;
        fact.focused = stateOf(candidate.get(), ATSPI_STATE_FOCUSED, error);
        if (error == AXError::CannotComplete)
            return error;
        fact.hasArea = hasArea(candidate.get(), error);
        if (error == AXError::CannotComplete)
            return error;
        facts.push_back(std::move(fact));
    }
    if (auto chosen = Gtk4Conventions::defaultButton(facts, declines)) {
        VELMORA_TRACE("GTK 4 default button: \"%s\"%s", facts[*chosen].name.c_str(), facts[*chosen].focused ? " (focused)" : " (last)");
        button = AtspiElement::make(std::move(buttons[*chosen]));
    }
    return AXError::Success;
}

AXError AtspiAccessibility::cancelButton(AtspiAccessible* window, AXElement& button)
{
    std::vector<GObjectRef<AtspiAccessible>> buttons;
    if (AXError error = pushButtons(window, buttons, false); error != AXError::Success)
        return error;
    const bool gtk4 = followsGtk4(AtspiElement::busNameOf(window));
    for (auto& candidate : buttons) {
        auto name = shownNameOf(candidate.get());
        if (!name)
            return AXError::CannotComplete;
        if (!declines(*name))
            continue;
        // GTK 4 keeps buttons of rows not laid out (0 x 0) among the rest.
        AXError error = AXError::Success;
        if (gtk4 && !hasArea(candidate.get(), error)) {
            if (error == AXError::CannotComplete)
                return error;
            continue;
        }
        button = AtspiElement::make(std::move(candidate));
        return AXError::Success;
    }
    return AXError::Success;
}

// --- Element at a point -----------------------------------------------------

AXError AtspiAccessibility::deepestAt(AtspiAccessible* start, int x, int y, AXElement& result)
{
    const std::string bus = AtspiElement::busNameOf(start);
    AtspiCoordType coordinates = ATSPI_COORD_TYPE_SCREEN;
    if (!m_windows) {
        const auto frame = followsGtk4(bus) ? std::nullopt : xwaylandFrameOf(start);
        const auto margin = frame ? Gtk4Conventions::Margin{} : surfaceMargin(bus, start);
        x += frame ? frame->first : -margin.left;
        y += frame ? frame->second : -margin.top;
        if (followsGtk4(bus))
            coordinates = ATSPI_COORD_TYPE_WINDOW;
    } else if (followsGtk4(bus)) {
        // Asked in its window's terms, as GTK 4 answers.
        auto window = windowOf(start);
        auto origin = window ? windowOrigin(window.get()) : std::nullopt;
        if (!origin)
            return m_ledger.isHung(bus) ? AXError::CannotComplete : AXError::NoValue;
        x -= origin->first;
        y -= origin->second;
        coordinates = ATSPI_COORD_TYPE_WINDOW;
    }
    auto current = GObjectRef<AtspiAccessible>::retain(start);
    for (int depth = 0; depth < kMaxPointDepth; ++depth) {
        auto component = componentOf(current.get());
        if (!component) {
            if (m_ledger.isHung(bus))
                return AXError::CannotComplete;
            break;
        }
        GObjectRef<AtspiAccessible> child;
        AXError error = request(bus, "child at point", [&](GErrorPtr& gerror) {
            child = GObjectRef<AtspiAccessible>::adopt(
                atspi_component_get_accessible_at_point(component.get(), x, y, coordinates, gerror.out()));
            return AXError::Success;
        });
        if (error != AXError::Success)
            return error;
        if (!child || child.get() == current.get())
            break;
        current = std::move(child);
    }
    result = AtspiElement::make(std::move(current));
    return AXError::Success;
}

AXError AtspiAccessibility::copyElementAtPosition(const AXElement& element, float x, float y, AXElement& result)
{
    auto* e = element.refAs<AtspiElement>();
    result.reset();
    if (!e)
        return AXError::IllegalArgument;
    int ix = static_cast<int>(x), iy = static_cast<int>(y);
    AXElement app = element;
    // The compositor named the window there: shown, whatever states the
    // application has yet told of it (a window just shown may still read as
    // not showing for a moment).
    bool vouched = false;
    if (e->kind() == AtspiElement::Kind::SystemWide) {
        pid_t pid = m_windows ? m_windows->pidOfWindowAt(ix, iy) : 0;
        if (!m_windows && m_surfaces) {
            // A screen point, asked of windows whose positions are their own.
            if (auto surface = m_surfaces->surfaceAt(ix, iy)) {
                pid = surface->pid;
                ix -= surface->x;
                iy -= surface->y;
                x = static_cast<float>(ix);
                y = static_cast<float>(iy);
                vouched = true;
            }
        }
        app = pid > 0 ? createApplication(pid) : AXElement();
        if (!app)
            return AXError::NoValue;
    }
    auto* appRef = app.refAs<AtspiElement>();
    if (appRef->kind() != AtspiElement::Kind::Application)
        return deepestAt(appRef->accessible(), ix, iy, result);
    std::vector<GObjectRef<AtspiAccessible>> windows;
    if (AXError error = windowsOf(*appRef, windows); error != AXError::Success)
        return error;
    std::optional<GObjectRef<AtspiAccessible>> unshown;
    for (const auto& window : windows) {
        AXValue position, size;
        AXElement windowElement = AtspiElement::make(window.share());
        if (valueForObject(*windowElement.refAs<AtspiElement>(), "AXPosition", position) != AXError::Success
            || valueForObject(*windowElement.refAs<AtspiElement>(), "AXSize", size) != AXError::Success)
            continue;
        CGPoint p = *position.pointValue();
        CGSize s = *size.sizeValue();
        StateSetRef states;
        if (x < p.x || y < p.y || x >= p.x + s.width || y >= p.y + s.height)
            continue;
        if (stateSetOf(window.get(), states.set) != AXError::Success
            || !(states.has(ATSPI_STATE_SHOWING) || (followsGtk4(appRef->busName()) && states.has(ATSPI_STATE_VISIBLE)))) {
            if (vouched && !unshown)
                unshown = window.share();
            continue;
        }
        return deepestAt(window.get(), ix, iy, result);
    }
    if (unshown)
        return deepestAt(unshown->get(), ix, iy, result);
    return AXError::NoValue;
}

AXError AtspiAccessibility::getPid(const AXElement& element, pid_t& pid)
{
    auto* e = element.refAs<AtspiElement>();
    pid = 0;
    if (!e || e->kind() == AtspiElement::Kind::SystemWide)
        return AXError::IllegalArgument;
    pid = pidForBus(e->busName(), e->accessible());
    return pid > 0 ? AXError::Success : AXError::InvalidUIElement;
}

AXError AtspiAccessibility::createObserver(pid_t pid, AXObserver::Callback callback, std::unique_ptr<AXObserver>& observer)
{
    observer.reset();
    if (!isAPIEnabled())
        return AXError::APIDisabled;
    AXElement app = createApplication(pid);
    if (!app) {
        VELMORA_TRACE("observer for %d: not on the accessibility bus yet", static_cast<int>(pid));
        return AXError::CannotComplete;
    }
    if (m_ledger.isHung(app.refAs<AtspiElement>()->busName())) {
        VELMORA_TRACE("observer for %d: application hung", static_cast<int>(pid));
        return AXError::CannotComplete;
    }
    observer = std::make_unique<AtspiObserver>(*this, pid, std::move(app), std::move(callback));
    return AXError::Success;
}

// --- Events -----------------------------------------------------------------

int AtspiAccessibility::addObserver(AtspiObserver& observer)
{
    int id = m_nextObserverId++;
    m_observers.emplace(id, &observer);
    return id;
}

void AtspiAccessibility::removeObserver(int id)
{
    m_observers.erase(id);
}

// static
void AtspiAccessibility::onEvent(AtspiEvent* rawEvent, void* data)
{
    // The event is ours to free; only what the dispatch needs is kept.
    std::unique_ptr<AtspiEvent, void (*)(AtspiEvent*)> event(rawEvent, [](AtspiEvent* e) { g_boxed_free(ATSPI_TYPE_EVENT, e); });
    auto* self = static_cast<AtspiAccessibility*>(data);
    if (!event->source || !isDispatched(event->type))
        return;
    self->enqueue({event->type ? event->type : "", GObjectRef<AtspiAccessible>::retain(event->source), event->detail1,
        AtspiElement::busNameOf(event->source)});
}

void AtspiAccessibility::enqueue(QueuedEvent event)
{
    m_queue.push_back(std::move(event));
    if (!m_dispatch.isActive() && !m_dispatching)
        m_dispatch = SourceGuard::idle(&AtspiAccessibility::onDispatch, this, "[velmora] accessibility events");
}

// static
gboolean AtspiAccessibility::onDispatch(gpointer data)
{
    auto* self = static_cast<AtspiAccessibility*>(data);
    self->m_dispatch.stop();
    self->dispatchQueued();
    return G_SOURCE_REMOVE;
}

void AtspiAccessibility::dispatchQueued()
{
    // Nothing is dispatched from inside a dispatch (a request may run a
    // nested loop): what arrives meanwhile is queued and taken in turn.
    m_dispatching = true;
    while (!m_queue.empty()) {
        QueuedEvent event = std::move(m_queue.front());
        m_queue.pop_front();
        if (m_surfaces)
            m_surfaces->forgetAnswers();
        m_eventReads = EventReads{};
        m_eventReads.requestsBefore = m_requestCount;
        const std::string& bus = event.bus;
        const std::string& type = event.type;
        if (type == "registry:add" || type == "registry:remove") {
            applicationJoinedOrLeft(bus, type == "registry:add");
            continue;
        }
        pid_t pid = pidForBus(bus, event.source.get());
        VELMORA_TRACE("%s from %s (pid %d)", type.c_str(), bus.c_str(), static_cast<int>(pid));
        AXElement source = AtspiElement::make(event.source.share());
        std::string effective = type;
        if (type == "window:activate" || type == "window:deactivate" || type == "object:state-changed:active") {
            // GTK 4 announces a frame's activation both ways and a dialog's
            // only by its active state: that one is followed, alone. Other
            // toolkits' active states (menus, items) are not windows taking
            // the focus.
            const bool gtk4 = followsGtk4(bus);
            if ((type == "object:state-changed:active") != gtk4)
                continue;
            if (gtk4) {
                auto role = roleOf(event.source.get());
                if (role && !AtspiRoleMap::isWindow(*role))
                    continue;
                effective = event.detail1 ? "window:activate" : "window:deactivate";
            }
        }
        if (effective == "window:activate") {
            const bool appWasActive = m_activeWindow && AtspiElement::busNameOf(m_activeWindow.get()) == bus;
            m_activeWindow = event.source.share();
            m_activeBus = bus;
            if (!appWasActive)
                deliver(pid, "AXApplicationActivated", applicationElement(bus));
            deliver(pid, "AXFocusedWindowChanged", source);
            deliver(pid, "AXMainWindowChanged", source);
        } else if (effective == "window:deactivate") {
            if (m_activeWindow && m_activeWindow.get() == event.source.get())
                m_activeWindow.reset();
            // A dialog taking the focus from its own application's window
            // deactivates that window after activating the dialog: the
            // application stays active then.
            const bool appStillActive = m_activeWindow && AtspiElement::busNameOf(m_activeWindow.get()) == bus;
            if (!appStillActive)
                deliver(pid, "AXApplicationDeactivated", applicationElement(bus));
        } else if (type == "window:create") {
            deliver(pid, "AXWindowCreated", source);
        } else if (type == "window:destroy") {
            if (m_activeWindow && m_activeWindow.get() == event.source.get())
                m_activeWindow.reset();
            deliver(pid, "AXUIElementDestroyed", source);
        } else if (type == "window:minimize") {
            deliver(pid, "AXApplicationHidden", applicationElement(bus));
        } else if (type == "window:restore") {
            deliver(pid, "AXApplicationShown", applicationElement(bus));
        } else if (type == "object:state-changed:focused" && event.detail1) {
            m_focusedByBus[bus] = event.source.share();
            deliver(pid, "AXFocusedUIElementChanged", source);
        }
    }
    m_eventReads = EventReads{};
    m_dispatching = false;
}

pid_t AtspiAccessibility::processOfBusName(const std::string& bus)
{
    if (!m_buses.accessibility)
        return 0;
    GErrorPtr error;
    GVariant* reply = g_dbus_connection_call_sync(m_buses.accessibility.get(), "org.freedesktop.DBus", "/org/freedesktop/DBus",
        "org.freedesktop.DBus", "GetConnectionUnixProcessID", g_variant_new("(s)", bus.c_str()), G_VARIANT_TYPE("(u)"),
        G_DBUS_CALL_FLAGS_NONE, kBusCallMs, nullptr, error.out());
    if (!reply)
        return 0;
    guint32 pid = 0;
    g_variant_get(reply, "(u)", &pid);
    g_variant_unref(reply);
    return static_cast<pid_t>(pid);
}

void AtspiAccessibility::applicationJoinedOrLeft(const std::string& bus, bool joined)
{
    VELMORA_TRACE("%s %s the accessibility bus", bus.c_str(), joined ? "joined" : "left");
    pid_t pid = 0;
    if (joined) {
        // libatspi learns of the new application on its own connection, maybe
        // later than we do: its process comes from the bus daemon.
        pid = processOfBusName(bus);
        if (pid > 0)
            m_pidsByBus[bus] = pid;
    } else {
        auto known = m_pidsByBus.find(bus);
        if (known != m_pidsByBus.end()) {
            pid = known->second;
            m_pidsByBus.erase(known);
        }
        m_appsByBus.erase(bus);
        m_ledger.forget(bus);
        m_focusedByBus.erase(bus);
        m_toolkitByBus.erase(bus);
        m_surfaceMarginByBus.erase(bus);
        if (m_activeWindow && AtspiElement::busNameOf(m_activeWindow.get()) == bus)
            m_activeWindow.reset();
        if (m_activeBus == bus)
            m_activeBus.clear();
    }
    if (pid > 0 && m_onApplication) {
        auto handler = m_onApplication;
        handler(pid, joined);
    }
}

void AtspiAccessibility::deliver(pid_t pid, const std::string& notification, const AXElement& element)
{
    if (pid <= 0 || !element)
        return;
    // Observers may be created or destroyed by a delivery: walk ids, not iterators.
    std::vector<int> ids;
    for (const auto& [id, observer] : m_observers) {
        if (observer->pid() == pid)
            ids.push_back(id);
    }
    VELMORA_TRACE("%s for %d: %zu observer(s)", notification.c_str(), static_cast<int>(pid), ids.size());
    for (int id : ids) {
        auto it = m_observers.find(id);
        if (it != m_observers.end() && it->second->wants(notification, element))
            it->second->deliver(element, notification);
    }
}

// static
void AtspiAccessibility::onRegistrySignal(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
    GVariant* parameters, gpointer data)
{
    auto* self = static_cast<AtspiAccessibility*>(data);
    if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(siiva{sv})")))
        return;
    const gchar* minor = nullptr;
    gint32 detail1 = 0, detail2 = 0;
    GVariant* any = nullptr;
    GVariant* properties = nullptr;
    g_variant_get(parameters, "(&siiv@a{sv})", &minor, &detail1, &detail2, &any, &properties);
    std::string bus;
    if (any && g_variant_is_of_type(any, G_VARIANT_TYPE("(so)"))) {
        const gchar* name = nullptr;
        const gchar* path = nullptr;
        g_variant_get(any, "(&s&o)", &name, &path);
        bus = name ? name : "";
    }
    if (any)
        g_variant_unref(any);
    if (properties)
        g_variant_unref(properties);
    if (bus.empty() || !minor)
        return;
    self->enqueue({g_str_has_prefix(minor, "add") ? "registry:add" : "registry:remove", {}, 0, bus});
}

} // namespace velmora::linux_desktop
