#pragma once

#include <optional>
#include <string>
#include <vector>

namespace velmora {

// The user's preferred languages and the choice among available ones, for
// picking the best-localised variant of a feed element.
class PreferredLanguages {
public:
    // From the environment, as GLib chooses message catalogues: the
    // LANGUAGE list, else the first set of LC_ALL, LC_MESSAGES and LANG,
    // each language followed by its shorter forms. Entries come normalised
    // ("de_DE.UTF-8@euro" becomes "de-de"); "C" and "POSIX" read as "en".
    static std::vector<std::string> fromEnvironment();

    // The entry of `available` (as written there) that best serves the first
    // preferred language that any entry serves: an exact match (ignoring case
    // and "_" against "-") before one of the same primary language ("pt" for
    // "pt-BR", "de-AT" for "de"). The empty entry never matches. Nothing when
    // no preferred language is served.
    static std::optional<std::string> bestMatch(const std::vector<std::string>& available, const std::vector<std::string>& preferred);

    // "de_DE.UTF-8@euro" -> "de-de"; lower case, for comparing.
    static std::string normalize(const std::string& tag);
};

} // namespace velmora
