#include "platform/Value.h"

#include <cstdio>
#include <cstdlib>
#include <strings.h>

namespace velmora {

bool Value::boolValue() const
{
    switch (type()) {
    case Type::Boolean:
        return std::get<bool>(m_data);
    case Type::Integer:
        return std::get<int64_t>(m_data) != 0;
    case Type::Real:
        return std::get<double>(m_data) != 0.0;
    case Type::String: {
        const auto& s = std::get<std::string>(m_data);
        return strcasecmp(s.c_str(), "yes") == 0 || strcasecmp(s.c_str(), "true") == 0 || std::atoll(s.c_str()) != 0;
    }
    default:
        return false;
    }
}

int64_t Value::integerValue() const
{
    switch (type()) {
    case Type::Boolean:
        return std::get<bool>(m_data) ? 1 : 0;
    case Type::Integer:
        return std::get<int64_t>(m_data);
    case Type::Real:
        return static_cast<int64_t>(std::get<double>(m_data));
    case Type::String:
        return std::atoll(std::get<std::string>(m_data).c_str());
    default:
        return 0;
    }
}

double Value::doubleValue() const
{
    switch (type()) {
    case Type::Boolean:
        return std::get<bool>(m_data) ? 1.0 : 0.0;
    case Type::Integer:
        return static_cast<double>(std::get<int64_t>(m_data));
    case Type::Real:
        return std::get<double>(m_data);
    case Type::String:
        return std::atof(std::get<std::string>(m_data).c_str());
    default:
        return 0.0;
    }
}

std::string Value::description() const
{
    switch (type()) {
    case Type::Null:
        return "";
    case Type::Boolean:
        return std::get<bool>(m_data) ? "1" : "0";
    case Type::Integer:
        return std::to_string(std::get<int64_t>(m_data));
    case Type::Real: {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%g", std::get<double>(m_data));
        return buffer;
    }
    case Type::String:
        return std::get<std::string>(m_data);
    case Type::Array: {
        std::string out = "(";
        const auto& items = std::get<Array>(m_data);
        for (size_t i = 0; i < items.size(); ++i)
            out += (i ? ", " : "") + items[i].description();
        return out + ")";
    }
    case Type::Dictionary: {
        std::string out = "{";
        for (const auto& [key, value] : std::get<Dictionary>(m_data))
            out += key + " = " + value.description() + "; ";
        return out + "}";
    }
    }
    return "";
}

const Value& valueForKey(const Value::Dictionary& dictionary, const std::string& key)
{
    static const Value null;
    auto it = dictionary.find(key);
    return it == dictionary.end() ? null : it->second;
}

} // namespace velmora
