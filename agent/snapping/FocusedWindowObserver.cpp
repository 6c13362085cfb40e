#include "agent/snapping/FocusedWindowObserver.h"

#include "agent/accessibility/MouseMover.h"
#include "agent/accessibility/applicationInfo.h"
#include "agent/process/AppPathGuardian.h"
#include "agent/snapping/SnapNotifications.h"
#include "platform/Platform.h"

#include <cstdlib>
#include <glib.h>

namespace velmora {

namespace {

// How long a held mouse button may keep the agent from snapping: long enough
// for a click or a short drag to finish, short enough that a button held for
// good does not freeze the agent.
constexpr double kButtonWaitSeconds = 5.0;
// Poll period of that wait. The loop is held anyway; this only keeps the wait
// from spinning, and 10 ms after the release is not noticeable.
constexpr double kButtonPollInterval = 0.01;
// Pointer travel, in points per axis, that still counts as a resting hand.
constexpr int kToleratedDrift = 2;

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
bool looselyEquals(const AXValue& value, const std::string& wanted)
{
    const std::string* text = value.string();
    return text && !text->empty() && caselessEqual(*text, wanted);
}

bool hasButtonRole(const AXElement& element)
{
    const AXValue role = applicationInfo::valueOfExistingAttribute("AXRole", element);
    return role.string() && *role.string() == kButtonRole;
}

bool isCopyOrTrash(const std::string& title)
{
    return title == "Copy" || title == "Trash";
}

// Wayland desktops give positions relative to the element's window only.
bool positionsRelativeToWindow(const AXElement& window)
{
    return applicationInfo::valueOfExistingAttribute("AXWindowRelativePositions", window).boolValue().value_or(false);
}

bool endsWith(const std::string& text, const std::string& suffix)
{
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

} // namespace

const std::vector<std::string>& FocusedWindowObserver::observedNotifications()
{
    static const std::vector<std::string> names{
        "AXFocusedUIElementChanged",
        "AXFocusedWindowChanged",
        "AXMainWindowChanged",
        "AXWindowCreated",
        "AXApplicationActivated",
        "AXApplicationDeactivated",
        "AXApplicationShown",
        "AXApplicationHidden",
    };
    return names;
}

std::unique_ptr<FocusedWindowObserver> FocusedWindowObserver::initWithAppWithPID(pid_t pid)
{
    std::unique_ptr<FocusedWindowObserver> observer{new FocusedWindowObserver};
    observer->m_pid = pid;
    if (!observer->initialize(pid, observedNotifications()))
        return nullptr;
    observer->m_firstTime = true;

    NotificationCenter& workspaceCenter = Platform::current().workspace().notificationCenter();
    FocusedWindowObserver* self = observer.get(); // the observations die with the instance
    observer->m_sleepObservation = workspaceCenter.addObserver(kNSWorkspaceScreensDidSleepNotification, nullptr,
        [self](const Notification&) { self->displayDidSleep(); });
    observer->m_wakeObservation = workspaceCenter.addObserver(kNSWorkspaceScreensDidWakeNotification, nullptr,
        [self](const Notification&) { self->displayDidWake(); });
    return observer;
}

FocusedWindowObserver::~FocusedWindowObserver()
{
    m_lastFocusedWindow.reset();
    m_appInfo.reset();
    m_sleepObservation.reset();
    m_wakeObservation.reset();
}

void FocusedWindowObserver::respondToNotification(const std::string& notification, const AXElement&)
{
    if (notification == "AXApplicationDeactivated") {
        // Coming back to the application should snap to its window again.
        m_lastFocusedWindow.reset();
        return;
    }
    checkWindows();
}

void FocusedWindowObserver::checkWindows()
{
    if (m_displaysAsleep)
        return;
    // May put the pointer back from a dialog that just went away.
    Platform::current().localNotificationCenter().post(kFocusedWindowCheckWillStart, this);
    const CarbonPoint startingPosition = currentGlobalMouse();

    std::optional<bool> hidden = applicationInfo::valueOfExistingAttribute("AXHidden", appRef()).boolValue();
    if (hidden.value_or(false) && !m_firstTime)
        return;
    std::optional<bool> frontmost = applicationInfo::valueOfExistingAttribute("AXFrontmost", appRef()).boolValue();
    if (!frontmost.value_or(false))
        return;

    AXElement window = applicationInfo::focusedWindowRefForAppWithPID(m_pid);
    if (window && !(m_lastFocusedWindow && m_lastFocusedWindow == window)) {
        newFocusedWindow(window, startingPosition);
        // Seen, whether or not it got a snap: a button it gains later is not chased.
        m_lastFocusedWindow = window;
    }
    m_firstTime = false;
}

void FocusedWindowObserver::newFocusedWindow(const AXElement& window, CarbonPoint startingPosition)
{
    const NSPoint startingLocation = currentMouseLocation();

    std::optional<Choice> choice = chooseButton(window);
    if (!choice)
        return;

    // A held button means a click or drag in progress: moving the pointer
    // under it would turn it into something else. The loop is not run meanwhile.
    Platform& platform = Platform::current();
    RunLoop& runLoop = platform.runLoop();
    const double deadline = runLoop.now() + kButtonWaitSeconds;
    while (platform.pointer().anyButtonDown()) {
        if (runLoop.now() > deadline)
            return;
        runLoop.blockFor(kButtonPollInterval);
    }

    const CarbonPoint current = currentGlobalMouse();
    if (std::abs(current.v - startingPosition.v) > kToleratedDrift
        || std::abs(current.h - startingPosition.h) > kToleratedDrift)
        return;

    if (choice->inWindow) {
        if (!platform.pointer().moveToInWindow(window, choice->spot))
            return;
    } else {
        if (!platform.pointer().abilities().movesOnScreen)
            return;
        MouseMover::moveMouseToPoint(choice->spot);
    }
    if (!(choice->spot == convertGlobalPointToCGPoint(startingLocation))) {
        Value::Dictionary userInfo;
        userInfo[kStartingMouseLocation] = NSStringFromPoint(startingLocation);
        userInfo[kEndingMouseLocation] = NSStringFromPoint(currentMouseLocation());
        platform.localNotificationCenter().post(QK_VL_movedMouseToPoint, nullptr, std::move(userInfo));
    }

    AppPathGuardian::checkPath();
}

void FocusedWindowObserver::displayDidSleep()
{
    m_displaysAsleep = true;
}

void FocusedWindowObserver::displayDidWake()
{
    m_displaysAsleep = false;
}

std::string FocusedWindowObserver::description() const
{
    // "%@" of a missing record entry prints "(null)".
    std::string name = "(null)";
    std::string pid = "(null)";
    if (m_appInfo) {
        name = m_appInfo->name;
        pid = std::to_string(m_appInfo->pid);
    }
    return "FocusedWindowObserver - " + name + " (" + pid + ")";
}

// --- Button choice -----------------------------------------------------------

AXElement FocusedWindowObserver::refToCenterOnInWindow(const AXElement& window)
{
    std::optional<Choice> choice = chooseButton(window);
    return choice ? choice->button : AXElement{};
}

std::optional<FocusedWindowObserver::Choice> FocusedWindowObserver::chooseButton(const AXElement& window)
{
    // A document or main window may hold a button labelled like a cancel
    // button (a hidden "Close" of a search bar, say) that answers nothing.
    const AXValue subrole = applicationInfo::valueOfExistingAttribute("AXSubrole", window);
    const bool cancelMayAnswer = !(subrole.string() && *subrole.string() == kStandardWindowSubrole);
    auto cancelRule = [&] { return cancelMayAnswer ? cancelButtonForWindow(window) : AXElement{}; };
    auto defaultRule = [&] { return defaultButtonForWindow(window); };

    // Read at every call: the pane may have changed it since the last snap.
    const bool preferCancel = Platform::current().standardUserDefaults().boolForKey(kSnapToAlternateButtonInstead);
    for (int rule = 0; rule < 2; ++rule) {
        const bool cancelTurn = (rule == 0) == preferCancel;
        AXElement button = cancelTurn ? cancelRule() : defaultRule();
        if (!button)
            continue;
        if (std::optional<CGPoint> spot = snapPointOnButton(button, window))
            return Choice{std::move(button), *spot, positionsRelativeToWindow(window)};
    }
    return std::nullopt;
}

std::optional<CGPoint> FocusedWindowObserver::snapPointOnButton(const AXElement& button, const AXElement& window)
{
    std::optional<CGPoint> origin = applicationInfo::valueOfExistingAttribute("AXPosition", button).pointValue();
    std::optional<CGSize> size = applicationInfo::valueOfExistingAttribute("AXSize", button).sizeValue();
    // Toolkits report a widget that is not laid out as 0 x 0 or 1 x 1 at an
    // extreme position; warping there lands in a screen corner.
    if (!origin || !size || size->width < kSmallestButtonSide || size->height < kSmallestButtonSide)
        return std::nullopt;
    if (applicationInfo::elementIsHidden(button))
        return std::nullopt;
    const CGPoint spot = MouseMover::snapPointOnElement(*origin, *size);

    // A window whose positions are its own gives its frame in those too: at
    // (0, 0), or inset where its surface keeps a margin (a client-drawn
    // shadow). Where it is on the screens is not known.
    const bool inWindow = positionsRelativeToWindow(window);
    std::optional<CGPoint> windowOrigin = applicationInfo::valueOfExistingAttribute("AXPosition", window).pointValue();
    if (inWindow && !windowOrigin)
        windowOrigin = CGPoint{0, 0};
    std::optional<CGSize> windowSize = applicationInfo::valueOfExistingAttribute("AXSize", window).sizeValue();
    if (windowOrigin && windowSize && windowSize->width > 0 && windowSize->height > 0
        && (spot.x < windowOrigin->x || spot.y < windowOrigin->y || spot.x >= windowOrigin->x + windowSize->width
            || spot.y >= windowOrigin->y + windowSize->height))
        return std::nullopt;

    const std::vector<Screen> screens = inWindow ? std::vector<Screen>{} : Platform::current().screens().screens();
    if (screens.empty())
        return spot; // nothing to tell on and off screen apart
    const NSPoint global = convertCGPointToGlobalPoint(spot);
    for (const Screen& screen : screens) {
        const NSRect& f = screen.frame;
        if (global.x >= f.origin.x && global.x < f.origin.x + f.size.width && global.y > f.origin.y
            && global.y <= f.origin.y + f.size.height)
            return spot;
    }
    return std::nullopt;
}

AXElement FocusedWindowObserver::defaultButtonForWindow(const AXElement& window)
{
    AXElement button = enabledElementOfType("AXDefaultButton", window);
    if (button && hasButtonRole(button)) {
        std::optional<CGSize> size = applicationInfo::valueOfExistingAttribute("AXSize", button).sizeValue();
        if (!size || size->width != 86 || size->height != 28)
            return button;
        // In GarageBand a default button of exactly this size does not answer
        // the dialog; the title searches below look for the one that does.
        if (!m_appInfo || m_appInfo->name != "GarageBand")
            return button;
    }

    if (AXElement ok = buttonChildOfElement(window, "AXTitle", "OK"))
        return ok;
    if (AXElement yes = buttonChildOfElement(window, "AXTitle", "YES"))
        return yes;
    if (m_appInfo && m_appInfo->bundleIdentifier == "com.apple.finder")
        return specialFinderWindowButtonForWindow(window);
    return {};
}

AXElement FocusedWindowObserver::cancelButtonForWindow(const AXElement& window)
{
    AXElement button = enabledElementOfType("AXCancelButton", window);
    if (!button || !hasButtonRole(button))
        return {};
    // Safari's "Done" cancel button closes a sheet the user came to work in.
    if (m_appInfo && m_appInfo->bundleIdentifier == "com.apple.Safari"
        && looselyEquals(applicationInfo::valueOfExistingAttribute("AXTitle", button), "Done"))
        return {};
    return button;
}

AXElement FocusedWindowObserver::enabledElementOfType(const std::string& attribute, const AXElement& window)
{
    const AXValue value = applicationInfo::valueOfExistingAttribute(attribute, window);
    const AXElement* element = value.element();
    if (!element || element->isEmpty())
        return {};
    std::optional<bool> enabled = applicationInfo::valueOfExistingAttribute("AXEnabled", *element).boolValue();
    return enabled.value_or(false) ? *element : AXElement{};
}

AXElement FocusedWindowObserver::specialFinderWindowButtonForWindow(const AXElement& window)
{
    if (AXElement button = oldSpecialFinderWindowButtonForWindow(window))
        return button;
    return newSpecialFinderWindowButtonForWindow(window);
}

AXElement FocusedWindowObserver::oldSpecialFinderWindowButtonForWindow(const AXElement& window)
{
    if (!endsWith(applicationInfo::descriptionOfElement(window), "progress"))
        return {};
    const std::string title = applicationInfo::titleOfElement(window);
    if (!isCopyOrTrash(title)) {
        NSLog("Finder progress dialog with title \"" + title + "\" was not recognized by Velmora");
        return {};
    }

    AXElement scrollArea = childOfElement(window, "AXRole", "AXScrollArea");
    AXElement list = scrollArea ? childOfElement(scrollArea, "AXRole", "AXList") : AXElement{};
    // The newest operation is the list's last group.
    AXElement group = list ? lastChildOfElement(list, "AXRole", "AXGroup") : AXElement{};
    AXElement unknown = group ? childOfElement(group, "AXRole", "AXUnknown") : AXElement{};
    if (!unknown)
        return {};
    return replaceOrContinueButtonIn(unknown);
}

AXElement FocusedWindowObserver::newSpecialFinderWindowButtonForWindow(const AXElement& window)
{
    if (!isCopyOrTrash(applicationInfo::titleOfElement(window)))
        return {};
    AXElement scrollArea = childOfElement(window, "AXRole", "AXScrollArea");
    if (!scrollArea)
        return {};
    return replaceOrContinueButtonIn(scrollArea);
}

AXElement FocusedWindowObserver::replaceOrContinueButtonIn(const AXElement& container)
{
    AXElement button = childOfElement(container, "AXTitle", "Replace");
    if (!button)
        button = childOfElement(container, "AXTitle", "Continue");
    if (!button || applicationInfo::roleOfElement(button) != kButtonRole)
        return {};
    return button;
}

AXElement FocusedWindowObserver::childOfElement(const AXElement& element, const std::string& attribute, const std::string& wanted)
{
    for (const AXElement& child : applicationInfo::allChildrenOfElement(element)) {
        if (looselyEquals(applicationInfo::valueOfExistingAttribute(attribute, child), wanted))
            return child;
    }
    return {};
}

AXElement FocusedWindowObserver::lastChildOfElement(const AXElement& element, const std::string& attribute, const std::string& wanted)
{
    const std::vector<AXElement> children = applicationInfo::allChildrenOfElement(element);
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        if (looselyEquals(applicationInfo::valueOfExistingAttribute(attribute, *it), wanted))
            return *it;
    }
    return {};
}

AXElement FocusedWindowObserver::buttonChildOfElement(const AXElement& element, const std::string& attribute, const std::string& wanted)
{
    for (const AXElement& child : applicationInfo::allChildrenOfElement(element)) {
        if (looselyEquals(applicationInfo::valueOfExistingAttribute(attribute, child), wanted) && hasButtonRole(child))
            return child;
    }
    return {};
}

} // namespace velmora
