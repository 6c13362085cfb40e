#pragma once

#include <cstdint>
#include <memory>
#include <string>

struct wl_display;
struct wl_registry;
struct org_kde_kwin_fake_input;

namespace velmora::kde {

// KWin's fake-input protocol on the session's Wayland display: absolute
// pointer moves in the compositor's global coordinates. KWin offers it only
// to programs whose desktop entry lists org_kde_kwin_fake_input under
// X-KDE-Wayland-Interfaces (matched by executable, through KService's cache).
class KWinFakeInput {
public:
    // Each wait on the compositor.
    static constexpr int kTimeoutMs = 500;

    // Connects and looks for the protocol; null when there is no display,
    // or it does not answer in time. `error` says why.
    static std::unique_ptr<KWinFakeInput> connect(std::string& error);
    ~KWinFakeInput();
    KWinFakeInput(const KWinFakeInput&) = delete;
    KWinFakeInput& operator=(const KWinFakeInput&) = delete;

    // Whether KWin offered the protocol to this program.
    bool offered() const { return m_fakeInput != nullptr; }
    // False when the protocol is not offered or the display is gone.
    bool moveTo(double x, double y);

private:
    KWinFakeInput() = default;
    bool roundtrip();
    bool flush();

public:
    // The registry's announcement of one global (for its listener).
    static void onGlobalFor(void* self, wl_registry* registry, uint32_t name, const char* interface, uint32_t version);

private:
    wl_display* m_display{nullptr};
    wl_registry* m_registry{nullptr};
    org_kde_kwin_fake_input* m_fakeInput{nullptr};
};

} // namespace velmora::kde
