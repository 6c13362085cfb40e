#include "pane/SettingsPane.h"

#include "pane/BrowserVersionWarning.h"
#include "platform/Platform.h"

namespace velmora {

SettingsPane::SettingsPane()
    : m_prefsController(std::make_unique<AgentController>(AgentController::Services::of(Platform::current()), this))
    , m_ignoredAppsController(std::make_unique<IgnoredApplicationsController>(*m_prefsController))
{
}

// The editor refers to the settings controller: it goes first.
SettingsPane::~SettingsPane()
{
    m_ignoredAppsController.reset();
    m_prefsController.reset();
}

void SettingsPane::didSelect()
{
    animateMouse();
    m_prefsController->setupUI();
    BrowserVersionWarning::warnNeedSafariUpdate();
    m_ignoredAppsController->updateUI();
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
    m_ignoredAppsController->updateUI();
}

} // namespace velmora
