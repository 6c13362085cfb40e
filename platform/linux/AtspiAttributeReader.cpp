#include "platform/linux/AtspiAttributeReader.h"

#include "platform/linux/AtspiApplicationDirectory.h"
#include "platform/linux/AtspiApplicationToolkits.h"
#include "platform/linux/AtspiBoundedCalls.h"
#include "platform/linux/AtspiButtonSearch.h"
#include "platform/linux/AtspiElement.h"
#include "platform/linux/AtspiExtentsReader.h"
#include "platform/linux/AtspiFocusState.h"
#include "platform/linux/AtspiObjectReads.h"
#include "platform/linux/AtspiRoleMap.h"
#include "platform/linux/AtspiTrace.h"
#include "platform/linux/AtspiTreeWalk.h"
#include "platform/linux/AtspiWindowSystem.h"
#include "platform/linux/Gtk4Conventions.h"
#include "platform/linux/X11WindowLocator.h"

namespace velmora::linux_desktop {

namespace {

AttributeValue elementArray(const std::vector<GObjectRef<AtspiAccessible>>& list)
{
    AttributeValue::Array array;
    for (const auto& item : list)
        array.push_back(AtspiElement::make(item.share()));
    return AttributeValue(std::move(array));
}

bool has(AtspiStateSet* states, AtspiStateType state)
{
    return states && atspi_state_set_contains(states, state);
}

} // namespace

AtspiAttributeReader::AtspiAttributeReader(AtspiBoundedCalls& calls, AtspiObjectReads& reads, AtspiTreeWalk& tree,
    AtspiExtentsReader& extents, AtspiButtonSearch& buttons, AtspiApplicationToolkits& toolkits,
    AtspiApplicationDirectory& directory, AtspiFocusState& focus, const AtspiWindowSystem& windowSystem)
    : m_calls(calls)
    , m_reads(reads)
    , m_tree(tree)
    , m_extents(extents)
    , m_buttons(buttons)
    , m_toolkits(toolkits)
    , m_directory(directory)
    , m_focus(focus)
    , m_windowSystem(windowSystem)
{
}

// static
std::vector<std::string> AtspiAttributeReader::objectAttributeNames(AtspiRole role, unsigned interfaces, bool windowRelative)
{
    std::vector<std::string> names = {
        "AXRole", "AXTitle", "AXDescription", "AXEnabled", "AXShowing", "AXParent", "AXChildren", "AXTopLevelUIElement",
    };
    if (interfaces & AtspiObjectReads::kHasComponent) {
        names.push_back("AXPosition");
        names.push_back("AXSize");
    }
    if (AtspiRoleMap::isWindow(role)) {
        names.push_back("AXSubrole");
        if (windowRelative)
            names.push_back("AXWindowRelativePositions");
        names.push_back("AXDefaultButton");
        names.push_back("AXCancelButton");
    }
    return names;
}

AccessibilityError AtspiAttributeReader::names(const AtspiElement& element, std::vector<std::string>& names)
{
    names.clear();
    switch (element.kind()) {
    case AtspiElement::Kind::SystemWide:
        names = {"AXRole", "AXFocusedApplication"};
        return AccessibilityError::Success;
    case AtspiElement::Kind::Application:
        if (m_calls.isHung(element.busName()))
            return AccessibilityError::CannotComplete;
        names = {"AXRole", "AXTitle", "AXWindows", "AXFocusedWindow", "AXFocusedUIElement", "AXFrontmost", "AXHidden", "AXChildren"};
        return AccessibilityError::Success;
    case AtspiElement::Kind::Object:
        break;
    }
    // Derived from the role and the interfaces, each asked once per object.
    auto role = m_reads.roleOf(element.accessible());
    if (!role)
        return m_calls.hungOr(element.busName(), AccessibilityError::InvalidUIElement);
    unsigned interfaces = 0;
    if (AccessibilityError error = m_reads.interfacesOf(element.accessible(), interfaces); error == AccessibilityError::CannotComplete)
        return error;
    names = objectAttributeNames(*role, interfaces, !m_windowSystem.x11);
    return AccessibilityError::Success;
}

AccessibilityError AtspiAttributeReader::value(const AtspiElement& element, const std::string& attribute, AttributeValue& value)
{
    switch (element.kind()) {
    case AtspiElement::Kind::SystemWide:
        if (attribute == "AXRole") {
            value = "AXSystemWide";
            return AccessibilityError::Success;
        }
        if (attribute == "AXFocusedApplication") {
            if (m_focus.activeBus().empty())
                return AccessibilityError::NoValue;
            value = m_directory.applicationElement(m_focus.activeBus());
            return value.isNone() ? AccessibilityError::NoValue : AccessibilityError::Success;
        }
        return AccessibilityError::AttributeUnsupported;
    case AtspiElement::Kind::Application: {
        AccessibilityError result = valueForApplication(element, attribute, value);
        VELMORA_TRACE("%s of %s: error %d, %s", attribute.c_str(), element.busName().c_str(), static_cast<int>(result),
            value.description().c_str());
        return result;
    }
    case AtspiElement::Kind::Object: {
        AccessibilityError result = valueForObject(element, attribute, value);
        if (result != AccessibilityError::Success)
            VELMORA_TRACE("%s of an element of %s: error %d", attribute.c_str(), element.busName().c_str(), static_cast<int>(result));
        return result;
    }
    }
    return AccessibilityError::Failure;
}

AccessibilityError AtspiAttributeReader::valueForApplication(const AtspiElement& app, const std::string& attribute, AttributeValue& value)
{
    // A process may have two applications (see
    // AtspiApplicationDirectory::applicationForPid()): the one whose window
    // is active answers for the other too.
    const std::string& activeBus = m_focus.activeBus();
    if (!activeBus.empty() && activeBus != app.busName()) {
        const auto* active = m_directory.find(activeBus);
        if (active && active->pid == m_directory.pidForBus(app.busName(), app.accessible())) {
            const AccessibleElement speaker = m_directory.applicationElement(activeBus);
            return valueForApplication(*speaker.refAs<AtspiElement>(), attribute, value);
        }
    }
    if (m_calls.isHung(app.busName()))
        return AccessibilityError::CannotComplete;
    const bool ownsActive = m_focus.ownsActiveWindow(app.busName());
    if (attribute == "AXRole") {
        value = "AXApplication";
        return AccessibilityError::Success;
    }
    if (attribute == "AXTitle") {
        auto name = m_reads.nameOf(app.accessible());
        if (!name)
            return AccessibilityError::CannotComplete;
        value = *name;
        return AccessibilityError::Success;
    }
    if (attribute == "AXFocusedUIElement") {
        AtspiAccessible* focused = m_focus.focusedIn(app.busName());
        if (!focused)
            return AccessibilityError::NoValue;
        value = AtspiElement::make(GObjectRef<AtspiAccessible>::retain(focused));
        return AccessibilityError::Success;
    }
    // The active window as the events told it answers without a request for
    // the application that owns it. Any other is asked about its own windows:
    // the events' word may be stale, as a frozen or killed application never
    // announces losing the focus, and one just started may activate its
    // window before it announces anything.
    if (ownsActive && attribute == "AXFrontmost") {
        value = true;
        return AccessibilityError::Success;
    }
    if (ownsActive && attribute == "AXHidden") {
        value = false; // an active window is never iconified
        return AccessibilityError::Success;
    }
    if (ownsActive && attribute == "AXFocusedWindow") {
        value = AtspiElement::make(m_focus.shareActiveWindow());
        return AccessibilityError::Success;
    }

    std::vector<GObjectRef<AtspiAccessible>> windows;
    const bool wantsWindows = attribute == "AXWindows" || attribute == "AXChildren" || attribute == "AXFrontmost"
        || attribute == "AXFocusedWindow" || attribute == "AXHidden";
    if (!wantsWindows)
        return AccessibilityError::AttributeUnsupported;
    if (AccessibilityError error = m_tree.windowsOf(app.accessible(), windows); error != AccessibilityError::Success)
        return error;
    if (attribute == "AXWindows" || attribute == "AXChildren") {
        value = elementArray(windows);
        return AccessibilityError::Success;
    }
    if (attribute == "AXHidden") {
        bool allIconified = !windows.empty();
        for (const auto& window : windows) {
            AccessibilityError error = AccessibilityError::Success;
            allIconified = m_reads.stateOf(window.get(), ATSPI_STATE_ICONIFIED, error) && allIconified;
            if (error == AccessibilityError::CannotComplete)
                return error;
        }
        value = allIconified;
        return AccessibilityError::Success;
    }
    // Ask its windows, and remember an active one for the events that follow:
    // it is newer than any other application's claim.
    auto answer = [&](const GObjectRef<AtspiAccessible>& window) {
        m_focus.windowActivated(window.share(), app.busName());
        if (attribute == "AXFrontmost")
            value = true;
        else
            value = AtspiElement::make(window.share());
        return AccessibilityError::Success;
    };
    for (const auto& window : windows) {
        AccessibilityError error = AccessibilityError::Success;
        if (m_reads.stateOf(window.get(), ATSPI_STATE_ACTIVE, error))
            return answer(window);
        if (error == AccessibilityError::CannotComplete)
            return error;
    }
    // GTK 4 keeps ACTIVE out of its windows' state sets: the window manager
    // tells which window is active, matched by process and title. Asked of
    // the X server first, so that only the application owning the active
    // window is asked its toolkit.
    auto active = m_windowSystem.x11 ? m_windowSystem.x11->activeClient() : std::nullopt;
    if (active && active->pid == m_directory.pidForBus(app.busName(), app.accessible()) && m_toolkits.followsGtk4(app.busName())) {
        for (const auto& window : windows) {
            auto title = m_reads.nameOf(window.get());
            if (!title)
                return m_calls.hungOr(app.busName(), AccessibilityError::InvalidUIElement);
            if (*title != active->title && windows.size() > 1)
                continue;
            return answer(window);
        }
    }
    if (attribute == "AXFrontmost") {
        value = false;
        return AccessibilityError::Success;
    }
    return AccessibilityError::NoValue;
}

AccessibilityError AtspiAttributeReader::valueForObject(const AtspiElement& element, const std::string& attribute, AttributeValue& value)
{
    AtspiAccessible* accessible = element.accessible();
    const std::string& bus = element.busName();
    if (attribute == "AXRole") {
        auto role = m_reads.roleOf(accessible);
        if (!role)
            return m_calls.hungOr(bus, AccessibilityError::InvalidUIElement);
        value = AtspiRoleMap::roleName(*role);
        return AccessibilityError::Success;
    }
    if (attribute == "AXTitle" || attribute == "AXDescription") {
        std::string text;
        if (AccessibilityError result = m_reads.textOf(accessible, attribute == "AXDescription", text); result != AccessibilityError::Success)
            return result;
        value = attribute == "AXTitle" && m_toolkits.followsGtk4(bus) ? Gtk4Conventions::plainName(text) : text;
        return AccessibilityError::Success;
    }
    if (attribute == "AXEnabled" || attribute == "AXShowing") {
        GObjectRef<AtspiStateSet> states;
        if (AccessibilityError result = m_reads.stateSetOf(accessible, states); result != AccessibilityError::Success)
            return result;
        // What the engine takes for an element gone with its window.
        if (has(states.get(), ATSPI_STATE_DEFUNCT))
            return AccessibilityError::InvalidUIElement;
        // The toolkit is asked only where the states alone do not tell.
        // GTK 4 never sets SHOWING below its windows, so VISIBLE is enough
        // there (an unmapped widget reads 0 x 0, which the engine refuses to
        // land on); nor does it set ENABLED: SENSITIVE alone tells there.
        AtspiStateSet* set = states.get();
        if (attribute == "AXShowing")
            value = has(set, ATSPI_STATE_VISIBLE) && (has(set, ATSPI_STATE_SHOWING) || m_toolkits.followsGtk4(bus));
        else
            value = has(set, ATSPI_STATE_SENSITIVE) && (has(set, ATSPI_STATE_ENABLED) || m_toolkits.followsGtk4(bus));
        return AccessibilityError::Success;
    }
    if (attribute == "AXWindowRelativePositions") {
        // Without X11 nothing tells where a window is: toolkits then give
        // every extent relative to its window.
        if (m_windowSystem.x11)
            return AccessibilityError::AttributeUnsupported;
        value = true;
        return AccessibilityError::Success;
    }
    if (attribute == "AXSubrole") {
        auto role = m_reads.roleOf(accessible);
        if (!role)
            return m_calls.hungOr(bus, AccessibilityError::InvalidUIElement);
        if (!AtspiRoleMap::isWindow(*role))
            return AccessibilityError::AttributeUnsupported;
        value = AtspiRoleMap::windowSubrole(*role);
        return AccessibilityError::Success;
    }
    if (attribute == "AXPosition" || attribute == "AXSize") {
        AtspiRect rect{};
        if (AccessibilityError result = m_extents.extentsOf(accessible, rect); result != AccessibilityError::Success)
            return result;
        // A window that is gone, or not on screen, reports a negative size.
        if (rect.width < 0 || rect.height < 0)
            return AccessibilityError::NoValue;
        if (attribute == "AXPosition")
            value = Point{static_cast<float>(rect.x), static_cast<float>(rect.y)};
        else
            value = Size{static_cast<float>(rect.width), static_cast<float>(rect.height)};
        return AccessibilityError::Success;
    }
    if (attribute == "AXChildren") {
        std::vector<GObjectRef<AtspiAccessible>> children;
        if (AccessibilityError error = m_tree.visibleChildren(accessible, children); error != AccessibilityError::Success)
            return error;
        value = elementArray(children);
        return AccessibilityError::Success;
    }
    if (attribute == "AXParent") {
        AccessibleElement parent;
        if (AccessibilityError error = m_tree.visibleParent(accessible, parent); error != AccessibilityError::Success)
            return error;
        value = parent;
        return AccessibilityError::Success;
    }
    if (attribute == "AXTopLevelUIElement") {
        AccessibleElement topLevel;
        if (AccessibilityError error = m_tree.topLevelOf(accessible, topLevel); error != AccessibilityError::Success)
            return error;
        value = topLevel;
        return AccessibilityError::Success;
    }
    if (attribute == "AXDefaultButton" || attribute == "AXCancelButton") {
        auto role = m_reads.roleOf(accessible);
        if (!role || !AtspiRoleMap::isWindow(*role))
            return role ? AccessibilityError::AttributeUnsupported : AccessibilityError::CannotComplete;
        AccessibleElement button;
        AccessibilityError error = attribute == "AXDefaultButton" ? m_buttons.defaultButton(accessible, button)
                                                       : m_buttons.cancelButton(accessible, button);
        if (error != AccessibilityError::Success)
            return error;
        if (!button)
            return AccessibilityError::NoValue;
        value = button;
        return AccessibilityError::Success;
    }
    return AccessibilityError::AttributeUnsupported;
}

} // namespace velmora::linux_desktop
