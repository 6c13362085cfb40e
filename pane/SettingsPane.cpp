#include "pane/SettingsPane.h"

#include "pane/BrowserVersionWarning.h"
#include "platform/Platform.h"

namespace velmora {

SettingsPane::SettingsPane()
    : m_agentController(std::make_unique<AgentController>(AgentController::Services::of(Platform::current()), this))
    , m_ignoredApplicationsController(std::make_unique<IgnoredApplicationsController>(*m_agentController))
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
    BrowserVersionWarning(Platform::current().alerts(), Platform::current().workspace()).warnIfUpgradeNeeded();
    m_ignoredApplicationsController->updateUI();
    m_pulsingButtonStart = Platform::current().runLoop().performAfterDelay(kPulsingButtonDelay, [this] { startAnimatingPulsingButton(); });
}

void SettingsPane::didUnselect()
{
    Platform::current().localNotificationCenter().post(kStopAnimatingNotification, this);
}

void SettingsPane::startAnimatingPulsingButton()
{
    Platform::current().localNotificationCenter().post(kStartAnimatingNotification, this);
}

void SettingsPane::tabViewWillSelectTabViewItem()
{
    m_ignoredApplicationsController->updateUI();
}

} // namespace velmora
