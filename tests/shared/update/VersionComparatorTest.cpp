#include "shared/update/VersionComparator.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velmora {
namespace {

int compare(const std::string& a, const std::string& b)
{
    return VersionComparator::defaultComparator().compareVersion(a, b);
}

using Parts = std::vector<std::string>;

TEST(VersionComparatorTest, SplitsIntoRunsAndLonePeriods)
{
    EXPECT_EQ(VersionComparator::splitVersionString("1.0b5"), (Parts{"1", ".", "0", "b", "5"}));
    EXPECT_EQ(VersionComparator::splitVersionString("1..2"), (Parts{"1", ".", ".", "2"}));
    EXPECT_EQ(VersionComparator::splitVersionString("2.0 beta"), (Parts{"2", ".", "0", " beta"}));
    EXPECT_EQ(VersionComparator::splitVersionString("x1-2"), (Parts{"x", "1", "-", "2"}));
    EXPECT_EQ(VersionComparator::splitVersionString("10.4.11"), (Parts{"10", ".", "4", ".", "11"}));
    EXPECT_TRUE(VersionComparator::splitVersionString("").empty());
}

TEST(VersionComparatorTest, ClassifiesByWholeTextThenFirstCharacter)
{
    EXPECT_EQ(VersionComparator::typeOfCharacter("."), VersionPartKind::Period);
    EXPECT_EQ(VersionComparator::typeOfCharacter("7"), VersionPartKind::Number);
    EXPECT_EQ(VersionComparator::typeOfCharacter("12"), VersionPartKind::Number);
    EXPECT_EQ(VersionComparator::typeOfCharacter(".."), VersionPartKind::String);
    EXPECT_EQ(VersionComparator::typeOfCharacter("b2"), VersionPartKind::String);
    // Arabic-Indic digit three: a Unicode decimal digit, not ASCII.
    EXPECT_EQ(VersionComparator::typeOfCharacter("\u0663"), VersionPartKind::Number);
    // Superscript two is numeric but not a decimal digit.
    EXPECT_EQ(VersionComparator::typeOfCharacter("\u00B2"), VersionPartKind::String);
}

TEST(VersionComparatorTest, OrdersNumbersByValue)
{
    EXPECT_EQ(compare("1.0", "1.0"), 0);
    EXPECT_EQ(compare("1.0", "1.00"), 0);
    EXPECT_EQ(compare("1.0", "1.0.1"), -1);
    EXPECT_EQ(compare("1.0.1", "1.0"), 1);
    EXPECT_EQ(compare("1.5", "1.10"), -1);
    EXPECT_EQ(compare("1.0", "1"), 1);
    EXPECT_EQ(compare("10.4.11", "10.5"), -1);
    // Both runs saturate at the 32-bit maximum.
    EXPECT_EQ(compare("1.2147483648", "1.2147483649"), 0);
    EXPECT_EQ(compare("1.2147483646", "1.2147483647"), -1);
    // Unicode digits carry their values.
    EXPECT_EQ(compare("1.\u0662", "1.3"), -1);
}

TEST(VersionComparatorTest, TrailingLettersMarkPreReleases)
{
    EXPECT_EQ(compare("1.0a", "1.0"), -1);
    EXPECT_EQ(compare("1.0", "1.0a"), 1);
    EXPECT_EQ(compare("1.0a2", "1.0a10"), -1);
    EXPECT_EQ(compare("1.0a", "1.0b"), -1);
    EXPECT_EQ(compare("1.0b", "1.0.1"), -1);
    EXPECT_EQ(compare("1.0.1", "1.0b"), 1);
    EXPECT_EQ(compare("1.0", "1.0b"), 1);
    EXPECT_EQ(compare("1..2", "1.2"), -1);
    EXPECT_EQ(compare("1.0.", "1.0"), 1);
}

TEST(VersionComparatorTest, ComparesLettersByCodeUnitButCanonically)
{
    EXPECT_EQ(compare("1.0B", "1.0a"), -1);
    EXPECT_EQ(compare("1.0a", "1.0B"), 1);
    // Precomposed e-acute against e plus combining acute.
    EXPECT_EQ(compare("1.0\u00e9", "1.0e\u0301"), 0);
    // Code-unit order: an astral letter (a surrogate pair, 0xD83D...) sorts before U+FFFD.
    EXPECT_EQ(compare("1.\U0001F600", "1.\uFFFD"), -1);
}

TEST(VersionComparatorTest, EmptyAndOddTexts)
{
    EXPECT_EQ(compare("", "1"), -1);
    EXPECT_EQ(compare("", "a"), 1);
    EXPECT_EQ(compare("", ""), 0);
    // Invalid UTF-8 reads as a replacement character, never past the text.
    EXPECT_EQ(compare(std::string("1.\xff", 3), std::string("1.\xfe", 3)), 0);
    EXPECT_EQ(compare(std::string("1\0a", 3), std::string("1\0a", 3)), 0);
    EXPECT_EQ(compare(std::string("1\0a", 3), "1"), -1);
}

} // namespace
} // namespace velmora
