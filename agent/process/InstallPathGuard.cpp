#include "agent/process/InstallPathGuard.h"

namespace velmora {

namespace {

// The program's folder name, as a path's last component reads: trailing
// slashes do not count.
std::string lastPathComponent(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    if (path == "/")
        return path;
    auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

void InstallPathGuard::start()
{
    if (m_timer)
        return;
    m_timer = m_platform.runLoop().scheduleTimer(kCheckInterval, TimerRepeats::Yes, [this] { check(); });
    check();
}

void InstallPathGuard::check()
{
    if (m_appPath.empty())
        getData();
    // A process that cannot tell where it was started from has nothing to
    // compare against; ending it would only punish the missing knowledge.
    if (m_appPath.empty())
        return;
    if (!m_platform.application().fileExists(m_appPath))
        quitAfterMove();
}

void InstallPathGuard::getData()
{
    m_appPath = m_platform.application().programPath();
}

void InstallPathGuard::quitAfterMove()
{
    // Once is enough: the timer may fire again before the loop has ended.
    if (m_timer)
        m_timer->invalidate();
    logMessage(lastPathComponent(m_appPath) + " was moved and thus had to quit.");
    m_platform.application().terminate();
}

} // namespace velmora
