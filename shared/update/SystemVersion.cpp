#include "shared/update/SystemVersion.h"

#include <glib.h>
#include <memory>
#include <sys/utsname.h>

namespace velmora {

namespace {

std::string osInfo(const char* key)
{
    std::unique_ptr<gchar, decltype(&g_free)> value(g_get_os_info(key), &g_free);
    return value ? std::string(value.get()) : std::string();
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

// static
SystemVersion::Facts SystemVersion::read()
{
    Facts facts;
    facts.versionId = osInfo(G_OS_INFO_KEY_VERSION_ID);
    // GLib names no constant for it, but reads any key.
    facts.buildId = osInfo("BUILD_ID");
    struct utsname names {};
    if (::uname(&names) == 0)
        facts.kernelRelease = names.release;
    return facts;
}

// static
std::string SystemVersion::fromFacts(const Facts& facts)
{
    for (const std::string* source : {&facts.versionId, &facts.buildId, &facts.kernelRelease}) {
        std::string version = leadingDottedNumber(*source);
        if (!version.empty())
            return version;
    }
    return "0";
}

// static
std::string SystemVersion::leadingDottedNumber(std::string_view text)
{
    size_t end = 0;
    // A dot counts only between digits: "2." and "1..2" stop before it.
    while (end < text.size() && (isDigit(text[end]) || (text[end] == '.' && end > 0 && end + 1 < text.size() && isDigit(text[end + 1]))))
        ++end;
    return std::string(text.substr(0, end));
}

} // namespace velmora
