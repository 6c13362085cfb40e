#pragma once

#include "platform/ApplicationFinder.h"

#include <string>
#include <vector>

namespace velmora::sim {

// Installed applications of the simulated desktop, as a test lists them.
class SimApplicationFinder final : public ApplicationFinder {
public:
    struct InstalledApplication {
        std::string path;
        std::string name;
        std::string bundleIdentifier; // "" for an application without one
        std::string icon;
    };

    void install(InstalledApplication application);
    void install(const std::string& path, const std::string& name, const std::string& bundleIdentifier = {}, const std::string& icon = {})
    {
        install(InstalledApplication{path, name, bundleIdentifier, icon});
    }

    std::optional<std::string> pathForApplicationWithIdentifier(const std::string& identifier) override;
    std::optional<std::string> fullPathForApplication(const std::string& name) override;
    std::string displayNameAtPath(const std::string& path) override;
    std::string iconForFile(const std::string& path) override;
    bool isApplicationAtPath(const std::string& path) override;
    std::string applicationIdentifierAtPath(const std::string& path) override;

    // Lookups by identifier or name made so far.
    int lookupCount() const { return m_lookupCount; }

private:
    const InstalledApplication* atPath(const std::string& path) const;

    std::vector<InstalledApplication> m_applications;
    int m_lookupCount{0};
};

} // namespace velmora::sim
