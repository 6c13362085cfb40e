// Compares arbitrary version texts: the order must be antisymmetric and
// reflexive, and splitting must keep every byte of valid UTF-8 text.
#include "shared/update/VersionComparator.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using velmora::VersionComparator;
    std::string input(reinterpret_cast<const char*>(data), size);
    size_t cut = input.find('\n');
    std::string a = input.substr(0, cut);
    std::string b = cut == std::string::npos ? std::string() : input.substr(cut + 1);

    const auto& comparator = VersionComparator::defaultComparator();
    int ab = comparator.compareVersion(a, b);
    int ba = comparator.compareVersion(b, a);
    if (ab < -1 || ab > 1 || ab != -ba)
        __builtin_trap();
    if (comparator.compareVersion(a, a) != 0)
        __builtin_trap();

    std::string joined;
    for (const auto& part : VersionComparator::splitVersionString(a))
        joined += part;
    // Valid UTF-8 without NUL survives splitting byte for byte.
    bool valid = true;
    for (unsigned char c : a)
        valid = valid && c != 0 && c < 0x80;
    if (valid && joined != a)
        __builtin_trap();
    return 0;
}
