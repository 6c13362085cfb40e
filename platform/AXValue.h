#pragma once

#include "platform/AXElement.h"
#include "platform/Geometry.h"

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace velmora {

// An accessibility attribute value: string, number, boolean, element, array,
// or a packed point or size.
class AXValue {
public:
    using Array = std::vector<AXValue>;
    enum class Type { None, String, Number, Boolean, Element, Array, Point, Size };

    AXValue() = default;
    AXValue(const char* s) : m_data(std::string(s)) { }
    AXValue(std::string s) : m_data(std::move(s)) { }
    AXValue(double n) : m_data(n) { }
    AXValue(int n) : m_data(static_cast<double>(n)) { }
    AXValue(bool b) : m_data(b) { }
    AXValue(AXElement e) : m_data(std::move(e)) { }
    AXValue(Array a) : m_data(std::move(a)) { }
    AXValue(CGPoint p) : m_data(p) { }
    AXValue(CGSize s) : m_data(s) { }

    Type type() const { return static_cast<Type>(m_data.index()); }
    bool isNone() const { return type() == Type::None; }

    // Pointers into the value: asking a temporary for one would dangle, so
    // that does not compile.
    const std::string* string() const& { return std::get_if<std::string>(&m_data); }
    const AXElement* element() const& { return std::get_if<AXElement>(&m_data); }
    const Array* array() const& { return std::get_if<Array>(&m_data); }
    const std::string* string() const&& = delete;
    const AXElement* element() const&& = delete;
    const Array* array() const&& = delete;

    // The element, or an empty handle when the value is none.
    AXElement elementValue() const
    {
        const AXElement* e = std::get_if<AXElement>(&m_data);
        return e ? *e : AXElement();
    }

    // A boolean or a number, read as a truth value; nothing for other kinds.
    std::optional<bool> boolValue() const;
    // The unpacking of a packed geometry value: nothing unless it is of that kind.
    std::optional<CGPoint> pointValue() const;
    std::optional<CGSize> sizeValue() const;

    // The value's text as "%@" prints it; "" for no value.
    std::string description() const;

    friend bool operator==(const AXValue&, const AXValue&) = default;

private:
    std::variant<std::monostate, std::string, double, bool, AXElement, Array, CGPoint, CGSize> m_data;
};

} // namespace velmora
