#include "base/socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <utility>

namespace {

constexpr std::size_t kMaxHostLength = 45;

// poll() on one descriptor: 1 ready, 0 expired, -1 error. A wait not above 0 has no limit.
int waitFor(int fd, short events, std::chrono::milliseconds wait) {
  pollfd p{fd, events, 0};
  const int timeout =
      wait.count() > 0 ? static_cast<int>(std::min<long long>(wait.count(), 0x7fffffff)) : -1;
  for (;;) {
    const int r = ::poll(&p, 1, timeout);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return -1;
    if (r == 0) return 0;
    if (p.revents & POLLNVAL) return -1;
    return 1;
  }
}

void sendWithoutDelay(int fd) {
  const int on = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

OpResult bindFailure(int error) {
  return OpResult::failed(error, "\nバインドに失敗しました。\nerr:" + std::to_string(error));
}

int receive(int fd, char* buffer, int length, int flags) {
  ssize_t r;
  do {
    r = ::recv(fd, buffer, static_cast<std::size_t>(length), flags);
  } while (r < 0 && errno == EINTR);
  if (r < 0 && (flags & MSG_DONTWAIT) && (errno == EAGAIN || errno == EWOULDBLOCK)) return -2;
  return r < 0 ? -1 : static_cast<int>(r);
}

}  // namespace

Socket::~Socket() { close(); }

Socket::Socket(Socket&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}

Socket& Socket::operator=(Socket&& other) noexcept {
  if (this != &other) {
    close();
    m_fd = std::exchange(other.m_fd, -1);
  }
  return *this;
}

bool Socket::open() {
  if (m_fd >= 0) return false;
  m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  return m_fd >= 0;
}

OpResult Socket::bindListen(int& port, int backlog, const std::string& address) {
  if (m_fd < 0) return OpResult::failed(EBADF);
  const int on = 1;
  ::setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  if (!address.empty() && ::inet_pton(AF_INET, address.c_str(), &local.sin_addr) != 1)
    return bindFailure(EINVAL);
  int error = 0;
  for (int attempt = 0; attempt < 5; ++attempt, ++port) {
    local.sin_port = htons(static_cast<std::uint16_t>(port));
    if (::bind(m_fd, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0) {
      error = 0;
      break;
    }
    error = errno;
  }
  if (error != 0) return bindFailure(error);
  if (::listen(m_fd, backlog) != 0) return OpResult::failed(errno, "\nlisten()に失敗しました。\n");
  sockaddr_in actual{};
  socklen_t size = sizeof actual;
  if (::getsockname(m_fd, reinterpret_cast<sockaddr*>(&actual), &size) == 0)
    port = ntohs(actual.sin_port);
  return OpResult::done();
}

bool Socket::accept(Socket& out) {
  if (m_fd < 0 || out.m_fd >= 0) return false;
  int fd;
  do {
    fd = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return false;
  sendWithoutDelay(fd);
  out.m_fd = fd;
  return true;
}

bool Socket::acceptWithin(Socket& out, std::chrono::milliseconds wait) {
  if (m_fd < 0) return false;
  if (waitFor(m_fd, POLLIN, wait) != 1) return false;
  return accept(out);
}

bool Socket::connect(const std::string& host, int port, std::chrono::milliseconds wait) {
  if (m_fd < 0 || host.size() > kMaxHostLength) return false;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) return false;
  sockaddr_in remote{};
  std::memcpy(&remote, found->ai_addr, sizeof remote);
  ::freeaddrinfo(found);
  remote.sin_port = htons(static_cast<std::uint16_t>(port));

  // Connect without blocking so that an unreachable host gives up after the wait.
  const int flags = ::fcntl(m_fd, F_GETFL, 0);
  ::fcntl(m_fd, F_SETFL, flags | O_NONBLOCK);
  int r = ::connect(m_fd, reinterpret_cast<sockaddr*>(&remote), sizeof remote);
  if (r != 0 && errno == EINPROGRESS) {
    if (waitFor(m_fd, POLLOUT, wait) == 1) {
      int error = 0;
      socklen_t size = sizeof error;
      ::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &size);
      r = error == 0 ? 0 : -1;
    }
  }
  ::fcntl(m_fd, F_SETFL, flags);
  if (r == 0) sendWithoutDelay(m_fd);
  return r == 0;
}

void Socket::close() {
  if (m_fd < 0) return;
  ::shutdown(m_fd, SHUT_RDWR);
  ::close(m_fd);
  m_fd = -1;
}

int Socket::sendAll(const char* data, int length) {
  if (m_fd < 0 || length < 0) return -1;
  int total = 0;
  while (total < length) {
    const int r = sendSome(data + total, length - total);
    if (r <= 0) return total > 0 ? total : -1;
    total += r;
  }
  return total;
}

int Socket::sendSome(const char* data, int length) {
  if (m_fd < 0 || length < 0) return -1;
  ssize_t r;
  do {
    r = ::send(m_fd, data, static_cast<std::size_t>(length), MSG_NOSIGNAL);
  } while (r < 0 && errno == EINTR);
  return r < 0 ? -1 : static_cast<int>(r);
}

int Socket::recvSome(char* buffer, int length) {
  if (m_fd < 0 || length < 0) return -1;
  return receive(m_fd, buffer, length, 0);
}

int Socket::recvWaiting(char* buffer, int length) {
  if (m_fd < 0 || length < 0) return -1;
  return receive(m_fd, buffer, length, MSG_DONTWAIT);
}

int Socket::waitReadable(std::chrono::milliseconds wait) const {
  if (m_fd < 0) return -1;
  return waitFor(m_fd, POLLIN, wait);
}

bool Socket::setKeepAlive(int value) {
  if (m_fd < 0) return false;
  return ::setsockopt(m_fd, SOL_SOCKET, SO_KEEPALIVE, &value, sizeof value) == 0;
}

std::string Socket::localAddress() const {
  if (m_fd < 0) return {};
  sockaddr_in local{};
  socklen_t size = sizeof local;
  if (::getsockname(m_fd, reinterpret_cast<sockaddr*>(&local), &size) != 0 ||
      local.sin_family != AF_INET)
    return {};
  char text[INET_ADDRSTRLEN] = {};
  if (::inet_ntop(AF_INET, &local.sin_addr, text, sizeof text) == nullptr) return {};
  return text;
}
