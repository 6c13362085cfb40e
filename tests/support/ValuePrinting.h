#pragma once

#include "platform/Value.h"

#include <ostream>

namespace velmora {

// Lets gtest print a Value in failure messages instead of its bytes. Found
// by argument-dependent lookup, so it must live in the Value's namespace.
inline void PrintTo(const Value& value, std::ostream* out)
{
    static const char* const kTypeNames[] = {"null", "boolean", "integer", "real", "string", "array", "dictionary"};
    *out << kTypeNames[static_cast<int>(value.type())] << " " << value.description();
}

} // namespace velmora
