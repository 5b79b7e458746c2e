// The progress messages the link posts to the progress window it finds by title. The window
// shows a percentage; for the block in progress it keeps a range (start and end percent) and the
// block's byte count, and turns a bytes-done count into a percentage within that range.
#pragma once

#include <cstdint>
#include <string_view>

#include "ui/win_types.h"
#include "ui/window_registry.h"

// Title of the communication progress window.
inline constexpr std::string_view kTransferProgressTitle = "データ通信実行中";

inline constexpr unsigned kSetPercentMessage = WM_USER + 100;  // wParam: percent (shown up to 100)
inline constexpr unsigned kRangeStartMessage =
    WM_USER + 101;                                           // wParam: percent the block starts at
inline constexpr unsigned kRangeEndMessage = WM_USER + 102;  // wParam: percent the block ends at
inline constexpr unsigned kRangeTotalMessage = WM_USER + 103;  // wParam: bytes of the block
inline constexpr unsigned kBytesDoneMessage = WM_USER + 104;   // wParam: bytes of the block done

// Posts the percentage to the progress window `window`.
inline void postTransferPercent(HWND window, int percent) {
  postMessage(window, kSetPercentMessage, static_cast<std::uintptr_t>(percent));
}
// Posts the range of the block in progress: from `start` to `end` percent, `total` bytes.
inline void postTransferRange(HWND window, int start, int end, std::int64_t total) {
  postMessage(window, kRangeStartMessage, static_cast<std::uintptr_t>(start));
  postMessage(window, kRangeEndMessage, static_cast<std::uintptr_t>(end));
  postMessage(window, kRangeTotalMessage, static_cast<std::uintptr_t>(total));
}
