#pragma once

#include "platform/AlertService.h"

#include <filesystem>
#include <optional>
#include <string>

namespace velmora {

// Warns, each time the pane is shown, that an installed browser version is
// known to misbehave with Velmora.
//
// The browser checked is "GNOME Web" (org.gnome.Epiphany). Its version is read the
// way a bundle's display version is: from the application's installed
// information file at a fixed place, here its AppStream metainfo, whose first
// release is the installed one. Only the exact versions listed below warn.
class BrowserVersionWarning {
public:
    static constexpr const char* kApplicationID = "org.gnome.Epiphany";
    static constexpr const char* kApplicationName = "GNOME Web";
    static constexpr const char* kMetainfoDirectory = "/usr/share/metainfo";
    // The software centre opens on the browser's page, with its update.
    static constexpr const char* kSoftwareUpdateURL = "appstream://org.gnome.Epiphany";

    // The installed browser's version; nothing when it is not installed or
    // its information cannot be read. `metainfoDirectory` is for tests.
    static std::optional<std::string> safariDisplayVersion(const std::filesystem::path& metainfoDirectory = kMetainfoDirectory);
    // True only for the versions "4.0" and "4.0.1", exactly.
    static bool needToUpgradeSafari(const std::filesystem::path& metainfoDirectory = kMetainfoDirectory);
    // Asks, when needed, whether to open the software updater, and opens it
    // if the user agrees (without checking that it opened).
    static void warnNeedSafariUpdate(const std::filesystem::path& metainfoDirectory = kMetainfoDirectory);

    static Alert upgradeAlert();
};

} // namespace velmora
