// The attributes an AT-SPI object offers the engine, by its role, its
// interfaces and the session's coordinates.

#include "platform/linux/AtspiAttributeReader.h"
#include "platform/linux/AtspiObjectReads.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace velmora::linux_desktop {
namespace {

bool offers(const std::vector<std::string>& names, const std::string& name)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

constexpr unsigned kComponentOnly = AtspiObjectReads::kHasComponent;
constexpr unsigned kComponentAndCollection = AtspiObjectReads::kHasComponent | AtspiObjectReads::kHasCollection;

TEST(AtspiAttributeReaderTest, EveryObjectOffersTheTreeAndItsTextAndStates)
{
    for (AtspiRole role : {ATSPI_ROLE_PUSH_BUTTON, ATSPI_ROLE_LABEL, ATSPI_ROLE_DIALOG, ATSPI_ROLE_PANEL}) {
        const auto names = AtspiAttributeReader::objectAttributeNames(role, 0, false);
        for (const char* common : {"AXRole", "AXTitle", "AXDescription", "AXEnabled", "AXShowing", "AXParent", "AXChildren",
                 "AXTopLevelUIElement"})
            EXPECT_TRUE(offers(names, common)) << common << " of role " << role;
        EXPECT_EQ(std::count(names.begin(), names.end(), "AXRole"), 1);
    }
}

TEST(AtspiAttributeReaderTest, PositionAndSizeNeedTheComponentInterface)
{
    const auto placed = AtspiAttributeReader::objectAttributeNames(ATSPI_ROLE_PUSH_BUTTON, kComponentOnly, false);
    EXPECT_TRUE(offers(placed, "AXPosition"));
    EXPECT_TRUE(offers(placed, "AXSize"));
    const auto unplaced = AtspiAttributeReader::objectAttributeNames(ATSPI_ROLE_PUSH_BUTTON, AtspiObjectReads::kHasCollection, false);
    EXPECT_FALSE(offers(unplaced, "AXPosition"));
    EXPECT_FALSE(offers(unplaced, "AXSize"));
}

TEST(AtspiAttributeReaderTest, OnlyWindowsOfferTheirAnsweringButtonsAndASubrole)
{
    for (AtspiRole role : {ATSPI_ROLE_FRAME, ATSPI_ROLE_DIALOG, ATSPI_ROLE_ALERT, ATSPI_ROLE_FILE_CHOOSER, ATSPI_ROLE_WINDOW}) {
        const auto names = AtspiAttributeReader::objectAttributeNames(role, kComponentAndCollection, false);
        EXPECT_TRUE(offers(names, "AXDefaultButton")) << role;
        EXPECT_TRUE(offers(names, "AXCancelButton")) << role;
        EXPECT_TRUE(offers(names, "AXSubrole")) << role;
    }
    for (AtspiRole role : {ATSPI_ROLE_PUSH_BUTTON, ATSPI_ROLE_PANEL, ATSPI_ROLE_APPLICATION, ATSPI_ROLE_MENU}) {
        const auto names = AtspiAttributeReader::objectAttributeNames(role, kComponentAndCollection, true);
        EXPECT_FALSE(offers(names, "AXDefaultButton")) << role;
        EXPECT_FALSE(offers(names, "AXCancelButton")) << role;
        EXPECT_FALSE(offers(names, "AXSubrole")) << role;
        EXPECT_FALSE(offers(names, "AXWindowRelativePositions")) << role;
    }
}

TEST(AtspiAttributeReaderTest, WindowsSayTheirPositionsAreTheirOwnOnlyWhereNothingPlacesThem)
{
    EXPECT_TRUE(offers(AtspiAttributeReader::objectAttributeNames(ATSPI_ROLE_DIALOG, kComponentOnly, true),
        "AXWindowRelativePositions"));
    EXPECT_FALSE(offers(AtspiAttributeReader::objectAttributeNames(ATSPI_ROLE_DIALOG, kComponentOnly, false),
        "AXWindowRelativePositions"));
}

} // namespace
} // namespace velmora::linux_desktop
