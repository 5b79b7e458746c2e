// The progress messages the link posts to the progress window it finds by title. The window
// shows a percentage; for the block in progress it keeps a range (start and end percent) and the
// block's byte count, and turns a bytes-done count into a percentage within that range.
#pragma once

#include <string_view>

#include "ui/win_types.h"

// Title of the communication progress window.
inline constexpr std::string_view kTransferProgressTitle = "データ通信実行中";

inline constexpr unsigned kSetPercentMessage = WM_USER + 100;   // wParam: percent (shown up to 100)
inline constexpr unsigned kRangeStartMessage = WM_USER + 101;   // wParam: percent the block starts at
inline constexpr unsigned kRangeEndMessage = WM_USER + 102;     // wParam: percent the block ends at
inline constexpr unsigned kRangeTotalMessage = WM_USER + 103;   // wParam: bytes of the block
inline constexpr unsigned kBytesDoneMessage = WM_USER + 104;    // wParam: bytes of the block done
