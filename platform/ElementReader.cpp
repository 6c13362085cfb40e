#include "platform/ElementReader.h"

#include <algorithm>
#include <optional>
#include <type_traits>

namespace velmora {

namespace {

// The value in the kind `convert` makes of it; Unsupported when it makes none.
template<typename Convert>
auto typed(ErrorOr<AttributeValue> value, Convert convert) -> ErrorOr<typename std::invoke_result_t<Convert, const AttributeValue&>::value_type>
{
    if (value.isError())
        return value.error();
    auto converted = convert(value.value());
    if (!converted)
        return ReadError::Unsupported;
    return std::move(*converted);
}

std::optional<AccessibleElement> nonEmptyElement(const AttributeValue& value)
{
    AccessibleElement element = value.elementValue();
    return element ? std::optional<AccessibleElement>(std::move(element)) : std::nullopt;
}

} // namespace

ErrorOr<AccessibleElement> ElementReader::application(pid_t pid)
{
    AccessibleElement app = m_accessibility.createApplication(pid);
    if (!app)
        return ReadError::Gone;
    return app;
}

ErrorOr<AttributeValue> ElementReader::advertisedValue(const AccessibleElement& element, const std::string& attribute)
{
    if (!element)
        return ReadError::Gone;
    std::vector<std::string> names;
    if (AccessibilityError error = m_accessibility.copyAttributeNames(element, names); error != AccessibilityError::Success)
        return readErrorFrom(error);
    if (std::find(names.begin(), names.end(), attribute) == names.end())
        return ReadError::Unsupported;
    return copiedValue(element, attribute);
}

ErrorOr<AttributeValue> ElementReader::copiedValue(const AccessibleElement& element, const std::string& attribute)
{
    if (!element)
        return ReadError::Gone;
    AttributeValue value;
    if (AccessibilityError error = m_accessibility.copyAttributeValue(element, attribute, value); error != AccessibilityError::Success)
        return readErrorFrom(error);
    return value;
}

ErrorOr<std::string> ElementReader::text(const AccessibleElement& element, const std::string& attribute)
{
    ErrorOr<AttributeValue> value = copiedValue(element, attribute);
    if (value.isError())
        return value.error();
    return value.value().description();
}

ErrorOr<std::string> ElementReader::subrole(const AccessibleElement& element)
{
    return typed(advertisedValue(element, "AXSubrole"),
        [](const AttributeValue& value) { return value.string() ? std::optional<std::string>(*value.string()) : std::nullopt; });
}

ErrorOr<Point> ElementReader::position(const AccessibleElement& element)
{
    return typed(advertisedValue(element, "AXPosition"), [](const AttributeValue& value) { return value.pointValue(); });
}

ErrorOr<Size> ElementReader::size(const AccessibleElement& element)
{
    return typed(advertisedValue(element, "AXSize"), [](const AttributeValue& value) { return value.sizeValue(); });
}

ErrorOr<bool> ElementReader::flag(const AccessibleElement& element, const std::string& attribute)
{
    return typed(advertisedValue(element, attribute), [](const AttributeValue& value) { return value.boolValue(); });
}

ErrorOr<AccessibleElement> ElementReader::element(const AccessibleElement& element, const std::string& attribute)
{
    return typed(advertisedValue(element, attribute), nonEmptyElement);
}

ErrorOr<AccessibleElement> ElementReader::parent(const AccessibleElement& element)
{
    return typed(copiedValue(element, "AXParent"), nonEmptyElement);
}

ErrorOr<std::vector<AccessibleElement>> ElementReader::elementList(const AccessibleElement& element, const std::string& attribute)
{
    ErrorOr<AttributeValue> value = copiedValue(element, attribute);
    if (value.isError())
        return value.error();
    const AttributeValue::Array* items = value.value().array();
    // Only the first entry's kind is tested, as callers have always relied on.
    if (!items || items->empty() || !(*items)[0].element())
        return ReadError::Unsupported;
    std::vector<AccessibleElement> result;
    result.reserve(items->size());
    for (const AttributeValue& item : *items)
        result.push_back(item.elementValue()); // keeps positions; an empty handle matches nothing
    return result;
}

ErrorOr<AccessibleElement> ElementReader::elementAt(Point point)
{
    const Point pixel = wholePixels(point);
    AccessibleElement systemWide = m_accessibility.createSystemWide();
    if (!systemWide)
        return ReadError::Unsupported;
    AccessibleElement result;
    AccessibilityError error = m_accessibility.copyElementAtPosition(systemWide, pixel.x, pixel.y, result);
    if (error != AccessibilityError::Success)
        return readErrorFrom(error);
    if (!result)
        return ReadError::Unsupported;
    return result;
}

ErrorOr<pid_t> ElementReader::pidOf(const AccessibleElement& element)
{
    if (!element)
        return ReadError::Gone;
    pid_t pid = -1;
    if (AccessibilityError error = m_accessibility.getPid(element, pid); error != AccessibilityError::Success)
        return readErrorFrom(error);
    if (pid <= 0)
        return ReadError::Gone;
    return pid;
}

ErrorOr<pid_t> ElementReader::frontmostPid()
{
    ErrorOr<AttributeValue> app = copiedValue(m_accessibility.createSystemWide(), "AXFocusedApplication");
    if (app.isError())
        return app.error();
    AccessibleElement element = app.value().elementValue();
    if (!element)
        return ReadError::Unsupported;
    pid_t pid = -1;
    if (AccessibilityError error = m_accessibility.getPid(element, pid); error != AccessibilityError::Success)
        return readErrorFrom(error);
    return pid;
}

} // namespace velmora
