#pragma once

#include "pane/AgentSettingsWriter.h"
#include "pane/ObservableProperties.h"
#include "platform/AgentChannel.h"
#include "platform/NotificationCenter.h"
#include "platform/ProgramSettings.h"
#include "platform/RunLoop.h"
#include "platform/SystemLog.h"

#include <memory>
#include <string>
#include <vector>

namespace velmora {

// The pane's half of the control protocol with a background program, and
// its access to that program's preferences domain. Knows nothing of the
// product: subclasses name the domain and the version.
//
// Whether the program runs is whether it holds its name on the session: the
// pane watches the name, so the answer comes from the bus at once, follows a
// program killed without notice, and cannot be faked by another program.
// Orders go to the name's holder.
//
// Observable keys: "hasLoaded", "isRunning", "failedPreferenceWrites".
class AgentClient : public ObservableProperties, public AgentSettingsWriter {
public:
    // How long a status query waits for the bus to say who holds the name
    // before the program is taken as not running. The bus answers in a few
    // milliseconds, so two seconds only expire when the bus itself is stuck.
    static constexpr double kStatusTimeout = 2.0;
    static constexpr const char* kCurrentVersionKey = "currentVersion";

    // The services are the process's and outlive this client.
    AgentClient(ProgramSettings& settings, RunLoop& runLoop, AgentChannel& channel, SystemLog& log);
    ~AgentClient() override = default;

    bool hasLoaded() const { return m_hasLoaded; }
    void setHasLoaded(bool loaded);
    // The pane's belief that the program runs.
    bool isRunning() const { return m_isRunning; }
    void setIsRunning(bool running);

    // Marks the pane loaded, records this pane's version, watches the
    // program's name and arms the time-out. Each call watches and arms anew;
    // one answer cancels every pending time-out.
    void startListening();
    // Stops watching the name.
    void stopListening();
    // Stores this pane's version in the domain when it differs (nothing when
    // the domain cannot be read: an unreadable file is no version change).
    void checkForVersionChange();
    void setupNotifications();
    void turnOffNotifications();
    void sendQuitOrder();
    void sendReloadOrder();

    // A query changes nothing: no version written, no program stopped for
    // running another version. The `status` command is one.
    void setQueryOnly(bool queryOnly) { m_queryOnly = queryOnly; }
    bool queryOnly() const { return m_queryOnly; }

    // Replies. Both return hasLoaded(); a subclass calls the base first and
    // acts only when it returns true.
    virtual bool yesItsRunning();
    virtual bool noItsNot();

    // AgentSettingsWriter. Reads see the domain as last read or
    // written by this process; startListening() re-reads it from the store.
    // A write that fails (a read-only or full disk) is counted, and sends no
    // reload order: there is nothing new to read.
    void setPrefOfKey(const std::string& key, const Value& value) override;
    bool updatePrefs(const PrefsEdit& edit) override;
    Value prefForKey(const std::string& key) override;
    bool prefHasKey(const std::string& key) override;
    int failedPreferenceWrites() const { return m_failedPreferenceWrites; }

    // Providers; the base values are placeholders.
    virtual std::string settingsDomain() const { return "prefsDomain"; }
    virtual std::string currentVersionString() const { return "0.0"; }
    virtual std::string bundleNameWithVersionString() const { return "A Preference Pane 0.0"; }

protected:
    ProgramSettings& programSettings() { return m_settings; }
    RunLoop& runLoop() { return m_runLoop; }
    AgentChannel& channel() { return m_channel; }
    SystemLog& systemLog() { return m_log; }

private:
    // The program took its name: it runs. Outside a query, a program of
    // another version is told to quit, but only once it has really said
    // which version it is.
    void agentAppeared();
    void agentVanished();

    ProgramSettings& m_settings;
    RunLoop& m_runLoop;
    AgentChannel& m_channel;
    SystemLog& m_log;
    bool m_hasLoaded{false};
    bool m_queryOnly{false};
    int m_failedPreferenceWrites{0};
    bool m_isRunning{false};
    NotificationObservation m_agentWatch;
    // Version questions still unanswered; destroying one drops its answer.
    std::vector<DelayedCall> m_versionRequests;
    // Status time-outs still pending; destroying one cancels it.
    std::vector<std::unique_ptr<Timer>> m_pendingTimeouts;
};

} // namespace velmora
