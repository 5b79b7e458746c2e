#include "mainunit/unit_link.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "base/ascii_text.h"
#include "vaultline/vaultline.h"

namespace {

constexpr int kSliceMs = 50;

using Clock = std::chrono::steady_clock;

// Waits for `events` on fd in short slices until the deadline; 1 ready, 0 timed out, -1 error,
// -2 stopped.
int pollUntil(int fd, short events, Clock::time_point deadline, const std::atomic<bool>& stopping,
              short* revents = nullptr) {
  while (true) {
    if (stopping.load()) return -2;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return 0;
    pollfd p{fd, events, 0};
    int r = ::poll(&p, 1, static_cast<int>(left < kSliceMs ? left : kSliceMs));
    if (r < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (r > 0) {
      if (revents) *revents = p.revents;
      return 1;
    }
  }
}

}  // namespace

const char* linkReadText(LinkRead r) {
  switch (r) {
    case LinkRead::Ok: return "ok";
    case LinkRead::Closed: return "the tool closed the connection";
    case LinkRead::TimedOut: return "the tool sent nothing in time";
    case LinkRead::Stopped: return "the simulator is stopping";
    case LinkRead::TooLong: return "a line from the tool is too long";
    case LinkRead::Failed: return "socket error";
  }
  return "?";
}

const std::string* LinkHead::header(std::string_view name) const {
  for (const auto& h : headers)
    if (equalsIgnoringCase(h.first, name)) return &h.second;
  return nullptr;
}

UnitLink::UnitLink(int fd, const std::atomic<bool>& stopping) : m_fd(fd), m_stopping(stopping) {
  if (m_fd >= 0) {
    int one = 1;
    ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  }
}

UnitLink::~UnitLink() { close(); }

void UnitLink::setCipher(int handle, bool decipherIncoming) {
  m_cipher = handle;
  m_decipherIncoming = decipherIncoming;
}

void UnitLink::close() {
  if (m_fd >= 0) {
    ::shutdown(m_fd, SHUT_RDWR);
    ::close(m_fd);
    m_fd = -1;
  }
}

void UnitLink::reset() {
  if (m_fd < 0) return;
  const linger abortive{1, 0};
  ::setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
  ::close(m_fd);
  m_fd = -1;
}

namespace {

// The dotted address of one end of `fd`: getpeername or getsockname.
std::string endAddress(int fd, int (*which)(int, sockaddr*, socklen_t*)) {
  sockaddr_in a{};
  socklen_t len = sizeof a;
  if (fd < 0 || which(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) return "";
  char text[INET_ADDRSTRLEN] = {};
  ::inet_ntop(AF_INET, &a.sin_addr, text, sizeof text);
  return text;
}

}  // namespace

std::string UnitLink::peerAddress() const { return endAddress(m_fd, ::getpeername); }

std::string UnitLink::localAddress() const { return endAddress(m_fd, ::getsockname); }

LinkRead UnitLink::fill(int timeoutMs) {
  if (m_fd < 0) return LinkRead::Closed;
  if (m_pos > 0 && (m_pos == m_buffer.size() || m_pos > (1u << 20))) {
    m_buffer.erase(0, m_pos);
    m_pos = 0;
  }
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  char chunk[16384];
  while (true) {
    int r = pollUntil(m_fd, POLLIN, deadline, m_stopping);
    if (r == -2) return LinkRead::Stopped;
    if (r == 0) return LinkRead::TimedOut;
    if (r < 0) return LinkRead::Failed;
    ssize_t n = ::recv(m_fd, chunk, sizeof chunk, MSG_DONTWAIT);
    if (n == 0) return LinkRead::Closed;
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
      return LinkRead::Failed;
    }
    if (m_cipher && m_decipherIncoming) {
      auto* bytes = reinterpret_cast<unsigned char*>(chunk);
      VLT_RecvDecrypt(m_cipher, static_cast<int>(n), bytes, bytes);
    }
    m_buffer.append(chunk, static_cast<std::size_t>(n));
    return LinkRead::Ok;
  }
}

LinkRead UnitLink::readLine(std::string& line, int timeoutMs, std::size_t maxLength) {
  line.clear();
  std::size_t checked = 0;  // bytes after m_pos searched already (a final CR is searched again)
  while (true) {
    std::size_t crlf = m_buffer.find("\r\n", m_pos + checked);
    if (crlf != std::string::npos) {
      if (crlf - m_pos > maxLength) return LinkRead::TooLong;
      line.assign(m_buffer, m_pos, crlf - m_pos);
      m_pos = crlf + 2;
      return LinkRead::Ok;
    }
    std::size_t available = m_buffer.size() - m_pos;
    if (available > maxLength) return LinkRead::TooLong;
    checked = available ? available - 1 : 0;
    LinkRead r = fill(timeoutMs);
    if (r != LinkRead::Ok) return r;
  }
}

LinkRead UnitLink::readHead(LinkHead& head, int timeoutMs, int maxLines) {
  head = {};
  std::string line;
  for (int n = 0; n < maxLines; ++n) {
    LinkRead r = readLine(line, timeoutMs);
    if (r != LinkRead::Ok) return r;
    head.text += line;
    head.text += "\r\n";
    if (n == 0) {
      head.startLine = line;
      continue;
    }
    if (line.empty()) return LinkRead::Ok;
    std::size_t colon = line.find(':');
    if (colon == std::string::npos)
      head.headers.emplace_back(trimmed(line), "");
    else
      head.headers.emplace_back(trimmed(std::string_view(line).substr(0, colon)),
                                trimmed(std::string_view(line).substr(colon + 1)));
  }
  return LinkRead::TooLong;
}

LinkRead UnitLink::readExact(std::string& out, std::size_t n, int timeoutMs) {
  out.clear();
  while (m_buffer.size() - m_pos < n) {
    LinkRead r = fill(timeoutMs);
    if (r != LinkRead::Ok) {
      out.assign(m_buffer, m_pos, std::string::npos);
      m_pos = m_buffer.size();
      return r;
    }
  }
  out.assign(m_buffer, m_pos, n);
  m_pos += n;
  return LinkRead::Ok;
}

bool UnitLink::send(std::string bytes, int timeoutMs) {
  if (m_fd < 0) return false;
  if (m_cipher && !bytes.empty()) {
    auto* p = reinterpret_cast<unsigned char*>(bytes.data());
    VLT_SendEncrypt(m_cipher, static_cast<int>(bytes.size()), p, p);
  }
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    int r = pollUntil(m_fd, POLLOUT, Clock::now() + std::chrono::milliseconds(timeoutMs), m_stopping);
    if (r <= 0) return false;
    ssize_t n = ::send(m_fd, bytes.data() + sent, bytes.size() - sent, MSG_DONTWAIT | MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
      return false;
    }
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

LinkRead UnitLink::waitForClose(int timeoutMs) {
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (true) {
    m_buffer.clear();
    m_pos = 0;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return LinkRead::TimedOut;
    LinkRead r = fill(static_cast<int>(left));
    if (r == LinkRead::Closed || r == LinkRead::Failed) return LinkRead::Ok;
    if (r != LinkRead::Ok) return r;
  }
}

LinkRead UnitLink::waitForData(int timeoutMs) {
  if (m_pos < m_buffer.size()) return LinkRead::Ok;
  if (m_fd < 0) return LinkRead::Closed;
  short revents = 0;
  int r = pollUntil(m_fd, POLLIN, Clock::now() + std::chrono::milliseconds(timeoutMs), m_stopping, &revents);
  if (r == -2) return LinkRead::Stopped;
  if (r == 0) return LinkRead::TimedOut;
  if (r < 0) return LinkRead::Failed;
  return LinkRead::Ok;
}

int connectWithin(const std::string& address, int port, int timeoutMs) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<std::uint16_t>(port));
  if (port <= 0 || port > 65535 || ::inet_pton(AF_INET, address.c_str(), &a.sin_addr) != 1) return -1;
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return -1;
  int r = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  if (r != 0 && errno == EINPROGRESS) {
    pollfd p{fd, POLLOUT, 0};
    if (::poll(&p, 1, timeoutMs) == 1) {
      int error = 0;
      socklen_t len = sizeof error;
      ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len);
      r = error == 0 ? 0 : -1;
    }
  }
  if (r != 0) {
    ::close(fd);
    return -1;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}
