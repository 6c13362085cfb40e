#pragma once

#include <string>

namespace velmora {

// One free-text line per condition worth knowing; never shown to the user.
class SystemLog {
public:
    virtual ~SystemLog() = default;
    virtual void log(const std::string& line) = 0;
};

} // namespace velmora
