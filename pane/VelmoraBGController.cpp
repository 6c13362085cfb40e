#include "pane/VelmoraBGController.h"

#include "platform/Gettext.h"

#include "pane/PaneWindow.h"
#include "pane/SoundList.h"
#include "pane/feedback/VLHXFeedbackController.h"
#include "pane/VelmoraPref.h"
#include "platform/Platform.h"
#include "shared/loginitems/LoginItemsSynchronizer.h"
#include "shared/update/BundleInfo.h"
#include "shared/process/AgentExitStatus.h"

#include <array>
#include <cmath>
#include <filesystem>

namespace velmora {

namespace {

using Keys = VelmoraPreferences;

constexpr std::array kSettings{
    VelmoraBGController::Setting{"feedbackSoundVolume", Keys::kFeedbackSoundVolume},
    VelmoraBGController::Setting{"feedbackSoundName", Keys::kFeedbackSoundName},
    VelmoraBGController::Setting{"shouldCheckForUpdatesDaily", Keys::kShouldCheckForUpdatesDaily},
    VelmoraBGController::Setting{"snapsBackAfterDismiss", Keys::kSnapbackCursor},
    VelmoraBGController::Setting{"soundToPlay", Keys::kSoundToPlayIndex},
    VelmoraBGController::Setting{"playsSoundOnMove", Keys::kPlaysSoundOnMove},
    VelmoraBGController::Setting{"snapsToAlternateButton", Keys::kSnapToAlternateButtonInstead},
};

// A float kept at single precision, as the agent reads it back.
Value floatValue(float f)
{
    return Value(static_cast<double>(f));
}

} // namespace

std::span<const VelmoraBGController::Setting> VelmoraBGController::settings()
{
    return kSettings;
}

const VelmoraBGController::Setting* VelmoraBGController::settingForKey(const std::string& key)
{
    for (const auto& s : kSettings) {
        if (key == s.key)
            return &s;
    }
    return nullptr;
}

VelmoraBGController::VelmoraBGController(VelmoraPref* prefPane) : m_prefPane(prefPane)
{
    setKeysAffectingValueForKey("canRun", {"waitingForResponse", "accessibilityAPIIsRunning"});
    setKeysAffectingValueForKey("canChangeSettings", {"canRun", "shouldRun", "isRunning"});
    setKeysAffectingValueForKey("runStateDescription", {"waitingForResponse", "shouldRun", "isRunning"});
}

const VelmoraBGController::Setting& VelmoraBGController::setting(const char* key) const
{
    return *settingForKey(key);
}

Value VelmoraBGController::valueOfSetting(const Setting& setting)
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

void VelmoraBGController::setValueOfSetting(const Setting& setting, const Value& value)
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

float VelmoraBGController::feedbackSoundVolume()
{
    return static_cast<float>(valueOfSetting(setting(Keys::kFeedbackSoundVolume)).doubleValue());
}

void VelmoraBGController::setFeedbackSoundVolume(float volume)
{
    setPrefOfKey(Keys::kFeedbackSoundVolume, floatValue(volume));
    didChangeValueForKey("feedbackSoundVolume");
}

std::string VelmoraBGController::feedbackSoundName()
{
    Value value = valueOfSetting(setting(Keys::kFeedbackSoundName));
    return value.string() ? *value.string() : "";
}

void VelmoraBGController::setFeedbackSoundName(const std::string& name)
{
    setPrefOfKey(Keys::kFeedbackSoundName, name);
    didChangeValueForKey("feedbackSoundName");
}

bool VelmoraBGController::shouldCheckForUpdatesDaily()
{
    return valueOfSetting(setting(Keys::kShouldCheckForUpdatesDaily)).boolValue();
}

void VelmoraBGController::setShouldCheckForUpdatesDaily(bool check)
{
    setPrefOfKey(Keys::kShouldCheckForUpdatesDaily, check);
    didChangeValueForKey("shouldCheckForUpdatesDaily");
}

bool VelmoraBGController::snapsBackAfterDismiss()
{
    return valueOfSetting(setting(Keys::kSnapbackCursor)).boolValue();
}

void VelmoraBGController::setSnapsBackAfterDismiss(bool snapsBack)
{
    setPrefOfKey(Keys::kSnapbackCursor, int64_t{snapsBack ? 1 : 0});
    didChangeValueForKey("snapsBackAfterDismiss");
}

std::string VelmoraBGController::snapBackUnavailableReason()
{
    return Platform::current().paneServices().snapBackUnavailableReason();
}

std::string VelmoraBGController::pointerMoveRefusalReason()
{
    return Platform::current().paneServices().pointerMoveRefusalReason(agentPath());
}

int VelmoraBGController::soundToPlay()
{
    return static_cast<int>(valueOfSetting(setting(Keys::kSoundToPlayIndex)).integerValue());
}

void VelmoraBGController::setSoundToPlay(int index)
{
    setPrefOfKey(Keys::kSoundToPlayIndex, int64_t{index});
    didChangeValueForKey("soundToPlay");
}

bool VelmoraBGController::playsSoundOnMove()
{
    return valueOfSetting(setting(Keys::kPlaysSoundOnMove)).boolValue();
}

void VelmoraBGController::setPlaysSoundOnMove(bool plays)
{
    setPrefOfKey(Keys::kPlaysSoundOnMove, int64_t{plays ? 1 : 0});
    didChangeValueForKey("playsSoundOnMove");
}

bool VelmoraBGController::snapsToAlternateButton()
{
    return valueOfSetting(setting(Keys::kSnapToAlternateButtonInstead)).boolValue();
}

void VelmoraBGController::setSnapsToAlternateButton(bool alternate)
{
    setPrefOfKey(Keys::kSnapToAlternateButtonInstead, int64_t{alternate ? 1 : 0});
    didChangeValueForKey("snapsToAlternateButton");
}

void VelmoraBGController::setShouldRun(bool run)
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

void VelmoraBGController::setWaitingForResponse(bool waiting)
{
    if (waiting == m_waitingForResponse)
        return;
    m_waitingForResponse = waiting;
    didChangeValueForKey("waitingForResponse");
}

bool VelmoraBGController::accessibilityAPIIsRunning() const
{
    return Platform::current().accessibility().isAPIEnabled();
}

void VelmoraBGController::followAccessibilityStatus()
{
    const bool running = accessibilityAPIIsRunning();
    if (m_accessibilityAnnounced == running)
        return;
    m_accessibilityAnnounced = running;
    didChangeValueForKey("accessibilityAPIIsRunning");
}

void VelmoraBGController::settingsChangedElsewhere()
{
    Platform::current().standardUserDefaults().synchronize();
    for (const auto& s : kSettings)
        didChangeValueForKey(s.property);
}

bool VelmoraBGController::canRun() const
{
    return accessibilityAPIIsRunning()
        && std::floor(Platform::current().paneServices().toolkitVersionNumber()) > kMinimumToolkitVersionNumber
        && !m_waitingForResponse;
}

bool VelmoraBGController::canChangeSettings() const
{
    return canRun() && m_shouldRun && isRunning();
}

std::string VelmoraBGController::runStateDescription() const
{
    if (m_waitingForResponse && m_shouldRun && !isRunning())
        return _("Velmora is starting…");
    if (m_waitingForResponse && !m_shouldRun && isRunning())
        return _("Velmora is stopping…");
    if (m_waitingForResponse)
        return _("Asking whether Velmora is running…");
    return isRunning() ? _("Velmora is running") : _("Velmora is not running");
}

std::string VelmoraBGController::agentPath() const
{
    std::filesystem::path program = Platform::current().application().bundlePath();
    return (program.parent_path() / "VelmoraBG").string();
}

void VelmoraBGController::startRunning()
{
    const std::string path = agentPath();
    // Cleared first, so that a second failure is announced as well.
    setAgentLaunchFailure("");
    // An agent that never started would never answer: the switch would wait
    // for good, and the login item would start nothing at every login.
    std::weak_ptr<VelmoraBGController*> controller = m_self;
    auto ended = [controller](int waitStatus) {
        if (auto self = controller.lock())
            (*self)->agentEnded(waitStatus);
    };
    if (!Platform::current().paneServices().launchApplicationAtPath(path, {AgentExitStatus::kFailWithoutDesktopOption}, ended)) {
        NSLog("could not launch the agent at " + path);
        setAgentLaunchFailure(i18n::format(_("The agent, %s, is missing or cannot run. Reinstalling Velmora should bring it back."), path.c_str()));
        setShouldRun(false);
        return;
    }
    // The login item waits for the agent's announcement: an agent that cannot
    // watch this session would not watch the next one started the same way.
    m_awaitingAgentStart = true;
    setWaitingForResponse(true);
}

void VelmoraBGController::agentEnded(int waitStatus)
{
    if (!m_awaitingAgentStart)
        return;
    m_awaitingAgentStart = false;
    const std::string why = AgentExitStatus::describe(waitStatus);
    NSLog("the agent ended before it started watching: " + why);
    // TRANSLATORS: %s says why, such as "it found no session bus (…)".
    setAgentLaunchFailure(i18n::format(_("The agent could not start watching: %s."), why.c_str()));
    setWaitingForResponse(false);
    setShouldRun(false);
}

void VelmoraBGController::setAgentLaunchFailure(const std::string& failure)
{
    if (failure == m_agentLaunchFailure)
        return;
    m_agentLaunchFailure = failure;
    didChangeValueForKey("agentLaunchFailure");
}

void VelmoraBGController::stopRunning()
{
    sendMustQuit();
    LoginItemsSynchronizer::setAppLaunchesAtLogin(false, agentPath());
    setWaitingForResponse(true);
}

void VelmoraBGController::setupUI()
{
    didChangeValueForKey("currentVersionString");
    m_accessibilityAnnounced = accessibilityAPIIsRunning();
    didChangeValueForKey("accessibilityAPIIsRunning");
    didChangeValueForKey("bundleNameWithVersionString");
    setWaitingForResponse(true);
    updateUI();
    startListening();
}

void VelmoraBGController::closePrefpane()
{
    stopListening();
}

// static
std::string VelmoraBGController::userGuidePath()
{
    // The installed guide, or the source tree's for a program run from its build folder.
    std::error_code error;
    return std::filesystem::is_regular_file(VELMORA_USER_GUIDE_PATH, error) ? VELMORA_USER_GUIDE_PATH : VELMORA_SOURCE_USER_GUIDE;
}

bool VelmoraBGController::helpButton()
{
    return Platform::current().workspace().openFile(userGuidePath());
}

bool VelmoraBGController::visitWebsite()
{
    return Platform::current().workspace().openURL(kWebsiteURL);
}

bool VelmoraBGController::showUniversalAccess()
{
    return Platform::current().paneServices().openAccessibilitySettings();
}

std::string VelmoraBGController::accessibilityInstructions() const
{
    return Platform::current().paneServices().accessibilityInstructions();
}

const std::vector<std::string>& VelmoraBGController::soundNames() const
{
    return SoundList::availableSoundsforPW();
}

const std::vector<SoundList::Group>& VelmoraBGController::soundGroups() const
{
    return SoundList::availableSoundGroups();
}

void VelmoraBGController::sendFeedback()
{
    VLHXFeedbackController::showFeedback();
}

std::string VelmoraBGController::feedbackMailLink() const
{
    return std::string("mailto:") + kFeedbackAddress + "?subject=velmora-feedback:version_" + currentVersionString();
}

bool VelmoraBGController::yesItsRunning()
{
    const bool loaded = BGAppController::yesItsRunning();
    if (m_awaitingAgentStart) {
        m_awaitingAgentStart = false;
        LoginItemsSynchronizer::setAppLaunchesAtLogin(true, agentPath());
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

bool VelmoraBGController::noItsNot()
{
    if (!BGAppController::noItsNot())
        return false;
    updateUI();
    setWaitingForResponse(false);
    setShouldRun(false);
    return true;
}

std::string VelmoraBGController::currentVersionString() const
{
    return BundleInfo::buildVersion();
}

std::string VelmoraBGController::bundleNameWithVersionString() const
{
    return std::string(kIconLabel) + " " + currentVersionString();
}

PaneWindow* VelmoraBGController::window() const
{
    return m_prefPane ? m_prefPane->window() : nullptr;
}

} // namespace velmora
