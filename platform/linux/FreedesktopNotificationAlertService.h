#pragma once

#include "platform/AlertService.h"
#include "platform/linux/GObjectRef.h"

#include <gio/gio.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velmora::linux_desktop {

// Alerts as desktop notifications (org.freedesktop.Notifications on the
// session bus): the title as the summary, the message as the body, one
// action per button. The server decides where and how long they show; a
// question waits for its answer (no expiry), like a dialog.
//
// runModal iterates the thread-default main context until the notification
// is answered or closed, so the agent's other sources are served meanwhile.
// Every call to the server is bounded by kNotificationCallMs. Only signals
// sent by the server that took the notification (its unique name), and only
// for that notification's id, answer it: another client on the bus cannot.
class FreedesktopNotificationAlertService final : public AlertService {
public:
    static constexpr const char* kBusName = "org.freedesktop.Notifications";

    // How the notifications name their sender.
    struct Sender {
        std::string appName{"Velmora"};
        std::string iconName{"velmora"};
        // The desktop entry (without ".desktop") that servers group the
        // notifications under; none when empty.
        std::string desktopEntry;
    };

    // `sessionBus` is shared with the rest of the program.
    FreedesktopNotificationAlertService(GObjectRef<GDBusConnection> sessionBus, Sender sender);
    FreedesktopNotificationAlertService(const FreedesktopNotificationAlertService&) = delete;
    FreedesktopNotificationAlertService& operator=(const FreedesktopNotificationAlertService&) = delete;

    enum class Delivery {
        Shown,
        // Nothing was shown: no server owns the name (nor can the bus start
        // one), it did not answer in time, it failed, or the alert offers a
        // choice and the server cannot show buttons. The alert needs another
        // way to the user.
        NotShown,
    };
    struct Outcome {
        Delivery delivery{Delivery::NotShown};
        // The button chosen: "default" (the notification itself clicked) is
        // the first button. Nothing when closed without an action, aborted,
        // the server went away, or not shown.
        std::optional<size_t> answer;
    };
    Outcome present(const Alert& alert);

    // AlertService overrides.
    std::optional<size_t> runModal(const Alert& alert) override { return present(alert).answer; }
    // The notification on screen is closed (CloseNotification, not waited
    // for); one still being sent is closed once the server gives its id.
    void abortModal() override;

private:
    // What the server said of a notification: an action, or its closing.
    struct ServerEvent {
        std::uint32_t id{0};
        std::optional<std::string> actionKey; // none: closed
    };
    enum class Abortable { No, Yes };

    Outcome show(const Alert& alert);
    // The unique name of the server that owns the name, started first where
    // the bus starts one on demand; nothing when there is none.
    std::optional<std::string> findServer();
    // A call to the bus daemon itself, abortable.
    GVariant* callBus(const char* method, GVariant* parameters, const GVariantType* replyType);
    // Calls `method` and serves the main context until the reply, the bound,
    // or (Abortable::Yes) an abort; the reply (owned by the caller), or null
    // on any failure.
    GVariant* call(const char* destination, const char* path, const char* interface, const char* method,
        GVariant* parameters, const GVariantType* replyType, Abortable abortable);
    std::optional<std::vector<std::string>> capabilities();
    GVariant* notifyParameters(const Alert& alert, bool markup) const;
    void take(const ServerEvent& event);
    void closeNotification(std::uint32_t id);

    static void onServerSignal(GDBusConnection*, const gchar* sender, const gchar* path, const gchar* interface,
        const gchar* signal, GVariant* parameters, gpointer data);
    static void onNameOwnerChanged(GDBusConnection*, const gchar* sender, const gchar* path, const gchar* interface,
        const gchar* signal, GVariant* parameters, gpointer data);

    GObjectRef<GDBusConnection> m_bus;
    Sender m_sender;
    GMainContext* m_context{nullptr}; // owned: a reference, while present() runs

    // The notification being shown, while present() runs.
    bool m_running{false};
    bool m_aborted{false};
    std::string m_server; // its unique name
    std::optional<std::uint32_t> m_id;
    // Events that came before the server told the id (it may send a signal
    // before its reply), looked at once the id is known.
    std::vector<ServerEvent> m_early;
    bool m_closed{false};
    std::optional<size_t> m_answer;
    size_t m_buttonCount{0};
};

} // namespace velmora::linux_desktop
