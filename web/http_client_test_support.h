// A raw HTTP client for the server tests: sends bytes to 127.0.0.1:port and collects everything
// the server sends until it closes the connection (or a time-out passes).
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <string_view>

namespace testhttp {

// A connected socket, closed on destruction. fd is -1 when the connection failed.
struct Connection {
  int fd = -1;
  explicit Connection(int port) {
    fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    ::inet_pton(AF_INET, "127.0.0.1", &a.sin_addr);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
      ::close(fd);
      fd = -1;
    }
  }
  ~Connection() {
    if (fd >= 0) ::close(fd);
  }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  bool send(std::string_view bytes) const {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
      const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) return false;
      sent += static_cast<std::size_t>(n);
    }
    return true;
  }

  // Everything received until the peer closes; stops early after `timeout` without data.
  std::string receiveAll(std::chrono::milliseconds timeout = std::chrono::milliseconds(10000),
                         bool* closed = nullptr) const {
    std::string out;
    char buf[8192];
    for (;;) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(timeout.count())) <= 0) {
        if (closed != nullptr) *closed = false;
        return out;
      }
      const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
      if (n <= 0) {
        if (closed != nullptr) *closed = true;
        return out;
      }
      out.append(buf, static_cast<std::size_t>(n));
    }
  }
};

// Sends `request` on a new connection and returns the whole answer.
inline std::string roundTrip(int port, std::string_view request,
                            std::chrono::milliseconds timeout = std::chrono::milliseconds(10000)) {
  Connection c(port);
  if (c.fd < 0 || !c.send(request)) return {};
  return c.receiveAll(timeout);
}

// The head of an answer (through the empty line) and the rest.
inline std::string headOf(const std::string& answer) {
  const std::size_t end = answer.find("\r\n\r\n");
  return end == std::string::npos ? answer : answer.substr(0, end + 4);
}
inline std::string bodyOf(const std::string& answer) {
  const std::size_t end = answer.find("\r\n\r\n");
  return end == std::string::npos ? std::string() : answer.substr(end + 4);
}

}  // namespace testhttp
