#pragma once

#include "pane/ExternalPreferencesSynchronizer.h"
#include "pane/KeyValueObservable.h"
#include "platform/NotificationCenter.h"
#include "platform/RunLoop.h"

#include <memory>
#include <string>
#include <vector>

namespace velmora {

// The pane's half of the control protocol with a background program, and
// its access to that program's preferences domain. Knows nothing of the
// product: subclasses name the notifications, the domain and the version.
//
// Observable keys: "hasLoaded", "isRunning", "failedPreferenceWrites".
class BGAppController : public KeyValueObservable, public ExternalPreferencesSynchronizer {
public:
    // How long a status query waits for an answer before the program is taken
    // as not running. A running agent answers from its idle loop at once, so
    // two seconds only expire when nobody listens.
    static constexpr double kStatusTimeout = 2.0;
    static constexpr const char* kCurrentVersionKey = "currentVersion";

    BGAppController() = default;
    ~BGAppController() override = default;

    bool hasLoaded() const { return m_hasLoaded; }
    void setHasLoaded(bool loaded);
    // The pane's belief that the program runs.
    bool isRunning() const { return m_isRunning; }
    void setIsRunning(bool running);

    // Marks the pane loaded, checks for a version change, subscribes to the
    // program's replies, asks for its status and arms the time-out. Each call
    // subscribes and arms anew; one reply cancels every pending time-out.
    void startListening();
    // Unsubscribes from every control notification.
    void stopListening();
    void checkForVersionChange();
    void setupNotifications();
    void turnOffNotifications();
    void askForStatus();
    void sendMustQuit();
    void sendMustUpdatePrefs();

    // Replies. Both return hasLoaded(); a subclass calls the base first and
    // acts only when it returns true.
    virtual bool yesItsRunning();
    virtual bool noItsNot();

    // ExternalPreferencesSynchronizer. Reads see the domain as last read or
    // written by this process; startListening() re-reads it from the store.
    // A write that fails (a read-only or full disk) is counted, and sends no
    // reload order: there is nothing new to read.
    void setPrefOfKey(const std::string& key, const Value& value) override;
    bool updatePrefs(const PrefsEdit& edit) override;
    Value prefForKey(const std::string& key) override;
    bool prefHasKey(const std::string& key) override;
    int failedPreferenceWrites() const { return m_failedPreferenceWrites; }

    // Providers; the base values are placeholders.
    virtual std::string askForStatusNotificationName() const { return "askForStatusNotificationName"; }
    virtual std::string statusReturned() const { return "statusReturned"; }
    virtual std::string mustQuitNotificationName() const { return "mustQuitNotificationName"; }
    virtual std::string willQuitNotificationName() const { return "willQuitNotificationName"; }
    virtual std::string mustUpdatePrefsNotificationName() const { return "mustUpdatePrefsNotificationName"; }
    virtual std::string prefsDomain() const { return "prefsDomain"; }
    virtual std::string currentVersionString() const { return "0.0"; }
    virtual std::string bundleNameWithVersionString() const { return "A Preference Pane 0.0"; }

private:
    bool m_hasLoaded{false};
    int m_failedPreferenceWrites{0};
    bool m_isRunning{false};
    std::vector<NotificationObservation> m_distributedObservations;
    // Status time-outs still pending; destroying one cancels it.
    std::vector<std::unique_ptr<Timer>> m_pendingTimeouts;
};

} // namespace velmora
