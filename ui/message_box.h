// Message boxes.
#pragma once

#include <string>
#include <string_view>

#include "ui/win_types.h"

// Shows `text` under `caption` (both UTF-8) with the buttons and icon of `type` (MB_ flags) and
// returns the button chosen: IDOK, IDCANCEL, IDYES or IDNO. `owner` may be null or a window that
// no longer exists. Callable from any thread; blocks the caller until the box is answered.
int MessageBox(HWND owner, std::string_view text, std::string_view caption, unsigned type);

// How a message box reads on a console: "caption: text\n", the line breaks around the text
// left out (those inside it kept).
std::string messageBoxConsoleText(std::string_view caption, std::string_view text);
