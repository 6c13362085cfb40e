// GTK 4's conventions as the backend reads them: which applications follow
// them, its doubled button names, the choice of a dialog's default, and
// where a window's origin lies inside its X window.

#include "platform/linux/Gtk4Conventions.h"

#include <gtest/gtest.h>

namespace velmora::linux_desktop {
namespace {

TEST(Gtk4ConventionsTest, OnlyGtk4AndLaterFollowThem)
{
    EXPECT_TRUE(Gtk4Conventions::appliesTo("GTK", "4.8.3"));
    EXPECT_TRUE(Gtk4Conventions::appliesTo("GTK", "4.12.0"));
    EXPECT_FALSE(Gtk4Conventions::appliesTo("gtk", "3.24.38"));
    EXPECT_FALSE(Gtk4Conventions::appliesTo("GTK", "3.24.38"));
    EXPECT_FALSE(Gtk4Conventions::appliesTo("Qt", "5.15.8"));
    EXPECT_FALSE(Gtk4Conventions::appliesTo("GTK", ""));
}

TEST(Gtk4ConventionsTest, DoubledNamesReadAsShown)
{
    EXPECT_EQ(Gtk4Conventions::plainName("_OK OK"), "OK");
    EXPECT_EQ(Gtk4Conventions::plainName("_Cancel Cancel"), "Cancel");
    EXPECT_EQ(Gtk4Conventions::plainName("_Discard… Discard…"), "Discard…");
    EXPECT_EQ(Gtk4Conventions::plainName("Save _As Save As"), "Save As");
    EXPECT_EQ(Gtk4Conventions::plainName("Snake__case_ok Snake_caseok"), "Snake_caseok");
    // Names that only look alike stay whole.
    EXPECT_EQ(Gtk4Conventions::plainName("OK OK"), "OK OK");
    EXPECT_EQ(Gtk4Conventions::plainName("_Yes No"), "_Yes No");
    EXPECT_EQ(Gtk4Conventions::plainName("Close"), "Close");
    EXPECT_EQ(Gtk4Conventions::plainName("_Save "), "_Save ");
    EXPECT_EQ(Gtk4Conventions::plainName(""), "");
}

bool declines(const std::string& label)
{
    return label == "Cancel" || label == "No" || label == "Close";
}

TEST(Gtk4ConventionsTest, TheFocusedButtonIsTheDefaultUnlessItDeclines)
{
    using B = Gtk4Conventions::Button;
    // A dialog with a default response: GTK moved the focus onto it.
    EXPECT_EQ(Gtk4Conventions::defaultButton({B{"Discard", false, true}, B{"Cancel", false, true}, B{"Save", true, true}}, declines), 2u);
    EXPECT_EQ(Gtk4Conventions::defaultButton({B{"Save", true, true}, B{"Cancel", false, true}, B{"Close", false, true}}, declines), 0u);
    // No default response: the focus sits on the first button, GTK's cancel,
    // and the row's last answer is taken.
    EXPECT_EQ(Gtk4Conventions::defaultButton({B{"Cancel", true, true}, B{"OK", false, true}}, declines), 1u);
    EXPECT_EQ(Gtk4Conventions::defaultButton({B{"No", true, true}, B{"Yes", false, true}}, declines), 1u);
}

TEST(Gtk4ConventionsTest, OtherwiseTheLastButtonOnScreenThatDoesNotDecline)
{
    using B = Gtk4Conventions::Button;
    // libadwaita's row, then the same buttons of its narrow layout, not laid out.
    EXPECT_EQ(Gtk4Conventions::defaultButton({B{"Cancel", false, true}, B{"Discard", false, true}, B{"Save", false, true},
                                                 B{"Save", false, false}, B{"Discard", false, false}, B{"Cancel", false, false}},
                  declines),
        2u);
    // A focused button that is not laid out is no answer either.
    EXPECT_EQ(Gtk4Conventions::defaultButton({B{"Go", true, false}, B{"Stay", false, true}}, declines), 1u);
    // Unnamed (icon-only) buttons answer nothing.
    EXPECT_EQ(Gtk4Conventions::defaultButton({B{"Go", false, true}, B{"", false, true}}, declines), 0u);
    EXPECT_FALSE(Gtk4Conventions::defaultButton({B{"Cancel", true, true}, B{"Close", false, true}}, declines));
    EXPECT_FALSE(Gtk4Conventions::defaultButton({}, declines));
}

TEST(Gtk4ConventionsTest, TheWindowMarginComesFromTheFrameExtentsElseFromTheSizeDifference)
{
    using M = Gtk4Conventions::Margin;
    // _GTK_FRAME_EXTENTS: left, right, top, bottom, shadows uneven.
    EXPECT_EQ(Gtk4Conventions::windowMargin(Gtk4Conventions::FrameExtents{23, 23, 15, 31}, 389, 318, 343, 272), (M{23, 15}));
    // Measured on openbox: 353 x 282 around 343 x 272 with the content 5 px in.
    EXPECT_EQ(Gtk4Conventions::windowMargin(std::nullopt, 353, 282, 343, 272), (M{5, 5}));
    // Decorated by the window manager: the X window is the window.
    EXPECT_EQ(Gtk4Conventions::windowMargin(std::nullopt, 420, 160, 420, 160), (M{0, 0}));
    // A size GTK has not reported yet is no reason to move anything.
    EXPECT_EQ(Gtk4Conventions::windowMargin(std::nullopt, 420, 160, 0, -1), (M{0, 0}));
}

} // namespace
} // namespace velmora::linux_desktop
