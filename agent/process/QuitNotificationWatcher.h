#pragma once

#include "platform/NotificationCenter.h"

#include <string>
#include <vector>

namespace velmora {

// The agent's half of the control protocol with the pane, for any background
// program: announces that it runs, answers status queries, quits on order,
// says so when it ends, and re-reads its preferences on request. Subclasses
// name the notifications; the base names are placeholders.
//
// No orders are taken before setup(); destruction unsubscribes from both
// centres.
class QuitNotificationWatcher {
public:
    QuitNotificationWatcher() = default;
    virtual ~QuitNotificationWatcher() = default;
    QuitNotificationWatcher(const QuitNotificationWatcher&) = delete;
    QuitNotificationWatcher& operator=(const QuitNotificationWatcher&) = delete;

    // Subscribes to the three orders and to this program's own termination,
    // then announces once that the program runs.
    void setup();

    void answerAmRunning();
    // Says it terminates, then ends the program through the application.
    void mustQuit();
    void appWillQuit();
    // Re-reads the defaults from the store, then posts ZQK_VelmoraPrefsUpdated
    // on the local centre with this object as sender.
    void updatePreferences();

    virtual std::string askForStatusNotificationName() const { return "askForStatusNotificationName"; }
    virtual std::string statusReturned() const { return "statusReturned"; }
    virtual std::string mustQuitNotificationName() const { return "mustQuitNotificationName"; }
    virtual std::string willQuitNotificationName() const { return "willQuitNotificationName"; }
    virtual std::string mustUpdatePrefsNotificationName() const { return "mustUpdatePrefsNotificationName"; }

private:
    std::vector<NotificationObservation> m_observations;
};

} // namespace velmora
