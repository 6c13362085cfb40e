#include "shared/update/PreferredLanguages.h"

#include "shared/update/ScopedEnvironment.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

using Languages = std::vector<std::string>;

TEST(PreferredLanguagesTest, ReadsTheEnvironmentInMessageCatalogueOrder)
{
    test::ScopedEnvironment language("LANGUAGE", "pt_BR:de::fr");
    test::ScopedEnvironment all("LC_ALL", std::nullopt);
    test::ScopedEnvironment messages("LC_MESSAGES", "");
    test::ScopedEnvironment lang("LANG", "de_DE.UTF-8@euro");
    // The list wins over the locale; each language brings its primary form.
    EXPECT_EQ(PreferredLanguages::fromEnvironment(), (Languages{"pt-br", "pt", "de", "fr"}));
    {
        test::ScopedEnvironment noList("LANGUAGE", std::nullopt);
        EXPECT_EQ(PreferredLanguages::fromEnvironment(), (Languages{"de-de", "de"}));
    }
    {
        test::ScopedEnvironment noList("LANGUAGE", std::nullopt);
        test::ScopedEnvironment c("LC_ALL", "C.UTF-8");
        EXPECT_EQ(PreferredLanguages::fromEnvironment(), (Languages{"en"}));
    }
}

TEST(PreferredLanguagesTest, MatchesExactlyBeforeByPrimaryLanguage)
{
    Languages available{"", "de-AT", "de", "pt", "fr_FR"};
    EXPECT_EQ(PreferredLanguages::bestMatch(available, {"de"}), "de");
    EXPECT_EQ(PreferredLanguages::bestMatch(available, {"de-CH"}), "de-AT");
    EXPECT_EQ(PreferredLanguages::bestMatch(available, {"pt-BR"}), "pt");
    EXPECT_EQ(PreferredLanguages::bestMatch(available, {"FR-fr"}), "fr_FR");
    EXPECT_EQ(PreferredLanguages::bestMatch(available, {"ja", "pt"}), "pt");
    EXPECT_EQ(PreferredLanguages::bestMatch(available, {"ja"}), std::nullopt);
    EXPECT_EQ(PreferredLanguages::bestMatch(available, {""}), std::nullopt);
    EXPECT_EQ(PreferredLanguages::bestMatch({}, {"de"}), std::nullopt);
}

} // namespace
} // namespace velmora
