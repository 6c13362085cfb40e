#include "shared/update/PreferredLanguages.h"

#include <cctype>
#include <cstdlib>

namespace velmora {

namespace {

std::string primary(const std::string& normalized)
{
    return normalized.substr(0, normalized.find('-'));
}

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
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
    auto add = [&](const std::string& tag) {
        std::string normalized = normalize(tag);
        if (normalized.empty())
            return;
        for (const auto& existing : languages) {
            if (existing == normalized)
                return;
        }
        languages.push_back(normalized);
    };

    std::string list = environment("LANGUAGE");
    size_t start = 0;
    while (start <= list.size() && !list.empty()) {
        size_t colon = list.find(':', start);
        add(list.substr(start, colon == std::string::npos ? std::string::npos : colon - start));
        if (colon == std::string::npos)
            break;
        start = colon + 1;
    }
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        std::string value = environment(name);
        if (!value.empty()) {
            add(value);
            break;
        }
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
