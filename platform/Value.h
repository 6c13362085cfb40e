#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace velmora {

// A property-list value: what user defaults store and what notification user
// info carries. Booleans, integers and reals are distinct kinds so that a value
// written back keeps the type it was read with.
class Value {
public:
    using Array = std::vector<Value>;
    using Dictionary = std::map<std::string, Value>;
    enum class Type { Null, Boolean, Integer, Real, String, Array, Dictionary };

    Value() = default;
    Value(bool b) : m_data(b) { }
    Value(int i) : m_data(static_cast<int64_t>(i)) { }
    Value(int64_t i) : m_data(i) { }
    Value(double d) : m_data(d) { }
    Value(const char* s) : m_data(std::string(s)) { }
    Value(std::string s) : m_data(std::move(s)) { }
    Value(Array a) : m_data(std::move(a)) { }
    Value(Dictionary d) : m_data(std::move(d)) { }

    Type type() const { return static_cast<Type>(m_data.index()); }
    bool isNull() const { return type() == Type::Null; }
    bool isString() const { return type() == Type::String; }
    bool isArray() const { return type() == Type::Array; }
    bool isDictionary() const { return type() == Type::Dictionary; }
    bool isNumber() const { return type() == Type::Integer || type() == Type::Real || type() == Type::Boolean; }

    // Lenient readers, as user defaults read: a boolean and the integers 0/1
    // read alike; a string "YES"/"true"/"1" reads true. Null or other kinds
    // read as false / 0.
    bool boolValue() const;
    int64_t integerValue() const;
    double doubleValue() const;

    // Strict readers: nothing unless the value is of that kind.
    // Pointers into the value; a temporary cannot hand one out (it would dangle).
    const std::string* string() const& { return std::get_if<std::string>(&m_data); }
    const Array* array() const& { return std::get_if<Array>(&m_data); }
    const Dictionary* dictionary() const& { return std::get_if<Dictionary>(&m_data); }
    Array* array() & { return std::get_if<Array>(&m_data); }
    Dictionary* dictionary() & { return std::get_if<Dictionary>(&m_data); }
    const std::string* string() const&& = delete;
    const Array* array() const&& = delete;
    const Dictionary* dictionary() const&& = delete;

    // The value's text as "%@" would print it; "" for null.
    std::string description() const;

    friend bool operator==(const Value&, const Value&) = default;

private:
    std::variant<std::monostate, bool, int64_t, double, std::string, Array, Dictionary> m_data;
};

// Looks a key up in a dictionary; null when absent.
const Value& valueForKey(const Value::Dictionary& dictionary, const std::string& key);

} // namespace velmora
