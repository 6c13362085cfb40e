#pragma once

#include "platform/ElementReader.h"
#include "platform/Workspace.h"

#include <optional>
#include <string>
#include <type_traits>

namespace velmora {

// Where a snap goes: the button and the spot on it.
struct SnapTarget {
    AXElement button;
    CGPoint spot;
    bool inWindow{false}; // the spot is in the window's own coordinates
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
    // `reader` is not owned and must outlive the chooser. `app` (not owned,
    // may be null) is the record of the window's application; without one
    // no exception applies.
    ButtonChooser(ElementReader& reader, const ApplicationInfo* app) : m_reader(reader), m_app(app) { }

    // The answer to `window`; none when no button answers it; Hung or
    // AccessOff when a read was not answered, whatever was found before it.
    ErrorOr<std::optional<SnapTarget>> choose(const AXElement& window);
    // The button of choose(); empty for none and for an error.
    AXElement answeringButton(const AXElement& window);

    // Single rules, for tests; empty for none. They ask nothing once the
    // application has stopped answering in the current choice.
    AXElement defaultButton(const AXElement& window);
    AXElement cancelButton(const AXElement& window);
    // Where the pointer goes on `button` of `window`; none when the button is
    // hidden, has no area, or the spot is outside the window or off every screen.
    // In the window's own coordinates when its positions are given that way.
    std::optional<CGPoint> snapPointOnButton(const AXElement& button, const AXElement& window);

private:
    // The value of a read, or none; notes a Hung or AccessOff read and, after
    // one, makes no request at all.
    template<typename Read>
    auto ask(Read&& read) -> std::optional<typename std::invoke_result_t<Read>::ValueType>;

    bool hasButtonRole(const AXElement& element);
    bool positionsRelativeToWindow(const AXElement& window);
    AXElement enabledElementOfType(const std::string& attribute, const AXElement& window);
    AXElement fileProgressWindowButton(const AXElement& window);
    AXElement listedFileProgressButton(const AXElement& window);
    AXElement flatFileProgressButton(const AXElement& window);
    // Both progress-window layouts end the same way: a "Replace" button, else "Continue".
    AXElement replaceOrContinueButtonIn(const AXElement& container);
    // The first (last) child whose advertised `attribute` loosely equals
    // `wanted`; buttonChild also wants the button role.
    AXElement child(const AXElement& element, const std::string& attribute, const std::string& wanted);
    AXElement lastChild(const AXElement& element, const std::string& attribute, const std::string& wanted);
    AXElement buttonChild(const AXElement& element, const std::string& attribute, const std::string& wanted);
    bool attributeLooselyEquals(const AXElement& element, const std::string& attribute, const std::string& wanted);

    ElementReader& m_reader;      // not owned
    const ApplicationInfo* m_app; // not owned; may be null
    std::optional<ReadError> m_stopped;
};

} // namespace velmora
