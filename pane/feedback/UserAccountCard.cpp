#include "pane/feedback/UserAccountCard.h"

#include <cctype>
#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace velmora {

// static
std::optional<UserAccountCard> UserAccountCard::me()
{
    long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(suggested > 0 ? static_cast<size_t>(suggested) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return std::nullopt;

    UserAccountCard card;
    card.fullName = fullNameFromGecos(found->pw_gecos ? found->pw_gecos : "", found->pw_name ? found->pw_name : "");
    if (const char* email = std::getenv("EMAIL"); email && *email)
        card.emailAddresses.emplace_back(email);
    return card;
}

// static
std::string UserAccountCard::fullNameFromGecos(const std::string& gecos, const std::string& loginName)
{
    std::string field = gecos.substr(0, gecos.find(','));
    std::string name;
    for (char c : field) {
        if (c == '&' && !loginName.empty()) {
            name += static_cast<char>(std::toupper(static_cast<unsigned char>(loginName[0])));
            name += loginName.substr(1);
        } else {
            name += c;
        }
    }
    return name;
}

} // namespace velmora
