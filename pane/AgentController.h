#pragma once

#include "pane/AgentClient.h"
#include "pane/SoundList.h"
#include "shared/preferences/VelmoraPreferences.h"

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace velmora {

class Accessibility;
class Application;
class PaneServices;
class PaneWindow;
class Platform;
class SettingsPane;
class Workspace;

// The pane's controller of the agent: the run switch (the agent together
// with its login item), every setting as an observable property, the rules
// that enable the controls, and the pane's actions.
//
// Observable keys, besides the inherited ones: the seven settings properties,
// "shouldRun", "waitingForResponse", "accessibilityAPIIsRunning", "canRun",
// "canChangeSettings", "runStateDescription", "currentVersionString",
// "bundleNameWithVersionString", "agentLaunchFailure".
class AgentController : public AgentClient {
public:
    // A settings property and the key it is stored under; the key's type and
    // default are in the shared key table.
    struct Setting {
        const char* property;
        const char* key;
    };
    // The seven settings, in the order the pane shows them.
    static std::span<const Setting> settings();
    // The setting stored under `key`; null for any other key.
    static const Setting* settingForKey(const std::string& key);

    // The run switch needs a toolkit at least this new: 3.0 in the form
    // major * 100 + minor; the fraction keeps the original rule's shape
    // (whole version number greater than the threshold).
    static constexpr double kMinimumToolkitVersionNumber = 299.6;
    // The vendor's addresses.
    static constexpr const char* kWebsiteURL = "https://www.brightfen.com/velmora";
    static constexpr const char* kFeedbackAddress = "velmora-feedback@brightfen.com";
    static constexpr const char* kIconLabel = "Velmora";

    // The desktop services the controller uses; they outlive it.
    struct Services {
        ProgramSettings& settings;
        RunLoop& runLoop;
        AgentChannel& channel;
        PaneServices& pane;
        Accessibility& accessibility;
        Workspace& workspace;
        Application& application;
        SystemLog& log;

        static Services of(Platform& platform);
    };

    // `settingsPane` (not owned; may be null) gives the pane's window.
    explicit AgentController(const Services& services, SettingsPane* settingsPane = nullptr);

    // Settings. A getter whose key is absent first stores the default, which
    // notifies the agent; every setter stores at once and notifies the agent.
    float feedbackSoundVolume();
    void setFeedbackSoundVolume(float volume);
    std::string feedbackSoundName();
    void setFeedbackSoundName(const std::string& name);
    bool shouldCheckForUpdatesDaily();
    void setShouldCheckForUpdatesDaily(bool check);
    bool snapsBackAfterDismiss();
    void setSnapsBackAfterDismiss(bool snapsBack);
    // Why snap-back cannot work on this desktop; "" where it can. The window
    // greys the setting and says why.
    std::string snapBackUnavailableReason();
    // Why this desktop will not let the agent move the pointer; empty where it will.
    std::string pointerMoveRefusalReason();
    int soundToPlay();
    void setSoundToPlay(int index);
    bool playsSoundOnMove();
    void setPlaysSoundOnMove(bool plays);
    bool snapsToAlternateButton();
    void setSnapsToAlternateButton(bool alternate);
    // What the sound chooser offers; built once per process.
    const std::vector<std::string>& soundNames() const;
    // The same, grouped for the chooser: Velmora's own, then the theme's.
    const std::vector<SoundList::Group>& soundGroups() const;

    // The setting as stored, after a first read has stored its default.
    Value valueOfSetting(const Setting& setting);
    // Stores through the property's own setter; the value is converted to
    // the property's type first.
    void setValueOfSetting(const Setting& setting, const Value& value);

    // The run switch: the user wants the agent to run. Turning it on starts
    // the agent unless it is known to run; turning it off stops it unless it
    // is known to be stopped.
    bool shouldRun() const { return m_shouldRun; }
    void setShouldRun(bool run);
    // A start, stop or status query is out and unanswered.
    bool waitingForResponse() const { return m_waitingForResponse; }
    void setWaitingForResponse(bool waiting);
    // Asked of the desktop at every read.
    bool accessibilityAPIIsRunning() const;
    // Asks the desktop again and announces "accessibilityAPIIsRunning" when
    // the answer differs from the last one, so that an open window follows a
    // switch flipped elsewhere without redrawing at every poll.
    void followAccessibilityStatus();
    // The settings file was changed by another process (a `velmora set`, the
    // agent): re-reads it and announces every setting, so that the controls
    // show what is stored rather than what this process last wrote.
    void settingsChangedElsewhere();
    bool canRun() const;
    bool canChangeSettings() const;
    // The run state in a few words for the window, derived from the three
    // flags: asking, starting, running, stopping or not running.
    std::string runStateDescription() const;

    // Launches the agent; its login item is added when it announces itself.
    void startRunning();
    void stopRunning();
    // Why the last start could not launch the agent, or why the agent ended
    // before announcing itself; "" otherwise.
    const std::string& agentLaunchFailure() const { return m_agentLaunchFailure; }
    // The agent program, installed beside this program.
    std::string agentPath() const;

    // Lifecycle: each showing of the pane, and its closing.
    void setupUI();
    void closeUI();
    // A hook for the front end; does nothing here.
    virtual void updateUI() { }

    // The user guide that the help button opens (a page for the desktop's
    // browser; the README is for developers).
    static std::string userGuidePath();

    // Actions. Each answers whether the desktop did what was asked.
    bool helpButton();
    bool visitWebsite();
    // Shows the desktop's accessibility settings; false where there are none,
    // and the pane shows accessibilityInstructions() instead.
    bool showUniversalAccess();
    std::string accessibilityInstructions() const;
    // The mail link that the feedback field shows.
    std::string feedbackMailLink() const;

    bool yesItsRunning() override;
    bool noItsNot() override;

    std::string settingsDomain() const override { return VelmoraPreferences::kDomain; }
    std::string currentVersionString() const override;
    std::string bundleNameWithVersionString() const override;

private:
    PaneWindow* window() const;
    const Setting& setting(const char* key) const;
    void setAgentLaunchFailure(const std::string& failure);
    // The launched agent's process ended; matters only before its announcement.
    void agentEnded(int waitStatus);

    PaneServices& m_paneServices;
    Accessibility& m_accessibility;
    Workspace& m_workspace;
    Application& m_application;
    SettingsPane* m_settingsPane{nullptr}; // not owned; the pane owns this controller
    bool m_shouldRun{false};
    bool m_waitingForResponse{false};
    // The accessibility status as last announced; unknown before the first.
    std::optional<bool> m_accessibilityAnnounced;
    std::string m_agentLaunchFailure;
    // A launched agent has not announced itself yet.
    bool m_awaitingAgentStart{false};
    // The exit watches of launched agents; an agent may end after this
    // controller is gone, and its watch then goes with the controller.
    std::vector<DelayedCall> m_agentExitWatches;
};

} // namespace velmora
