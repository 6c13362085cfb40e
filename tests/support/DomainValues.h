#pragma once

#include "platform/SettingsStore.h"

namespace velmora::test {

// Sets one key of a stored domain, creating the domain if needed: a write by
// another process (the pane, the system) straight into the per-user store.
inline void writeStoredValue(SettingsStore& store, const std::string& domain, const std::string& key, Value value)
{
    store.update(domain, [&](std::optional<Value::Dictionary>& contents) {
        if (!contents)
            contents.emplace();
        (*contents)[key] = std::move(value);
        return true;
    });
}

// One key of a domain as stored now; null when absent.
inline Value storedValue(SettingsStore& store, const std::string& domain, const std::string& key)
{
    auto contents = store.read(domain);
    return contents ? valueForKey(*contents, key) : Value();
}

} // namespace velmora::test
