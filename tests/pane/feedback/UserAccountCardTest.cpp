#include "pane/feedback/UserAccountCard.h"

#include "shared/update/ScopedEnvironment.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(UserAccountCardTest, TheFullNameIsTheCommentFieldsFirstPart)
{
    EXPECT_EQ(UserAccountCard::fullNameFromGecos("Ada Lovelace,Room 1,555-0100,", "ada"), "Ada Lovelace");
    EXPECT_EQ(UserAccountCard::fullNameFromGecos("Ren\u00e9e O'Brien", "renee"), "Ren\u00e9e O'Brien");
    EXPECT_EQ(UserAccountCard::fullNameFromGecos("& Smith,,,", "bob"), "Bob Smith");
    EXPECT_EQ(UserAccountCard::fullNameFromGecos(",,,", "nobody"), "");
    EXPECT_EQ(UserAccountCard::fullNameFromGecos("", "nobody"), "");
}

TEST(UserAccountCardTest, TheEmailAddressComesFromTheEnvironment)
{
    {
        test::ScopedEnvironment email("EMAIL", std::string("me@example.invalid"));
        auto card = UserAccountCard::me();
        ASSERT_TRUE(card) << "the test runs as a user with an account";
        EXPECT_EQ(card->emailAddresses, std::vector<std::string>{"me@example.invalid"});
    }
    for (std::optional<std::string> none : {std::optional<std::string>(), std::optional<std::string>("")}) {
        test::ScopedEnvironment email("EMAIL", none);
        auto card = UserAccountCard::me();
        ASSERT_TRUE(card);
        EXPECT_TRUE(card->emailAddresses.empty());
    }
}

} // namespace
} // namespace velmora
