// UnitLink: one TCP connection of a main-unit session, seen from the unit's side.
//
// It owns the socket. Every wait polls in short slices and gives up as soon as the shared stop
// flag is set, so a simulator can always be stopped within a fraction of a second. With a
// cipher handle set, outgoing bytes are enciphered with VLT_SendEncrypt and (when asked for)
// incoming bytes deciphered with VLT_RecvDecrypt as they arrive; the handle belongs to the
// session, which may share it between its two links.
#pragma once

#include <atomic>
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

enum class LinkRead {
  Ok,
  Closed,    // the peer closed before the item was complete
  TimedOut,  // no byte came within the wait
  Stopped,   // the simulator is stopping
  TooLong,   // a line longer than allowed
  Failed,    // a socket error
};

const char* linkReadText(LinkRead r);

// A head as read: the start line, the header lines (name and value split at the first ':',
// both trimmed) and the exact text with its CR LF line ends.
struct LinkHead {
  std::string startLine;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string text;

  // The value of the first header with this name (any case); nullptr when there is none.
  const std::string* header(std::string_view name) const;
};

class UnitLink {
 public:
  UnitLink(int fd, const std::atomic<bool>& stopping);
  ~UnitLink();
  UnitLink(const UnitLink&) = delete;
  UnitLink& operator=(const UnitLink&) = delete;

  // Cipher handle for the bytes that follow (0: plain). decipherIncoming selects whether
  // received bytes are deciphered too.
  void setCipher(int handle, bool decipherIncoming);

  bool isOpen() const { return m_fd >= 0; }
  void close();
  // Closes with a reset (RST) instead of the orderly end, so the peer's next send fails.
  void reset();
  // Dotted address and port of the far end ("" / 0 when unknown).
  std::string peerAddress() const;
  // Dotted address of this end (the address the peer reached; "" when unknown).
  std::string localAddress() const;

  // One line up to CR LF (removed; a bare LF stays data), at most maxLength bytes.
  LinkRead readLine(std::string& line, int timeoutMs, std::size_t maxLength = 65536);
  // A head: lines up to the empty line; at most maxLines lines.
  LinkRead readHead(LinkHead& head, int timeoutMs, int maxLines = 200);
  // Exactly n bytes (each wait up to timeoutMs).
  LinkRead readExact(std::string& out, std::size_t n, int timeoutMs);

  // Sends all bytes (enciphered when a handle is set); false when the peer is gone, the send
  // fails, the socket stays unwritable for timeoutMs, or the simulator stops.
  bool send(std::string bytes, int timeoutMs);

  // Reads and drops whatever comes until the peer closes; Ok when it closed.
  LinkRead waitForClose(int timeoutMs);
  // Waits up to timeoutMs for a byte to arrive (Ok), without taking it.
  LinkRead waitForData(int timeoutMs);

 private:
  LinkRead fill(int timeoutMs);

  int m_fd;
  const std::atomic<bool>& m_stopping;
  int m_cipher = 0;
  bool m_decipherIncoming = false;
  std::string m_buffer;
  std::size_t m_pos = 0;
};

// Connects to address:port within timeoutMs; -1 on failure. The socket is left blocking.
int connectWithin(const std::string& address, int port, int timeoutMs);
