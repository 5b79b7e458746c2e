#include "ui/message_box.h"

#include <cstdio>
#include <string>

#include "ui/ui_backend.h"
#include "ui/window_registry.h"

namespace {

// The answer that lets nothing go ahead unconfirmed, for a process without a user interface.
int refusingAnswer(unsigned type) {
  switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL: return IDCANCEL;
    case MB_YESNO: return IDNO;
    default: return IDOK;
  }
}

}  // namespace

int MessageBox(HWND owner, std::string_view text, std::string_view caption, unsigned type) {
  MessageBoxRequest request;
  request.owner = owner;
  request.ownerTitle = owner ? registeredTitle(owner) : std::string();
  request.text = std::string(text);
  request.caption = std::string(caption);
  request.type = type;
  request.thread = std::this_thread::get_id();
  UiBackendRef backend;
  if (backend) return backend->messageBox(request);
  std::fprintf(stderr, "%s: %s\n", request.caption.c_str(), request.text.c_str());
  return refusingAnswer(type);
}
