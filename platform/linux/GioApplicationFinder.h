#pragma once

#include "platform/ApplicationFinder.h"

#include <memory>

namespace velmora::linux_desktop {

// Installed applications as the desktop entries GIO knows
// ($XDG_DATA_HOME/applications and the system's data folders). An
// application's path is its entry file, its identifier the entry's
// desktop-file ID without ".desktop" (the form the workspace gives running
// applications), its display name the entry's Name. A program (an executable
// file) counts as an application too, known by its file name, which is the
// name the workspace gives its processes. An entry or program counts only
// when its identifier leads back to an installed application, so that what is
// put on the ignored list can be shown and removed again.
//
// Lookups consult an index of every installed entry (its names, ID, file,
// display name and icon), built with one listing of the entries and kept
// until GIO reports that the installed applications changed, and a list of
// the file names in the folders of PATH, kept until PATH or one of those
// folders changes (changes are reported while the main loop runs). So
// resolving a list of thousands of entries costs one listing, not a search
// of every entry and every PATH folder per entry.
class GioApplicationFinder final : public ApplicationFinder {
public:
    GioApplicationFinder();
    ~GioApplicationFinder() override;
    GioApplicationFinder(const GioApplicationFinder&) = delete;
    GioApplicationFinder& operator=(const GioApplicationFinder&) = delete;

    std::optional<std::string> pathForApplicationWithIdentifier(const std::string& identifier) override;
    // The first installed entry (in GIO's order) whose Name, display name,
    // ID or program's file name is `name`; failing that, the first one whose
    // differs only in case; last, a program of that name on PATH.
    std::optional<std::string> fullPathForApplication(const std::string& name) override;

    std::string displayNameAtPath(const std::string& path) override;
    // A themed icon's first name, or an icon file's path.
    std::string iconForFile(const std::string& path) override;

    bool isApplicationAtPath(const std::string& path) override;
    std::string applicationIdentifierAtPath(const std::string& path) override;

    // How often the installed entries have been listed to build the index.
    int listingCount() const { return m_listingCount; }

private:
    struct Index;
    struct Programs;

    static std::string identifierAtPath(const std::string& path);
    const Index& index();
    const Programs& programs();
    void dropPrograms();

    std::unique_ptr<Index> m_index; // built on first use; dropped when applications change
    std::unique_ptr<Programs> m_programs; // likewise, for PATH
    bool m_programsChanged{false};
    int m_listingCount{0};
    void* m_monitor{nullptr}; // a GAppInfoMonitor, owned
    unsigned long m_monitorHandler{0};
};

} // namespace velmora::linux_desktop
