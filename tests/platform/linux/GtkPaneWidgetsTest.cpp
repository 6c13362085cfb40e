// The settings window's own widgets, drawn by GTK in this test process; the
// window's controllers run on the simulated desktop.

#include "pane/SettingsPane.h"
#include "pane/gtk/SettingsWindow.h"
#include "pane/gtk/VerticallyAlignedLabel.h"
#include "platform/linux/DesktopSession.h"
#include "platform/linux/GtkInProcess.h"
#include "platform/sim/SimDesktop.h"

#include <gtkmm/cssprovider.h>
#include <gtkmm/entry.h>
#include <gtkmm/offscreenwindow.h>

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace velmora::linux_desktop::testing {
namespace {

Gtk::Entry* findEntry(Gtk::Widget& widget)
{
    if (auto* entry = dynamic_cast<Gtk::Entry*>(&widget))
        return entry;
    if (auto* container = dynamic_cast<Gtk::Container*>(&widget)) {
        for (Gtk::Widget* child : container->get_children()) {
            if (Gtk::Entry* entry = findEntry(*child))
                return entry;
        }
    }
    return nullptr;
}

TEST(GtkSettingsWindowTest, TheFeedbackFieldShowsTheMailLinkOnEveryShowingAndItsIconWritesTheMail)
{
    ASSERT_TRUE(gtkReady()) << "no X display: run through run-desktop-tests.sh";
    sim::SimDesktop desktop; // not installed: the window reaches it through the pane
    SettingsPane pane(desktop);
    SettingsWindow window(pane);
    Gtk::Entry* field = findEntry(window);
    ASSERT_NE(field, nullptr);
    const std::string link = pane.agentController().feedbackMailLink();
    EXPECT_EQ(link, "mailto:velmora-feedback@brightfen.com?subject=velmora-feedback:version_" + pane.agentController().currentVersionString());

    window.show();
    EXPECT_EQ(field->get_placeholder_text(), link);
    EXPECT_TRUE(field->get_text().empty()) << "the placeholder shows only in an empty field";
    // Whatever became of it meanwhile, the next showing sets it anew.
    window.hide();
    field->set_placeholder_text("");
    window.show();
    EXPECT_EQ(field->get_placeholder_text(), link);

    GdkEvent* click = gdk_event_new(GDK_BUTTON_PRESS);
    click->button.button = 1;
    g_signal_emit_by_name(field->gobj(), "icon-press", GTK_ENTRY_ICON_SECONDARY, click);
    gdk_event_free(click);
    EXPECT_EQ(desktop.openedURLs(), std::vector<std::string>{link});
    window.hide();
}

// Where a label of `width` × `height` puts ink: bounds in pixels.
struct Ink {
    int left{-1};
    int right{-1};
    int top{-1};
    int bottom{-1};
    double middle() const { return (top + bottom) / 2.0; }
};

class VerticallyAlignedLabelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!gtkReady())
            GTEST_FAIL() << "no X display: run through run-desktop-tests.sh";
    }

    Ink inkOf(const std::string& text, int width, int height, const char* css = nullptr)
    {
        Gtk::OffscreenWindow window;
        VerticallyAlignedLabel label;
        label.set_text(text);
        label.set_size_request(width, height);
        if (css) {
            auto provider = Gtk::CssProvider::create();
            provider->load_from_data(css);
            label.get_style_context()->add_provider(provider, GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
        }
        window.add(label);
        window.show_all();
        pumpUntil([&] { return label.get_allocated_width() == width && label.get_allocated_height() == height; }, 5);
        EXPECT_EQ(label.get_allocated_height(), height);

        auto surface = Cairo::ImageSurface::create(Cairo::FORMAT_ARGB32, width, height);
        gtk_widget_draw(GTK_WIDGET(label.gobj()), Cairo::Context::create(surface)->cobj());
        surface->flush();
        Ink ink;
        const unsigned char* data = surface->get_data();
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                if (data[y * surface->get_stride() + x * 4 + 3] == 0) // alpha, native-endian ARGB
                    continue;
                ink.left = ink.left < 0 ? x : std::min(ink.left, x);
                ink.right = std::max(ink.right, x);
                ink.top = ink.top < 0 ? y : ink.top;
                ink.bottom = y;
            }
        }
        window.remove();
        return ink;
    }
};

TEST_F(VerticallyAlignedLabelTest, TextStaysCentredAndMovesInByHalfItsGapAbove)
{
    const Ink low = inkOf("Zenity, Card Sorter", 300, 32);
    const Ink tall = inkOf("Zenity, Card Sorter", 300, 64);
    ASSERT_GE(low.top, 0) << "nothing drawn";
    // 32 more pixels of height: 16 more above, and so 8 more from the left.
    EXPECT_NEAR(tall.middle() - low.middle(), 16.0, 1.0);
    EXPECT_NEAR(tall.left - low.left, 8, 1);
    EXPECT_NEAR(low.middle(), 16.0, 3.0);

    // Cut short, the text ends as far in from the right as it starts.
    const Ink cut = inkOf(std::string(200, 'W'), 300, 64);
    EXPECT_GE(cut.left, 8);
    EXPECT_LE(cut.right, 300 - cut.left + 1);
}

TEST_F(VerticallyAlignedLabelTest, TheThemesFontSizeDoesNotChangeTheText)
{
    const Ink plain = inkOf("Zenity, Card Sorter", 400, 64);
    const Ink themed = inkOf("Zenity, Card Sorter", 400, 64, "label { font-size: 30pt; }");
    ASSERT_GE(plain.top, 0) << "nothing drawn";
    EXPECT_EQ(themed.bottom - themed.top, plain.bottom - plain.top);
    EXPECT_EQ(themed.right - themed.left, plain.right - plain.left);
}

} // namespace
} // namespace velmora::linux_desktop::testing
