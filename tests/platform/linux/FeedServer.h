#pragma once

// The update server of the end-to-end tests (hostile-feed-server.py) on
// 127.0.0.1, https with a certificate of its own beside a cleartext twin,
// for as long as the object lives.

#include "platform/linux/GErrorPtr.h"

#include <gtest/gtest.h>

#include <glib.h>

#include <cstdio>
#include <filesystem>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace velmora::linux_desktop::testing {

class FeedServer {
public:
    static constexpr int kStartMs = 60000; // python and openssl on a busy machine

    // Serves from `folder` (which it logs cleartext requests into). Check
    // isReady() before use: a failure is reported to the running test.
    explicit FeedServer(const std::filesystem::path& folder)
    {
        const std::string where = folder.string();
        const gchar* argv[] = {"timeout", "150", DESKTOP_TESTS_DIR "/hostile-feed-server.py", where.c_str(), nullptr};
        int out = -1;
        GErrorPtr error;
        if (!g_spawn_async_with_pipes(nullptr, const_cast<gchar**>(argv), nullptr, G_SPAWN_SEARCH_PATH, nullptr, nullptr, &m_pid,
                &m_input, &out, nullptr, error.out())) {
            ADD_FAILURE() << "the feed server did not start: " << error.message();
            return;
        }
        // "ready TLS_PORT CLEARTEXT_PORT CERTIFICATE_FILE\n"
        std::string line;
        const gint64 deadline = g_get_monotonic_time() + kStartMs * 1000LL;
        while (line.find('\n') == std::string::npos && g_get_monotonic_time() < deadline) {
            pollfd p{out, POLLIN, 0};
            if (poll(&p, 1, 200) <= 0)
                continue;
            char buffer[256];
            ssize_t n = read(out, buffer, sizeof buffer);
            if (n <= 0)
                break;
            line.append(buffer, static_cast<size_t>(n));
        }
        close(out);
        char certificate[512] = {};
        m_ready = std::sscanf(line.c_str(), "ready %d %d %511s", &m_tlsPort, &m_cleartextPort, certificate) == 3;
        if (!m_ready)
            ADD_FAILURE() << "the feed server did not start: \"" << line << "\"";
        m_certificate = certificate;
    }
    ~FeedServer()
    {
        // Closing its input ends the server; `timeout` ends it in any case.
        if (m_input >= 0)
            close(m_input);
        if (m_pid > 0)
            waitpid(m_pid, nullptr, 0);
    }
    FeedServer(const FeedServer&) = delete;
    FeedServer& operator=(const FeedServer&) = delete;

    bool isReady() const { return m_ready; }
    std::string tlsHost() const { return "127.0.0.1:" + std::to_string(m_tlsPort); }
    std::string cleartextHost() const { return "127.0.0.1:" + std::to_string(m_cleartextPort); }
    // What makes the programs trust the server's certificate.
    const std::string& certificate() const { return m_certificate; }

private:
    GPid m_pid{0};
    int m_input{-1};
    bool m_ready{false};
    int m_tlsPort{0};
    int m_cleartextPort{0};
    std::string m_certificate;
};

} // namespace velmora::linux_desktop::testing
