#include "platform/linux/SyslogSystemLog.h"

#include <cstdio>
#include <syslog.h>

namespace velmora::linux_desktop {

SyslogSystemLog::SyslogSystemLog(std::string identity) : m_identity(std::move(identity))
{
    openlog(m_identity.c_str(), LOG_PID, LOG_USER);
}

SyslogSystemLog::~SyslogSystemLog()
{
    closelog();
}

void SyslogSystemLog::log(const std::string& line)
{
    std::fprintf(stderr, "%s: %s\n", m_identity.c_str(), line.c_str());
    syslog(LOG_NOTICE, "%s", line.c_str());
}

} // namespace velmora::linux_desktop
