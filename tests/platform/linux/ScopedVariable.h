#pragma once

#include <glib.h>

#include <optional>
#include <string>

namespace velmora::linux_desktop::testing {

// Sets an environment variable (nullptr: unsets it) for this process and the
// programs it starts while it lives, then puts back what was there.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const char* value) : m_name(name)
    {
        if (const char* old = g_getenv(name))
            m_old = old;
        set(name, value);
    }
    ~ScopedVariable() { set(m_name.c_str(), m_old ? m_old->c_str() : nullptr); }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    static void set(const char* name, const char* value)
    {
        if (value)
            g_setenv(name, value, TRUE);
        else
            g_unsetenv(name);
    }

    std::string m_name;
    std::optional<std::string> m_old;
};

} // namespace velmora::linux_desktop::testing
