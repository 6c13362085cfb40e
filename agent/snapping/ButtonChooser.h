#pragma once

#include "platform/ElementReader.h"
#include "platform/Platform.h"
#include "platform/Workspace.h"

#include <optional>
#include <string>
#include <type_traits>
#include <variant>

namespace velmora {

// A spot on the screens, or in the window's own pixels where the desktop
// gives its accessibility positions that way.
using SnapSpot = std::variant<Point, WindowPoint>;

// Where a snap goes: the button and the spot on it.
struct SnapTarget {
    AccessibleElement button;
    SnapSpot spot;
};

// The button rules: which button, if any, answers a newly focused window.
// Only a button the pointer can really be put on is chosen (see
// snapPointOnButton); a standard window is never answered by its cancel
// button, which there is a guess by label, not the window's own answer.
// Per-application bends of the rules come from ApplicationExceptions.
//
// Once the application does not answer one read (Hung) or access is off,
// the chooser asks nothing more until the next choose(): each further read
// would only wait out another time budget.
class ButtonChooser {
public:
    // `platform` (the settings and the screens) and `reader` are not owned
    // and must outlive the chooser. `app` (not owned, may be null) is the
    // record of the window's application; without one no exception applies.
    ButtonChooser(Platform& platform, ElementReader& reader, const ApplicationInfo* app)
        : m_platform(platform), m_reader(reader), m_app(app) { }

    // The answer to `window`; none when no button answers it; Hung or
    // AccessOff when a read was not answered, whatever was found before it.
    ErrorOr<std::optional<SnapTarget>> choose(const AccessibleElement& window);
    // The button of choose(); empty for none and for an error.
    AccessibleElement answeringButton(const AccessibleElement& window);

    // Single rules, for tests; empty for none. They ask nothing once the
    // application has stopped answering in the current choice.
    AccessibleElement defaultButton(const AccessibleElement& window);
    AccessibleElement cancelButton(const AccessibleElement& window);
    // Where the pointer goes on `button` of `window`; none when the button is
    // hidden, has no area, or the spot is outside the window or off every screen.
    // In the window's own pixels when its positions are given that way.
    std::optional<SnapSpot> snapPointOnButton(const AccessibleElement& button, const AccessibleElement& window);

private:
    // The value of a read, or none; notes a Hung or AccessOff read and, after
    // one, makes no request at all.
    template<typename Read>
    auto ask(Read&& read) -> std::optional<typename std::invoke_result_t<Read>::ValueType>;

    bool hasButtonRole(const AccessibleElement& element);
    bool positionsRelativeToWindow(const AccessibleElement& window);
    AccessibleElement enabledElementOfType(const std::string& attribute, const AccessibleElement& window);
    AccessibleElement fileProgressWindowButton(const AccessibleElement& window);
    AccessibleElement listedFileProgressButton(const AccessibleElement& window);
    AccessibleElement flatFileProgressButton(const AccessibleElement& window);
    // Both progress-window layouts end the same way: a "Replace" button, else "Continue".
    AccessibleElement replaceOrContinueButtonIn(const AccessibleElement& container);
    // The first (last) child whose advertised `attribute` loosely equals
    // `wanted`; buttonChild also wants the button role.
    AccessibleElement child(const AccessibleElement& element, const std::string& attribute, const std::string& wanted);
    AccessibleElement lastChild(const AccessibleElement& element, const std::string& attribute, const std::string& wanted);
    AccessibleElement buttonChild(const AccessibleElement& element, const std::string& attribute, const std::string& wanted);
    bool attributeLooselyEquals(const AccessibleElement& element, const std::string& attribute, const std::string& wanted);

    Platform& m_platform;
    ElementReader& m_reader;      // not owned
    const ApplicationInfo* m_app; // not owned; may be null
    std::optional<ReadError> m_stopped;
};

} // namespace velmora
