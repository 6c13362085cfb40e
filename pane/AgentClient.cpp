#include "pane/AgentClient.h"

#include <algorithm>

namespace velmora {

AgentClient::AgentClient(ProgramSettings& settings, RunLoop& runLoop, AgentChannel& channel, SystemLog& log)
    : m_settings(settings)
    , m_runLoop(runLoop)
    , m_channel(channel)
    , m_log(log)
{
}

void AgentClient::setHasLoaded(bool loaded)
{
    if (loaded == m_hasLoaded)
        return;
    m_hasLoaded = loaded;
    didChangeValueForKey("hasLoaded");
}

void AgentClient::setIsRunning(bool running)
{
    if (running == m_isRunning)
        return;
    m_isRunning = running;
    didChangeValueForKey("isRunning");
}

void AgentClient::startListening()
{
    setHasLoaded(true);
    // Pick up what the agent wrote since this pane last looked.
    m_settings.synchronize();
    if (!m_queryOnly)
        checkForVersionChange();
    setupNotifications();
    std::erase_if(m_pendingTimeouts, [](const auto& timer) { return !timer->isValid(); });
    m_pendingTimeouts.push_back(m_runLoop.scheduleTimer(kStatusTimeout, TimerRepeats::No, [this] { noItsNot(); }));
    didChangeValueForKey("isRunning");
}

void AgentClient::stopListening()
{
    turnOffNotifications();
}

void AgentClient::checkForVersionChange()
{
    auto& defaults = m_settings;
    // A missing or unreadable file reads as no domain; writing the version
    // into it would create or replace the file for nothing.
    auto domain = defaults.persistentDomainForName(settingsDomain());
    if (!domain)
        return;
    const std::string current = currentVersionString();
    const Value& stored = valueForKey(*domain, kCurrentVersionKey);
    if (stored.string() && *stored.string() == current)
        return;
    defaults.updatePersistentDomain(settingsDomain(), [&](std::optional<Value::Dictionary>& latest) {
        if (!latest)
            return false;
        (*latest)[kCurrentVersionKey] = current;
        return true;
    });
}

void AgentClient::setupNotifications()
{
    m_agentWatch = m_channel.watch({
        .appeared = [this] { agentAppeared(); },
        .vanished = [this] { agentVanished(); },
    });
}

void AgentClient::turnOffNotifications()
{
    m_agentWatch.reset();
}

void AgentClient::agentVanished()
{
    // The bus has answered: a time-out left from the question would later
    // end a start's wait as if the agent had answered.
    m_pendingTimeouts.clear();
    noItsNot();
}

void AgentClient::agentAppeared()
{
    yesItsRunning();
    if (m_queryOnly)
        return;
    std::erase_if(m_versionRequests, [](const DelayedCall& request) { return !request.isPending(); });
    m_versionRequests.push_back(m_channel.requestVersion([this](std::optional<std::string> version) {
        if (!version || *version == currentVersionString())
            return;
        m_log.log("the running agent is version " + *version + ", this is " + currentVersionString() + ": it is told to quit");
        sendQuitOrder();
    }));
}

void AgentClient::sendQuitOrder()
{
    m_channel.orderQuit();
}

void AgentClient::sendReloadOrder()
{
    m_channel.orderReload();
}

bool AgentClient::yesItsRunning()
{
    setIsRunning(true);
    m_pendingTimeouts.clear();
    return m_hasLoaded;
}

bool AgentClient::noItsNot()
{
    setIsRunning(false);
    return m_hasLoaded;
}

void AgentClient::setPrefOfKey(const std::string& key, const Value& value)
{
    updatePrefs([&](Value::Dictionary& prefs) {
        prefs[key] = value;
        return true;
    });
}

bool AgentClient::updatePrefs(const PrefsEdit& edit)
{
    bool changed = false;
    const bool written = m_settings.updatePersistentDomain(settingsDomain(), [&](std::optional<Value::Dictionary>& domain) {
        Value::Dictionary prefs = domain ? std::move(*domain) : Value::Dictionary{};
        changed = edit(prefs);
        domain = std::move(prefs);
        return changed;
    });
    if (!written) {
        ++m_failedPreferenceWrites;
        didChangeValueForKey("failedPreferenceWrites");
        return false;
    }
    if (changed)
        sendReloadOrder();
    return true;
}

Value AgentClient::prefForKey(const std::string& key)
{
    auto domain = m_settings.persistentDomainForName(settingsDomain());
    return domain ? valueForKey(*domain, key) : Value();
}

bool AgentClient::prefHasKey(const std::string& key)
{
    auto domain = m_settings.persistentDomainForName(settingsDomain());
    return domain && domain->contains(key);
}

} // namespace velmora
