#pragma once

#include "platform/AccessibleElement.h"
#include "platform/Geometry.h"

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace velmora {

// An accessibility attribute value: string, number, boolean, element, array,
// or a packed point or size.
class AttributeValue {
public:
    using Array = std::vector<AttributeValue>;
    enum class Type { None, String, Number, Boolean, Element, Array, Point, Size };

    AttributeValue() = default;
    AttributeValue(const char* s) : m_data(std::string(s)) { }
    AttributeValue(std::string s) : m_data(std::move(s)) { }
    AttributeValue(double n) : m_data(n) { }
    AttributeValue(int n) : m_data(static_cast<double>(n)) { }
    AttributeValue(bool b) : m_data(b) { }
    AttributeValue(AccessibleElement e) : m_data(std::move(e)) { }
    AttributeValue(Array a) : m_data(std::move(a)) { }
    AttributeValue(Point p) : m_data(p) { }
    AttributeValue(Size s) : m_data(s) { }

    Type type() const { return static_cast<Type>(m_data.index()); }
    bool isNone() const { return type() == Type::None; }

    // Pointers into the value: asking a temporary for one would dangle, so
    // that does not compile.
    const std::string* string() const& { return std::get_if<std::string>(&m_data); }
    const AccessibleElement* element() const& { return std::get_if<AccessibleElement>(&m_data); }
    const Array* array() const& { return std::get_if<Array>(&m_data); }
    const std::string* string() const&& = delete;
    const AccessibleElement* element() const&& = delete;
    const Array* array() const&& = delete;

    // The element, or an empty handle when the value is none.
    AccessibleElement elementValue() const
    {
        const AccessibleElement* e = std::get_if<AccessibleElement>(&m_data);
        return e ? *e : AccessibleElement();
    }

    // A boolean or a number, read as a truth value; nothing for other kinds.
    std::optional<bool> boolValue() const;
    // The unpacking of a packed geometry value: nothing unless it is of that kind.
    std::optional<Point> pointValue() const;
    std::optional<Size> sizeValue() const;

    // The value's text as "%@" prints it; "" for no value.
    std::string description() const;

    friend bool operator==(const AttributeValue&, const AttributeValue&) = default;

private:
    std::variant<std::monostate, std::string, double, bool, AccessibleElement, Array, Point, Size> m_data;
};

} // namespace velmora
