#include "platform/sim/SimApplicationFinder.h"

#include <filesystem>

namespace velmora::sim {

void SimApplicationFinder::install(InstalledApplication application)
{
    m_applications.push_back(std::move(application));
}

const SimApplicationFinder::InstalledApplication* SimApplicationFinder::atPath(const std::string& path) const
{
    for (const auto& application : m_applications) {
        if (application.path == path)
            return &application;
    }
    return nullptr;
}

std::optional<std::string> SimApplicationFinder::pathForApplicationWithIdentifier(const std::string& identifier)
{
    ++m_lookupCount;
    for (const auto& application : m_applications) {
        if (!identifier.empty() && application.bundleIdentifier == identifier)
            return application.path;
    }
    return std::nullopt;
}

std::optional<std::string> SimApplicationFinder::fullPathForApplication(const std::string& name)
{
    ++m_lookupCount;
    for (const auto& application : m_applications) {
        if (application.name == name || std::filesystem::path(application.path).stem() == name)
            return application.path;
    }
    return std::nullopt;
}

std::string SimApplicationFinder::displayNameAtPath(const std::string& path)
{
    if (auto application = atPath(path); application && !application->name.empty())
        return application->name;
    return std::filesystem::path(path).stem();
}

std::string SimApplicationFinder::iconForFile(const std::string& path)
{
    auto application = atPath(path);
    return application ? application->icon : "";
}

bool SimApplicationFinder::isApplicationAtPath(const std::string& path)
{
    return atPath(path) != nullptr;
}

std::string SimApplicationFinder::applicationIdentifierAtPath(const std::string& path)
{
    auto application = atPath(path);
    return application ? application->bundleIdentifier : "";
}

} // namespace velmora::sim
