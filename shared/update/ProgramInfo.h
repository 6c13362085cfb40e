#pragma once

#include "platform/Value.h"

#include <optional>
#include <string>

namespace velmora {

// A program's information values (name, identifier, feed host, feedback
// address), read at run time from "<name>-Info.plist" in the resource
// directory, so a packager or a test can change them without rebuilding.
// The versions are the build's own (buildVersion()) whatever a file says.
class ProgramInfo {
public:
    static constexpr const char* kAgentBundle = "VelmoraBG";
    static constexpr const char* kPaneBundle = "Velmora";

    static constexpr const char* kCFBundleName = "CFBundleName";
    static constexpr const char* kCFBundleIdentifier = "CFBundleIdentifier";
    static constexpr const char* kCFBundleVersion = "CFBundleVersion";
    static constexpr const char* kCFBundleShortVersionString = "CFBundleShortVersionString";
    static constexpr const char* kSettingsIconLabelKey = "NSPrefPaneIconLabel";
    static constexpr const char* kHXFeedbackURL = "HXFeedbackURL";
    // The vendor's web server, "host" or "host:port", for the appcast address.
    static constexpr const char* kVLUpdateHost = "VLUpdateHost";

    static constexpr const char* kAppcastPath = "/velmora/download/assets/VelmoraAppcast.xml";

    ProgramInfo() = default;
    explicit ProgramInfo(Value::Dictionary infoDictionary) : m_infoDictionary(std::move(infoDictionary)) { }

    // The version of this build: the project's, compiled in. The pane, the
    // agent, the feedback form and the update checks all take it from here,
    // so a stale or edited information file cannot make them disagree.
    static std::string buildVersion();

    // The named bundle's values from the resource directory, with both
    // version keys set to buildVersion(); other values read "" when the file
    // is missing or unreadable.
    static ProgramInfo named(const std::string& bundleName);
    static ProgramInfo agent() { return named(kAgentBundle); }
    static ProgramInfo pane() { return named(kPaneBundle); }

    // $VELMORA_RESOURCES when set; else the installed share/velmora when it
    // holds the agent's information file; else the source tree's resources/.
    static std::string resourceDirectory();

    const Value::Dictionary& infoDictionary() const { return m_infoDictionary; }
    // "" unless the key holds a string.
    std::string objectForInfoDictionaryKey(const std::string& key) const;

    // "https://<VLUpdateHost>/velmora/download/assets/VelmoraAppcast.xml";
    // "" when no host is given.
    std::string appcastURL() const;

private:
    Value::Dictionary m_infoDictionary;
};

} // namespace velmora
