#pragma once

#include "platform/NotificationCenter.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace velmora {

// Change notification by property name, so that a front end binds a control
// to a property and refreshes it when the property, or a property it is
// derived from, changes. Observers are called synchronously, after the change.
class ObservableProperties {
public:
    using Observer = std::function<void(const std::string& key)>;

    ObservableProperties() = default;
    virtual ~ObservableProperties() = default;
    ObservableProperties(const ObservableProperties&) = delete;
    ObservableProperties& operator=(const ObservableProperties&) = delete;

    // The observer is called with the key each time it changes, for as long
    // as the returned observation lives.
    [[nodiscard]] NotificationObservation addObserver(const std::string& key, Observer observer);

    // Announces a change of `key` and then of every key derived from it,
    // directly or through other derived keys; each key once, nearest first.
    void didChangeValueForKey(const std::string& key);

    // The keys announced for a change of `key`, in announcement order.
    std::vector<std::string> keysAffectedBy(const std::string& key) const;

protected:
    // Declares that `key` is derived from `affectingKeys`: a change of any of
    // them is also a change of `key`.
    void setKeysAffectingValueForKey(const std::string& key, const std::vector<std::string>& affectingKeys);

private:
    NotificationCenter m_center;
    std::map<std::string, std::vector<std::string>> m_dependents; // affecting key -> derived keys
};

} // namespace velmora
