#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

namespace velmora::linux_desktop::testing {

// A folder of the test's own under /tmp, removed with it.
class TemporaryFolder {
public:
    TemporaryFolder()
    {
        char pattern[] = "/tmp/velmora-test.XXXXXX";
        m_path = mkdtemp(pattern);
    }
    ~TemporaryFolder()
    {
        std::error_code error;
        std::filesystem::remove_all(m_path, error);
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

} // namespace velmora::linux_desktop::testing
