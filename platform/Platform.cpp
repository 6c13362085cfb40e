#include "platform/Platform.h"

#include <cstdio>
#include <cstdlib>

namespace velmora {

namespace {
Platform* s_current = nullptr; // not owned; the installer keeps it alive
}

Platform& Platform::current()
{
    if (!s_current) {
        std::fputs("velmora: no platform installed\n", stderr);
        std::abort();
    }
    return *s_current;
}

bool Platform::isInstalled()
{
    return s_current != nullptr;
}

Platform* Platform::install(Platform* platform)
{
    Platform* previous = s_current;
    s_current = platform;
    return previous;
}

void NSLog(const std::string& line)
{
    Platform::current().systemLog().log(line);
}

} // namespace velmora
