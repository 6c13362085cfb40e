#include "shared/update/VersionComparator.h"

#include <glib.h>

#include <algorithm>
#include <climits>
#include <memory>

namespace velmora {

namespace {

constexpr char16_t kPeriod = u'.';
constexpr char16_t kReplacement = 0xFFFD;

// Decodes leniently: an invalid byte becomes U+FFFD and decoding resumes at
// the next byte, so no input is ever rejected.
std::u16string toUTF16(const std::string& text)
{
    std::u16string out;
    out.reserve(text.size());
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end) {
        if (*p == '\0') {
            out.push_back(0);
            ++p;
            continue;
        }
        gunichar c = g_utf8_get_char_validated(p, end - p);
        if (c == static_cast<gunichar>(-1) || c == static_cast<gunichar>(-2)) {
            out.push_back(kReplacement);
            ++p;
            continue;
        }
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
        p = g_utf8_next_char(p);
    }
    return out;
}

// Parts never split a surrogate pair (both halves are string characters), so
// a lone surrogate only comes from a caller's odd text; it becomes U+FFFD.
std::string toUTF8(const std::u16string& text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        gunichar c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = kReplacement;
        }
        char buffer[6];
        out.append(buffer, g_unichar_to_utf8(c, buffer));
    }
    return out;
}

bool isDecimalDigit(char16_t unit)
{
    // A surrogate is never a digit on its own: digits outside the BMP are
    // string characters, as they are one code unit at a time.
    return !(unit >= 0xD800 && unit <= 0xDFFF) && g_unichar_isdigit(unit);
}

VersionPartKind kindOf(const std::u16string& part)
{
    if (part.size() == 1 && part[0] == kPeriod)
        return VersionPartKind::Period;
    if (!part.empty() && isDecimalDigit(part[0]))
        return VersionPartKind::Number;
    return VersionPartKind::String;
}

VersionPartKind kindOfUnit(char16_t unit)
{
    if (unit == kPeriod)
        return VersionPartKind::Period;
    return isDecimalDigit(unit) ? VersionPartKind::Number : VersionPartKind::String;
}

std::vector<std::u16string> split(const std::u16string& version)
{
    std::vector<std::u16string> parts;
    if (version.empty())
        return parts;
    std::u16string current(1, version[0]);
    VersionPartKind oldKind = kindOfUnit(version[0]);
    for (size_t i = 1; i < version.size(); ++i) {
        VersionPartKind newKind = kindOfUnit(version[i]);
        if (newKind != oldKind || oldKind == VersionPartKind::Period) {
            parts.push_back(std::move(current));
            current.assign(1, version[i]);
        } else {
            current.push_back(version[i]);
        }
        oldKind = newKind;
    }
    parts.push_back(std::move(current));
    return parts;
}

// The value of a digit run as a 32-bit signed number, saturating at the
// maximum as an overlong run reads.
int32_t numberValue(const std::u16string& part)
{
    int64_t value = 0;
    for (char16_t unit : part) {
        int digit = g_unichar_digit_value(unit);
        if (digit < 0)
            break;
        value = std::min<int64_t>(value * 10 + digit, INT32_MAX);
    }
    return static_cast<int32_t>(value);
}

struct GFreeDeleter {
    void operator()(gchar* p) const { g_free(p); }
};

// Canonically equivalent texts (precomposed and decomposed accents) must
// compare equal, so both sides are decomposed before the code-unit order is
// taken. A part holding NUL is compared as it stands: the normaliser stops there.
std::u16string canonicalForm(const std::u16string& part)
{
    if (part.find(char16_t{0}) != std::u16string::npos)
        return part;
    std::string utf8 = toUTF8(part);
    std::unique_ptr<gchar, GFreeDeleter> normalized(g_utf8_normalize(utf8.c_str(), static_cast<gssize>(utf8.size()), G_NORMALIZE_NFD));
    if (!normalized)
        return part;
    return toUTF16(normalized.get());
}

int compareStrings(const std::u16string& a, const std::u16string& b)
{
    std::u16string ca = canonicalForm(a);
    std::u16string cb = canonicalForm(b);
    int result = ca.compare(cb);
    return result < 0 ? -1 : (result > 0 ? 1 : 0);
}

} // namespace

// static
VersionComparator& VersionComparator::defaultComparator()
{
    static VersionComparator comparator;
    return comparator;
}

int VersionComparator::compareVersion(const std::string& versionA, const std::string& versionB) const
{
    const std::vector<std::u16string> partsA = split(toUTF16(versionA));
    const std::vector<std::u16string> partsB = split(toUTF16(versionB));
    const size_t n = std::min(partsA.size(), partsB.size());

    for (size_t i = 0; i < n; ++i) {
        VersionPartKind kindA = kindOf(partsA[i]);
        VersionPartKind kindB = kindOf(partsB[i]);
        if (kindA != kindB) {
            // Precedence: number > period > string.
            if (kindA == VersionPartKind::String)
                return -1;
            if (kindB == VersionPartKind::String)
                return 1;
            return kindA == VersionPartKind::Number ? 1 : -1;
        }
        if (kindA == VersionPartKind::Number) {
            int32_t a = numberValue(partsA[i]);
            int32_t b = numberValue(partsB[i]);
            if (a != b)
                return a > b ? 1 : -1;
        } else if (kindA == VersionPartKind::String) {
            if (int result = compareStrings(partsA[i], partsB[i]))
                return result;
        }
    }

    // The pre-release rule: a trailing letter run marks an earlier version
    // than the bare number, a trailing period or number a later one.
    if (partsA.size() == partsB.size())
        return 0;
    if (partsA.size() > partsB.size())
        return kindOf(partsA[n]) == VersionPartKind::String ? -1 : 1;
    return kindOf(partsB[n]) == VersionPartKind::String ? 1 : -1;
}

// static
std::vector<std::string> VersionComparator::splitVersionString(const std::string& version)
{
    std::vector<std::string> parts;
    for (const auto& part : split(toUTF16(version)))
        parts.push_back(toUTF8(part));
    return parts;
}

// static
VersionPartKind VersionComparator::typeOfCharacter(const std::string& text)
{
    return kindOf(toUTF16(text));
}

} // namespace velmora
