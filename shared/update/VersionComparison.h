#pragma once

#include <string>

namespace velmora {

// Orders two version texts: -1 when the first is older, 0 when they are the
// same, +1 when the first is newer.
class VersionComparison {
public:
    virtual ~VersionComparison() = default;
    virtual int compareVersion(const std::string& versionA, const std::string& versionB) const = 0;
};

} // namespace velmora
