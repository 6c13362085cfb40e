#pragma once

#include "platform/SystemLog.h"

#include <string>
#include <vector>

namespace velmora::sim {

class SimRunLoop;

// Keeps every line; optionally echoes each to stderr with its virtual time
// (for the demo).
class SimSystemLog final : public SystemLog {
public:
    explicit SimSystemLog(SimRunLoop& runLoop) : m_runLoop(runLoop) { }

    // SystemLog overrides.
    void log(const std::string& line) override;

    const std::vector<std::string>& lines() const { return m_lines; }
    void setEcho(bool echo) { m_echo = echo; }

private:
    SimRunLoop& m_runLoop; // not owned
    std::vector<std::string> m_lines;
    bool m_echo{false};
};

} // namespace velmora::sim
