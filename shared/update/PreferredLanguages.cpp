#include "shared/update/PreferredLanguages.h"

#include <glib.h>

#include <algorithm>
#include <cctype>

namespace velmora {

namespace {

std::string primary(const std::string& normalized)
{
    return normalized.substr(0, normalized.find('-'));
}

} // namespace

// static
std::string PreferredLanguages::normalize(const std::string& tag)
{
    std::string out;
    for (char c : tag) {
        if (c == '.' || c == '@')
            break;
        out.push_back(c == '_' ? '-' : static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    }
    if (out == "c" || out == "posix")
        return "en";
    return out;
}

// static
std::vector<std::string> PreferredLanguages::fromEnvironment()
{
    std::vector<std::string> languages;
    // GLib lists each language with its shorter variants ("de_DE.UTF-8",
    // "de_DE", "de") and ends with "C", which only counts when it is all
    // there is: English is then what the user reads, not a last resort.
    const gchar* const* names = g_get_language_names_with_category("LC_MESSAGES");
    for (const gchar* const* name = names; *name; ++name) {
        if (std::string(*name) == "C" && name != names)
            continue;
        std::string normalized = normalize(*name);
        if (!normalized.empty() && std::find(languages.begin(), languages.end(), normalized) == languages.end())
            languages.push_back(normalized);
    }
    return languages;
}

// static
std::optional<std::string> PreferredLanguages::bestMatch(const std::vector<std::string>& available, const std::vector<std::string>& preferred)
{
    for (const auto& wanted : preferred) {
        std::string want = normalize(wanted);
        if (want.empty())
            continue;
        for (const auto& candidate : available) {
            if (!candidate.empty() && normalize(candidate) == want)
                return candidate;
        }
        for (const auto& candidate : available) {
            if (!candidate.empty() && primary(normalize(candidate)) == primary(want))
                return candidate;
        }
    }
    return std::nullopt;
}

} // namespace velmora
