#pragma once

#include <optional>
#include <string>

namespace velmora {

// Installed applications, for the list of applications the agent leaves
// alone. An application is known by a path (its desktop entry file, or a
// program's file), an identifier (the entry's ID, or the program's file name)
// and a display name. Every lookup answers nothing rather than failing.
class ApplicationFinder {
public:
    virtual ~ApplicationFinder() = default;

    // The installed application with that identifier.
    virtual std::optional<std::string> pathForApplicationWithIdentifier(const std::string& identifier) = 0;
    // The installed application with that name (display name, or file name
    // without extension).
    virtual std::optional<std::string> fullPathForApplication(const std::string& name) = 0;

    // The name people see for the file at `path`; its file name without
    // extension when it has no better one.
    virtual std::string displayNameAtPath(const std::string& path) = 0;
    // The name of the icon that stands for the file at `path`; "" for none.
    virtual std::string iconForFile(const std::string& path) = 0;

    // Whether `path` is an installed application (a desktop entry or a
    // program).
    virtual bool isApplicationAtPath(const std::string& path) = 0;
    // The identifier of the application at `path`; "" when it has none or
    // is no application.
    virtual std::string applicationIdentifierAtPath(const std::string& path) = 0;
};

} // namespace velmora
