#pragma once

#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace velmora {

struct ProcessRecord {
    pid_t pid{0};
    std::string name;  // the process's program name
    std::string path;  // its executable, "" when unknown
};

// The processes of the user's session.
class ProcessManager {
public:
    virtual ~ProcessManager() = default;
    // Every running process, in the system's order.
    virtual std::vector<ProcessRecord> processes() = 0;
    // Asks a process to quit without waiting for it; false if it could not be asked.
    virtual bool sendQuit(pid_t pid) = 0;
    // Whether the process still runs (an application's accessibility may
    // outlive its process for a moment).
    virtual bool isRunning(pid_t pid)
    {
        for (const ProcessRecord& record : processes()) {
            if (record.pid == pid)
                return true;
        }
        return false;
    }
};

inline constexpr const char* kWillTerminateNotification = "NSApplicationWillTerminateNotification";
// Posted on the local centre when this program stops being the active one.
inline constexpr const char* kWillResignActiveNotification = "NSApplicationWillResignActiveNotification";

// This program as the desktop sees it.
class Application {
public:
    virtual ~Application() = default;
    // The executable this program was started from.
    virtual std::string programPath() = 0;
    // Whether anything exists at a path.
    virtual bool fileExists(const std::string& path) = 0;
    // Orderly termination: posts the will-terminate notification on the
    // local centre, then stops the run loop.
    virtual void terminate() = 0;
};

} // namespace velmora
