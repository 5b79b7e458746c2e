// The outcome of a file or link operation, as the user would hear of it.
//
// `code` is 0 when the operation was done; any other value is the operation's own failure code
// (30: a file that cannot be opened or created; -1: a link run that failed). For a failure the
// user is told about, `message` and `caption` hold the message box text exactly as shown (UTF-8);
// both are empty when the failure is silent or was already shown. Callers in app/ turn a result
// into a message box, zuctl into a line on standard error; the operations themselves show
// nothing through it.
#pragma once

#include <string>
#include <utility>

struct OpResult {
  int code = 0;
  std::string message;
  std::string caption;

  bool ok() const { return code == 0; }

  static OpResult done() { return {}; }
  static OpResult failed(int code, std::string message = {}, std::string caption = "エラー") {
    OpResult r;
    r.code = code;
    if (!message.empty()) r.caption = std::move(caption);
    r.message = std::move(message);
    return r;
  }
};
