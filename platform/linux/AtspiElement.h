#pragma once

#include "platform/AccessibleElement.h"
#include "platform/linux/GObjectRef.h"

#include <atspi/atspi.h>

#include <string>
#include <sys/types.h>

namespace velmora::linux_desktop {

// An accessibility element on the AT-SPI bus: an object of an application
// (named by the application's bus name and the object's path), an
// application's root, or the desktop as a whole (the system-wide element).
// Two elements are equal when they name the same object.
class AtspiElement final : public AccessibleElementRef {
public:
    enum class Kind { Object, Application, SystemWide };

    AtspiElement(GObjectRef<AtspiAccessible> accessible, Kind kind);

    static AccessibleElement make(GObjectRef<AtspiAccessible> accessible, Kind kind = Kind::Object);

    AtspiAccessible* accessible() const { return m_accessible.get(); }
    Kind kind() const { return m_kind; }
    // The owning application's unique bus name; "" for the system-wide element.
    const std::string& busName() const { return m_busName; }
    const std::string& path() const { return m_path; }

    // The bus name of any accessible object (its application's connection).
    static std::string busNameOf(AtspiAccessible* accessible);

    // AccessibleElementRef overrides.
    bool isEqual(const AccessibleElementRef& other) const override;
    size_t hash() const override;

    // Live wrappers, so tests can check that nothing leaks.
    static size_t liveCount();
    ~AtspiElement() override;

private:
    GObjectRef<AtspiAccessible> m_accessible;
    Kind m_kind;
    std::string m_busName;
    std::string m_path;
};

} // namespace velmora::linux_desktop
