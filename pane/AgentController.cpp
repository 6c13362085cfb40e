#include "pane/AgentController.h"

#include "platform/Gettext.h"

#include "pane/PaneWindow.h"
#include "pane/SoundList.h"
#include "pane/SettingsPane.h"
#include "platform/Platform.h"
#include "shared/loginitems/AutostartSynchronizer.h"
#include "shared/update/ProgramInfo.h"
#include "shared/process/AgentExitStatus.h"

#include <array>
#include <cmath>
#include <filesystem>

namespace velmora {

namespace {

using Keys = VelmoraPreferences;

constexpr std::array kSettings{
    AgentController::Setting{"feedbackSoundVolume", Keys::kFeedbackSoundVolume},
    AgentController::Setting{"feedbackSoundName", Keys::kFeedbackSoundName},
    AgentController::Setting{"shouldCheckForUpdatesDaily", Keys::kShouldCheckForUpdatesDaily},
    AgentController::Setting{"snapsBackAfterDismiss", Keys::kSnapbackCursor},
    AgentController::Setting{"soundToPlay", Keys::kSoundToPlayIndex},
    AgentController::Setting{"playsSoundOnMove", Keys::kPlaysSoundOnMove},
    AgentController::Setting{"snapsToAlternateButton", Keys::kSnapToAlternateButtonInstead},
};

// A float kept at single precision, as the agent reads it back.
Value floatValue(float f)
{
    return Value(static_cast<double>(f));
}

} // namespace

std::span<const AgentController::Setting> AgentController::settings()
{
    return kSettings;
}

const AgentController::Setting* AgentController::settingForKey(const std::string& key)
{
    for (const auto& s : kSettings) {
        if (key == s.key)
            return &s;
    }
    return nullptr;
}

AgentController::Services AgentController::Services::of(Platform& platform)
{
    return Services{
        .settings = platform.standardUserDefaults(),
        .runLoop = platform.runLoop(),
        .channel = platform.agentChannel(),
        .pane = platform.paneServices(),
        .accessibility = platform.accessibility(),
        .workspace = platform.workspace(),
        .application = platform.application(),
        .log = platform.systemLog(),
    };
}

AgentController::AgentController(const Services& services, SettingsPane* settingsPane)
    : AgentClient(services.settings, services.runLoop, services.channel, services.log)
    , m_paneServices(services.pane)
    , m_accessibility(services.accessibility)
    , m_workspace(services.workspace)
    , m_application(services.application)
    , m_settingsPane(settingsPane)
{
    setKeysAffectingValueForKey("canRun", {"waitingForResponse", "accessibilityAPIIsRunning"});
    setKeysAffectingValueForKey("canChangeSettings", {"canRun", "shouldRun", "isRunning"});
    setKeysAffectingValueForKey("runStateDescription", {"waitingForResponse", "shouldRun", "isRunning"});
}

const AgentController::Setting& AgentController::setting(const char* key) const
{
    return *settingForKey(key);
}

Value AgentController::valueOfSetting(const Setting& setting)
{
    if (!prefHasKey(setting.key)) {
        // Absent as last read; stored only if still absent under the lock,
        // so a value another process set meanwhile is not overwritten.
        if (const auto* key = VelmoraPreferences::keyNamed(setting.key); key && key->paneDefault) {
            updatePrefs([&](Value::Dictionary& prefs) {
                return prefs.emplace(setting.key, *key->paneDefault).second;
            });
        }
    }
    return prefForKey(setting.key);
}

void AgentController::setValueOfSetting(const Setting& setting, const Value& value)
{
    const std::string property = setting.property;
    if (property == "feedbackSoundVolume")
        setFeedbackSoundVolume(static_cast<float>(value.doubleValue()));
    else if (property == "feedbackSoundName")
        setFeedbackSoundName(value.string() ? *value.string() : value.description());
    else if (property == "shouldCheckForUpdatesDaily")
        setShouldCheckForUpdatesDaily(value.boolValue());
    else if (property == "snapsBackAfterDismiss")
        setSnapsBackAfterDismiss(value.boolValue());
    else if (property == "soundToPlay")
        setSoundToPlay(static_cast<int>(value.integerValue()));
    else if (property == "playsSoundOnMove")
        setPlaysSoundOnMove(value.boolValue());
    else if (property == "snapsToAlternateButton")
        setSnapsToAlternateButton(value.boolValue());
}

float AgentController::feedbackSoundVolume()
{
    return static_cast<float>(valueOfSetting(setting(Keys::kFeedbackSoundVolume)).doubleValue());
}

void AgentController::setFeedbackSoundVolume(float volume)
{
    setPrefOfKey(Keys::kFeedbackSoundVolume, floatValue(volume));
    didChangeValueForKey("feedbackSoundVolume");
}

std::string AgentController::feedbackSoundName()
{
    Value value = valueOfSetting(setting(Keys::kFeedbackSoundName));
    return value.string() ? *value.string() : "";
}

void AgentController::setFeedbackSoundName(const std::string& name)
{
    setPrefOfKey(Keys::kFeedbackSoundName, name);
    didChangeValueForKey("feedbackSoundName");
}

bool AgentController::shouldCheckForUpdatesDaily()
{
    return valueOfSetting(setting(Keys::kShouldCheckForUpdatesDaily)).boolValue();
}

void AgentController::setShouldCheckForUpdatesDaily(bool check)
{
    setPrefOfKey(Keys::kShouldCheckForUpdatesDaily, check);
    didChangeValueForKey("shouldCheckForUpdatesDaily");
}

bool AgentController::snapsBackAfterDismiss()
{
    return valueOfSetting(setting(Keys::kSnapbackCursor)).boolValue();
}

void AgentController::setSnapsBackAfterDismiss(bool snapsBack)
{
    setPrefOfKey(Keys::kSnapbackCursor, int64_t{snapsBack ? 1 : 0});
    didChangeValueForKey("snapsBackAfterDismiss");
}

std::string AgentController::snapBackUnavailableReason()
{
    return m_paneServices.snapBackUnavailableReason();
}

std::string AgentController::pointerMoveRefusalReason()
{
    return m_paneServices.pointerMoveRefusalReason(agentPath());
}

int AgentController::soundToPlay()
{
    return static_cast<int>(valueOfSetting(setting(Keys::kSoundToPlayIndex)).integerValue());
}

void AgentController::setSoundToPlay(int index)
{
    setPrefOfKey(Keys::kSoundToPlayIndex, int64_t{index});
    didChangeValueForKey("soundToPlay");
}

bool AgentController::playsSoundOnMove()
{
    return valueOfSetting(setting(Keys::kPlaysSoundOnMove)).boolValue();
}

void AgentController::setPlaysSoundOnMove(bool plays)
{
    setPrefOfKey(Keys::kPlaysSoundOnMove, int64_t{plays ? 1 : 0});
    didChangeValueForKey("playsSoundOnMove");
}

bool AgentController::snapsToAlternateButton()
{
    return valueOfSetting(setting(Keys::kSnapToAlternateButtonInstead)).boolValue();
}

void AgentController::setSnapsToAlternateButton(bool alternate)
{
    setPrefOfKey(Keys::kSnapToAlternateButtonInstead, int64_t{alternate ? 1 : 0});
    didChangeValueForKey("snapsToAlternateButton");
}

void AgentController::setShouldRun(bool run)
{
    if (run == m_shouldRun)
        return;
    m_shouldRun = run;
    didChangeValueForKey("shouldRun");
    if (run && !isRunning())
        startRunning();
    else if (!run && isRunning())
        stopRunning();
}

void AgentController::setWaitingForResponse(bool waiting)
{
    if (waiting == m_waitingForResponse)
        return;
    m_waitingForResponse = waiting;
    didChangeValueForKey("waitingForResponse");
}

bool AgentController::accessibilityAPIIsRunning() const
{
    return m_accessibility.isAPIEnabled();
}

void AgentController::followAccessibilityStatus()
{
    const bool running = accessibilityAPIIsRunning();
    if (m_accessibilityAnnounced == running)
        return;
    m_accessibilityAnnounced = running;
    didChangeValueForKey("accessibilityAPIIsRunning");
}

void AgentController::settingsChangedElsewhere()
{
    programSettings().synchronize();
    for (const auto& s : kSettings)
        didChangeValueForKey(s.property);
}

bool AgentController::canRun() const
{
    return accessibilityAPIIsRunning()
        && std::floor(m_paneServices.toolkitVersionNumber()) > kMinimumToolkitVersionNumber
        && !m_waitingForResponse;
}

bool AgentController::canChangeSettings() const
{
    return canRun() && m_shouldRun && isRunning();
}

std::string AgentController::runStateDescription() const
{
    if (m_waitingForResponse && m_shouldRun && !isRunning())
        return _("Velmora is starting…");
    if (m_waitingForResponse && !m_shouldRun && isRunning())
        return _("Velmora is stopping…");
    if (m_waitingForResponse)
        return _("Asking whether Velmora is running…");
    return isRunning() ? _("Velmora is running") : _("Velmora is not running");
}

std::string AgentController::agentPath() const
{
    std::filesystem::path program = m_application.programPath();
    return (program.parent_path() / "VelmoraBG").string();
}

void AgentController::startRunning()
{
    const std::string path = agentPath();
    // Cleared first, so that a second failure is announced as well.
    setAgentLaunchFailure("");
    // An agent that never started would never answer: the switch would wait
    // for good, and the login item would start nothing at every login.
    auto launched = m_paneServices.launchApplicationAtPath(path, {AgentExitStatus::kFailWithoutDesktopOption},
        [this](int waitStatus) { agentEnded(waitStatus); });
    if (!launched) {
        systemLog().log("could not launch the agent at " + path);
        setAgentLaunchFailure(i18n::format(_("The agent, %s, is missing or cannot run. Reinstalling Velmora should bring it back."), path.c_str()));
        setShouldRun(false);
        return;
    }
    std::erase_if(m_agentExitWatches, [](const DelayedCall& watch) { return !watch.isPending(); });
    m_agentExitWatches.push_back(std::move(*launched));
    // The login item waits for the agent's announcement: an agent that cannot
    // watch this session would not watch the next one started the same way.
    m_awaitingAgentStart = true;
    setWaitingForResponse(true);
}

void AgentController::agentEnded(int waitStatus)
{
    if (!m_awaitingAgentStart)
        return;
    m_awaitingAgentStart = false;
    const std::string why = AgentExitStatus::describe(waitStatus);
    systemLog().log("the agent ended before it started watching: " + why);
    // TRANSLATORS: %s says why, such as "it found no session bus (…)".
    setAgentLaunchFailure(i18n::format(_("The agent could not start watching: %s."), why.c_str()));
    setWaitingForResponse(false);
    setShouldRun(false);
}

void AgentController::setAgentLaunchFailure(const std::string& failure)
{
    if (failure == m_agentLaunchFailure)
        return;
    m_agentLaunchFailure = failure;
    didChangeValueForKey("agentLaunchFailure");
}

void AgentController::stopRunning()
{
    sendQuitOrder();
    AutostartSynchronizer(programSettings(), m_application).setLaunchesAtLogin(false, agentPath());
    setWaitingForResponse(true);
}

void AgentController::setupUI()
{
    didChangeValueForKey("currentVersionString");
    m_accessibilityAnnounced = accessibilityAPIIsRunning();
    didChangeValueForKey("accessibilityAPIIsRunning");
    didChangeValueForKey("bundleNameWithVersionString");
    setWaitingForResponse(true);
    updateUI();
    startListening();
}

void AgentController::closeUI()
{
    stopListening();
}

// static
std::string AgentController::userGuidePath()
{
    // The installed guide, or the source tree's for a program run from its build folder.
    std::error_code error;
    return std::filesystem::is_regular_file(VELMORA_USER_GUIDE_PATH, error) ? VELMORA_USER_GUIDE_PATH : VELMORA_SOURCE_USER_GUIDE;
}

bool AgentController::helpButton()
{
    return m_workspace.openFile(userGuidePath());
}

bool AgentController::visitWebsite()
{
    return m_workspace.openURL(kWebsiteURL);
}

bool AgentController::showUniversalAccess()
{
    return m_paneServices.openAccessibilitySettings();
}

std::string AgentController::accessibilityInstructions() const
{
    return m_paneServices.accessibilityInstructions();
}

const std::vector<std::string>& AgentController::soundNames() const
{
    return SoundList::availableSoundsforPW();
}

const std::vector<SoundList::Group>& AgentController::soundGroups() const
{
    return SoundList::availableSoundGroups();
}

std::string AgentController::feedbackMailLink() const
{
    return std::string("mailto:") + kFeedbackAddress + "?subject=velmora-feedback:version_" + currentVersionString();
}

bool AgentController::yesItsRunning()
{
    const bool loaded = AgentClient::yesItsRunning();
    if (m_awaitingAgentStart) {
        m_awaitingAgentStart = false;
        AutostartSynchronizer(programSettings(), m_application).setLaunchesAtLogin(true, agentPath());
    }
    if (!loaded)
        return false;
    updateUI();
    PaneWindow* paneWindow = window();
    if (!paneWindow)
        return false;
    paneWindow->activateAndOrderFront();
    setWaitingForResponse(false);
    setShouldRun(true);
    return true;
}

bool AgentController::noItsNot()
{
    if (!AgentClient::noItsNot())
        return false;
    updateUI();
    setWaitingForResponse(false);
    setShouldRun(false);
    return true;
}

std::string AgentController::currentVersionString() const
{
    return ProgramInfo::buildVersion();
}

std::string AgentController::bundleNameWithVersionString() const
{
    return std::string(kIconLabel) + " " + currentVersionString();
}

PaneWindow* AgentController::window() const
{
    return m_settingsPane ? m_settingsPane->window() : nullptr;
}

} // namespace velmora
