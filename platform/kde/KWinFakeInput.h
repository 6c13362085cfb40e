#pragma once

#include <cstdint>
#include <memory>
#include <string>

struct wl_display;
struct wl_callback;
struct wl_registry;
struct org_kde_kwin_fake_input;

namespace velmora::kde {

// KWin's fake-input protocol on the session's Wayland display: absolute
// pointer moves in the compositor's global coordinates. KWin offers it only
// to programs whose desktop entry lists org_kde_kwin_fake_input under
// X-KDE-Wayland-Interfaces (matched by executable, through KService's cache).
class KWinFakeInput {
public:
    // Sending a move.
    static constexpr int kTimeoutMs = 500;

    // Connects and asks which protocols are offered, without waiting for the
    // answer; null when there is no display. `error` says why.
    static std::unique_ptr<KWinFakeInput> connect(std::string& error);
    // Waits, at most `timeoutMs`, for the compositor to list its protocols:
    // KWin decides what to offer an authorised program before it answers,
    // which took 0.7 s for a large executable.
    bool waitUntilListed(int timeoutMs);
    ~KWinFakeInput();
    KWinFakeInput(const KWinFakeInput&) = delete;
    KWinFakeInput& operator=(const KWinFakeInput&) = delete;

    // Whether KWin offered the protocol to this program (once listed).
    bool offered() const { return m_fakeInput != nullptr; }
    // False when the protocol is not offered or the display is gone.
    bool moveTo(double x, double y);

private:
    KWinFakeInput() = default;
    bool flush();

public:
    // The registry's announcement of one global (for its listener).
    static void onGlobalFor(void* self, wl_registry* registry, uint32_t name, const char* interface, uint32_t version);

private:
    wl_display* m_display{nullptr};
    wl_registry* m_registry{nullptr};
    org_kde_kwin_fake_input* m_fakeInput{nullptr};
    wl_callback* m_listing{nullptr}; // until the listing is done
    bool m_listed{false};
};

} // namespace velmora::kde
