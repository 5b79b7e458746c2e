#include "link/tcp_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "link/link_timing.h"
#include "ui/message_box.h"
#include "ui/window_registry.h"
#include "vaultline/vaultline.h"

std::atomic<std::int32_t> cipherMode{0};
std::atomic<std::int32_t> keyHandle{0};

namespace {

constexpr int kPieceSize = 1024;
constexpr std::size_t kMaxHostLength = 45;

void encipher(char* data, int length) {
    auto* bytes = reinterpret_cast<unsigned char*>(data);
    VLT_SendEncrypt(keyHandle.load(), length, bytes, bytes);
}

void decipher(char* data, int length) {
    auto* bytes = reinterpret_cast<unsigned char*>(data);
    VLT_RecvDecrypt(keyHandle.load(), length, bytes, bytes);
}

// poll() on one descriptor: 1 ready, 0 expired, -1 error. A wait not above 0 has no limit.
int waitFor(int fd, short events, std::chrono::milliseconds wait) {
    pollfd p{fd, events, 0};
    const int timeout = wait.count() > 0 ? static_cast<int>(std::min<long long>(wait.count(), 0x7fffffff)) : -1;
    for (;;) {
        const int r = ::poll(&p, 1, timeout);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return -1;
        if (r == 0) return 0;
        if (p.revents & POLLNVAL) return -1;
        return 1;
    }
}

void postBytesDone(int total) {
    postToWindow(kTransferProgressTitle, kBytesDoneMessage, static_cast<std::uintptr_t>(total));
}

// Heads and bodies go out in several small sends; without this each exchange can wait for a
// delayed acknowledgement before its last piece leaves.
void sendWithoutDelay(int fd) {
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

void showBindError(HWND owner, int error) {
    char text[128];
    std::snprintf(text, sizeof text, "\nバインドに失敗しました。\nerr:%d", error);
    MessageBox(owner, text, "エラー", MB_ICONWARNING | MB_OK);
}

}  // namespace

TcpSocket::~TcpSocket() { Close(); }

bool TcpSocket::Create(int kind) {
    if (handle_ >= 0) return false;
    const int fd = ::socket(AF_INET, kind | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    handle_ = fd;
    kind_ = kind;
    return true;
}

bool TcpSocket::BindListen(int& port, int backlog, const std::string& address) {
    if (handle_ < 0) return false;
    const int on = 1;
    ::setsockopt(handle_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    if (!address.empty() && ::inet_pton(AF_INET, address.c_str(), &local.sin_addr) != 1) {
        showBindError(ownerWindow_, EINVAL);
        return false;
    }
    bool bound = false;
    int error = 0;
    for (int attempt = 0; attempt < 5 && !bound; ++attempt) {
        local.sin_port = htons(static_cast<std::uint16_t>(port));
        if (::bind(handle_, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0) {
            bound = true;
        } else {
            error = errno;
            ++port;
        }
    }
    if (!bound) {
        showBindError(ownerWindow_, error);
        return false;
    }
    if (::listen(handle_, backlog) != 0) {
        MessageBox(ownerWindow_, "\nlisten()に失敗しました。\n", "エラー", MB_ICONWARNING | MB_OK);
        return false;
    }
    sockaddr_in actual{};
    socklen_t size = sizeof actual;
    if (::getsockname(handle_, reinterpret_cast<sockaddr*>(&actual), &size) == 0)
        port = ntohs(actual.sin_port);
    return true;
}

bool TcpSocket::Accept(TcpSocket& out) {
    if (handle_ < 0 || out.handle_ >= 0) return false;
    sockaddr_in peer{};
    socklen_t size = sizeof peer;
    int fd;
    do {
        fd = ::accept4(handle_, reinterpret_cast<sockaddr*>(&peer), &size, SOCK_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return false;
    if (kind_ == kStream) sendWithoutDelay(fd);
    out.handle_ = fd;
    out.peer_ = peer;
    out.kind_ = kind_;
    return true;
}

bool TcpSocket::AcceptWait(TcpSocket& out) {
    if (handle_ < 0) return false;
    if (waitFor(handle_, POLLIN, linkTiming().acceptData) != 1) return false;
    return Accept(out);
}

bool TcpSocket::Connect(const std::string& host, int port) {
    if (handle_ < 0 || host.size() > kMaxHostLength) return false;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) return false;
    sockaddr_in remote{};
    std::memcpy(&remote, found->ai_addr, sizeof remote);
    ::freeaddrinfo(found);
    remote.sin_port = htons(static_cast<std::uint16_t>(port));

    // Connect without blocking so that an unreachable host gives up after the connect time-out.
    const int flags = ::fcntl(handle_, F_GETFL, 0);
    ::fcntl(handle_, F_SETFL, flags | O_NONBLOCK);
    int r = ::connect(handle_, reinterpret_cast<sockaddr*>(&remote), sizeof remote);
    if (r != 0 && errno == EINPROGRESS) {
        if (waitFor(handle_, POLLOUT, linkTiming().connect) == 1) {
            int error = 0;
            socklen_t size = sizeof error;
            ::getsockopt(handle_, SOL_SOCKET, SO_ERROR, &error, &size);
            r = error == 0 ? 0 : -1;
        }
    }
    ::fcntl(handle_, F_SETFL, flags);
    if (r == 0 && kind_ == kStream) sendWithoutDelay(handle_);
    return r == 0;
}

void TcpSocket::Close() {
    if (handle_ < 0) return;
    if (kind_ == kStream) ::shutdown(handle_, SHUT_RDWR);
    ::close(handle_);
    handle_ = -1;
}

int TcpSocket::SendAll(const char* data, int length) {
    int total = 0;
    while (total < length) {
        const ssize_t r = ::send(handle_, data + total, static_cast<std::size_t>(length - total), MSG_NOSIGNAL);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return total > 0 ? total : -1;
        total += static_cast<int>(r);
    }
    return total;
}

int TcpSocket::Send(char* data, int length) {
    if (handle_ < 0 || length < 0) return -1;
    if (cipherMode.load() == 0) encipher(data, length);
    return SendAll(data, length);
}

int TcpSocket::SendLine(std::string_view text) {
    std::string line;
    line.reserve(text.size() + 2);
    line.append(text).append("\r\n");
    return Send(line.data(), static_cast<int>(line.size()));
}

int TcpSocket::RecvSome(char* buffer, int length) {
    if (handle_ < 0 || length < 0) return -1;
    ssize_t r;
    do {
        r = ::recv(handle_, buffer, static_cast<std::size_t>(length), 0);
    } while (r < 0 && errno == EINTR);
    if (r > 0 && cipherMode.load() != 2) decipher(buffer, static_cast<int>(r));
    return r < 0 ? -1 : static_cast<int>(r);
}

int TcpSocket::WaitReadable(std::chrono::milliseconds wait) const {
    if (handle_ < 0) return -1;
    return waitFor(handle_, POLLIN, wait);
}

// One byte of a line, deciphered as RecvSome does. `wait` null: no limit. Otherwise a byte that is
// not there at once is waited for up to *wait (no limit when not above 0). Returns 1, 0 when the
// peer closed, -1 on error, -2 when the wait expired.
int TcpSocket::RecvLineByte(char* byte, const std::chrono::milliseconds* wait) {
    ssize_t r;
    do {
        r = ::recv(handle_, byte, 1, wait != nullptr ? MSG_DONTWAIT : 0);
    } while (r < 0 && errno == EINTR);
    if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && wait != nullptr) {
        const int ready = waitFor(handle_, POLLIN, *wait);
        if (ready <= 0) return ready == 0 ? -2 : -1;
        do {
            r = ::recv(handle_, byte, 1, 0);
        } while (r < 0 && errno == EINTR);
    }
    if (r < 0) return -1;
    if (r > 0 && cipherMode.load() != 2) decipher(byte, 1);
    return static_cast<int>(r);
}

// The common line reader. An expired wait sets *expired and either ends the line
// (stopOnExpiry false) or returns -1.
int TcpSocket::ReadLineBytes(char* buffer, int size, const std::chrono::milliseconds* wait,
                             bool stopOnExpiry, bool* expired) {
    if (buffer == nullptr || size <= 0) return -1;
    buffer[0] = '\0';
    if (handle_ < 0) return -1;
    int stored = 0;
    bool pendingCr = false;
    while (stored < size - 1) {
        char byte;
        const int r = RecvLineByte(&byte, wait);
        if (r == -2) {
            if (expired) *expired = true;
            if (stopOnExpiry) return -1;
            break;
        }
        if (r < 0) return -1;
        if (r == 0) break;
        if (pendingCr && byte == '\n') {
            --stored;  // the CR before the LF is not part of the line
            break;
        }
        buffer[stored++] = byte;
        pendingCr = byte == '\r';
    }
    buffer[stored] = '\0';
    return stored;
}

int TcpSocket::ReadLine(char* buffer, int size) { return ReadLineBytes(buffer, size, nullptr, false, nullptr); }

int TcpSocket::ReadLineTimed(char* buffer, int size, std::chrono::milliseconds wait) {
    if (wait.count() <= 0) wait = std::chrono::milliseconds(1);
    return ReadLineBytes(buffer, size, &wait, false, nullptr);
}

int TcpSocket::ReadLineWait(char* buffer, int size, std::chrono::milliseconds& wait) {
    bool expired = false;
    const int r = ReadLineBytes(buffer, size, &wait, true, &expired);
    if (expired) wait = std::chrono::milliseconds(-1);
    return r;
}

int TcpSocket::RecvExact(char* buffer, int length, std::chrono::milliseconds wait) {
    if (handle_ < 0 || length < 0) return -1;
    pace(linkTiming().blockReadStart);
    int total = 0;
    while (total < length) {
        const int ready = waitFor(handle_, POLLIN, wait.count() > 0 ? wait : std::chrono::milliseconds(1));
        if (ready < 0) return -1;
        if (ready == 0) break;
        ssize_t r;
        do {
            r = ::recv(handle_, buffer + total, static_cast<std::size_t>(length - total), 0);
        } while (r < 0 && errno == EINTR);
        if (r < 0) return -1;
        if (r == 0) break;
        total += static_cast<int>(r);
    }
    if (cipherMode.load() != 2) decipher(buffer, length);
    return total;
}

int TcpSocket::RecvBlock(char* buffer, int length, std::chrono::milliseconds wait, bool progress) {
    if (handle_ < 0 || length < 0) return -1;
    pace(linkTiming().blockReadStart);
    int total = 0;
    while (total < length) {
        const int ready = waitFor(handle_, POLLIN, wait);
        if (ready < 0) return -1;
        if (ready == 0) break;
        const int piece = std::min(length - total, kPieceSize);
        ssize_t r;
        do {
            r = ::recv(handle_, buffer + total, static_cast<std::size_t>(piece), 0);
        } while (r < 0 && errno == EINTR);
        if (r < 0) return -1;
        if (r == 0) break;
        total += static_cast<int>(r);
        if (progress) postBytesDone(total);
    }
    decipher(buffer, length);
    return total;
}

int TcpSocket::SendBlock(char* data, int length, bool progress) {
    if (handle_ < 0 || length < 0) return -1;
    encipher(data, length);
    int total = 0;
    bool first = true;
    while (total < length) {
        const int piece = std::min(length - total, kPieceSize);
        ssize_t r;
        do {
            r = ::send(handle_, data + total, static_cast<std::size_t>(piece), MSG_NOSIGNAL);
        } while (r < 0 && errno == EINTR);
        if (r <= 0) return static_cast<int>(r < 0 ? -1 : total);
        total += static_cast<int>(r);
        if (progress && !first) postBytesDone(total);
        first = false;
    }
    return total;
}

bool TcpSocket::SetKeepAlive(int value) {
    if (handle_ < 0) return false;
    return ::setsockopt(handle_, SOL_SOCKET, SO_KEEPALIVE, &value, sizeof value) == 0;
}

namespace {
std::string dotted(const sockaddr_in& address) {
    char text[INET_ADDRSTRLEN] = {};
    if (::inet_ntop(AF_INET, &address.sin_addr, text, sizeof text) == nullptr) return {};
    return text;
}
}  // namespace

std::string TcpSocket::LocalAddress() const {
    if (handle_ < 0) return {};
    sockaddr_in local{};
    socklen_t size = sizeof local;
    if (::getsockname(handle_, reinterpret_cast<sockaddr*>(&local), &size) != 0 || local.sin_family != AF_INET)
        return {};
    return dotted(local);
}

std::string TcpSocket::PeerAddress() const {
    if (peer_.sin_family != AF_INET) return {};
    return dotted(peer_);
}
