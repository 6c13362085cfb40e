#pragma once

#include "platform/Value.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velmora {

// How a key of the shared domain is stored.
enum class PreferenceType {
    Boolean,
    // The integer 0 or 1 when the user sets it, a boolean when the pane
    // writes the default; read as a boolean either way.
    Flag,
    Integer,
    // Single precision, stored as a real.
    Real,
    String,
    StringArray,
};

struct PreferenceKey {
    std::string name;
    PreferenceType type;
    // What the pane stores the first time it finds the key absent; nothing
    // for keys without a default. The agent registers no defaults.
    std::optional<Value> paneDefault;
    // For a Real key: the least and greatest value a person may set.
    std::optional<std::pair<double, double>> range{};
};

// The one preferences domain that the agent and the pane share, and every
// key in it. The agent's standard user defaults are this domain.
class VelmoraPreferences {
public:
    static constexpr const char* kDomain = "com.brightfen.velmora";

    static constexpr const char* kFeedbackSoundVolume = "feedbackSoundVolume";
    static constexpr const char* kFeedbackSoundName = "feedbackSoundName";
    static constexpr const char* kShouldCheckForUpdatesDaily = "shouldCheckForUpdatesDaily";
    static constexpr const char* kSnapbackCursor = "QK.velmora.snapbackCursor";
    static constexpr const char* kPlaysSoundOnMove = "playsSoundOnMove";
    static constexpr const char* kSnapToAlternateButtonInstead = "snapToAlternateButtonInstead";
    static constexpr const char* kSoundToPlayIndex = "SoundToPlayIndex";
    static constexpr const char* kIgnoredApps = "ignoredApps";
    // The older list; only ever emptied, merged into kIgnoredApps by the agent.
    static constexpr const char* kOldIgnoredApps = "QK.velmora.ignoredApps";
    static constexpr const char* kCurrentVersion = "currentVersion";

    // Every key of the domain, in a fixed order.
    static const std::vector<PreferenceKey>& keys();
    // The key of that exact name; null when the domain has no such key.
    static const PreferenceKey* keyNamed(std::string_view name);

    // Whether a stored value is of the key's type as its readers take it:
    // booleans and the integers 0/1 alike for Boolean and Flag, any number
    // for Real, only strings inside a StringArray.
    static bool accepts(const PreferenceKey& key, const Value& value);

    // Whether a string can be stored in the settings file: UTF-8 without
    // control characters other than tab, line feed and carriage return
    // (the store refuses anything else).
    static bool isStorableText(std::string_view text);

    // A command-line text turned into the value to store for `key`.
    // Booleans and flags accept true/false, yes/no, on/off (in any case)
    // and 1/0; a string array is written as comma-separated entries (""
    // is the empty list); a number must lie in its key's range; text must
    // be storable (isStorableText). On failure `value` is nothing and
    // `error` names the key and what it expects.
    struct Coercion {
        std::optional<Value> value;
        std::string error;
    };
    static Coercion valueFromText(std::string_view key, std::string_view text);
};

} // namespace velmora
