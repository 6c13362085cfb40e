#pragma once

#include "platform/NotificationCenter.h"
#include "platform/ProcessManager.h"

#include <set>
#include <string>

namespace velmora::sim {

class SimRunLoop;

// This program on the simulated desktop: where it was started from, which
// files exist, and its orderly termination.
class SimApplication final : public Application {
public:
    // Where the program is taken to be started from unless told otherwise.
    static constexpr const char* kDefaultProgramPath = "/usr/lib/velmora/VelmoraBG";

    SimApplication(NotificationCenter& localCenter, SimRunLoop& runLoop);

    // Application overrides.
    std::string programPath() override { return m_programPath; }
    // True for a file added, and for any folder above one.
    bool fileExists(const std::string& path) override;
    void terminate() override;

    // The program's own path exists from the start, as it does for a program
    // that is running; remove it to simulate a moved program.
    void setProgramPath(const std::string& path);
    void addFile(const std::string& path) { m_files.insert(path); }
    void removeFile(const std::string& path) { m_files.erase(path); }
    bool terminated() const { return m_terminated; }

private:
    NotificationCenter& m_localCenter; // not owned
    SimRunLoop& m_runLoop;             // not owned
    std::string m_programPath;
    std::set<std::string> m_files;
    bool m_terminated{false};
};

} // namespace velmora::sim
