// Shared pieces of the link's tests: a stand-in progress window that records what it is sent,
// and a connected pair of loopback sockets.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "link/link_timing.h"
#include "link/tcp_socket.h"
#include "ui/dialog.h"
#include "ui/message_pump.h"

// Registers under a title (by default the transfer progress title) and records every message
// delivered to it by the pump.
class ProgressProbe : public CWnd {
public:
    explicit ProgressProbe(std::string_view title = kTransferProgressTitle) {
        SetWindowText(title);
        attachWindow();
    }
    ~ProgressProbe() override { detachWindow(); }

    void OnMessage(unsigned msg, std::uintptr_t wParam) override {
        std::lock_guard lock(mutex_);
        received_.emplace_back(msg, wParam);
    }
    // Delivers everything still waiting for this thread's windows.
    void drain() {
        while (pumpOneMessage()) {
        }
    }
    // wParams of the delivered messages numbered `msg`, in order.
    std::vector<std::uintptr_t> values(unsigned msg) {
        drain();
        std::lock_guard lock(mutex_);
        std::vector<std::uintptr_t> out;
        for (auto& [m, w] : received_)
            if (m == msg) out.push_back(w);
        return out;
    }
    std::vector<std::pair<unsigned, std::uintptr_t>> all() {
        drain();
        std::lock_guard lock(mutex_);
        return received_;
    }

private:
    std::mutex mutex_;
    std::vector<std::pair<unsigned, std::uintptr_t>> received_;
};

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

// A connected pair over 127.0.0.1: `tool` made with Connect, `peer` with Accept.
struct SocketPair {
    TcpSocket listener;
    TcpSocket tool;
    TcpSocket peer;
    int port = 0;

    bool open() {
        if (!listener.Create() || !listener.BindListen(port, 2, "127.0.0.1")) return false;
        if (!tool.Create() || !tool.Connect("127.0.0.1", port)) return false;
        return listener.Accept(peer);
    }
    // Raw bytes on the peer's end, bypassing every cipher.
    std::string rawRecv(std::size_t n) {
        std::string out(n, '\0');
        std::size_t got = 0;
        while (got < n) {
            const ssize_t r = ::recv(peer.Handle(), out.data() + got, n - got, 0);
            if (r <= 0) break;
            got += static_cast<std::size_t>(r);
        }
        out.resize(got);
        return out;
    }
    void rawSend(std::string_view bytes) {
        ::send(peer.Handle(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
    }
};

// Link timing for tests: no pacing, every time-out short.
inline void useTestTiming(std::chrono::milliseconds timeout = std::chrono::milliseconds(300)) {
    resetLinkTiming();
    LinkTiming& t = linkTiming();
    t.pacingScale = 0;
    t.connect = t.answerStatusLine = t.answerHeaderLine = t.answerBody = t.acceptData = timeout;
    t.requestLine = t.fetchStatusLine = t.blockRead = timeout;
}
