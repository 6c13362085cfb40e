#include "platform/linux/AtspiButtonSearch.h"

#include "platform/linux/AtspiApplicationToolkits.h"
#include "platform/linux/AtspiBoundedCalls.h"
#include "platform/linux/AtspiElement.h"
#include "platform/linux/AtspiEventReadCache.h"
#include "platform/linux/AtspiExtentsReader.h"
#include "platform/linux/AtspiObjectReads.h"
#include "platform/linux/AtspiTrace.h"
#include "platform/linux/AtspiTreeWalk.h"
#include "platform/linux/DecliningLabels.h"
#include "platform/linux/GArrayPtr.h"
#include "platform/linux/Gtk4Conventions.h"

#include <algorithm>

namespace velmora::linux_desktop {

namespace {

bool has(const GObjectRef<AtspiStateSet>& states, AtspiStateType state)
{
    return states && atspi_state_set_contains(states.get(), state);
}

} // namespace

AtspiButtonSearch::AtspiButtonSearch(AtspiBoundedCalls& calls, AtspiObjectReads& reads, AtspiApplicationToolkits& toolkits,
    AtspiExtentsReader& extents, AtspiEventReadCache& cache)
    : m_calls(calls)
    , m_reads(reads)
    , m_toolkits(toolkits)
    , m_extents(extents)
    , m_cache(cache)
{
}

AccessibilityError AtspiButtonSearch::pushButtons(AtspiAccessible* window, std::vector<GObjectRef<AtspiAccessible>>& buttons, Only only)
{
    // GTK 4 never sets SHOWING below its windows: its buttons are sorted out
    // by their area instead.
    const bool gtk4 = m_toolkits.followsGtk4(AtspiElement::busNameOf(window));
    if (AccessibilityError error = collectPushButtons(window, buttons, only, !gtk4); error != AccessibilityError::Success)
        return error;
    // Their extents are placed through this window: no walk up to it.
    if (gtk4 && m_cache.isOpen()) {
        for (const auto& button : buttons)
            m_cache.keep(m_cache.windowOfButton, button.get(), GObjectRef<AtspiAccessible>::retain(window));
    }
    return AccessibilityError::Success;
}

AccessibilityError AtspiButtonSearch::collectPushButtons(AtspiAccessible* window, std::vector<GObjectRef<AtspiAccessible>>& buttons,
    Only only, bool onlyShowing)
{
    const bool onlyDefault = only == Only::Default;
    // One request for the whole window where the toolkit offers a search of
    // its own tree (GTK and most others do).
    AccessibilityError interfacesError = AccessibilityError::Success;
    auto collection = m_reads.collectionOf(window, interfacesError);
    if (interfacesError == AccessibilityError::CannotComplete)
        return AccessibilityError::CannotComplete;
    if (collection) {
        GArrayPtr roles(g_array_new(FALSE, FALSE, sizeof(AtspiRole)));
        AtspiRole pushButton = ATSPI_ROLE_PUSH_BUTTON;
        g_array_append_val(roles.get(), pushButton);
        GArrayPtr stateList(g_array_new(FALSE, FALSE, sizeof(AtspiStateType)));
        // A button not on screen (a hidden bar's, another page's) answers nothing.
        AtspiStateType showing = ATSPI_STATE_SHOWING;
        if (onlyShowing)
            g_array_append_val(stateList.get(), showing);
        if (onlyDefault) {
            AtspiStateType isDefault = ATSPI_STATE_IS_DEFAULT;
            g_array_append_val(stateList.get(), isDefault);
        }
        auto states = GObjectRef<AtspiStateSet>::adopt(atspi_state_set_new(stateList.get()));
        auto rule = GObjectRef<AtspiMatchRule>::adopt(atspi_match_rule_new(states.get(), ATSPI_Collection_MATCH_ALL, nullptr,
            ATSPI_Collection_MATCH_ALL, roles.get(), ATSPI_Collection_MATCH_ANY, nullptr, ATSPI_Collection_MATCH_ALL, FALSE));
        // The matches' references are ours: each is adopted, then the array goes.
        GArrayPtr matches;
        AccessibilityError result = m_calls.call(AtspiElement::busNameOf(window), "matches", [&](GErrorPtr& error) {
            matches.reset(atspi_collection_get_matches(collection.get(), rule.get(), ATSPI_Collection_SORT_ORDER_CANONICAL,
                onlyDefault ? 1 : kMaxButtons, TRUE, error.out()));
            return AccessibilityError::Success;
        });
        if (result == AccessibilityError::Success && matches) {
            for (guint i = 0; i < matches->len; ++i) {
                auto* match = g_array_index(matches.get(), AtspiAccessible*, i);
                // The rule admits push buttons only: the role is known without asking.
                AtspiObjectReads::noteRole(match, ATSPI_ROLE_PUSH_BUTTON);
                buttons.push_back(GObjectRef<AtspiAccessible>::adopt(match));
            }
            return AccessibilityError::Success;
        }
        if (result == AccessibilityError::CannotComplete || result == AccessibilityError::InvalidUIElement)
            return result;
    }
    // No search offered: walk the tree.
    std::vector<GObjectRef<AtspiAccessible>> pending;
    pending.push_back(GObjectRef<AtspiAccessible>::retain(window));
    int visited = 0;
    while (!pending.empty() && visited < 4 * kMaxButtons * AtspiTreeWalk::kMaxLayoutDepth
        && static_cast<int>(buttons.size()) < kMaxButtons) {
        auto node = std::move(pending.back());
        pending.pop_back();
        ++visited;
        auto children = m_reads.childrenOf(node.get());
        if (!children)
            return AccessibilityError::CannotComplete;
        for (auto it = children->rbegin(); it != children->rend(); ++it) {
            auto role = m_reads.roleOf(it->get());
            if (role && *role == ATSPI_ROLE_PUSH_BUTTON) {
                GObjectRef<AtspiStateSet> states;
                if (m_reads.stateSetOf(it->get(), states) == AccessibilityError::CannotComplete)
                    return AccessibilityError::CannotComplete;
                if ((!onlyShowing || has(states, ATSPI_STATE_SHOWING)) && (!onlyDefault || has(states, ATSPI_STATE_IS_DEFAULT)))
                    buttons.push_back(it->share());
            } else if (role) {
                pending.push_back(it->share());
            }
        }
    }
    // The walk pushed children last-first; restore the tree's order.
    std::reverse(buttons.begin(), buttons.end());
    return AccessibilityError::Success;
}

AccessibilityError AtspiButtonSearch::defaultButton(AtspiAccessible* window, AccessibleElement& button)
{
    if (m_toolkits.followsGtk4(AtspiElement::busNameOf(window)))
        return gtk4DefaultButton(window, button);
    std::vector<GObjectRef<AtspiAccessible>> buttons;
    if (AccessibilityError error = pushButtons(window, buttons, Only::Default); error != AccessibilityError::Success)
        return error;
    if (!buttons.empty())
        button = AtspiElement::make(std::move(buttons.front()));
    return AccessibilityError::Success;
}

bool AtspiButtonSearch::hasArea(AtspiAccessible* button, AccessibilityError& error)
{
    AtspiRect rect{};
    error = m_extents.extentsOf(button, rect);
    if (error == AccessibilityError::NoValue || error == AccessibilityError::AttributeUnsupported)
        error = AccessibilityError::Success;
    return error == AccessibilityError::Success && rect.width > 0 && rect.height > 0;
}

AccessibilityError AtspiButtonSearch::gtk4DefaultButton(AtspiAccessible* window, AccessibleElement& button)
{
    // Only a dialog's buttons answer it; in a main window the focus is just
    // where the user works.
    auto role = m_reads.roleOf(window);
    if (!role)
        return AccessibilityError::CannotComplete;
    if (*role != ATSPI_ROLE_DIALOG && *role != ATSPI_ROLE_ALERT && *role != ATSPI_ROLE_FILE_CHOOSER)
        return AccessibilityError::Success;
    std::vector<GObjectRef<AtspiAccessible>> buttons;
    if (AccessibilityError error = pushButtons(window, buttons, Only::Any); error != AccessibilityError::Success)
        return error;
    std::vector<Gtk4Conventions::Button> facts;
    for (const auto& candidate : buttons) {
        Gtk4Conventions::Button fact;
        auto name = m_toolkits.shownNameOf(candidate.get());
        if (!name)
            return AccessibilityError::CannotComplete;
        fact.name = *name;
        AccessibilityError error = AccessibilityError::Success;
        fact.focused = m_reads.stateOf(candidate.get(), ATSPI_STATE_FOCUSED, error);
        if (error == AccessibilityError::CannotComplete)
            return error;
        fact.hasArea = hasArea(candidate.get(), error);
        if (error == AccessibilityError::CannotComplete)
            return error;
        facts.push_back(std::move(fact));
    }
    if (auto chosen = Gtk4Conventions::defaultButton(facts, &DecliningLabels::declines)) {
        VELMORA_TRACE("GTK 4 default button: \"%s\"%s", facts[*chosen].name.c_str(), facts[*chosen].focused ? " (focused)" : " (last)");
        button = AtspiElement::make(std::move(buttons[*chosen]));
    }
    return AccessibilityError::Success;
}

AccessibilityError AtspiButtonSearch::cancelButton(AtspiAccessible* window, AccessibleElement& button)
{
    std::vector<GObjectRef<AtspiAccessible>> buttons;
    if (AccessibilityError error = pushButtons(window, buttons, Only::Any); error != AccessibilityError::Success)
        return error;
    const bool gtk4 = m_toolkits.followsGtk4(AtspiElement::busNameOf(window));
    for (auto& candidate : buttons) {
        auto name = m_toolkits.shownNameOf(candidate.get());
        if (!name)
            return AccessibilityError::CannotComplete;
        if (!DecliningLabels::declines(*name))
            continue;
        // GTK 4 keeps buttons of rows not laid out (0 x 0) among the rest.
        AccessibilityError error = AccessibilityError::Success;
        if (gtk4 && !hasArea(candidate.get(), error)) {
            if (error == AccessibilityError::CannotComplete)
                return error;
            continue;
        }
        button = AtspiElement::make(std::move(candidate));
        return AccessibilityError::Success;
    }
    return AccessibilityError::Success;
}

} // namespace velmora::linux_desktop
