// Fuzzes the link's parsing of message heads. Each input is taken two ways:
// - line by line into the status-line, request-line and header-line parsers, as an answer
//   (phase 1) and as a request (phases 2 and 3);
// - as the bytes a peer sends on a loopback data connection before it closes: the request line
//   and head are read as the data phase reads them.
#include <sys/socket.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "link/http_data.h"
#include "link/link_timing.h"
#include "link/tcp_file_transfer.h"
#include "link/tcp_socket.h"

namespace {

class HeadProbe : public CTCPFileTransfer {
 public:
  HeadProbe() : CTCPFileTransfer(nullptr) { m_http = std::make_unique<CHttpData>(); }

  void parseLines(std::string_view text, int phase) {
    m_phase = phase;
    bool first = true;
    while (!text.empty()) {
      const std::size_t end = text.find('\n');
      std::string_view line = text.substr(0, end);
      text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
      if (line.ends_with('\r')) line.remove_suffix(1);
      if (first) {
        ParseStatusLine(line);
        (void)StatusClass();
        ParseRequestLine(line);
        first = false;
      } else if (ParseHeaderLine(line) < 0) {
        CheckCredentials(m_http->authorization);
      }
    }
  }

  // The bytes arrive on a fresh data connection whose peer closes after sending them.
  void readRequestFrom(std::string_view bytes) {
    static TcpSocket listener;
    static int port = 0;
    if (!listener.IsOpen() && (!listener.Create() || !listener.BindListen(port, 4, "127.0.0.1")))
      __builtin_trap();
    TcpSocket peer;
    m_data = std::make_unique<TcpSocket>();
    if (!peer.Create() || !peer.Connect("127.0.0.1", port) || !listener.Accept(*m_data))
      __builtin_trap();
    ::send(peer.Handle(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
    peer.Close();
    m_phase = 3;
    ReadRequest();
    m_data.reset();
  }
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  linkTiming().requestLine = std::chrono::milliseconds(200);
  cipherMode = 2;  // the bytes travel as they stand
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  for (int phase = 1; phase <= 3; ++phase) {
    HeadProbe probe;
    probe.parseLines(bytes, phase);
  }
  HeadProbe probe;
  probe.readRequestFrom(bytes);
  return 0;
}
