#pragma once

#include <optional>
#include <string>
#include <vector>

namespace velmora {

// The user's own contact details, as the account knows them: the full name
// from the password database's comment field, the e-mail address from
// $EMAIL (the variable mail programs read). The feedback window fills its
// contact fields from it.
class UserAccountCard {
public:
    // The current user's card; nothing when the account has no entry in the
    // password database.
    static std::optional<UserAccountCard> me();

    // The full name held by a comment field ("Ada Lovelace,Room 1,,"): the
    // part before the first comma, with "&" standing for the login name
    // capitalised, as finger(1) reads it. "" for an empty field.
    static std::string fullNameFromGecos(const std::string& gecos, const std::string& loginName);

    // "" when the account gives none.
    std::string fullName;
    // In order of preference; empty when none is known.
    std::vector<std::string> emailAddresses;
};

} // namespace velmora
