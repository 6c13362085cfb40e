#pragma once

#include "platform/Platform.h"

#include <cstdio>
#include <string>

namespace velmora {

// A problem with the settings files, for the log. The store also runs in
// tools and tests that install no platform: there it goes to stderr.
inline void logSettingsProblem(const std::string& line)
{
    if (Platform::isInstalled())
        logMessage(line);
    else
        std::fprintf(stderr, "velmora: %s\n", line.c_str());
}

} // namespace velmora
