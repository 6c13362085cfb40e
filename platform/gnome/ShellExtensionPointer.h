#pragma once

#include "platform/Accessibility.h"
#include "platform/Pointer.h"
#include "platform/SystemLog.h"
#include "platform/linux/GObjectRef.h"
#include "platform/linux/SurfaceLocator.h"
#include "platform/Gettext.h"

#include <gio/gio.h>

#include <functional>
#include <memory>
#include <optional>

namespace velmora::gnome {

// The pointer on a GNOME Wayland desktop whose shell runs Velmora's extension
// (platform/gnome/shell-extension): inside the compositor it knows where
// every window and the pointer are, so the pointer is moved anywhere, read,
// and the window under a point told, each in one call on the session bus.
//
// While the extension is not on the bus (not installed or not enabled, the
// shell restarting) every request goes to a fallback, made on first need
// (mutter's remote desktop, which can only move within a window), and the
// abilities are the fallback's. Its coming and going is logged once each.
class ShellExtensionPointer final : public Pointer, public linux_desktop::SurfaceLocator {
public:
    static constexpr const char* kBusName = "com.brightfen.velmora.ShellPointer";
    static constexpr const char* kObjectPath = "/com/brightfen/velmora/ShellPointer";
    static constexpr const char* kInterface = "com.brightfen.velmora.ShellPointer";
    static constexpr const char* kHowToEnable =
        N_("On GNOME, Velmora's GNOME Shell extension lets it: run \"gnome-extensions enable velmora@brightfen.com\", "
           "then log out and in again.");
    // The shell answers in a millisecond or two; one that takes longer is
    // hung, and the agent must not hang with it.
    static constexpr int kCallTimeoutMs = 500;

    using FallbackFactory = std::function<std::unique_ptr<Pointer>()>;

    // The connection is shared for the pointer's life; the log and the
    // accessibility (which tells a window's process) are borrowed and
    // outlive the pointer.
    ShellExtensionPointer(GDBusConnection* session, SystemLog& log, Accessibility& accessibility,
                          FallbackFactory makeFallback);
    ~ShellExtensionPointer() override;
    ShellExtensionPointer(const ShellExtensionPointer&) = delete;
    ShellExtensionPointer& operator=(const ShellExtensionPointer&) = delete;

    // Whether the extension is on this bus: one bounded call, for the
    // desktop chooser.
    static bool available(GDBusConnection* session);
    // Whether requests go to the extension now.
    bool extensionPresent() const { return m_present; }

    PointerAbilities abilities() override;
    bool moveToInWindow(const AccessibleElement& window, WindowPoint point) override;
    void moveTo(Point point) override;
    Point location() override;
    bool anyButtonDown() override;

    std::optional<Surface> surfaceAt(int x, int y) override;
    std::optional<pid_t> focusedProcess() override;

private:
    struct Reading {
        Point location;
        bool buttonDown{false};
    };
    std::optional<Reading> read();
    Pointer& fallback();
    // One call to the extension; null, logged once until one succeeds, when it fails.
    GVariant* call(const char* method, GVariant* parameters, const char* replyType);
    static void onAppeared(GDBusConnection*, const gchar*, const gchar*, gpointer self);
    static void onVanished(GDBusConnection*, const gchar*, gpointer self);

    linux_desktop::GObjectRef<GDBusConnection> m_bus;
    SystemLog& m_log;
    Accessibility& m_accessibility;
    FallbackFactory m_makeFallback;
    std::unique_ptr<Pointer> m_fallback;
    guint m_watch{0};
    bool m_present{false};
    bool m_troubleReported{false};
    Point m_last;
};

} // namespace velmora::gnome
