#include "platform/kde/KWinPointer.h"

#include <sstream>

namespace velmora::kde {

namespace {

// The active window's process and the corner of its surface, which its
// accessibility positions count from.
constexpr const char* kActiveWindowScript =
    "var c = workspace.activeClient;\n"
    "report(c ? [c.pid, c.bufferGeometry.x, c.bufferGeometry.y].join(' ') : '');";

} // namespace

KWinPointer::KWinPointer(SystemLog& log, Accessibility& accessibility)
    : m_log(log)
    , m_accessibility(accessibility)
{
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

bool KWinPointer::moveGlobal(CGPoint point)
{
    // A connection to a KWin that has gone (restarted, say) fails at its
    // first use: once more on a new one.
    for (int attempt = 0; attempt < 2; ++attempt) {
        KWinFakeInput* fake = input();
        if (!fake)
            continue;
        if (!fake->offered())
            return false;
        if (fake->moveTo(point.x, point.y))
            return true;
        m_input.reset();
    }
    reportTrouble("the Wayland display does not take the move");
    return false;
}

void KWinPointer::moveTo(CGPoint point)
{
    if (moveGlobal(point))
        m_last = point;
}

bool KWinPointer::moveToInWindow(const AXElement& window, CGPoint point)
{
    pid_t pid = 0;
    if (m_accessibility.getPid(window, pid) != AXError::Success || pid <= 0)
        return false;
    std::string error;
    const auto answer = m_script.ask(kActiveWindowScript, error);
    if (!answer) {
        reportTrouble(error);
        return false;
    }
    std::istringstream words(*answer);
    long activePid = 0;
    double left = 0, top = 0;
    // Only into the window asked for: the focus may have moved on since.
    if (!(words >> activePid >> left >> top) || activePid != pid)
        return false;
    if (!moveGlobal(CGPoint{static_cast<float>(left + point.x), static_cast<float>(top + point.y)}))
        return false;
    m_last = point;
    m_troubleReported = false;
    return true;
}

void KWinPointer::reportTrouble(const std::string& what)
{
    if (m_troubleReported)
        return;
    m_troubleReported = true;
    m_log.log("The pointer cannot be moved through KWin (" + what + "); the next move tries again.");
}

} // namespace velmora::kde
