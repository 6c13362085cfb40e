#include "platform/ElementReader.h"

#include <algorithm>
#include <optional>
#include <type_traits>

namespace velmora {

namespace {

// The value in the kind `convert` makes of it; Unsupported when it makes none.
template<typename Convert>
auto typed(ErrorOr<AXValue> value, Convert convert) -> ErrorOr<typename std::invoke_result_t<Convert, const AXValue&>::value_type>
{
    if (value.isError())
        return value.error();
    auto converted = convert(value.value());
    if (!converted)
        return ReadError::Unsupported;
    return std::move(*converted);
}

std::optional<AXElement> nonEmptyElement(const AXValue& value)
{
    AXElement element = value.elementValue();
    return element ? std::optional<AXElement>(std::move(element)) : std::nullopt;
}

} // namespace

ErrorOr<AXElement> ElementReader::application(pid_t pid)
{
    AXElement app = m_accessibility.createApplication(pid);
    if (!app)
        return ReadError::Gone;
    return app;
}

ErrorOr<AXValue> ElementReader::advertisedValue(const AXElement& element, const std::string& attribute)
{
    if (!element)
        return ReadError::Gone;
    std::vector<std::string> names;
    if (AXError error = m_accessibility.copyAttributeNames(element, names); error != AXError::Success)
        return readErrorFrom(error);
    if (std::find(names.begin(), names.end(), attribute) == names.end())
        return ReadError::Unsupported;
    return copiedValue(element, attribute);
}

ErrorOr<AXValue> ElementReader::copiedValue(const AXElement& element, const std::string& attribute)
{
    if (!element)
        return ReadError::Gone;
    AXValue value;
    if (AXError error = m_accessibility.copyAttributeValue(element, attribute, value); error != AXError::Success)
        return readErrorFrom(error);
    return value;
}

ErrorOr<std::string> ElementReader::text(const AXElement& element, const std::string& attribute)
{
    ErrorOr<AXValue> value = copiedValue(element, attribute);
    if (value.isError())
        return value.error();
    return value.value().description();
}

ErrorOr<std::string> ElementReader::subrole(const AXElement& element)
{
    return typed(advertisedValue(element, "AXSubrole"),
        [](const AXValue& value) { return value.string() ? std::optional<std::string>(*value.string()) : std::nullopt; });
}

ErrorOr<CGPoint> ElementReader::position(const AXElement& element)
{
    return typed(advertisedValue(element, "AXPosition"), [](const AXValue& value) { return value.pointValue(); });
}

ErrorOr<CGSize> ElementReader::size(const AXElement& element)
{
    return typed(advertisedValue(element, "AXSize"), [](const AXValue& value) { return value.sizeValue(); });
}

ErrorOr<bool> ElementReader::flag(const AXElement& element, const std::string& attribute)
{
    return typed(advertisedValue(element, attribute), [](const AXValue& value) { return value.boolValue(); });
}

ErrorOr<AXElement> ElementReader::element(const AXElement& element, const std::string& attribute)
{
    return typed(advertisedValue(element, attribute), nonEmptyElement);
}

ErrorOr<AXElement> ElementReader::parent(const AXElement& element)
{
    return typed(copiedValue(element, "AXParent"), nonEmptyElement);
}

ErrorOr<std::vector<AXElement>> ElementReader::elementList(const AXElement& element, const std::string& attribute)
{
    ErrorOr<AXValue> value = copiedValue(element, attribute);
    if (value.isError())
        return value.error();
    const AXValue::Array* items = value.value().array();
    // Only the first entry's kind is tested, as callers have always relied on.
    if (!items || items->empty() || !(*items)[0].element())
        return ReadError::Unsupported;
    std::vector<AXElement> result;
    result.reserve(items->size());
    for (const AXValue& item : *items)
        result.push_back(item.elementValue()); // keeps positions; an empty handle matches nothing
    return result;
}

ErrorOr<AXElement> ElementReader::elementAt(CarbonPoint point)
{
    AXElement systemWide = m_accessibility.createSystemWide();
    if (!systemWide)
        return ReadError::Unsupported;
    AXElement result;
    AXError error = m_accessibility.copyElementAtPosition(systemWide, static_cast<float>(point.h), static_cast<float>(point.v), result);
    if (error != AXError::Success)
        return readErrorFrom(error);
    if (!result)
        return ReadError::Unsupported;
    return result;
}

ErrorOr<pid_t> ElementReader::pidOf(const AXElement& element)
{
    if (!element)
        return ReadError::Gone;
    pid_t pid = -1;
    if (AXError error = m_accessibility.getPid(element, pid); error != AXError::Success)
        return readErrorFrom(error);
    if (pid <= 0)
        return ReadError::Gone;
    return pid;
}

ErrorOr<pid_t> ElementReader::frontmostPid()
{
    ErrorOr<AXValue> app = copiedValue(m_accessibility.createSystemWide(), "AXFocusedApplication");
    if (app.isError())
        return app.error();
    AXElement element = app.value().elementValue();
    if (!element)
        return ReadError::Unsupported;
    pid_t pid = -1;
    if (AXError error = m_accessibility.getPid(element, pid); error != AXError::Success)
        return readErrorFrom(error);
    return pid;
}

} // namespace velmora
