#include "platform/linux/LinuxApplication.h"

#include <filesystem>
#include <sys/stat.h>

namespace velmora::linux_desktop {

LinuxApplication::LinuxApplication(NotificationCenter& localCenter, RunLoop& runLoop)
    : m_localCenter(localCenter)
    , m_runLoop(runLoop)
{
    std::error_code error;
    m_bundlePath = std::filesystem::read_symlink("/proc/self/exe", error).string();
}

std::string LinuxApplication::bundlePath()
{
    return m_bundlePath;
}

bool LinuxApplication::fileExists(const std::string& path)
{
    struct stat info { };
    return !path.empty() && stat(path.c_str(), &info) == 0;
}

void LinuxApplication::terminate()
{
    m_localCenter.post(kNSApplicationWillTerminateNotification, this);
    m_runLoop.stop();
}

} // namespace velmora::linux_desktop
