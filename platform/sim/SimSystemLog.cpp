#include "platform/sim/SimSystemLog.h"

#include "platform/sim/SimRunLoop.h"

#include <cstdio>

namespace velmora::sim {

void SimSystemLog::log(const std::string& line)
{
    m_lines.push_back(line);
    if (m_echo)
        std::fprintf(stderr, "[%8.3f] %s\n", m_runLoop.now(), line.c_str());
}

} // namespace velmora::sim
