#pragma once

#include "platform/NotificationCenter.h"
#include "platform/Value.h"

#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace velmora {

// Record keys and workspace notification names, as the engine reads them.
inline constexpr const char* kApplicationNameKey = "NSApplicationName";
inline constexpr const char* kApplicationProcessIdKey = "NSApplicationProcessIdentifier";
inline constexpr const char* kApplicationIdentifierKey = "NSApplicationBundleIdentifier";
inline constexpr const char* kApplicationPathKey = "NSApplicationPath";

inline constexpr const char* kApplicationLaunchedNotification = "NSWorkspaceDidLaunchApplicationNotification";
inline constexpr const char* kApplicationTerminatedNotification = "NSWorkspaceDidTerminateApplicationNotification";
inline constexpr const char* kScreensDidSleepNotification = "NSWorkspaceScreensDidSleepNotification";
inline constexpr const char* kScreensDidWakeNotification = "NSWorkspaceScreensDidWakeNotification";

// One running application, as the workspace describes it.
struct ApplicationInfo {
    std::string name;
    pid_t pid{0};
    std::optional<std::string> bundleIdentifier; // absent for applications without one
    std::string path;

    // The record form with the keys above; launch and termination
    // notifications carry it as their user info.
    Value::Dictionary record() const;
    // Nothing when the record lacks a name or a process identifier.
    static std::optional<ApplicationInfo> fromRecord(const Value::Dictionary& record);

    friend bool operator==(const ApplicationInfo&, const ApplicationInfo&) = default;
};

class Workspace {
public:
    virtual ~Workspace() = default;

    // The running applications, in the workspace's order.
    virtual std::vector<ApplicationInfo> launchedApplications() = 0;
    // The frontmost application, or nothing.
    virtual std::optional<ApplicationInfo> activeApplication() = 0;

    // Posts launch, termination and screen sleep/wake notifications.
    virtual NotificationCenter& notificationCenter() = 0;

    // Hand a file or address to the desktop's default handler.
    virtual bool openFile(const std::string& path) = 0;
    virtual bool openURL(const std::string& url) = 0;
};

} // namespace velmora
