#pragma once

#include "platform/NotificationCenter.h"

#include <glib.h>
#include <glib-object.h>

namespace velmora {

// Posts the application's resign-active notification when the keyboard focus
// leaves the last of this process's windows for another program's. GTK has
// no such notice of its own: each top-level only knows whether it is active.
// Only a loss counts: a program whose windows never had the focus (an alert
// the window manager would not raise, say) has nothing to lose, and the focus
// passing between two of its own windows loses nothing either.
class GtkFocusLossNotifier final {
public:
    // How long the focus may be nowhere of ours while it passes from one of
    // our windows to another: the window manager takes a round trip between
    // the one's focus-out and the other's focus-in.
    static constexpr guint kSettleMs = 150;

    // Posts to `center` (not owned, outlives this), with this object as the
    // sender. GTK must be initialised.
    explicit GtkFocusLossNotifier(NotificationCenter& center);
    ~GtkFocusLossNotifier();
    GtkFocusLossNotifier(const GtkFocusLossNotifier&) = delete;
    GtkFocusLossNotifier& operator=(const GtkFocusLossNotifier&) = delete;

    // Whether one of our windows has the focus, as far as the last focus
    // change tells: taken at once, given up once the focus settles elsewhere.
    bool isActive() const { return m_active; }

private:
    static gboolean onFocusChange(GSignalInvocationHint*, guint count, const GValue* values, gpointer self);
    static gboolean onSettled(gpointer self);
    void settle();

    NotificationCenter& m_center;
    gpointer m_widgetClass{nullptr}; // our reference, for the signals' life
    guint m_focusInSignal{0};
    guint m_focusOutSignal{0};
    gulong m_focusInHook{0};
    gulong m_focusOutHook{0};
    guint m_settleSource{0}; // pending settle, 0 when none
    bool m_active{false};
};

} // namespace velmora
