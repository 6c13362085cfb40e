#include "platform/sim/SimWorkspace.h"

#include "platform/sim/SimApplication.h"
#include "platform/sim/SimDesktop.h"

namespace velmora::sim {

SimWorkspace::SimWorkspace(SimDesktop& desktop, SimApplication& application)
    : m_desktop(desktop)
    , m_application(application)
{
}

std::vector<ApplicationInfo> SimWorkspace::launchedApplications()
{
    std::vector<ApplicationInfo> infos;
    for (SimApp* app : m_desktop.apps())
        if (app->listedInWorkspace)
            infos.push_back(app->info);
    return infos;
}

std::optional<ApplicationInfo> SimWorkspace::activeApplication()
{
    for (SimApp* app : m_desktop.apps())
        if (app->frontmost)
            return app->info;
    return std::nullopt;
}

bool SimWorkspace::openFile(const std::string& path)
{
    m_openedFiles.push_back(path);
    return m_application.fileExists(path);
}

bool SimWorkspace::openURL(const std::string& url)
{
    m_openedURLs.push_back(url);
    return true;
}

} // namespace velmora::sim
