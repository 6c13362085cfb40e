#pragma once

#include "platform/SettingsStore.h"
#include "platform/Value.h"

#include <map>
#include <optional>
#include <set>
#include <string>

namespace velmora {

// The per-user defaults of one program, over a persistent domain store. The
// program's own domain is read once and cached; setObject changes the cache
// and marks the key; synchronize() merges the marked keys into the stored
// domain (under the store's lock, so other processes' keys survive) and
// re-reads every cached domain. An absent key reads as null / false / 0.
class ProgramSettings {
public:
    ProgramSettings(SettingsStore& store, std::string applicationDomain);

    const std::string& applicationDomain() const { return m_applicationDomain; }

    Value objectForKey(const std::string& key);
    bool boolForKey(const std::string& key);
    float floatForKey(const std::string& key);
    int64_t integerForKey(const std::string& key);
    // "" unless the stored value is a string.
    std::string stringForKey(const std::string& key);

    // Replaces the key's value whole at the next synchronize(). A value made
    // from one read before (a list with an entry added) would undo another
    // process's change made since: edit such values with
    // updatePersistentDomain() instead.
    void setObject(const std::string& key, Value value);
    void removeObject(const std::string& key);

    // Writes pending changes, then re-reads. Returns false if a write failed.
    bool synchronize();

    // Another domain (or this one) as a whole, as last read; nothing when absent.
    std::optional<Value::Dictionary> persistentDomainForName(const std::string& name);
    // Replaces a whole domain in the store at once.
    void setPersistentDomain(const Value::Dictionary& domain, const std::string& name);
    void removePersistentDomainForName(const std::string& name);
    // A locked read-modify-write of a domain straight in the store; the cache
    // sees the result. This is how a single key is written without losing a
    // concurrent writer's change to another key, and how a list or
    // dictionary is edited without losing one to the same key: `change`
    // sees the domain as stored now, not as last read.
    bool updatePersistentDomain(const std::string& name, const SettingsStore::Change& change);

private:
    const Value::Dictionary& cachedDomain(const std::string& name);
    // Re-reads a domain from the store; the application domain keeps the
    // changes not written yet.
    void reload(const std::string& name);

    SettingsStore& m_store; // not owned; outlives the defaults
    std::string m_applicationDomain;
    std::map<std::string, std::optional<Value::Dictionary>> m_cache;
    std::map<std::string, std::optional<Value>> m_pending; // nothing = removal
};

} // namespace velmora
