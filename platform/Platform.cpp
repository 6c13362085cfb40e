#include "platform/Platform.h"

#include <cstdio>
#include <cstdlib>

namespace velmora {

namespace {

Platform* s_current = nullptr; // not owned; the installer keeps it alive

class NoPaneServices final : public PaneServices {
public:
    std::optional<DelayedCall> launchApplicationAtPath(const std::string&, const std::vector<std::string>&, ExitHandler) override
    {
        return std::nullopt;
    }
    bool openAccessibilitySettings() override { return false; }
    std::string accessibilityInstructions() override { return "Switch on the desktop's support for assistive technologies."; }
    double toolkitVersionNumber() override { return 0; }
    std::string snapBackUnavailableReason() override { return {}; }
};

class NoApplicationFinder final : public ApplicationFinder {
public:
    std::optional<std::string> pathForApplicationWithIdentifier(const std::string&) override { return std::nullopt; }
    std::optional<std::string> fullPathForApplication(const std::string&) override { return std::nullopt; }
    std::string displayNameAtPath(const std::string&) override { return ""; }
    std::string iconForFile(const std::string&) override { return ""; }
    bool isApplicationAtPath(const std::string&) override { return false; }
    std::string applicationIdentifierAtPath(const std::string&) override { return ""; }
};

} // namespace

PaneServices& Platform::paneServices()
{
    static NoPaneServices none;
    return none;
}

ApplicationFinder& Platform::applicationFinder()
{
    static NoApplicationFinder none;
    return none;
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

void logMessage(const std::string& line)
{
    Platform::current().systemLog().log(line);
}

} // namespace velmora
