#include "shared/preferences/VelmoraPreferences.h"

#include "platform/Gettext.h"

#include "shared/preferences/PlistSettingsFile.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <cmath>
#include <cstdio>
#include <limits>
#include <strings.h>

namespace velmora {

namespace {

// The pane's starting volume, computed in single precision as every stored
// volume is.
const double kDefaultFeedbackSoundVolume = static_cast<double>(13.0f / 34.0f);

const char* typeDescription(PreferenceType type)
{
    switch (type) {
    case PreferenceType::Boolean:
    case PreferenceType::Flag:
        return _("a boolean (true/false, yes/no, on/off or 1/0)");
    case PreferenceType::Integer:
        return _("an integer");
    case PreferenceType::Real:
        return _("a number");
    case PreferenceType::String:
        return _("a string");
    case PreferenceType::StringArray:
        return _("a comma-separated list of strings");
    }
    return "";
}

std::optional<bool> parseBoolean(std::string_view text)
{
    // The words configuration files and other tools take for a switch, in
    // any case, so a habit from elsewhere is not refused.
    constexpr const char* kTrue[] = {"1", "true", "yes", "on"};
    constexpr const char* kFalse[] = {"0", "false", "no", "off"};
    const std::string s(text);
    auto among = [&](const auto& words) {
        return std::any_of(std::begin(words), std::end(words), [&](const char* word) { return strcasecmp(s.c_str(), word) == 0; });
    };
    if (among(kTrue))
        return true;
    if (among(kFalse))
        return false;
    return std::nullopt;
}

template<typename Number>
std::optional<Number> parseWhole(std::string_view text)
{
    Number number{};
    const char* end = text.data() + text.size();
    auto [stop, error] = std::from_chars(text.data(), end, number);
    if (error != std::errc() || stop != end || text.empty())
        return std::nullopt;
    return number;
}

std::string_view trimmed(std::string_view text)
{
    constexpr std::string_view kBlanks = " \t\n\r";
    size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

std::optional<Value> coerce(PreferenceType type, std::string_view text)
{
    switch (type) {
    case PreferenceType::Boolean:
        if (auto b = parseBoolean(text))
            return Value(*b);
        return std::nullopt;
    case PreferenceType::Flag:
        if (auto b = parseBoolean(text))
            return Value(int64_t{*b ? 1 : 0});
        return std::nullopt;
    case PreferenceType::Integer:
        if (auto i = parseWhole<int64_t>(text))
            return Value(*i);
        return std::nullopt;
    case PreferenceType::Real: {
        auto d = parseWhole<double>(text);
        if (!d || !std::isfinite(*d) || std::fabs(*d) > std::numeric_limits<float>::max())
            return std::nullopt;
        return Value(static_cast<double>(static_cast<float>(*d)));
    }
    case PreferenceType::String:
        return Value(std::string(text));
    case PreferenceType::StringArray: {
        Value::Array entries;
        while (!text.empty()) {
            size_t comma = text.find(',');
            std::string_view entry = trimmed(text.substr(0, comma));
            if (!entry.empty())
                entries.emplace_back(std::string(entry));
            text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
        }
        return Value(std::move(entries));
    }
    }
    return std::nullopt;
}

bool isZeroOrOne(const Value& value)
{
    return value.type() == Value::Type::Integer && (value.integerValue() == 0 || value.integerValue() == 1);
}

} // namespace

// static
const std::vector<PreferenceKey>& VelmoraPreferences::keys()
{
    static const std::vector<PreferenceKey> table {
        // Louder than 1 plays at 1; a "50" meant as per cent would not be heard as meant.
        {kFeedbackSoundVolume, PreferenceType::Real, Value(kDefaultFeedbackSoundVolume), std::pair{0.0, 1.0}},
        {kFeedbackSoundName, PreferenceType::String, Value("Bottle")},
        {kShouldCheckForUpdatesDaily, PreferenceType::Boolean, Value(true)},
        {kSnapbackCursor, PreferenceType::Flag, Value(false)},
        {kPlaysSoundOnMove, PreferenceType::Flag, Value(false)},
        {kSnapToAlternateButtonInstead, PreferenceType::Flag, Value(false)},
        {kSoundToPlayIndex, PreferenceType::Integer, Value(0)},
        {kIgnoredApps, PreferenceType::StringArray, std::nullopt},
        {kOldIgnoredApps, PreferenceType::StringArray, std::nullopt},
        {kCurrentVersion, PreferenceType::String, std::nullopt},
    };
    return table;
}

// static
const PreferenceKey* VelmoraPreferences::keyNamed(std::string_view name)
{
    for (const auto& key : keys()) {
        if (key.name == name)
            return &key;
    }
    return nullptr;
}

// static
bool VelmoraPreferences::accepts(const PreferenceKey& key, const Value& value)
{
    switch (key.type) {
    case PreferenceType::Boolean:
    case PreferenceType::Flag:
        return value.type() == Value::Type::Boolean || isZeroOrOne(value);
    case PreferenceType::Integer:
        return value.type() == Value::Type::Integer;
    case PreferenceType::Real:
        return value.type() == Value::Type::Real || value.type() == Value::Type::Integer;
    case PreferenceType::String:
        return value.isString();
    case PreferenceType::StringArray: {
        const Value::Array* array = value.array();
        if (!array)
            return false;
        for (const auto& entry : *array) {
            if (!entry.isString())
                return false;
        }
        return true;
    }
    }
    return false;
}

// static
bool VelmoraPreferences::isStorableText(std::string_view text)
{
    return PlistSettingsFile::isStorableText(text);
}

// static
VelmoraPreferences::Coercion VelmoraPreferences::valueFromText(std::string_view keyName, std::string_view text)
{
    if (!isStorableText(keyName))
        return {std::nullopt, _("a key name must be UTF-8 text without control characters")};
    const PreferenceKey* key = keyNamed(keyName);
    if (!key)
        return {std::nullopt, i18n::format(_("\"%s\" is not a key of %s"), std::string(keyName).c_str(), kDomain)};
    // Quoted back only once it is known to be printable.
    if (!isStorableText(text)) {
        return {std::nullopt,
            i18n::format(_("\"%s\" cannot hold this value: the settings file takes only UTF-8 text without control characters "
                           "(tab and line breaks aside)"),
                key->name.c_str())};
    }
    std::optional<Value> value = coerce(key->type, text);
    if (value && key->range) {
        const auto [least, greatest] = *key->range;
        if (value->doubleValue() < least || value->doubleValue() > greatest) {
            const std::string bounds = i18n::format(_("a number from %g to %g"), least, greatest);
            // TRANSLATORS: "feedbackSoundVolume" expects a number from 0 to 1, not "loud".
            return {std::nullopt, i18n::format(_("\"%s\" expects %s, not \"%s\""), key->name.c_str(), bounds.c_str(), std::string(text).c_str())};
        }
    }
    if (value)
        return {std::move(value), {}};
    return {std::nullopt,
        i18n::format(_("\"%s\" expects %s, not \"%s\""), key->name.c_str(), typeDescription(key->type), std::string(text).c_str())};
}

} // namespace velmora
