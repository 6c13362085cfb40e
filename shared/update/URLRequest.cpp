#include "shared/update/URLRequest.h"

#include <strings.h>

namespace velmora {

void URLRequest::setValueForHTTPHeaderField(const std::string& value, const std::string& field)
{
    for (auto& [name, existing] : m_headers) {
        if (strcasecmp(name.c_str(), field.c_str()) == 0) {
            existing = value;
            return;
        }
    }
    m_headers.emplace_back(field, value);
}

std::string URLRequest::valueForHTTPHeaderField(const std::string& field) const
{
    for (const auto& [name, value] : m_headers) {
        if (strcasecmp(name.c_str(), field.c_str()) == 0)
            return value;
    }
    return {};
}

} // namespace velmora
