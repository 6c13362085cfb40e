#include "agent/snapping/ButtonChooser.h"

#include "agent/accessibility/ButtonSpot.h"
#include "agent/snapping/ApplicationExceptions.h"
#include "platform/Platform.h"

#include <glib.h>
#include <memory>

namespace velmora {

namespace {

constexpr const char* kSnapToAlternateButtonInstead = "snapToAlternateButtonInstead";
constexpr const char* kButtonRole = "AXButton";
constexpr const char* kStandardWindowSubrole = "AXStandardWindow";
// Narrower or lower than this, a button is a placeholder, not something to click.
constexpr float kSmallestButtonSide = 2.0f;

using GCharPtr = std::unique_ptr<gchar, decltype(&g_free)>;

// Equal ignoring case under the user's locale. Text that is not valid UTF-8
// never matches: casefolding it would read past what it means.
bool caselessEqual(const std::string& a, const std::string& b)
{
    if (!g_utf8_validate(a.data(), static_cast<gssize>(a.size()), nullptr)
        || !g_utf8_validate(b.data(), static_cast<gssize>(b.size()), nullptr))
        return false;
    GCharPtr foldedA{g_utf8_casefold(a.data(), static_cast<gssize>(a.size())), &g_free};
    GCharPtr foldedB{g_utf8_casefold(b.data(), static_cast<gssize>(b.size())), &g_free};
    return g_utf8_collate(foldedA.get(), foldedB.get()) == 0;
}

// The loose comparison of the button rules: a present, non-empty string that
// equals the wanted one ignoring case.
bool looselyEquals(const std::optional<AttributeValue>& value, const std::string& wanted)
{
    const std::string* text = value ? value->string() : nullptr;
    return text && !text->empty() && caselessEqual(*text, wanted);
}

bool isCopyOrTrash(const std::string& title)
{
    return title == "Copy" || title == "Trash";
}

bool endsWith(const std::string& text, const std::string& suffix)
{
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool stopsTheChoice(ReadError error)
{
    return error == ReadError::Hung || error == ReadError::AccessOff;
}

} // namespace

template<typename Read>
auto ButtonChooser::ask(Read&& read) -> std::optional<typename std::invoke_result_t<Read>::ValueType>
{
    if (m_stopped)
        return std::nullopt;
    auto result = read();
    if (result.hasValue())
        return std::move(result).release();
    if (stopsTheChoice(result.error()))
        m_stopped = result.error();
    return std::nullopt;
}

ErrorOr<std::optional<SnapTarget>> ButtonChooser::choose(const AccessibleElement& window)
{
    m_stopped.reset();
    // A document or main window may hold a button labelled like a cancel
    // button (a hidden "Close" of a search bar, say) that answers nothing.
    const std::optional<std::string> subrole = ask([&] { return m_reader.subrole(window); });
    const bool cancelMayAnswer = subrole != kStandardWindowSubrole;

    // Read at every call: the pane may have changed it since the last snap.
    const bool preferCancel = m_platform.standardUserDefaults().boolForKey(kSnapToAlternateButtonInstead);
    for (int rule = 0; rule < 2; ++rule) {
        const bool cancelTurn = (rule == 0) == preferCancel;
        AccessibleElement button;
        if (cancelTurn)
            button = cancelMayAnswer ? cancelButton(window) : AccessibleElement{};
        else
            button = defaultButton(window);
        if (m_stopped)
            return *m_stopped;
        if (!button)
            continue;
        std::optional<SnapSpot> spot = snapPointOnButton(button, window);
        if (m_stopped)
            return *m_stopped;
        if (spot)
            return std::optional<SnapTarget>{SnapTarget{std::move(button), *spot}};
    }
    return std::optional<SnapTarget>{};
}

AccessibleElement ButtonChooser::answeringButton(const AccessibleElement& window)
{
    ErrorOr<std::optional<SnapTarget>> choice = choose(window);
    if (choice.isError() || !choice.value())
        return {};
    return choice.value()->button;
}

std::optional<SnapSpot> ButtonChooser::snapPointOnButton(const AccessibleElement& button, const AccessibleElement& window)
{
    std::optional<Point> origin = ask([&] { return m_reader.position(button); });
    std::optional<Size> size = ask([&] { return m_reader.size(button); });
    // Toolkits report a widget that is not laid out as 0 x 0 or 1 x 1 at an
    // extreme position; warping there lands in a screen corner.
    if (!origin || !size || size->width < kSmallestButtonSide || size->height < kSmallestButtonSide)
        return std::nullopt;
    std::optional<bool> showing = ask([&] { return m_reader.flag(button, "AXShowing"); });
    if (showing && !*showing)
        return std::nullopt;
    const Point spot = ButtonSpot::on(*origin, *size, m_platform.screens().mainScreenScaleFactor());

    // A window whose positions are its own gives its frame in those too: at
    // (0, 0), or inset where its surface keeps a margin (a client-drawn
    // shadow). Where it is on the screens is not known.
    const bool inWindow = positionsRelativeToWindow(window);
    std::optional<Point> windowOrigin = ask([&] { return m_reader.position(window); });
    if (inWindow && !windowOrigin)
        windowOrigin = Point{0, 0};
    std::optional<Size> windowSize = ask([&] { return m_reader.size(window); });
    if (m_stopped)
        return std::nullopt;
    if (windowOrigin && windowSize && windowSize->width > 0 && windowSize->height > 0
        && (spot.x < windowOrigin->x || spot.y < windowOrigin->y || spot.x >= windowOrigin->x + windowSize->width
            || spot.y >= windowOrigin->y + windowSize->height))
        return std::nullopt;

    if (inWindow)
        return WindowPoint{spot.x, spot.y};
    const std::vector<Screen> screens = m_platform.screens().screens();
    if (screens.empty())
        return spot; // nothing to tell on and off screen apart
    for (const Screen& screen : screens) {
        if (screen.frame.contains(spot))
            return spot;
    }
    return std::nullopt;
}

AccessibleElement ButtonChooser::defaultButton(const AccessibleElement& window)
{
    AccessibleElement button = enabledElementOfType("AXDefaultButton", window);
    if (button && hasButtonRole(button)) {
        const std::optional<Size> ignoredSize = ApplicationExceptions::ignoredDefaultButtonSize(m_app);
        if (!ignoredSize)
            return button;
        std::optional<Size> size = ask([&] { return m_reader.size(button); });
        if (!size || *size != *ignoredSize)
            return button;
    }

    if (AccessibleElement ok = buttonChild(window, "AXTitle", "OK"))
        return ok;
    if (AccessibleElement yes = buttonChild(window, "AXTitle", "YES"))
        return yes;
    if (ApplicationExceptions::searchesFileProgressWindows(m_app))
        return fileProgressWindowButton(window);
    return {};
}

AccessibleElement ButtonChooser::cancelButton(const AccessibleElement& window)
{
    AccessibleElement button = enabledElementOfType("AXCancelButton", window);
    if (!button || !hasButtonRole(button))
        return {};
    if (std::optional<std::string> ignoredTitle = ApplicationExceptions::ignoredCancelButtonTitle(m_app);
        ignoredTitle && attributeLooselyEquals(button, "AXTitle", *ignoredTitle))
        return {};
    return button;
}

AccessibleElement ButtonChooser::enabledElementOfType(const std::string& attribute, const AccessibleElement& window)
{
    std::optional<AccessibleElement> element = ask([&] { return m_reader.element(window, attribute); });
    if (!element)
        return {};
    std::optional<bool> enabled = ask([&] { return m_reader.flag(*element, "AXEnabled"); });
    return enabled.value_or(false) ? *element : AccessibleElement{};
}

bool ButtonChooser::hasButtonRole(const AccessibleElement& element)
{
    std::optional<AttributeValue> role = ask([&] { return m_reader.advertisedValue(element, "AXRole"); });
    return role && role->string() && *role->string() == kButtonRole;
}

// Wayland desktops give positions relative to the element's window only.
bool ButtonChooser::positionsRelativeToWindow(const AccessibleElement& window)
{
    return ask([&] { return m_reader.flag(window, "AXWindowRelativePositions"); }).value_or(false);
}

AccessibleElement ButtonChooser::fileProgressWindowButton(const AccessibleElement& window)
{
    if (AccessibleElement button = listedFileProgressButton(window))
        return button;
    return flatFileProgressButton(window);
}

// The older layout: scroll area > list > one group per operation > unknown > buttons.
AccessibleElement ButtonChooser::listedFileProgressButton(const AccessibleElement& window)
{
    if (!endsWith(ask([&] { return m_reader.description(window); }).value_or(""), "progress"))
        return {};
    const std::string title = ask([&] { return m_reader.title(window); }).value_or("");
    if (!isCopyOrTrash(title)) {
        if (!m_stopped)
            logMessage("Finder progress dialog with title \"" + title + "\" was not recognized by Velmora");
        return {};
    }

    AccessibleElement scrollArea = child(window, "AXRole", "AXScrollArea");
    AccessibleElement list = scrollArea ? child(scrollArea, "AXRole", "AXList") : AccessibleElement{};
    // The newest operation is the list's last group.
    AccessibleElement group = list ? lastChild(list, "AXRole", "AXGroup") : AccessibleElement{};
    AccessibleElement unknown = group ? child(group, "AXRole", "AXUnknown") : AccessibleElement{};
    if (!unknown)
        return {};
    return replaceOrContinueButtonIn(unknown);
}

// The newer layout: the buttons sit right in the window's scroll area.
AccessibleElement ButtonChooser::flatFileProgressButton(const AccessibleElement& window)
{
    if (!isCopyOrTrash(ask([&] { return m_reader.title(window); }).value_or("")))
        return {};
    AccessibleElement scrollArea = child(window, "AXRole", "AXScrollArea");
    if (!scrollArea)
        return {};
    return replaceOrContinueButtonIn(scrollArea);
}

AccessibleElement ButtonChooser::replaceOrContinueButtonIn(const AccessibleElement& container)
{
    AccessibleElement button = child(container, "AXTitle", "Replace");
    if (!button)
        button = child(container, "AXTitle", "Continue");
    if (!button || ask([&] { return m_reader.role(button); }).value_or("") != kButtonRole)
        return {};
    return button;
}

bool ButtonChooser::attributeLooselyEquals(const AccessibleElement& element, const std::string& attribute, const std::string& wanted)
{
    return looselyEquals(ask([&] { return m_reader.advertisedValue(element, attribute); }), wanted);
}

AccessibleElement ButtonChooser::child(const AccessibleElement& element, const std::string& attribute, const std::string& wanted)
{
    for (const AccessibleElement& candidate : ask([&] { return m_reader.children(element); }).value_or(std::vector<AccessibleElement>{})) {
        if (attributeLooselyEquals(candidate, attribute, wanted))
            return candidate;
        if (m_stopped)
            return {};
    }
    return {};
}

AccessibleElement ButtonChooser::lastChild(const AccessibleElement& element, const std::string& attribute, const std::string& wanted)
{
    const std::vector<AccessibleElement> children = ask([&] { return m_reader.children(element); }).value_or(std::vector<AccessibleElement>{});
    for (auto it = children.rbegin(); it != children.rend() && !m_stopped; ++it) {
        if (attributeLooselyEquals(*it, attribute, wanted))
            return *it;
    }
    return {};
}

AccessibleElement ButtonChooser::buttonChild(const AccessibleElement& element, const std::string& attribute, const std::string& wanted)
{
    for (const AccessibleElement& candidate : ask([&] { return m_reader.children(element); }).value_or(std::vector<AccessibleElement>{})) {
        if (attributeLooselyEquals(candidate, attribute, wanted) && hasButtonRole(candidate))
            return candidate;
        if (m_stopped)
            return {};
    }
    return {};
}

} // namespace velmora
