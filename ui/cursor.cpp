#include "ui/cursor.h"

#include <atomic>

#include "ui/ui_backend.h"

namespace {
std::atomic<bool> g_waitCursor{false};
}

void showWaitCursor(bool wait) {
  g_waitCursor = wait;
  UiBackendRef backend;
  if (backend) backend->cursorChanged(wait);
}

bool isWaitCursorShown() { return g_waitCursor; }
