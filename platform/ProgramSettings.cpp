#include "platform/ProgramSettings.h"

#include <utility>

namespace velmora {

namespace {

using PendingChanges = std::map<std::string, std::optional<Value>>;

// Returns whether the domain changed.
bool applyPending(const PendingChanges& pending, std::optional<Value::Dictionary>& domain)
{
    bool changed = false;
    for (const auto& [key, value] : pending) {
        if (value) {
            if (!domain)
                domain.emplace();
            (*domain)[key] = *value;
            changed = true;
        } else if (domain && domain->erase(key)) {
            changed = true;
        }
    }
    return changed;
}

} // namespace

ProgramSettings::ProgramSettings(SettingsStore& store, std::string applicationDomain)
    : m_store(store)
    , m_applicationDomain(std::move(applicationDomain))
{
}

Value ProgramSettings::objectForKey(const std::string& key)
{
    return valueForKey(cachedDomain(m_applicationDomain), key);
}

bool ProgramSettings::boolForKey(const std::string& key)
{
    return objectForKey(key).boolValue();
}

float ProgramSettings::floatForKey(const std::string& key)
{
    return static_cast<float>(objectForKey(key).doubleValue());
}

int64_t ProgramSettings::integerForKey(const std::string& key)
{
    return objectForKey(key).integerValue();
}

std::string ProgramSettings::stringForKey(const std::string& key)
{
    Value value = objectForKey(key);
    const std::string* s = value.string();
    return s ? *s : std::string();
}

void ProgramSettings::setObject(const std::string& key, Value value)
{
    // Storing null is how a caller without a value clears the key.
    if (value.isNull()) {
        removeObject(key);
        return;
    }
    cachedDomain(m_applicationDomain);
    auto& domain = m_cache[m_applicationDomain];
    if (!domain)
        domain.emplace();
    (*domain)[key] = value;
    m_pending[key] = std::move(value);
}

void ProgramSettings::removeObject(const std::string& key)
{
    cachedDomain(m_applicationDomain);
    if (auto& domain = m_cache[m_applicationDomain])
        domain->erase(key);
    m_pending[key] = std::nullopt;
}

bool ProgramSettings::synchronize()
{
    bool written = true;
    if (!m_pending.empty()) {
        // Only the keys changed here are merged into what is stored now, so
        // a key another process wrote since our last read survives.
        written = m_store.update(m_applicationDomain,
            [this](std::optional<Value::Dictionary>& domain) { return applyPending(m_pending, domain); });
        // Kept after a failed write, so the cache still shows them and the
        // next synchronize tries again.
        if (written)
            m_pending.clear();
    }
    for (const auto& entry : m_cache)
        reload(entry.first);
    return written;
}

std::optional<Value::Dictionary> ProgramSettings::persistentDomainForName(const std::string& name)
{
    cachedDomain(name);
    return m_cache[name];
}

void ProgramSettings::setPersistentDomain(const Value::Dictionary& domain, const std::string& name)
{
    // A whole domain given by the caller supersedes keys set one by one.
    if (name == m_applicationDomain)
        m_pending.clear();
    m_store.update(name, [&domain](std::optional<Value::Dictionary>& stored) {
        stored = domain;
        return true;
    });
    reload(name);
}

void ProgramSettings::removePersistentDomainForName(const std::string& name)
{
    if (name == m_applicationDomain)
        m_pending.clear();
    m_store.update(name, [](std::optional<Value::Dictionary>& stored) {
        stored.reset();
        return true;
    });
    reload(name);
}

bool ProgramSettings::updatePersistentDomain(const std::string& name, const SettingsStore::Change& change)
{
    bool written = m_store.update(name, change);
    reload(name);
    return written;
}

const Value::Dictionary& ProgramSettings::cachedDomain(const std::string& name)
{
    static const Value::Dictionary empty;
    auto it = m_cache.find(name);
    if (it == m_cache.end())
        it = m_cache.emplace(name, m_store.read(name)).first;
    return it->second ? *it->second : empty;
}

void ProgramSettings::reload(const std::string& name)
{
    auto& domain = m_cache[name];
    domain = m_store.read(name);
    if (name != m_applicationDomain)
        return;
    // Changes not yet written stay visible to this process.
    applyPending(m_pending, domain);
}

} // namespace velmora
