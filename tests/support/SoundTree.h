#pragma once

#include "platform/SoundLibrary.h"
#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace velmora::test {

// A home and XDG data directories laid out under one temporary root, with the
// program's resources at resources/: a test places sound files by their path
// below the root.
class SoundTree : public ::testing::Test {
protected:
    SoundTree()
    {
        m_environment.home = (m_root / "home").string();
        m_environment.xdgDataDirs = (m_root / "usr/local/share").string() + ":" + (m_root / "usr/share").string();
    }

    std::filesystem::path touch(const std::filesystem::path& relative)
    {
        std::filesystem::path path = m_root / relative;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path) << "sound";
        return path;
    }
    SoundLibrary library() const { return SoundLibrary(m_root / "resources", m_environment); }

    TemporaryDirectory m_directory;
    std::filesystem::path m_root{m_directory.path()};
    SoundLibrary::Environment m_environment;
};

} // namespace velmora::test
