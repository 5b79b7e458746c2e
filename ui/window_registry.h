// The window-title registry: how code that does not own a window reaches it.
//
// Every dialog window registers itself here under its title while it exists (CWnd does this;
// other code rarely calls registerWindow directly). A message posted to a title or a handle goes
// into the queue of the thread that owns the window and is delivered by pumpOneMessage() on that
// thread (ui/message_pump.h). A message for a title no window has, or for a window that no longer
// exists, is silently dropped; a window that unregisters takes its pending messages with it, and
// unregistering waits for a delivery to it that is running on another thread.
// All calls are safe from any thread. Each post is reported to the backend (ui/ui_backend.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "ui/win_types.h"

// Registers `window` under `title`, owned by the calling thread; a window registered already
// only changes its title (and keeps its owner).
void registerWindow(std::string_view title, CWnd* window);
// Changes the title of a registered `window`; nothing happens when it is not registered.
void retitleWindow(CWnd* window, std::string_view title);
// Removes `window` and drops its pending messages. Unknown windows are ignored.
void unregisterWindow(CWnd* window);
// The window registered last under exactly `title`, or null.
HWND findWindow(std::string_view title);
// Whether `window` is registered now.
bool isWindowRegistered(HWND window);
// The title `window` is registered under ("" when it is not).
std::string registeredTitle(HWND window);

// Posts (msg, wParam) to the window registered last under `title`; dropped when there is none.
void postToWindow(std::string_view title, unsigned msg, std::uintptr_t wParam);
// Posts (msg, wParam) to `window`; dropped when it is null or no longer registered.
void postMessage(HWND window, unsigned msg, std::uintptr_t wParam);
// The number of messages waiting for windows of the calling thread.
int pendingMessageCount();
