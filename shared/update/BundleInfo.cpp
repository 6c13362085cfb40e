#include "shared/update/BundleInfo.h"

#include "shared/preferences/PlistFileDomainStore.h"

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
std::string BundleInfo::resourceDirectory()
{
    if (const char* override = std::getenv("VELMORA_RESOURCES"); override && *override)
        return override;
    if (isFile(std::string(VELMORA_DATADIR) + "/" + kAgentBundle + "-Info.plist"))
        return VELMORA_DATADIR;
    return VELMORA_SOURCE_RESOURCES;
}

// static
std::string BundleInfo::buildVersion()
{
    return VELMORA_VERSION;
}

// static
BundleInfo BundleInfo::named(const std::string& bundleName)
{
    // Info files are property lists named like domains, so the preferences'
    // reader serves them.
    PlistFileDomainStore store(resourceDirectory());
    Value::Dictionary values = store.read(bundleName + "-Info").value_or(Value::Dictionary{});
    values[kCFBundleVersion] = Value(buildVersion());
    values[kCFBundleShortVersionString] = Value(buildVersion());
    return BundleInfo(std::move(values));
}

std::string BundleInfo::objectForInfoDictionaryKey(const std::string& key) const
{
    const std::string* text = valueForKey(m_infoDictionary, key).string();
    return text ? *text : std::string();
}

std::string BundleInfo::appcastURL() const
{
    std::string host = objectForInfoDictionaryKey(kVLUpdateHost);
    if (host.empty())
        return {};
    return "https://" + host + kAppcastPath;
}

} // namespace velmora
