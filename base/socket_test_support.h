// Test support for sockets (header only, included by tests and benchmarks alone): free loopback
// ports, a connected pair of loopback sockets and a connected pair of local ones.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/socket.h"

// A first port P such that P ... P+count-1 are free on 127.0.0.1 right now. Test programs run in
// parallel, each test in its own process, so ports are found rather than fixed.
inline int freeLoopbackPorts(int count) {
  for (int attempt = 0; attempt < 50; ++attempt) {
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    if (::bind(probe, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::getsockname(probe, reinterpret_cast<sockaddr*>(&a), &size) != 0) {
      ::close(probe);
      continue;
    }
    ::close(probe);
    const int first = ntohs(a.sin_port);
    if (first + count > 65535) continue;
    bool allFree = true;
    for (int i = 0; i < count && allFree; ++i) {
      const int s = ::socket(AF_INET, SOCK_STREAM, 0);
      sockaddr_in b{};
      b.sin_family = AF_INET;
      b.sin_addr.s_addr = htonl(INADDR_ANY);
      b.sin_port = htons(static_cast<std::uint16_t>(first + i));
      allFree = ::bind(s, reinterpret_cast<sockaddr*>(&b), sizeof b) == 0;
      ::close(s);
    }
    if (allFree) return first;
  }
  return 0;
}

// A connected pair of local (AF_UNIX) stream sockets. Unlike a loopback TCP pair it leaves no
// TIME_WAIT entry and takes no port, so programs that make thousands of connections a second
// (the fuzz programs) use it. False when the pair cannot be made.
inline bool localSocketPair(Socket& a, Socket& b) {
  int fds[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0) return false;
  a = Socket(fds[0]);
  b = Socket(fds[1]);
  return true;
}

// A connected pair of plain sockets over 127.0.0.1: `tool` made with connect, `peer` with
// accept.
struct SocketPair {
  Socket listener;
  Socket tool;
  Socket peer;
  int port = 0;

  bool open() {
    if (!listener.open() || !listener.bindListen(port, 2, "127.0.0.1").ok()) return false;
    if (!tool.open() || !tool.connect("127.0.0.1", port, std::chrono::seconds(5))) return false;
    return listener.accept(peer);
  }
  // Raw bytes on the peer's end.
  std::string rawRecv(std::size_t n) {
    std::string out(n, '\0');
    std::size_t got = 0;
    while (got < n) {
      const ssize_t r = ::recv(peer.handle(), out.data() + got, n - got, 0);
      if (r <= 0) break;
      got += static_cast<std::size_t>(r);
    }
    out.resize(got);
    return out;
  }
  void rawSend(std::string_view bytes) {
    ::send(peer.handle(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
  }
};
