// Shared pieces of the link's tests: a stand-in progress window that records what it is sent,
// a connected pair of loopback sockets whose tool end is a link stream, and test timing.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "base/socket_test_support.h"
#include "link/link_stream.h"
#include "link/link_timing.h"
#include "link/progress_messages.h"
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

// A connected pair over 127.0.0.1 whose tool end is a link stream with `key` (0: plain).
struct StreamPair : SocketPair {
  LinkStream stream;

  bool open(int key = 0) {
    if (!SocketPair::open()) return false;
    stream = LinkStream(std::move(tool), key);
    return true;
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
