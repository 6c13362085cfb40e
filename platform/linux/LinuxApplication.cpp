#include "platform/linux/LinuxApplication.h"

#include <csignal>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>

namespace velmora::linux_desktop {

LinuxApplication::LinuxApplication(NotificationCenter& localCenter, RunLoop& runLoop)
    : m_localCenter(localCenter)
    , m_runLoop(runLoop)
{
    std::error_code error;
    m_programPath = std::filesystem::read_symlink("/proc/self/exe", error).string();
}

std::string LinuxApplication::programPath()
{
    return m_programPath;
}

bool LinuxApplication::fileExists(const std::string& path)
{
    struct stat info { };
    return !path.empty() && stat(path.c_str(), &info) == 0;
}

void LinuxApplication::terminateOnSignals(SystemLog& log)
{
    for (int number : {SIGTERM, SIGINT, SIGHUP}) {
        auto watch = std::make_unique<SignalWatch>(SignalWatch{this, &log, number, {}});
        GSource* source = g_unix_signal_source_new(number);
        g_source_set_callback(source, &LinuxApplication::onSignal, watch.get(), nullptr);
        watch->source.start(source, "[velmora] termination signal");
        m_signalWatches.push_back(std::move(watch));
    }
}

gboolean LinuxApplication::onSignal(gpointer data)
{
    auto* watch = static_cast<SignalWatch*>(data);
    watch->log->log(std::string("ending on SIG") + sigabbrev_np(watch->number));
    watch->application->terminate();
    return G_SOURCE_CONTINUE;
}

void LinuxApplication::terminate()
{
    m_localCenter.post(kWillTerminateNotification, this);
    m_runLoop.stop();
}

} // namespace velmora::linux_desktop
