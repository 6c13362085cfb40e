#include "shared/update/ProgramInfo.h"

#include "shared/preferences/PlistSettingsFile.h"

#include <cstdlib>
#include <sys/stat.h>

namespace velmora {

namespace {

bool isFile(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

} // namespace

// static
std::string ProgramInfo::resourceDirectory()
{
    if (const char* override = std::getenv("VELMORA_RESOURCES"); override && *override)
        return override;
    if (isFile(std::string(VELMORA_DATADIR) + "/" + kAgentInfoName + "-Info.plist"))
        return VELMORA_DATADIR;
    return VELMORA_SOURCE_RESOURCES;
}

// static
std::string ProgramInfo::buildVersion()
{
    return VELMORA_VERSION;
}

// static
ProgramInfo ProgramInfo::named(const std::string& programName)
{
    // Info files are property lists named like domains, so the preferences'
    // reader serves them.
    PlistSettingsFile store(resourceDirectory());
    Value::Dictionary values = store.read(programName + "-Info").value_or(Value::Dictionary{});
    values[kVersionKey] = Value(buildVersion());
    values[kShortVersionKey] = Value(buildVersion());
    return ProgramInfo(std::move(values));
}

std::string ProgramInfo::objectForInfoDictionaryKey(const std::string& key) const
{
    const std::string* text = valueForKey(m_infoDictionary, key).string();
    return text ? *text : std::string();
}

std::string ProgramInfo::appcastURL() const
{
    std::string host = objectForInfoDictionaryKey(kUpdateHostKey);
    if (host.empty())
        return {};
    return "https://" + host + kAppcastPath;
}

} // namespace velmora
