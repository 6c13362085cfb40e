#pragma once

#include "platform/SettingsStore.h"

#include <map>

namespace velmora::sim {

// Preference domains held in memory. One store shared by two SimDesktops
// stands for the per-user store that an agent and a pane both reach.
class MemorySettingsStore final : public SettingsStore {
public:
    // SettingsStore overrides.
    std::optional<Value::Dictionary> read(const std::string& domain) override;
    // Nothing can interleave in one thread, so the change sees the latest
    // contents. Fails, storing nothing, while writes are set to fail.
    bool update(const std::string& domain, const Change& change) override;

    // A full disk or a read-only home, for failure paths.
    void setWritesFail(bool fail) { m_writesFail = fail; }
    // Updates that stored something.
    int writeCount() const { return m_writeCount; }

private:
    std::map<std::string, Value::Dictionary> m_domains;
    bool m_writesFail{false};
    int m_writeCount{0};
};

} // namespace velmora::sim
