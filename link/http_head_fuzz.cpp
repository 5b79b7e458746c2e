// Fuzzes the link's parsing of message heads. Each input is taken two ways:
// - line by line into the status-line, request-line and header-line parsers, with the header
//   lines of the connection answer and of the data phase, the credentials of every
//   Authorization line checked against the main unit's password;
// - as the bytes a peer sends on a data connection before it closes: the request line and head
//   are read as the data phase reads them. The connection is a local socket pair, so thousands of
//   inputs a second take no port and leave no TIME_WAIT behind.
#include <sys/socket.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "base/socket.h"
#include "base/socket_test_support.h"
#include "link/http_data.h"
#include "link/http_head.h"
#include "link/link_stream.h"
#include "link/link_timing.h"

namespace {

void parseLines(std::string_view text, HeaderSet set) {
  CHttpData http;
  bool first = true;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (first) {
      int status = 0;
      parseStatusLine(line, status);
      (void)statusClass(status);
      RequestMethod method = RequestMethod::Other;
      std::string path;
      parseRequestLine(line, method, path);
      first = false;
    } else if (parseHeaderLine(line, set, http) == HeaderField::Authorization) {
      (void)credentialsMatch(http.authorization, "7351");
    }
  }
}

// Sends `bytes` from the peer's end, closes it, and reads a request head from the other end.
void readRequestFrom(std::string_view bytes) {
  Socket peer;
  Socket tool;
  if (!localSocketPair(peer, tool)) __builtin_trap();
  // A socket pair buffers far more than any input libFuzzer makes (-max_len), so the send
  // completes before anything is read.
  ::send(peer.handle(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
  peer.close();

  LinkStream data(std::move(tool), 0);  // no key: the bytes pass as they stand
  char line[1024];
  auto wait = linkTiming().requestLine;
  RequestMethod method = RequestMethod::Other;
  std::string path;
  if (data.readLineWait(line, sizeof line, wait) <= 0 || !parseRequestLine(line, method, path))
    return;
  CHttpData http;
  Socket control;  // keep-alive asked for by the head lands on a closed socket and is dropped
  (void)readHeadFields(data, linkTiming().requestLine, HeaderSet::DataPhase, http, control);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  linkTiming().requestLine = std::chrono::milliseconds(200);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  parseLines(bytes, HeaderSet::ConnectionAnswer);
  parseLines(bytes, HeaderSet::DataPhase);
  readRequestFrom(bytes);
  return 0;
}
