#pragma once

#include "platform/SystemLog.h"

#include <string>

namespace velmora::linux_desktop {

// Lines go to standard error (what a terminal or the session's journal of a
// started program shows) and to syslog under the program's name.
class SyslogSystemLog final : public SystemLog {
public:
    explicit SyslogSystemLog(std::string identity);
    ~SyslogSystemLog() override;
    SyslogSystemLog(const SyslogSystemLog&) = delete;
    SyslogSystemLog& operator=(const SyslogSystemLog&) = delete;

    void log(const std::string& line) override;

private:
    std::string m_identity; // openlog keeps the pointer: it must live as long as we do
};

} // namespace velmora::linux_desktop
