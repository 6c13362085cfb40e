#pragma once

#include <optional>
#include <string>

namespace velmora {

// Installed applications, for the list of applications the agent leaves
// alone. An application is known by a path (its bundle, or on a desktop of
// desktop entries, its entry file), a bundle identifier (the entry's ID) and
// a display name. Every lookup answers nothing rather than failing.
class ApplicationFinder {
public:
    virtual ~ApplicationFinder() = default;

    // The installed application with that bundle identifier.
    virtual std::optional<std::string> absolutePathForAppBundleWithIdentifier(const std::string& identifier) = 0;
    // The installed application with that name (display name, or file name
    // without extension).
    virtual std::optional<std::string> fullPathForApplication(const std::string& name) = 0;

    // The name people see for the file at `path`; its file name without
    // extension when it has no better one.
    virtual std::string displayNameAtPath(const std::string& path) = 0;
    // The name of the icon that stands for the file at `path`; "" for none.
    virtual std::string iconForFile(const std::string& path) = 0;

    // Whether `path` opens as an application bundle (or desktop entry, or
    // program).
    virtual bool isBundleAtPath(const std::string& path) = 0;
    // The bundle identifier of the bundle at `path`; "" when it has none or
    // is no bundle.
    virtual std::string bundleIdentifierAtPath(const std::string& path) = 0;
};

} // namespace velmora
