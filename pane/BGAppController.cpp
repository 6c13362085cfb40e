#include "pane/BGAppController.h"

#include "platform/Platform.h"

#include <algorithm>

namespace velmora {

void BGAppController::setHasLoaded(bool loaded)
{
    if (loaded == m_hasLoaded)
        return;
    m_hasLoaded = loaded;
    didChangeValueForKey("hasLoaded");
}

void BGAppController::setIsRunning(bool running)
{
    if (running == m_isRunning)
        return;
    m_isRunning = running;
    didChangeValueForKey("isRunning");
}

void BGAppController::startListening()
{
    setHasLoaded(true);
    // Pick up what the agent wrote since this pane last looked.
    Platform::current().standardUserDefaults().synchronize();
    checkForVersionChange();
    setupNotifications();
    askForStatus();
    std::erase_if(m_pendingTimeouts, [](const auto& timer) { return !timer->isValid(); });
    m_pendingTimeouts.push_back(Platform::current().runLoop().scheduleTimer(kStatusTimeout, TimerRepeats::No, [this] { noItsNot(); }));
    didChangeValueForKey("isRunning");
}

void BGAppController::stopListening()
{
    turnOffNotifications();
}

void BGAppController::checkForVersionChange()
{
    bool quitDue = false;
    Platform::current().standardUserDefaults().updatePersistentDomain(prefsDomain(), [&](std::optional<Value::Dictionary>& domain) {
        if (!domain) {
            domain.emplace();
            quitDue = true;
        }
        const Value& stored = valueForKey(*domain, kCurrentVersionKey);
        const std::string current = currentVersionString();
        if (stored.string() && *stored.string() == current)
            return false;
        if (!stored.isNull())
            quitDue = true;
        (*domain)[kCurrentVersionKey] = current;
        return true;
    });
    if (quitDue)
        sendMustQuit();
}

void BGAppController::setupNotifications()
{
    auto& distributed = Platform::current().distributedNotificationCenter();
    m_distributedObservations.push_back(distributed.addObserver(statusReturned(), [this](const std::string&) { yesItsRunning(); }));
    m_distributedObservations.push_back(distributed.addObserver(willQuitNotificationName(), [this](const std::string&) { noItsNot(); }));
}

void BGAppController::turnOffNotifications()
{
    m_distributedObservations.clear();
}

void BGAppController::askForStatus()
{
    Platform::current().distributedNotificationCenter().postNotificationName(askForStatusNotificationName());
}

void BGAppController::sendMustQuit()
{
    Platform::current().distributedNotificationCenter().postNotificationName(mustQuitNotificationName());
}

void BGAppController::sendMustUpdatePrefs()
{
    Platform::current().distributedNotificationCenter().postNotificationName(mustUpdatePrefsNotificationName());
}

bool BGAppController::yesItsRunning()
{
    setIsRunning(true);
    m_pendingTimeouts.clear();
    return m_hasLoaded;
}

bool BGAppController::noItsNot()
{
    setIsRunning(false);
    return m_hasLoaded;
}

void BGAppController::setPrefOfKey(const std::string& key, const Value& value)
{
    updatePrefs([&](Value::Dictionary& prefs) {
        prefs[key] = value;
        return true;
    });
}

bool BGAppController::updatePrefs(const PrefsEdit& edit)
{
    bool changed = false;
    const bool written = Platform::current().standardUserDefaults().updatePersistentDomain(prefsDomain(), [&](std::optional<Value::Dictionary>& domain) {
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
        sendMustUpdatePrefs();
    return true;
}

Value BGAppController::prefForKey(const std::string& key)
{
    auto domain = Platform::current().standardUserDefaults().persistentDomainForName(prefsDomain());
    return domain ? valueForKey(*domain, key) : Value();
}

bool BGAppController::prefHasKey(const std::string& key)
{
    auto domain = Platform::current().standardUserDefaults().persistentDomainForName(prefsDomain());
    return domain && domain->contains(key);
}

} // namespace velmora
