#include "pane/VelmoraPref.h"

#include "pane/SafariVersionChecker.h"
#include "platform/Platform.h"

namespace velmora {

VelmoraPref::VelmoraPref()
    : m_prefsController(std::make_unique<VelmoraBGController>(this))
    , m_ignoredAppsController(std::make_unique<IgnoredApplicationsTableViewController>(*m_prefsController))
{
}

// The editor refers to the settings controller: it goes first.
VelmoraPref::~VelmoraPref()
{
    m_ignoredAppsController.reset();
    m_prefsController.reset();
}

void VelmoraPref::didSelect()
{
    animateMouse();
    m_prefsController->setupUI();
    SafariVersionChecker::warnNeedSafariUpdate();
    m_ignoredAppsController->updateUI();
    m_pulsingButtonStart = Platform::current().runLoop().performAfterDelay(kPulsingButtonDelay, [this] { startAnimatingPulsingButton(); });
}

void VelmoraPref::didUnselect()
{
    Platform::current().localNotificationCenter().post(kStopAnimatingNotification, this);
}

void VelmoraPref::startAnimatingPulsingButton()
{
    Platform::current().localNotificationCenter().post(kStartAnimatingNotification, this);
}

void VelmoraPref::tabViewWillSelectTabViewItem()
{
    m_ignoredAppsController->updateUI();
}

} // namespace velmora
