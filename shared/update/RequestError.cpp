#include "shared/update/RequestError.h"

#include <utility>

namespace velmora {

RequestError::RequestError(std::string domain, long code, std::string localizedDescription, std::string localizedFailureReason)
    : m_domain(std::move(domain))
    , m_code(code)
    , m_localizedDescription(std::move(localizedDescription))
    , m_localizedFailureReason(std::move(localizedFailureReason))
{
}

std::string RequestError::description() const
{
    std::string text = "Error Domain=" + m_domain + " Code=" + std::to_string(m_code) + " \"" + m_localizedDescription + "\"";
    if (!m_localizedFailureReason.empty())
        text += " (" + m_localizedFailureReason + ")";
    return text;
}

} // namespace velmora
