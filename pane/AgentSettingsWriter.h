#pragma once

#include "platform/Value.h"

#include <functional>
#include <string>

namespace velmora {

// The pane's access to the background program's preferences domain. Each
// write is stored at once and announced to the program.
class AgentSettingsWriter {
public:
    virtual ~AgentSettingsWriter() = default;

    // Stores one key (the domain's other keys are kept), then orders the
    // program to re-read its preferences. Replaces the value whole: a value
    // computed from one read before (a list with an entry added) must be
    // changed through updatePrefs() instead, or a concurrent change is lost.
    virtual void setPrefOfKey(const std::string& key, const Value& value) = 0;

    // Receives the domain's keys as stored now (none when it is absent) and
    // changes them in place; answers whether it changed anything.
    using PrefsEdit = std::function<bool(Value::Dictionary& prefs)>;
    // One locked read-modify-write of the stored domain: no other writer, in
    // this process or another, can come between the read that `edit` sees
    // and the write of its result, so nobody's change is lost. Every edit of
    // a list or dictionary goes this way. Writes only when `edit` changed
    // something, then orders the program to re-read its preferences; answers
    // false only when that write failed.
    virtual bool updatePrefs(const PrefsEdit& edit) = 0;
    // The stored value; null when the domain or the key is missing.
    virtual Value prefForKey(const std::string& key) = 0;
    // Whether the domain exists and holds the key.
    virtual bool prefHasKey(const std::string& key) = 0;
};

} // namespace velmora
