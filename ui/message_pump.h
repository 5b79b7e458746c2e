// Pumping posted messages.
//
// A message posted to a window (ui/window_registry.h) waits in the queue of the thread that owns
// the window (the thread that created it) until that thread pumps. Messages are delivered in the
// order they were posted, each by a call of the window's OnMessage() on the pumping thread.
#pragma once

#include <functional>

// Delivers at most one pending message for windows of the calling thread, after turning the
// backend's own event loop once. Returns true when something was delivered or processed.
bool pumpOneMessage();
// Calls pumpOneMessage() `count` times (fewer when nothing is left).
void pumpMessages(int count);
// Runs `work` (a transfer run, say) to its end while the calling thread's windows stay alive:
// with a GUI backend the work runs on a worker thread and this thread keeps turning its event
// loop and delivering its posted messages until the work is done; otherwise it runs inline.
// Either way it returns after the messages the work posted to this thread's windows were
// delivered, so what the caller shows next is not overwritten by the work's late progress.
void runWorkKeepingUiAlive(const std::function<void()>& work);
