#pragma once

// GTK started in the desktop test process itself, once, for the tests of the
// settings window's own widgets.

#include <gtkmm/main.h>

#include <glib.h>

namespace velmora::linux_desktop::testing {

inline bool gtkReady()
{
    static const bool ready = [] {
        // Out of the accessibility tree: the other tests' scripts read every
        // application on it, and this process, blocked waiting for them,
        // could answer none of their calls. Only GTK's start-up reads it; the
        // programs the tests start later must not inherit it.
        g_setenv("NO_AT_BRIDGE", "1", TRUE);
        const bool started = gtk_init_check(nullptr, nullptr);
        g_unsetenv("NO_AT_BRIDGE");
        if (!started)
            return false;
        Gtk::Main::init_gtkmm_internals();
        return true;
    }();
    return ready;
}

} // namespace velmora::linux_desktop::testing
