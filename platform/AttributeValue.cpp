#include "platform/AttributeValue.h"

#include <cstdio>

namespace velmora {

std::optional<bool> AttributeValue::boolValue() const
{
    if (auto b = std::get_if<bool>(&m_data))
        return *b;
    if (auto n = std::get_if<double>(&m_data))
        return *n != 0.0;
    return std::nullopt;
}

std::optional<Point> AttributeValue::pointValue() const
{
    if (auto p = std::get_if<Point>(&m_data))
        return *p;
    return std::nullopt;
}

std::optional<Size> AttributeValue::sizeValue() const
{
    if (auto s = std::get_if<Size>(&m_data))
        return *s;
    return std::nullopt;
}

std::string AttributeValue::description() const
{
    char buffer[96];
    switch (type()) {
    case Type::None:
        return "";
    case Type::String:
        return std::get<std::string>(m_data);
    case Type::Number:
        std::snprintf(buffer, sizeof buffer, "%g", std::get<double>(m_data));
        return buffer;
    case Type::Boolean:
        return std::get<bool>(m_data) ? "1" : "0";
    case Type::Element:
        return "<AXUIElement>";
    case Type::Array:
        return "<array of " + std::to_string(std::get<Array>(m_data).size()) + ">";
    case Type::Point: {
        auto p = std::get<Point>(m_data);
        std::snprintf(buffer, sizeof buffer, "x=%g y=%g", double(p.x), double(p.y));
        return buffer;
    }
    case Type::Size: {
        auto s = std::get<Size>(m_data);
        std::snprintf(buffer, sizeof buffer, "w=%g h=%g", double(s.width), double(s.height));
        return buffer;
    }
    }
    return "";
}

} // namespace velmora
