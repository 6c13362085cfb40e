#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::linux_desktop {

// What GTK 4 (4.8, Debian 12) tells AT-SPI differently from GTK 3 and Qt,
// measured on the private desktop (README, "Which button is the default, per
// toolkit"), and the rules the backend follows for it. Pure logic: the
// backend reads, this decides. Besides what is below, GTK 4.8 never sets the
// ENABLED state (SENSITIVE tells), SHOWING only on windows, and ACTIVE on a
// window only in the events that announce it, not in its state set.
class Gtk4Conventions {
public:
    // Whether an application reporting this toolkit (atspi toolkit name and
    // version of its application object) follows GTK 4's conventions.
    static bool appliesTo(std::string_view toolkitName, std::string_view toolkitVersion);

    // GTK 4 names a button with a mnemonic label by its raw label and its
    // label's text: "_OK OK", "_Discard… Discard…". The text as shown ("OK");
    // any other name unchanged.
    static std::string plainName(const std::string& name);

    // A push button of a dialog, as read for the choice of its default.
    struct Button {
        std::string name;  // as plainName() gives it
        bool focused{false};
        bool hasArea{false}; // not laid out: GTK 4 reports 0 x 0
    };
    // The default button of a GTK 4 dialog, which never carries the
    // is-default state: the focused button (GtkDialog moves the focus to its
    // default response when it maps), unless it declines (with no default
    // response the focus lands on the first button of the row, GTK's
    // cancel); otherwise the last button with an area that does not decline
    // (GTK's and libadwaita's rows end with the affirmative answer).
    // `declines` tells a cancel, no or close label. The index, or none.
    static std::optional<size_t> defaultButton(const std::vector<Button>& buttons,
        const std::function<bool(const std::string&)>& declines);

    // Where a window's own top-left corner lies inside its X window, in X
    // pixels. GTK 4 reports extents relative to its window; a window that
    // draws its own decorations keeps an invisible margin around them inside
    // its X window: _GTK_FRAME_EXTENTS says how wide when the window manager
    // supports it. Without it GTK keeps an even margin, read from the size
    // difference between the X window and the window as AT-SPI reports it.
    struct Margin {
        int left{0};
        int top{0};
        friend bool operator==(const Margin&, const Margin&) = default;
    };
    struct FrameExtents {
        int left{0}, right{0}, top{0}, bottom{0};
    };
    static Margin windowMargin(const std::optional<FrameExtents>& frameExtents, int xWidth, int xHeight, int width, int height);

    // Where a window's own top-left corner lies inside its Wayland surface,
    // in whose coordinates the compositor takes window-relative pointer
    // moves. GTK 4 draws its shadow in that margin, as wide as the theme
    // makes it, and nothing a client can read tells how wide. The defaults
    // of Debian 12, measured: GTK 4.8 keeps 14 (12 for message dialogs, so
    // the spot lands 2 px off there) and 12 above; libadwaita 1.2, whose
    // shadows are wider, 61 and 55.
    static Margin waylandSurfaceMargin(bool libadwaita);
    // Whether a process's memory map (/proc/PID/maps) holds libadwaita.
    static bool mapsLibadwaita(std::string_view maps);
};

} // namespace velmora::linux_desktop
