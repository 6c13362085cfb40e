#include "pane/BrowserVersionWarning.h"

#include "platform/Gettext.h"
#include "platform/Workspace.h"

#include <pugixml.hpp>

#include <utility>

namespace velmora {

BrowserVersionWarning::BrowserVersionWarning(AlertService& alerts, Workspace& workspace, std::filesystem::path metainfoDirectory)
    : m_alerts(alerts)
    , m_workspace(workspace)
    , m_metainfoDirectory(std::move(metainfoDirectory))
{
}

std::optional<std::string> BrowserVersionWarning::installedVersion() const
{
    // Older packages install the same file under its former extension.
    for (const char* extension : {".metainfo.xml", ".appdata.xml"}) {
        pugi::xml_document document;
        if (!document.load_file((m_metainfoDirectory / (std::string(kApplicationID) + extension)).c_str()))
            continue;
        pugi::xml_attribute version = document.select_node("/component/releases/release[1]/@version").attribute();
        if (version)
            return std::string(version.value());
        return std::nullopt;
    }
    return std::nullopt;
}

bool BrowserVersionWarning::needsUpgrade() const
{
    auto version = installedVersion();
    return version && (*version == "4.0" || *version == "4.0.1");
}

// static
Alert BrowserVersionWarning::upgradeAlert()
{
    const std::string name = kApplicationName;
    // TRANSLATORS: every %1$s in these two texts is the browser's name.
    return Alert{AlertStyle::Informational, i18n::format(_("Please upgrade %1$s"), name.c_str()),
        i18n::format(_("The version of %1$s you are currently running is known to have issues with Velmora and other applications. "
                       "There is a new version of %1$s available via Software Update.\n\n"
                       "Would you like to run Software Update now so you can upgrade %1$s?\n"),
            name.c_str()),
        {_("Launch Software Update\u2026"), _("Not Now")}};
}

void BrowserVersionWarning::warnIfUpgradeNeeded() const
{
    if (!needsUpgrade())
        return;
    if (m_alerts.runModal(upgradeAlert()) == 0)
        m_workspace.openURL(kSoftwareUpdateURL);
}

} // namespace velmora
