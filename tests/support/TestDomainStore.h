#pragma once

#include "platform/PersistentDomainStore.h"

#include <map>

namespace velmora::test {

// The "disk" behind a simulated desktop's user defaults, which a test can
// read and write directly, as another process (the pane, the system) would.
class TestDomainStore final : public PersistentDomainStore {
public:
    std::optional<Value::Dictionary> read(const std::string& domain) override
    {
        auto it = m_domains.find(domain);
        if (it == m_domains.end())
            return std::nullopt;
        return it->second;
    }

    bool update(const std::string& domain, const Change& change) override
    {
        auto contents = read(domain);
        if (!change(contents))
            return false;
        if (contents)
            m_domains[domain] = std::move(*contents);
        else
            m_domains.erase(domain);
        ++m_writes;
        return true;
    }

    // Sets one key of a domain, creating the domain if needed.
    void write(const std::string& domain, const std::string& key, Value value)
    {
        update(domain, [&](std::optional<Value::Dictionary>& contents) {
            if (!contents)
                contents.emplace();
            (*contents)[key] = std::move(value);
            return true;
        });
    }

    // One key of a domain as stored; null when absent.
    Value value(const std::string& domain, const std::string& key)
    {
        auto contents = read(domain);
        return contents ? valueForKey(*contents, key) : Value();
    }

    int writeCount() const { return m_writes; }

private:
    std::map<std::string, Value::Dictionary> m_domains;
    int m_writes{0};
};

} // namespace velmora::test
