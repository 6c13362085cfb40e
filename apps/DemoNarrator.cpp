#include "apps/DemoNarrator.h"

#include "agent/accessibility/ElementQueries.h"
#include "agent/snapping/SnapEvent.h"
#include "agent/snapping/SnapNotifications.h"
#include "platform/Gettext.h"

#include <cstdio>

namespace velmora {

namespace {

std::string pointText(Point p)
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
    m_launch = workspace.addObserver(kApplicationLaunchedNotification, nullptr, [this](const Notification& n) {
        auto info = ApplicationInfo::fromRecord(n.userInfo);
        // TRANSLATORS: the demo's events are named in a column of their own, one word each.
        line(C_("demo event", "launch"), info ? i18n::format(_("%s (pid %d)"), info->name.c_str(), int(info->pid)) : std::string("?"));
    });
    m_terminate = workspace.addObserver(kApplicationTerminatedNotification, nullptr, [this](const Notification& n) {
        auto info = ApplicationInfo::fromRecord(n.userInfo);
        line(C_("demo event", "quit"), info ? info->name : std::string("?"));
    });
    auto& local = desktop.localNotificationCenter();
    m_snap = local.addObserver(kPointerSnapped, nullptr, [this](const Notification& n) {
        const SnapEvent* snap = n.payloadAs<SnapEvent>();
        if (!snap)
            return;
        noteFocus();
        m_focusAnswered = true;
        // TRANSLATORS: Editor "Save changes?" -> [Save], pointer (640, 620) -> (895, 345)
        line(C_("demo event", "snap"), i18n::format(_("%s -> %s, pointer %s -> %s"), currentFocus().c_str(), describeElementAt(snap->to).c_str(),
                                            pointText(snap->from).c_str(), pointText(snap->to).c_str()));
    });
    m_snapBack = local.addObserver(kPointerSnappedBack, nullptr, [this](const Notification&) {
        line(C_("demo event", "back"), i18n::format(_("pointer returns to %s"), pointText(m_desktop.pointer().location()).c_str()));
    });
}

void DemoNarrator::poll()
{
    const auto& log = m_desktop.logLines();
    for (; m_logSeen < log.size(); ++m_logSeen)
        line(C_("demo event", "log"), log[m_logSeen]);

    const auto& sounds = m_desktop.playedSounds();
    for (; m_soundsSeen < sounds.size(); ++m_soundsSeen) {
        line(C_("demo event", "sound"),
            i18n::format(_("%s at volume %.2f"), sounds[m_soundsSeen].name.c_str(), double(sounds[m_soundsSeen].volume)));
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
        line(C_("demo event", "alone"), i18n::format(_("%s was left alone"), m_lastFocus.c_str()));
    m_lastFocus = focus;
    m_focusAnswered = false;
    m_focusHasButton = focusedWindowHasButton();
    m_movesSeen = m_desktop.pointerMoves().size();
    if (!focus.empty())
        line(C_("demo event", "focus"), focus);
}

std::string DemoNarrator::currentFocus()
{
    auto active = m_desktop.workspace().activeApplication();
    if (!active)
        return {};
    std::string focus = active->name;
    const ElementQueries queries{m_desktop.accessibility()};
    if (AccessibleElement window = queries.focusedWindow(active->pid).valueOr({}))
        focus += " \"" + queries.title(window) + "\"";
    return focus;
}

bool DemoNarrator::focusedWindowHasButton()
{
    auto active = m_desktop.workspace().activeApplication();
    if (!active)
        return false;
    const ElementQueries queries{m_desktop.accessibility()};
    AccessibleElement window = queries.focusedWindow(active->pid).valueOr({});
    return window
        && (!queries.advertisedValue("AXDefaultButton", window).isNone()
            || !queries.advertisedValue("AXCancelButton", window).isNone());
}

void DemoNarrator::line(const char* event, const std::string& text)
{
    // As wide as the longest English name and a space or more, in characters:
    // a translated name may be longer, or not ASCII.
    constexpr glong kEventColumn = 9;
    std::string column = event;
    glong width = g_utf8_strlen(event, -1);
    do
        column += ' ';
    while (++width < kEventColumn);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%7.2fs  ", m_desktop.now());
    m_out << stamp << column << text << '\n' << std::flush;
}

std::string DemoNarrator::describeElementAt(Point point)
{
    const ElementQueries queries{m_desktop.accessibility()};
    AccessibleElement element = queries.elementAt(point);
    if (!element)
        return _("(nothing)");
    return "[" + queries.title(element) + "]";
}

} // namespace velmora
