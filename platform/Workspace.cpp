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

} // namespace velmora
