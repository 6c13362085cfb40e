#pragma once

#include "platform/ApplicationFinder.h"

#include <map>
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
        uint32_t creatorCode{0};
        std::string icon;
        bool isBundle{true};          // false: a plain file of type 'APPL'
    };
    static constexpr uint32_t kApplicationFileType = 0x4150504C; // 'APPL'

    void install(InstalledApplication application);
    void install(const std::string& path, const std::string& name, const std::string& bundleIdentifier = {}, const std::string& icon = {})
    {
        install(InstalledApplication{path, name, bundleIdentifier, 0, icon, true});
    }
    // A file that is no application bundle, with a file type.
    void addFile(const std::string& path, uint32_t fileType);

    std::optional<std::string> absolutePathForAppBundleWithIdentifier(const std::string& identifier) override;
    std::optional<std::string> fullPathForApplication(const std::string& name) override;
    std::optional<std::string> pathForCreatorCode(uint32_t creator) override;
    std::string displayNameAtPath(const std::string& path) override;
    std::string iconForFile(const std::string& path) override;
    bool isBundleAtPath(const std::string& path) override;
    std::string bundleIdentifierAtPath(const std::string& path) override;
    std::optional<uint32_t> fileTypeAtPath(const std::string& path) override;

    // Lookups by identifier, name or creator code made so far.
    int lookupCount() const { return m_lookupCount; }

private:
    const InstalledApplication* atPath(const std::string& path) const;

    std::vector<InstalledApplication> m_applications;
    std::map<std::string, uint32_t> m_files;
    int m_lookupCount{0};
};

} // namespace velmora::sim
