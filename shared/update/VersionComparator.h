#pragma once

#include "shared/update/VersionComparison.h"

#include <string>
#include <vector>

namespace velmora {

// The kind of one part of a split version text.
enum class VersionPartKind : int {
    Number = 0, // a maximal run of decimal digits (any Unicode Nd digit)
    String = 1, // a maximal run of anything that is neither a digit nor "."
    Period = 2, // exactly one "."
};

// Orders version texts such as 1.0, 1.0.1, 1.0b3 or 10.4.11 with no knowledge
// of any versioning scheme. Texts are UTF-8; they are examined as UTF-16 code
// units, so a character outside the Basic Multilingual Plane is two string
// characters. Invalid UTF-8 bytes read as U+FFFD.
class VersionComparator final : public VersionComparison {
public:
    // The one shared comparator. Main thread only.
    static VersionComparator& defaultComparator();

    // -1 when versionA is older than versionB, 0 when the same, +1 when newer.
    int compareVersion(const std::string& versionA, const std::string& versionB) const override;

    // The parts in order; an empty text gives none.
    static std::vector<std::string> splitVersionString(const std::string& version);
    // The kind of a non-empty text: Period only for exactly ".", else decided
    // by its first character. An empty text is a String.
    static VersionPartKind typeOfCharacter(const std::string& text);
};

} // namespace velmora
