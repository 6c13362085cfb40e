#pragma once

#include <cstdint>

namespace velmora {

// The answer for a list index or process identifier that does not exist; the
// same number the original platform used, so stored values stay comparable.
inline constexpr int32_t kNSNotFound = 0x7fffffff;

} // namespace velmora
