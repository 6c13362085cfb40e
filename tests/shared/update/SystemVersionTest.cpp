#include "shared/update/SystemVersion.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(SystemVersionTest, EveryKindOfSystemGivesADottedVersion)
{
    struct Case {
        const char* system;
        SystemVersion::Facts facts;
        const char* version;
    };
    for (const Case& c : {
             Case{"Debian stable", {"12", "", "6.1.0-13-amd64"}, "12"},
             Case{"Ubuntu", {"22.04", "", "5.15.0-91-generic"}, "22.04"},
             Case{"Alpine edge", {"3.21.0_alpha20240807", "", "6.6.44-0-lts"}, "3.21.0"},
             Case{"openSUSE Tumbleweed", {"20241130", "", "6.11.8-1-default"}, "20241130"},
             Case{"a dated snapshot image", {"", "2024.11.30", "6.11.8"}, "2024.11.30"},
             Case{"Arch", {"", "rolling", "6.12.1-arch1-1"}, "6.12.1"},
             Case{"Debian testing", {"", "", "6.11.9-amd64"}, "6.11.9"},
             Case{"a version that is no number", {"rolling", "", "6.12"}, "6.12"},
             Case{"a version with a letter first", {"v6.1", "", "6.12"}, "6.12"},
             Case{"a trailing dot", {"24.", "", ""}, "24"},
             Case{"two dots running", {"1..2", "", ""}, "1"},
             Case{"a leading dot", {".5", "", "6.12"}, "6.12"},
             Case{"nothing known", {"", "", ""}, "0"},
         }) {
        SCOPED_TRACE(c.system);
        EXPECT_EQ(SystemVersion::fromFacts(c.facts), c.version);
    }
}

TEST(SystemVersionTest, ThisMachineHasADottedVersion)
{
    SystemVersion::Facts facts = SystemVersion::read();
    EXPECT_FALSE(SystemVersion::leadingDottedNumber(facts.kernelRelease).empty()) << facts.kernelRelease;
    std::string version = SystemVersion::fromFacts(facts);
    EXPECT_EQ(SystemVersion::leadingDottedNumber(version), version);
    EXPECT_NE(version, "0");
}

} // namespace
} // namespace velmora
