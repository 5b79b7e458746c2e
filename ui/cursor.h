// The mouse cursor.
#pragma once

// true: shows the hourglass (wait) cursor; false: the arrow. Not nested: the last call wins.
// Callable from any thread.
void showWaitCursor(bool wait);
// Whether the wait cursor is shown now.
bool isWaitCursorShown();
