#include "platform/kde/KWinPointer.h"

#include <glib.h>

#include <sstream>

namespace velmora::kde {

namespace {

// Where the pointer is, and the surface corner (which accessibility positions
// count from) and process of the active window and of the topmost window
// whose frame holds the probed point. `x` and `y` are given before it.
constexpr const char* kSnapshotScript =
    "function surface(c) { return c ? [c.pid, c.bufferGeometry.x, c.bufferGeometry.y] : [0, 0, 0]; }\n"
    "var p = workspace.cursorPos;\n"
    "if (x === null) { x = p.x; y = p.y; }\n"
    "var under = null, all = workspace.clientList();\n"
    "for (var i = 0; i < all.length; ++i) {\n"
    "  var c = all[i], g = c.frameGeometry;\n"
    "  if (c.minimized || c.desktopWindow || c.dock || c.hidden) continue;\n"
    "  if (!c.onAllDesktops && c.desktop !== undefined && c.desktop != workspace.currentDesktop) continue;\n"
    "  if (x < g.x || y < g.y || x >= g.x + g.width || y >= g.y + g.height) continue;\n"
    "  if (!under || c.stackingOrder > under.stackingOrder) under = c;\n"
    "}\n"
    "report([p.x, p.y, x, y].concat(surface(workspace.activeClient), surface(under)).join(' '));";

// The main loop's current dispatch: its source, and the time the loop took
// for this iteration (a source such as a repeating timer or a bus connection
// keeps its id from one dispatch to the next).
KWinPointer::Dispatch currentDispatch()
{
    GSource* source = g_main_current_source();
    if (!source)
        return {};
    return {g_source_get_id(source), g_source_get_time(source)};
}

} // namespace

KWinPointer::KWinPointer(SystemLog& log, Accessibility& accessibility, GDBusConnection* session)
    : m_log(log)
    , m_accessibility(accessibility)
{
    if (session)
        m_activations = std::make_unique<KWinActiveWindowWatch>(session);
    // Asked now, answered by the first move: KWin takes its time over an
    // authorised program, and the agent does not wait for it at start.
    std::string error;
    m_input = KWinFakeInput::connect(error);
}

KWinPointer::~KWinPointer() = default;

KWinFakeInput* KWinPointer::input()
{
    if (!m_input) {
        std::string error;
        m_input = KWinFakeInput::connect(error);
        if (!m_input) {
            reportTrouble(error);
            return nullptr;
        }
    }
    if (!m_input->waitUntilListed(kListingTimeoutMs)) {
        m_input.reset();
        reportTrouble("the compositor did not say in time what it offers");
        return nullptr;
    }
    if (!m_input->offered() && !m_toldNotAuthorised) {
        m_toldNotAuthorised = true;
        m_log.log(kNotAuthorisedLine);
    }
    return m_input.get();
}

bool KWinPointer::moveGlobal(Point point)
{
    // A connection to a KWin that has gone (restarted, say) fails at its
    // first use: once more on a new one.
    for (int attempt = 0; attempt < 2; ++attempt) {
        KWinFakeInput* fake = input();
        if (!fake)
            continue;
        if (!fake->offered())
            return false;
        if (fake->moveTo(point.x, point.y)) {
            m_last = point;
            m_movedAt = std::chrono::steady_clock::now();
            if (m_snapshot)
                m_snapshot->pointer = point;
            return true;
        }
        m_input.reset();
    }
    reportTrouble("the Wayland display does not take the move");
    return false;
}

const KWinPointer::Snapshot* KWinPointer::snapshot(std::optional<std::pair<int, int>> probe, bool fresh)
{
    const auto now = std::chrono::steady_clock::now();
    const Dispatch dispatch = currentDispatch();
    if (!fresh && m_snapshot && dispatch.source != 0 && m_snapshot->dispatch == dispatch
        && now - m_snapshot->taken < kSnapshotLifetime
        && (!probe || (probe->first == m_snapshot->probeX && probe->second == m_snapshot->probeY)))
        return &*m_snapshot;
    m_snapshot.reset();

    std::string body = probe ? "var x = " + std::to_string(probe->first) + ", y = " + std::to_string(probe->second) + ";\n"
                             : std::string("var x = null, y = null;\n");
    body += kSnapshotScript;
    std::string error;
    const auto answer = m_script.ask(body, error);
    if (!answer) {
        reportTrouble(error);
        return nullptr;
    }
    std::istringstream words(*answer);
    Snapshot taken;
    double pointerX = 0, pointerY = 0;
    if (!(words >> pointerX >> pointerY >> taken.probeX >> taken.probeY >> taken.active.pid >> taken.active.x
          >> taken.active.y >> taken.under.pid >> taken.under.x >> taken.under.y)) {
        reportTrouble("KWin's script answered \"" + *answer + "\"");
        return nullptr;
    }
    taken.pointer = Point{static_cast<float>(pointerX), static_cast<float>(pointerY)};
    taken.taken = now;
    taken.dispatch = dispatch;
    m_snapshot = taken;
    m_troubleReported = false;
    g_log("velmora-kwin", G_LOG_LEVEL_DEBUG, "snapshot: %s", answer->c_str());
    return &*m_snapshot;
}

Point KWinPointer::location()
{
    // Without a script where the place is known from just now: this
    // dispatch's answer, else the agent's own move, else KWin's word with an
    // activation (which may have been sent before that move and heard after).
    const auto now = std::chrono::steady_clock::now();
    const Dispatch dispatch = currentDispatch();
    if (m_snapshot && dispatch.source != 0 && m_snapshot->dispatch == dispatch && now - m_snapshot->taken < kSnapshotLifetime)
        return m_snapshot->pointer;
    if (m_movedAt.time_since_epoch().count() != 0 && now - m_movedAt < kKnownPointerLifetime)
        return m_last;
    const auto& told = m_activations ? m_activations->last() : std::nullopt;
    if (told && now - told->heard < kKnownPointerLifetime)
        return told->pointer;
    const Snapshot* known = snapshot();
    return known ? known->pointer : m_last;
}

std::optional<Point> KWinPointer::toldSurfaceOf(const AccessibleElement& window, pid_t pid)
{
    const auto& told = m_activations ? m_activations->last() : std::nullopt;
    if (!told || told->pid != pid)
        return std::nullopt;
    // Another window of the same process may have been active before this
    // one, and KWin's word of this one may come after its accessibility's.
    AttributeValue title, size;
    if (m_accessibility.copyAttributeValue(window, "AXTitle", title) != AccessibilityError::Success
        || m_accessibility.copyAttributeValue(window, "AXSize", size) != AccessibilityError::Success)
        return std::nullopt;
    const auto windowSize = size.sizeValue();
    if (!title.string() || *title.string() != told->caption || !windowSize || windowSize->width != told->size.width
        || windowSize->height != told->size.height)
        return std::nullopt;
    return told->surface;
}

std::optional<linux_desktop::SurfaceLocator::Surface> KWinPointer::surfaceAt(int x, int y)
{
    const Snapshot* known = snapshot(std::make_pair(x, y));
    if (!known || known->under.pid <= 0)
        return std::nullopt;
    return known->under;
}

std::optional<pid_t> KWinPointer::focusedProcess()
{
    const Snapshot* known = snapshot();
    if (!known || known->active.pid <= 0)
        return std::nullopt;
    return known->active.pid;
}

void KWinPointer::moveTo(Point point)
{
    moveGlobal(point);
}

bool KWinPointer::moveToInWindow(const AccessibleElement& window, WindowPoint point)
{
    pid_t pid = 0;
    if (m_accessibility.getPid(window, pid) != AccessibilityError::Success || pid <= 0)
        return false;
    if (auto surface = toldSurfaceOf(window, pid)) {
        g_log("velmora-kwin", G_LOG_LEVEL_DEBUG, "moving in the window KWin told of");
        return moveGlobal(Point{surface->x + point.x, surface->y + point.y});
    }
    // An answer from this same reaction is good; one that names another
    // process as active may be from before the focus moved: asked anew.
    const Snapshot* known = snapshot();
    if (known && known->active.pid != pid)
        known = snapshot(std::nullopt, true);
    // Only into the window asked for: the focus may have moved on since.
    if (!known || known->active.pid != pid)
        return false;
    return moveGlobal(Point{static_cast<float>(known->active.x + point.x), static_cast<float>(known->active.y + point.y)});
}

void KWinPointer::reportTrouble(const std::string& what)
{
    if (m_troubleReported)
        return;
    m_troubleReported = true;
    m_log.log("The pointer cannot be moved through KWin (" + what + "); the next move tries again.");
}

} // namespace velmora::kde
