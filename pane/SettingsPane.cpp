#include "pane/SettingsPane.h"

#include "pane/BrowserVersionWarning.h"
#include "platform/Platform.h"

namespace velmora {

SettingsPane::SettingsPane(Platform& platform)
    : m_platform(platform)
    , m_agentController(std::make_unique<AgentController>(AgentController::Services::of(platform), this))
    , m_ignoredApplicationsController(std::make_unique<IgnoredApplicationsController>(*m_agentController, platform.applicationFinder()))
{
}

// The editor refers to the settings controller: it goes first.
SettingsPane::~SettingsPane()
{
    m_ignoredApplicationsController.reset();
    m_agentController.reset();
}

void SettingsPane::didSelect()
{
    animateMouse();
    m_agentController->setupUI();
    BrowserVersionWarning(m_platform.alerts(), m_platform.workspace()).warnIfUpgradeNeeded();
    m_ignoredApplicationsController->updateUI();
    m_pulsingButtonStart = m_platform.runLoop().performAfterDelay(kPulsingButtonDelay, [this] { startAnimatingPulsingButton(); });
}

void SettingsPane::didUnselect()
{
    m_platform.localNotificationCenter().post(kStopAnimatingNotification, this);
}

void SettingsPane::startAnimatingPulsingButton()
{
    m_platform.localNotificationCenter().post(kStartAnimatingNotification, this);
}

void SettingsPane::tabViewWillSelectTabViewItem()
{
    m_ignoredApplicationsController->updateUI();
}

} // namespace velmora
