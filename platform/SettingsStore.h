#pragma once

#include "platform/Value.h"

#include <functional>
#include <optional>
#include <string>

namespace velmora {

// Where user defaults live: named domains, each a dictionary, that several
// processes of the same user read and write.
class SettingsStore {
public:
    // Receives the domain's current contents (nothing when absent) and edits
    // them in place; returns false to leave the store untouched. Setting the
    // optional to nothing removes the domain.
    using Change = std::function<bool(std::optional<Value::Dictionary>& domain)>;

    virtual ~SettingsStore() = default;

    // The domain as stored now; nothing when absent or unreadable.
    virtual std::optional<Value::Dictionary> read(const std::string& domain) = 0;

    // A read-modify-write that no concurrent writer (in this or another
    // process) can interleave with: no update is lost. Returns false when the
    // change could not be stored.
    virtual bool update(const std::string& domain, const Change& change) = 0;
};

} // namespace velmora
