#pragma once

namespace velmora {

// The key of a login item that names the file it is kept in, where the store
// keeps one file per item (the XDG autostart folder). It says where an item
// is stored, not what it starts: two items that differ only in it are one
// item stored twice, and removing the one removes the other.
inline constexpr const char* kLoginItemFileKey = "AutostartFile";

} // namespace velmora
