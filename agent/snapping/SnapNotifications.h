#pragma once

namespace velmora {

// Local notifications of the agent's snapping engine. kPointerSnapped
// carries a SnapEvent as its payload.
inline constexpr const char* kPointerSnapped = "QK_VL_movedMouseToPoint";
inline constexpr const char* kPointerSnappedBack = "QK_VL_movedMouseBackFromPoint";
inline constexpr const char* kUserMovedPointer = "QK_VL_UserMovedMouse";
inline constexpr const char* kSnappedButtonGone = "QK_VL_OldDefaultButtonGone";
inline constexpr const char* kSnappedButtonGoneAfterPointerMoved = "QK_VL_OldDefaultButtonGoneAfterMouseMoved";

// Posted on the local centre before the engine looks for a newly focused
// window's button: a pending snap-back whose button is gone is decided first,
// so the next snap starts from where the pointer was put back.
inline constexpr const char* kFocusedWindowCheckWillStart = "VelmoraFocusedWindowCheckWillStart";

// Posted on the local centre once the agent has re-read its preferences.
inline constexpr const char* kPreferencesReloaded = "ZQK_VelmoraPrefsUpdated";

} // namespace velmora
