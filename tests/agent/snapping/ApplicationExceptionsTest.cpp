#include "agent/snapping/ApplicationExceptions.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

namespace velmora {
namespace {

ApplicationInfo named(std::string name, std::optional<std::string> identifier = std::nullopt)
{
    ApplicationInfo info;
    info.name = std::move(name);
    info.pid = 1234;
    info.bundleIdentifier = std::move(identifier);
    return info;
}

// Every row is found by the lookup of its kind, for exactly the application
// it names and for no other: a row a newcomer adds works without code.
TEST(ApplicationExceptionsTest, EachRowIsFoundForItsApplicationOnly)
{
    ASSERT_FALSE(ApplicationExceptions::rows().empty());
    for (const ApplicationExceptions::Row& row : ApplicationExceptions::rows()) {
        const bool byName = row.matchedBy == ApplicationExceptions::MatchedBy::Name;
        const ApplicationInfo matching = byName ? named(row.key) : named("Any", std::string(row.key));
        // The other field holding the key, a key in other case, another key.
        const ApplicationInfo crossed = byName ? named("Any", std::string(row.key)) : named(row.key);
        std::string upper = row.key;
        for (char& c : upper)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        const ApplicationInfo otherCase = byName ? named(upper) : named("Any", upper);
        const ApplicationInfo unrelated = named("Unrelated", std::string("org.example.Unrelated"));

        auto applies = [&](const ApplicationInfo* app) {
            switch (row.kind) {
            case ApplicationExceptions::Kind::IgnoreDefaultButtonOfSize:
                return ApplicationExceptions::ignoredDefaultButtonSize(app) == std::optional<Size>(row.size);
            case ApplicationExceptions::Kind::IgnoreCancelButtonTitled:
                return ApplicationExceptions::ignoredCancelButtonTitle(app) == std::optional<std::string>(row.title);
            case ApplicationExceptions::Kind::SearchFileProgressWindows:
                return ApplicationExceptions::searchesFileProgressWindows(app);
            }
            return false;
        };
        EXPECT_TRUE(applies(&matching)) << row.key;
        EXPECT_FALSE(applies(&crossed)) << row.key;
        EXPECT_FALSE(applies(&otherCase)) << row.key;
        EXPECT_FALSE(applies(&unrelated)) << row.key;
        EXPECT_FALSE(applies(nullptr)) << row.key << ": a process without a record matches nothing";
    }
}

TEST(ApplicationExceptionsTest, ARowChangesOnlyItsOwnKind)
{
    for (const ApplicationExceptions::Row& row : ApplicationExceptions::rows()) {
        const ApplicationInfo app = row.matchedBy == ApplicationExceptions::MatchedBy::Name
            ? named(row.key)
            : named("Any", std::string(row.key));
        int rowsForIt = 0;
        for (const ApplicationExceptions::Row& other : ApplicationExceptions::rows())
            rowsForIt += other.matchedBy == row.matchedBy && std::string(other.key) == row.key;
        int kinds = 0;
        kinds += ApplicationExceptions::ignoredDefaultButtonSize(&app).has_value();
        kinds += ApplicationExceptions::ignoredCancelButtonTitle(&app).has_value();
        kinds += ApplicationExceptions::searchesFileProgressWindows(&app);
        EXPECT_EQ(kinds, rowsForIt) << row.key;
    }
}

} // namespace
} // namespace velmora
