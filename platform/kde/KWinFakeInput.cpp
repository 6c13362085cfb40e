#include "platform/kde/KWinFakeInput.h"

#include "fake-input-client-protocol.h"

#include <wayland-client.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <poll.h>

namespace velmora::kde {

namespace {

// Absolute moves came with version 3.
constexpr uint32_t kVersion = 3;

const wl_registry_listener kRegistryListener = {
    [](void* self, wl_registry* registry, uint32_t name, const char* interface, uint32_t version) {
        KWinFakeInput::onGlobalFor(self, registry, name, interface, version);
    },
    [](void*, wl_registry*, uint32_t) { },
};

int remainingMs(std::chrono::steady_clock::time_point deadline)
{
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

} // namespace

// static
std::unique_ptr<KWinFakeInput> KWinFakeInput::connect(std::string& error)
{
    std::unique_ptr<KWinFakeInput> input(new KWinFakeInput);
    input->m_display = wl_display_connect(nullptr);
    if (!input->m_display) {
        error = "no Wayland display to connect to";
        return nullptr;
    }
    input->m_registry = wl_display_get_registry(input->m_display);
    wl_registry_add_listener(input->m_registry, &kRegistryListener, input.get());
    // Its answer comes after the registry's last global.
    input->m_listing = wl_display_sync(input->m_display);
    static const wl_callback_listener listener = {
        [](void* self, wl_callback*, uint32_t) {
            auto* fake = static_cast<KWinFakeInput*>(self);
            fake->m_listed = true;
            if (fake->m_fakeInput) {
                org_kde_kwin_fake_input_authenticate(fake->m_fakeInput, "Velmora",
                                                     "Puts the pointer on the button that answers a new dialog");
            }
        },
    };
    wl_callback_add_listener(input->m_listing, &listener, input.get());
    if (!input->flush()) {
        error = "the compositor does not take requests";
        return nullptr;
    }
    return input;
}

KWinFakeInput::~KWinFakeInput()
{
    if (m_listing)
        wl_callback_destroy(m_listing);
    if (m_fakeInput)
        org_kde_kwin_fake_input_destroy(m_fakeInput);
    if (m_registry)
        wl_registry_destroy(m_registry);
    if (m_display)
        wl_display_disconnect(m_display);
}

void KWinFakeInput::onGlobalFor(void* self, wl_registry* registry, uint32_t name, const char* interface,
                                uint32_t version)
{
    auto* input = static_cast<KWinFakeInput*>(self);
    if (std::strcmp(interface, org_kde_kwin_fake_input_interface.name) != 0 || version < kVersion || input->m_fakeInput)
        return;
    input->m_fakeInput = static_cast<org_kde_kwin_fake_input*>(
        wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, kVersion));
}

bool KWinFakeInput::moveTo(double x, double y)
{
    if (!m_listed || !m_fakeInput)
        return false;
    org_kde_kwin_fake_input_pointer_motion_absolute(m_fakeInput, wl_fixed_from_double(x), wl_fixed_from_double(y));
    return flush();
}

bool KWinFakeInput::flush()
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kTimeoutMs);
    while (wl_display_flush(m_display) < 0) {
        if (errno != EAGAIN)
            return false;
        pollfd fd{wl_display_get_fd(m_display), POLLOUT, 0};
        if (poll(&fd, 1, remainingMs(deadline)) <= 0)
            return false;
    }
    return true;
}

// Reads the compositor's answers, as wl_display_roundtrip() would, but never
// longer than the budget: a hung compositor must not hold the agent.
bool KWinFakeInput::waitUntilListed(int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    bool ok = true;
    while (ok && !m_listed) {
        if (wl_display_prepare_read(m_display) != 0) {
            ok = wl_display_dispatch_pending(m_display) >= 0;
            continue;
        }
        pollfd fd{wl_display_get_fd(m_display), POLLIN, 0};
        if (poll(&fd, 1, remainingMs(deadline)) <= 0) {
            wl_display_cancel_read(m_display);
            return false;
        }
        ok = wl_display_read_events(m_display) >= 0 && wl_display_dispatch_pending(m_display) >= 0;
    }
    if (m_listed && m_listing) {
        wl_callback_destroy(m_listing);
        m_listing = nullptr;
        ok = flush() && ok; // the authentication
    }
    return ok && m_listed;
}

} // namespace velmora::kde
