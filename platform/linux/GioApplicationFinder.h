#pragma once

#include "platform/ApplicationFinder.h"

namespace velmora::linux_desktop {

// Installed applications as the desktop entries GIO knows
// ($XDG_DATA_HOME/applications and the system's data folders). An
// application's path is its entry file, its bundle identifier the entry's
// desktop-file ID without ".desktop" (the form the workspace gives running
// applications), its display name the entry's Name. A program (an executable
// file) counts as an application too, known by its file name, which is the
// name the workspace gives its processes. An entry or program counts only
// when its identifier leads back to an installed application, so that what is
// put on the ignored list can be shown and removed again. Creator codes and
// file type codes do not exist here: those lookups answer nothing.
class GioApplicationFinder final : public ApplicationFinder {
public:
    std::optional<std::string> absolutePathForAppBundleWithIdentifier(const std::string& identifier) override;
    // An entry's Name, then its ID, then its program's file name; an exact
    // match first, then one that differs only in case; last, a program of
    // that name on PATH.
    std::optional<std::string> fullPathForApplication(const std::string& name) override;
    std::optional<std::string> pathForCreatorCode(uint32_t creator) override;

    std::string displayNameAtPath(const std::string& path) override;
    // A themed icon's first name, or an icon file's path.
    std::string iconForFile(const std::string& path) override;

    bool isBundleAtPath(const std::string& path) override;
    std::string bundleIdentifierAtPath(const std::string& path) override;
    std::optional<uint32_t> fileTypeAtPath(const std::string& path) override;

private:
    static std::string identifierAtPath(const std::string& path);
};

} // namespace velmora::linux_desktop
