#include "apps/DemoNarrator.h"

#include "agent/accessibility/MouseMover.h"
#include "agent/accessibility/applicationInfo.h"
#include "agent/snapping/SnapNotifications.h"

#include <cstdio>

namespace velmora {

namespace {

std::string pointText(CGPoint p)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "(%g, %g)", double(p.x), double(p.y));
    return buffer;
}

} // namespace

DemoNarrator::DemoNarrator(sim::SimDesktop& desktop, std::ostream& out)
    : m_desktop(desktop)
    , m_out(out)
{
    auto& workspace = desktop.workspace().notificationCenter();
    m_launch = workspace.addObserver(kNSWorkspaceDidLaunchApplicationNotification, nullptr, [this](const Notification& n) {
        auto info = ApplicationInfo::fromRecord(n.userInfo);
        line("launch   " + (info ? info->name + " (pid " + std::to_string(info->pid) + ")" : std::string("?")));
    });
    m_terminate = workspace.addObserver(kNSWorkspaceDidTerminateApplicationNotification, nullptr, [this](const Notification& n) {
        auto info = ApplicationInfo::fromRecord(n.userInfo);
        line("quit     " + (info ? info->name : std::string("?")));
    });
    auto& local = desktop.localNotificationCenter();
    m_snap = local.addObserver(QK_VL_movedMouseToPoint, nullptr, [this](const Notification& n) {
        CGPoint from = convertGlobalPointToCGPoint(NSPointFromString(valueForKey(n.userInfo, kStartingMouseLocation).description()));
        CGPoint to = convertGlobalPointToCGPoint(NSPointFromString(valueForKey(n.userInfo, kEndingMouseLocation).description()));
        noteFocus();
        m_focusAnswered = true;
        line("snap     " + currentFocus() + " -> " + describeElementAt(to) + ", pointer " + pointText(from) + " -> " + pointText(to));
    });
    m_snapBack = local.addObserver(QK_VL_movedMouseBackFromPoint, nullptr, [this](const Notification&) {
        line("back     pointer returns to " + pointText(m_desktop.pointer().location()));
    });
}

void DemoNarrator::poll()
{
    const auto& log = m_desktop.logLines();
    for (; m_logSeen < log.size(); ++m_logSeen)
        line("log      " + log[m_logSeen]);

    const auto& sounds = m_desktop.playedSounds();
    for (; m_soundsSeen < sounds.size(); ++m_soundsSeen) {
        char volume[16];
        std::snprintf(volume, sizeof volume, "%.2f", double(sounds[m_soundsSeen].volume));
        line("sound    " + sounds[m_soundsSeen].name + " at volume " + volume);
    }

    noteFocus();
    // Any warp answers the focused dialog: a snap onto where the pointer
    // already stood posts no notification.
    if (m_desktop.pointerMoves().size() != m_movesSeen) {
        m_movesSeen = m_desktop.pointerMoves().size();
        m_focusAnswered = true;
    }
}

void DemoNarrator::noteFocus()
{
    std::string focus = currentFocus();
    if (focus == m_lastFocus)
        return;
    if (m_focusHasButton && !m_focusAnswered)
        line("alone    " + m_lastFocus + " was left alone");
    m_lastFocus = focus;
    m_focusAnswered = false;
    m_focusHasButton = focusedWindowHasButton();
    m_movesSeen = m_desktop.pointerMoves().size();
    if (!focus.empty())
        line("focus    " + focus);
}

std::string DemoNarrator::currentFocus()
{
    auto active = m_desktop.workspace().activeApplication();
    if (!active)
        return {};
    std::string focus = active->name;
    if (AXElement window = applicationInfo::focusedWindowRefForAppWithPID(active->pid))
        focus += " \"" + applicationInfo::titleOfElement(window) + "\"";
    return focus;
}

bool DemoNarrator::focusedWindowHasButton()
{
    auto active = m_desktop.workspace().activeApplication();
    if (!active)
        return false;
    AXElement window = applicationInfo::focusedWindowRefForAppWithPID(active->pid);
    return window
        && (!applicationInfo::valueOfExistingAttribute("AXDefaultButton", window).isNone()
            || !applicationInfo::valueOfExistingAttribute("AXCancelButton", window).isNone());
}

void DemoNarrator::line(const std::string& text)
{
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%7.2fs  ", m_desktop.now());
    m_out << stamp << text << '\n' << std::flush;
}

std::string DemoNarrator::describeElementAt(CGPoint point)
{
    AXElement element = applicationInfo::elementRefAtCarbonPoint(convertGlobalPointToCarbonPoint(convertCGPointToGlobalPoint(point)));
    if (!element)
        return "(nothing)";
    return "[" + applicationInfo::titleOfElement(element) + "]";
}

} // namespace velmora
