// Socket: one IPv4 stream socket. It owns its descriptor and closes it when it is destroyed, so
// it can be moved but not copied. The bytes pass as they are: enciphering is the business of
// the layer above (the link's stream).
//
// Every wait is passed in by the caller. No operation raises SIGPIPE: a send to a closed peer
// fails. Connected and accepted sockets send without delay (TCP_NODELAY): heads and bodies go
// out in several small sends, and without it an exchange can wait for a delayed
// acknowledgement before its last piece leaves. A Socket is used by one thread at a time.
#pragma once

#include <chrono>
#include <string>

#include "base/op_result.h"

class Socket {
 public:
  Socket() = default;
  // Takes over `fd`, an open stream descriptor (one end of a socketpair, say): it is closed
  // with this socket.
  explicit Socket(int fd) : m_fd(fd) {}
  ~Socket();
  Socket(Socket&& other) noexcept;
  Socket& operator=(Socket&& other) noexcept;
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;

  // Opens a new stream socket. False when this socket is open already or none can be made.
  bool open();
  // Binds to `port` on `address` (empty: every interface), trying port ... port+4, and listens
  // with `backlog`. On success `port` holds the port bound. A failure carries the message the
  // user is shown ("\nバインドに失敗しました。\nerr:N" or "\nlisten()に失敗しました。\n").
  OpResult bindListen(int& port, int backlog, const std::string& address = {});
  // Accepts one connection into `out`, which must be closed. False when there is none to take.
  bool accept(Socket& out);
  // Waits up to `wait` for a connection (no limit when not above 0), then accept.
  bool acceptWithin(Socket& out, std::chrono::milliseconds wait);
  // Connects to `host` (name or dotted address, under 46 characters) and `port`; the attempt
  // gives up after `wait`.
  bool connect(const std::string& host, int port, std::chrono::milliseconds wait);
  // Shuts down both directions and closes. A closed socket is left alone.
  void close();

  // Sends all `length` bytes. Returns the count sent, or -1 when nothing could be sent.
  int sendAll(const char* data, int length);
  // One send of at most `length` bytes: the count sent, or -1 on error.
  int sendSome(const char* data, int length);
  // One receive of at most `length` bytes: the count, 0 when the peer closed, -1 on error.
  int recvSome(char* buffer, int length);
  // As recvSome, but returns -2 at once when no byte is waiting.
  int recvWaiting(char* buffer, int length);
  // Waits up to `wait` until a byte (or the peer's close) can be read: 1 readable, 0 expired,
  // -1 error. A `wait` not above 0 waits without a limit.
  int waitReadable(std::chrono::milliseconds wait) const;

  bool setKeepAlive(int value);
  // Dotted IPv4 address of the local end, or "" when unknown.
  std::string localAddress() const;

  bool isOpen() const { return m_fd >= 0; }
  int handle() const { return m_fd; }

 private:
  int m_fd = -1;
};
