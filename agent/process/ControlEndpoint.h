#pragma once

#include "platform/AgentChannel.h"
#include "platform/NotificationCenter.h"
#include "platform/RunLoop.h"

#include <memory>
#include <string>
#include <vector>

namespace velmora {

class AlertService;
class Application;
class Platform;
class ProgramSettings;
class SessionBroadcast;

// The agent's half of the control protocol with the pane, for any background
// program: holds the agent's name on the session, announces that it runs,
// answers status queries, quits on order, says so when it ends, and re-reads
// its preferences on request. Orders come both through the name and as the
// broadcast notifications older senders use. Subclasses name the
// notifications and the version; the base names are placeholders.
//
// No orders are taken before claimName(); destruction gives the name back
// and unsubscribes from both centres.
class ControlEndpoint {
public:
    // The desktop services the endpoint uses; they outlive it.
    struct Services {
        AgentChannel& channel;
        SessionBroadcast& broadcast;
        NotificationCenter& localCenter;
        RunLoop& runLoop;
        ProgramSettings& settings;
        Application& application;
        AlertService& alerts;

        static Services of(Platform& platform);
    };

    explicit ControlEndpoint(const Services& services) : m_services(services) { }
    virtual ~ControlEndpoint() = default;
    ControlEndpoint(const ControlEndpoint&) = delete;
    ControlEndpoint& operator=(const ControlEndpoint&) = delete;

    // Takes the agent's name, so that at most one agent runs. Anything but
    // Owned means this program must end without doing anything.
    AgentChannel::ClaimResult claimName();
    // Subscribes to the broadcast orders and to this program's own
    // termination, then announces once that the program runs.
    void setup();

    void answerAmRunning();
    // Says it terminates, then ends the program through the application.
    void mustQuit();
    // Says it terminates and closes the alert that is up, unanswered.
    void appWillQuit();
    // Re-reads the defaults from the store, then posts kPreferencesReloaded
    // on the local centre with this object as sender.
    void updatePreferences();
    // A reload order: however many arrive before the loop gets to it, the
    // preferences are re-read once. A flood of orders must not keep the
    // agent from its own work.
    void requestPreferencesUpdate();
    bool preferencesUpdatePending() const { return m_pendingUpdate && m_pendingUpdate->isValid(); }

    virtual std::string askForStatusNotificationName() const { return "askForStatusNotificationName"; }
    virtual std::string statusReturned() const { return "statusReturned"; }
    virtual std::string mustQuitNotificationName() const { return "mustQuitNotificationName"; }
    virtual std::string willQuitNotificationName() const { return "willQuitNotificationName"; }
    virtual std::string mustUpdatePrefsNotificationName() const { return "mustUpdatePrefsNotificationName"; }
    virtual std::string versionString() const { return "0.0"; }

private:
    Services m_services;
    std::unique_ptr<AgentChannel::Claim> m_claim;
    std::vector<NotificationObservation> m_observations;
    std::unique_ptr<Timer> m_pendingUpdate;
};

} // namespace velmora
