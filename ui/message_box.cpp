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

std::string messageBoxConsoleText(std::string_view caption, std::string_view text) {
  std::size_t first = text.find_first_not_of("\r\n");
  std::size_t last = text.find_last_not_of("\r\n");
  std::string_view body = first == std::string_view::npos ? std::string_view()
                                                          : text.substr(first, last - first + 1);
  std::string line(caption);
  line += ": ";
  line += body;
  line += '\n';
  return line;
}

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
  std::fputs(messageBoxConsoleText(caption, text).c_str(), stderr);
  return refusingAnswer(type);
}
