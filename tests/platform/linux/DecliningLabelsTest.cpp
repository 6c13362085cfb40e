// Which button labels decline a dialog, as the cancel-button search reads them.

#include "platform/linux/DecliningLabels.h"

#include <gtest/gtest.h>

namespace velmora::linux_desktop {
namespace {

TEST(DecliningLabelsTest, CancelNoAndCloseDeclineWhateverTheirMnemonicsAndCase)
{
    for (const char* label : {"Cancel", "_Cancel", "CANCEL", "cancel", "C_ancel", "No", "_No", "NO", "Close", "_Close", "C_lose"})
        EXPECT_TRUE(DecliningLabels::declines(label)) << label;
}

TEST(DecliningLabelsTest, LabelsThatAnswerOrOnlyContainADecliningWordDoNot)
{
    for (const char* label : {"OK", "_Save", "Yes", "Don't Save", "Cancel Download", "Close Window", "Not", "Cancel ", ""})
        EXPECT_FALSE(DecliningLabels::declines(label)) << '"' << label << '"';
}

TEST(DecliningLabelsTest, FoldingDropsEveryMnemonicMarkerAndFoldsCaseBeyondAscii)
{
    EXPECT_EQ(DecliningLabels::fold("_Save _As"), "save as");
    EXPECT_EQ(DecliningLabels::fold("__Abbrechen"), "abbrechen");
    EXPECT_EQ(DecliningLabels::fold("_ÉTÉ"), "été");
    EXPECT_EQ(DecliningLabels::fold(""), "");
}

} // namespace
} // namespace velmora::linux_desktop
