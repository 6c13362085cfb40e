#include "platform/sim/SimApplicationFinder.h"

#include <filesystem>

namespace velmora::sim {

void SimApplicationFinder::install(InstalledApplication application)
{
    m_applications.push_back(std::move(application));
}

void SimApplicationFinder::addFile(const std::string& path, uint32_t fileType)
{
    m_files[path] = fileType;
}

const SimApplicationFinder::InstalledApplication* SimApplicationFinder::atPath(const std::string& path) const
{
    for (const auto& application : m_applications) {
        if (application.path == path)
            return &application;
    }
    return nullptr;
}

std::optional<std::string> SimApplicationFinder::absolutePathForAppBundleWithIdentifier(const std::string& identifier)
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

std::optional<std::string> SimApplicationFinder::pathForCreatorCode(uint32_t creator)
{
    ++m_lookupCount;
    for (const auto& application : m_applications) {
        if (creator != 0 && application.creatorCode == creator)
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

bool SimApplicationFinder::isBundleAtPath(const std::string& path)
{
    auto application = atPath(path);
    return application && application->isBundle;
}

std::string SimApplicationFinder::bundleIdentifierAtPath(const std::string& path)
{
    auto application = atPath(path);
    return application && application->isBundle ? application->bundleIdentifier : "";
}

std::optional<uint32_t> SimApplicationFinder::fileTypeAtPath(const std::string& path)
{
    if (auto application = atPath(path))
        return application->isBundle ? 0 : kApplicationFileType;
    if (auto it = m_files.find(path); it != m_files.end())
        return it->second;
    return std::nullopt;
}

} // namespace velmora::sim
