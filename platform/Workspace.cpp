#include "platform/Workspace.h"

namespace velmora {

Value::Dictionary ApplicationInfo::record() const
{
    Value::Dictionary r;
    r[kApplicationNameKey] = name;
    r[kApplicationProcessIdKey] = static_cast<int64_t>(pid);
    if (bundleIdentifier)
        r[kApplicationIdentifierKey] = *bundleIdentifier;
    r[kApplicationPathKey] = path;
    return r;
}

std::optional<ApplicationInfo> ApplicationInfo::fromRecord(const Value::Dictionary& record)
{
    const Value& name = valueForKey(record, kApplicationNameKey);
    const Value& pid = valueForKey(record, kApplicationProcessIdKey);
    if (!name.string() || !pid.isNumber())
        return std::nullopt;
    ApplicationInfo info;
    info.name = *name.string();
    info.pid = static_cast<pid_t>(pid.integerValue());
    if (auto bundle = valueForKey(record, kApplicationIdentifierKey).string())
        info.bundleIdentifier = *bundle;
    if (auto path = valueForKey(record, kApplicationPathKey).string())
        info.path = *path;
    return info;
}

std::string NSFileTypeForHFSTypeCode(uint32_t code)
{
    std::string out = "'";
    for (int shift = 24; shift >= 0; shift -= 8)
        out += static_cast<char>((code >> shift) & 0xff);
    return out + "'";
}

uint32_t NSHFSTypeCodeFromFileType(const std::string& fileType)
{
    if (fileType.size() != 6 || fileType.front() != '\'' || fileType.back() != '\'')
        return 0;
    uint32_t code = 0;
    for (size_t i = 1; i < 5; ++i)
        code = (code << 8) | static_cast<unsigned char>(fileType[i]);
    return code;
}

} // namespace velmora
