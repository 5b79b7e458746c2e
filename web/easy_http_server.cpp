#include "web/easy_http_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "ui/message_box.h"
#include "ui/window_registry.h"
#include "web/easy_http_worker.h"

namespace {

constexpr const char* kLoopback = "127.0.0.1";

void copySetting(char (&field)[kMaxPathBytes], const std::string& value) {
  const std::size_t n = value.size() < 259 ? value.size() : 259;
  std::memcpy(field, value.data(), n);
  field[n] = '\0';
}

// Binds `fd` to 127.0.0.1:port and listens, without any message. False when either fails; a
// bind that succeeded stays on `fd`, so the caller starts the next attempt on a fresh socket.
bool bindQuietly(int fd, int port, int backlog) {
  const int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<std::uint16_t>(port));
  ::inet_pton(AF_INET, kLoopback, &a.sin_addr);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return false;
  return easyHttpListen(fd, backlog) == 0;
}

int boundPort(int fd) {
  sockaddr_in a{};
  socklen_t len = sizeof a;
  if (::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) return -1;
  return ntohs(a.sin_port);
}

}  // namespace

int (*easyHttpListen)(int fd, int backlog) = ::listen;

EasyHttpServer::EasyHttpServer() = default;

EasyHttpServer::~EasyHttpServer() {
  Stop();
  ReapWorkers(true);
  for (int& fd : m_wakePipe) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
}

void EasyHttpServer::SetBacklog(int backlog) {
  if (!IsRunning()) m_settings.backlog = backlog;
}
void EasyHttpServer::SetPort(std::uint16_t port) {
  if (!IsRunning()) m_settings.port = port;
}
void EasyHttpServer::SetMaxBodySize(int bytes) {
  if (!IsRunning()) m_settings.maxBodySize = bytes;
}
bool EasyHttpServer::SetDocumentRoot(const std::string& root) {
  if (IsRunning()) return false;
  // A root cut to the field would name another folder: one that does not fit is kept out, and
  // the server does not start until a root that fits is set.
  m_rootTooLong = root.size() >= kMaxPathBytes;
  if (!m_rootTooLong) copySetting(m_settings.documentRoot, root);
  return !m_rootTooLong;
}
void EasyHttpServer::SetDefaultPage(const std::string& page) {
  if (!IsRunning()) copySetting(m_settings.defaultPage, page);
}
void EasyHttpServer::SetServerName(const std::string& name) {
  if (!IsRunning()) copySetting(m_settings.serverName, name);
}
void EasyHttpServer::SetOwnerWindow(HWND owner) {
  if (!IsRunning()) m_ownerWindow = owner;
}
void EasyHttpServer::SetTiming(const EasyHttpTiming& timing) {
  if (!IsRunning()) m_timing = timing;
}

// Ports port ... port+4 on 127.0.0.1; a server asked for 80 tries 8080 ... 8084 as well. Only
// the last attempt reports its failure.
bool EasyHttpServer::BindLoopback(int& port) {
  const int first = port;
  for (int p = first; p < first + 5 && p <= 65535; ++p) {
    if (bindQuietly(m_listenSocket.handle(), p, m_settings.backlog)) {
      port = boundPort(m_listenSocket.handle());
      return port > 0;
    }
    // A socket bound to the port whose listen failed can bind no other: each attempt, and the
    // last one below, gets a fresh socket.
    m_listenSocket.close();
    if (!m_listenSocket.open()) {
      MessageBox(m_ownerWindow, "\nソケット生成に失敗しました。\n", "エラー", MB_ICONWARNING);
      return false;
    }
    if (p == 0) break;
  }
  // Every port of the range was tried (for 80, 8080 ... 8084 follow): the socket layer reports
  // the failure of the last attempt.
  port = first == 80 ? 8080 : first;
  const OpResult bound = m_listenSocket.bindListen(port, m_settings.backlog, kLoopback);
  if (!bound.ok()) MessageBox(m_ownerWindow, bound.message, bound.caption, MB_ICONWARNING | MB_OK);
  return bound.ok();
}

bool EasyHttpServer::Start() {
  if (IsRunning() || m_started || m_rootTooLong) return false;
  if (!m_listenSocket.open()) {
    MessageBox(m_ownerWindow, "\nソケット生成に失敗しました。\n", "エラー", MB_ICONWARNING);
    return false;
  }
  int port = m_settings.port;
  if (!BindLoopback(port)) {
    m_listenSocket.close();
    return false;
  }
  if (m_wakePipe[0] < 0 && ::pipe2(m_wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    m_wakePipe[0] = m_wakePipe[1] = -1;
  }
  m_settings.port = static_cast<std::uint16_t>(port);
  m_runSettings = m_settings;
  m_running.store(1);
  try {
    m_listener = std::thread([this] { ListenerLoop(); });
  } catch (...) {
    m_running.store(0);
    m_listenSocket.close();
    MessageBox(m_ownerWindow, "\nスレッド起動に失敗しました。\n", "エラー", MB_ICONWARNING);
    return false;
  }
  m_started = true;
  return true;
}

void EasyHttpServer::Stop() {
  m_running.store(0);
  if (m_wakePipe[1] >= 0) {
    const char c = 1;
    [[maybe_unused]] ssize_t n = ::write(m_wakePipe[1], &c, 1);
  }
  if (m_listener.joinable()) m_listener.join();
  m_listenSocket.close();
  WakeWorkersReading();
}

void EasyHttpServer::WakeWorkersReading() {
  std::lock_guard lock(m_workersMutex);
  for (auto& w : m_workers) w->CloseIfReading();
}

void EasyHttpServer::ReapWorkers(bool all) {
  std::list<std::unique_ptr<CEasyHttpWorker>> done;
  {
    std::lock_guard lock(m_workersMutex);
    for (auto it = m_workers.begin(); it != m_workers.end();) {
      if (all || (*it)->Finished()) {
        done.push_back(std::move(*it));
        it = m_workers.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (auto& w : done) w->Join();
}

// True when a worker may start: fewer than maxWorkers run, or the one that was accepted first of
// those still reading their request has been closed and has ended.
bool EasyHttpServer::MakeRoom() {
  CEasyHttpWorker* oldest = nullptr;
  {
    std::lock_guard lock(m_workersMutex);
    if (static_cast<int>(m_workers.size()) < m_timing.maxWorkers) return true;
    std::chrono::steady_clock::time_point oldestSince{};
    for (auto& w : m_workers) {
      const auto since = w->ReadingSince();
      if (since && (oldest == nullptr || *since < oldestSince)) {
        oldest = w.get();
        oldestSince = *since;
      }
    }
  }
  // Only this thread removes workers, so `oldest` stays valid; a closed worker ends at once.
  if (oldest == nullptr || !oldest->CloseIfReading()) return false;
  oldest->Join();
  ReapWorkers(false);
  return true;
}

void EasyHttpServer::WaitForWake(int ms) {
  pollfd p{m_wakePipe[0], POLLIN, 0};
  if (m_wakePipe[0] >= 0) {
    ::poll(&p, 1, ms);
  } else {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  }
}

void EasyHttpServer::ListenerLoop() {
  const int listenFd = m_listenSocket.handle();
  while (m_running.load() != 0) {
    pollfd p[2] = {{listenFd, POLLIN, 0}, {m_wakePipe[0], POLLIN, 0}};
    const int r = ::poll(p, m_wakePipe[0] >= 0 ? 2 : 1, 200);
    ReapWorkers(false);
    if (m_running.load() == 0) break;
    if (r <= 0 || (p[0].revents & POLLIN) == 0) continue;
    if (!MakeRoom()) {
      WaitForWake(20);  // the connection waits in the listen queue
      continue;
    }
    auto client = std::make_unique<Socket>();
    if (!m_listenSocket.accept(*client)) continue;
    if (m_ownerWindow != nullptr) postMessage(m_ownerWindow, kConnectionAcceptedMessage, 0);
    auto worker = std::make_unique<CEasyHttpWorker>(&m_runSettings, std::move(client), this);
    CEasyHttpWorker* started = worker.get();
    {
      std::lock_guard lock(m_workersMutex);
      m_workers.push_back(std::move(worker));
    }
    started->CreateThread();
  }
}
