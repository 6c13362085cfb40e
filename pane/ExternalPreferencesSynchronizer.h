#pragma once

#include "platform/Value.h"

#include <string>

namespace velmora {

// The pane's access to the background program's preferences domain. Each
// write is stored at once and announced to the program.
class ExternalPreferencesSynchronizer {
public:
    virtual ~ExternalPreferencesSynchronizer() = default;

    // Stores one key (the domain's other keys are kept), then orders the
    // program to re-read its preferences.
    virtual void setPrefOfKey(const std::string& key, const Value& value) = 0;
    // The stored value; null when the domain or the key is missing.
    virtual Value prefForKey(const std::string& key) = 0;
    // Whether the domain exists and holds the key.
    virtual bool prefHasKey(const std::string& key) = 0;
};

} // namespace velmora
