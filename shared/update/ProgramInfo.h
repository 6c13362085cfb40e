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
    static constexpr const char* kAgentInfoName = "VelmoraBG";
    static constexpr const char* kPaneInfoName = "Velmora";

    static constexpr const char* kNameKey = "CFBundleName";
    static constexpr const char* kIdentifierKey = "CFBundleIdentifier";
    static constexpr const char* kVersionKey = "CFBundleVersion";
    static constexpr const char* kShortVersionKey = "CFBundleShortVersionString";
    static constexpr const char* kSettingsIconLabelKey = "NSPrefPaneIconLabel";
    static constexpr const char* kFeedbackURLKey = "HXFeedbackURL";
    // The vendor's web server, "host" or "host:port", for the appcast address.
    static constexpr const char* kUpdateHostKey = "VLUpdateHost";

    static constexpr const char* kAppcastPath = "/velmora/download/assets/VelmoraAppcast.xml";

    ProgramInfo() = default;
    explicit ProgramInfo(Value::Dictionary infoDictionary) : m_infoDictionary(std::move(infoDictionary)) { }

    // The version of this build: the project's, compiled in. The pane, the
    // agent, the feedback form and the update checks all take it from here,
    // so a stale or edited information file cannot make them disagree.
    static std::string buildVersion();

    // The named program's values from the resource directory, with both
    // version keys set to buildVersion(); other values read "" when the file
    // is missing or unreadable.
    static ProgramInfo named(const std::string& programName);
    static ProgramInfo agent() { return named(kAgentInfoName); }
    static ProgramInfo pane() { return named(kPaneInfoName); }

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
