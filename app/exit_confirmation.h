// The question every way of closing the main dialog asks first.
#pragma once

#include "ui/win_types.h"

// Asks (Yes/No, question icon, over `owner`, which may be null) whether to end the program.
// False only when the user answers No; true for Yes and for any other way the box ends.
bool confirmExit(HWND owner);
