#pragma once

#include "platform/ReadError.h"

#include <cassert>
#include <utility>
#include <variant>

namespace velmora {

// A value or the reason there is none. Reads return it instead of an empty
// value plus an out-parameter, so a caller cannot mistake "the application
// did not answer" for "the attribute is absent" without saying so
// (valueOr() is that saying).
template<typename T, typename E = ReadError>
class [[nodiscard]] ErrorOr {
public:
    using ValueType = T;

    ErrorOr(T value) : m_data(std::in_place_index<0>, std::move(value)) { }
    ErrorOr(E error) : m_data(std::in_place_index<1>, error) { }

    bool isError() const { return m_data.index() == 1; }
    bool hasValue() const { return m_data.index() == 0; }
    // Only for an ErrorOr that has a value / an error; asserted.
    const T& value() const&
    {
        assert(hasValue());
        return std::get<0>(m_data);
    }
    T release() &&
    {
        assert(hasValue());
        return std::move(std::get<0>(m_data));
    }
    E error() const
    {
        assert(isError());
        return std::get<1>(m_data);
    }
    bool isError(E error) const { return isError() && std::get<1>(m_data) == error; }

    // The value, or `fallback` whatever the error was.
    T valueOr(T fallback) const& { return hasValue() ? std::get<0>(m_data) : std::move(fallback); }

private:
    std::variant<T, E> m_data;
};

} // namespace velmora
