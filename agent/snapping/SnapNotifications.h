#pragma once

namespace velmora {

// Local notifications of the agent's snapping engine. QK_VL_movedMouseToPoint
// carries a SnapEvent as its payload.
inline constexpr const char* QK_VL_movedMouseToPoint = "QK_VL_movedMouseToPoint";
inline constexpr const char* QK_VL_movedMouseBackFromPoint = "QK_VL_movedMouseBackFromPoint";
inline constexpr const char* QK_VL_UserMovedMouse = "QK_VL_UserMovedMouse";
inline constexpr const char* QK_VL_OldDefaultButtonGone = "QK_VL_OldDefaultButtonGone";
inline constexpr const char* QK_VL_OldDefaultButtonGoneAfterMouseMoved = "QK_VL_OldDefaultButtonGoneAfterMouseMoved";

// Posted on the local centre before the engine looks for a newly focused
// window's button: a pending snap-back whose button is gone is decided first,
// so the next snap starts from where the pointer was put back.
inline constexpr const char* kFocusedWindowCheckWillStart = "VelmoraFocusedWindowCheckWillStart";

// Posted on the local centre once the agent has re-read its preferences.
inline constexpr const char* ZQK_VelmoraPrefsUpdated = "ZQK_VelmoraPrefsUpdated";

} // namespace velmora
