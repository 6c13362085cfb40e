#pragma once

#include <string>

namespace velmora {

// A failure as a value: a domain, a code and two texts for people. Errors are
// delivered to delegates, never thrown.
class RequestError {
public:
    RequestError(std::string domain, long code, std::string localizedDescription, std::string localizedFailureReason = {});

    const std::string& domain() const { return m_domain; }
    long code() const { return m_code; }
    const std::string& localizedDescription() const { return m_localizedDescription; }
    // "" when the error gives no reason.
    const std::string& localizedFailureReason() const { return m_localizedFailureReason; }

    // Everything in one line, for the log: Error Domain=D Code=C "description" (reason).
    std::string description() const;

private:
    std::string m_domain;
    long m_code{0};
    std::string m_localizedDescription;
    std::string m_localizedFailureReason;
};

} // namespace velmora
