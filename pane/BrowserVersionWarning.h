#pragma once

#include "platform/AlertService.h"

#include <filesystem>
#include <optional>
#include <string>

namespace velmora {

class Workspace;

// Warns, each time the pane is shown, that an installed browser version is
// known to misbehave with Velmora.
//
// The browser checked is "GNOME Web" (org.gnome.Epiphany). Its version is read
// from its AppStream metainfo, whose first release is the installed one. Only
// the exact versions listed below warn.
class BrowserVersionWarning {
public:
    static constexpr const char* kApplicationID = "org.gnome.Epiphany";
    static constexpr const char* kApplicationName = "GNOME Web";
    static constexpr const char* kMetainfoDirectory = "/usr/share/metainfo";
    // The software centre opens on the browser's page, with its update.
    static constexpr const char* kSoftwareUpdateURL = "appstream://org.gnome.Epiphany";

    // `alerts` and `workspace` outlive the warning; `metainfoDirectory` is
    // where the browser's information file is looked for.
    BrowserVersionWarning(AlertService& alerts, Workspace& workspace, std::filesystem::path metainfoDirectory = kMetainfoDirectory);

    // The installed browser's version; nothing when it is not installed or
    // its information cannot be read.
    std::optional<std::string> installedVersion() const;
    // True only for the versions "4.0" and "4.0.1", exactly.
    bool needsUpgrade() const;
    // Asks, when needed, whether to open the software updater, and opens it
    // if the user agrees (without checking that it opened).
    void warnIfUpgradeNeeded() const;

    static Alert upgradeAlert();

private:
    AlertService& m_alerts;
    Workspace& m_workspace;
    std::filesystem::path m_metainfoDirectory;
};

} // namespace velmora
