// Which platform a Qt process runs on, read from its memory map as the
// backend reads it.

#include "platform/linux/QtConventions.h"

#include <gtest/gtest.h>

namespace velmora::linux_desktop {
namespace {

// Lines as /proc/PID/maps shows them.
std::string mapped(std::initializer_list<const char*> paths)
{
    std::string maps = "55d0c0a00000-55d0c0a01000 r--p 00000000 08:01 1 /usr/bin/python3.11\n";
    for (const char* path : paths)
        maps += std::string("7f3a1c000000-7f3a1c100000 r-xp 00000000 08:01 2 ") + path + "\n";
    return maps;
}

TEST(QtConventionsTest, TheMappedPlatformLibrariesTellWaylandFromX11)
{
    const char* wayland5 = "/usr/lib/x86_64-linux-gnu/libQt5WaylandClient.so.5.15.8";
    const char* wayland6 = "/usr/lib/x86_64-linux-gnu/libQt6WaylandClient.so.6.4.2";
    const char* xcb5 = "/usr/lib/x86_64-linux-gnu/libQt5XcbQpa.so.5.15.8";
    const char* xcb6 = "/usr/lib/x86_64-linux-gnu/libQt6XcbQpa.so.6.4.2";
    EXPECT_TRUE(QtConventions::mapsWaylandPlatform(mapped({"/usr/lib/x86_64-linux-gnu/libQt5Gui.so.5", wayland5})));
    EXPECT_TRUE(QtConventions::mapsWaylandPlatform(mapped({wayland6})));
    EXPECT_FALSE(QtConventions::mapsWaylandPlatform(mapped({xcb5})));
    EXPECT_FALSE(QtConventions::mapsWaylandPlatform(mapped({xcb6, wayland6})));
    // Not started yet, or a toolkit that only says it is Qt.
    EXPECT_FALSE(QtConventions::mapsWaylandPlatform(mapped({})));
    EXPECT_FALSE(QtConventions::mapsWaylandPlatform(""));
}

} // namespace
} // namespace velmora::linux_desktop
