// The editor server under load: a thousand requests one after another and a thousand from eight
// clients at once, of every kind (pages, data scripts, static files, missing files, form posts),
// beside slow clients and connections that never send. Every request is answered as it should
// be, the server still serves afterwards, and no thread or descriptor is left behind. Nothing
// here is timed: the speed figures come from bench/web_bench.cpp.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "data/process_state.h"
#include "data/restriction_table.h"
#include "data/system_data.h"
#include "ui/scripted/scripted_ui.h"
#include "web/easy_http_server.h"
#include "web/http_client_test_support.h"

namespace fs = std::filesystem;

namespace {

std::size_t entriesOf(const char* folder) {
  return static_cast<std::size_t>(
      std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

struct Request {
  std::string bytes;
  const char* status;  // the status line the answer starts with
};

std::string post(const std::string& target, const std::string& body) {
  return "POST " + target +
         " HTTP/1.0\r\nHost: 127.0.0.1\r\nContent-Type: application/x-www-form-urlencoded\r\n"
         "Content-Length: " +
         std::to_string(body.size()) + "\r\n\r\n" + body;
}

// One request of each kind the editor meets; request i of a run is kinds[i % size].
std::vector<Request> requestKinds() {
  const char* ok = "HTTP/1.0 200 OK\r\n";
  const char* missing = "HTTP/1.0 404 Not Found\r\n";
  auto get = [](const std::string& target) {
    return "GET " + target + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
  };
  return {
      {get("/"), ok},
      {get("/system/26sysfunc_01.html"), ok},
      {get("/hoshu/16tansyuku_01.js?3"), ok},
      {get("/hoshu/23naisen_01.js?1"), ok},
      {get("/hoshu/24naityaku_01.js?7"), ok},
      {get("/system/26sysfunc_01.js?9"), ok},
      {get("/hoshu/27teikei_01.js?2"), ok},
      {get("/common.js"), ok},
      {get("/style.css"), ok},
      {get("/image.gif"), ok},
      {get("/missing.html"), missing},
      {get("/hoshu/"), missing},
      {post("/system/26sysfunc_01.html?2", "m018_0050=0312&m018_0051=045"), ok},
      {"HEAD /index.html HTTP/1.0\r\n\r\n", ok},
      {"GET / HTTP/1.0\r\nHost: evil.example\r\n\r\n", "HTTP/1.0 403 Forbidden\r\n"},
  };
}

class ServerLoad : public ::testing::Test {
 protected:
  void SetUp() override {
    initProcessState();
    initSystemData();
    char tmpl[] = "/tmp/zu-load-XXXXXX";
    root_ = std::string(mkdtemp(tmpl)) + "/";
    fs::create_directories(root_ + "hoshu");
    fs::create_directories(root_ + "system");
    write("index.html", "<html>start</html>");
    write("system/26sysfunc_01.html", "<html>restriction page</html>");
    write("common.js", "function common() {}\n");
    write("style.css", std::string(30000, 'c'));  // streamed in pieces, with its pauses
    write("image.gif", std::string(3000, '\x47'));
    EasyHttpTiming t;
    t.head = std::chrono::milliseconds(3000);
    t.bodyStart = std::chrono::milliseconds(0);
    t.body = std::chrono::milliseconds(3000);
    t.pause = std::chrono::milliseconds(1);
    t.pumpBeforeReload = t.pumpAfterReload = 0;
    server_.SetPort(0);
    server_.SetDocumentRoot(root_);
    server_.SetTiming(t);
    ASSERT_TRUE(server_.Start());
    port_ = server_.GetPort();
  }
  void TearDown() override {
    server_.Stop();
    fs::remove_all(root_);
  }
  void write(const std::string& rel, const std::string& bytes) {
    std::ofstream(root_ + rel, std::ios::binary) << bytes;
  }
  // Sends request `i` of the mix; true when its answer starts with the expected status line and
  // the connection was closed after it.
  bool answered(std::size_t i) {
    const Request& r = kinds_[i % kinds_.size()];
    testhttp::Connection c(port_);
    if (c.fd < 0 || !c.send(r.bytes)) return false;
    bool closed = false;
    const std::string answer = c.receiveAll(std::chrono::milliseconds(20000), &closed);
    return closed && answer.starts_with(r.status);
  }

  ScriptedUi ui_;
  EasyHttpServer server_;
  std::string root_;
  int port_ = 0;
  const std::vector<Request> kinds_ = requestKinds();
};

TEST_F(ServerLoad, EveryRequestIsAnsweredAndNothingIsLeftBehind) {
  const std::size_t threads = entriesOf("/proc/self/task");
  const std::size_t fds = entriesOf("/proc/self/fd");

  // Connections that never send and slow clients stay open through both runs.
  std::vector<std::unique_ptr<testhttp::Connection>> silent;
  for (int i = 0; i < 12; ++i) silent.push_back(std::make_unique<testhttp::Connection>(port_));
  std::atomic<bool> stop{false};
  std::atomic<int> slowAnswered{0}, slowSent{0};
  std::vector<std::thread> slow;
  for (int s = 0; s < 2; ++s) {
    slow.emplace_back([&] {
      while (!stop.load()) {
        testhttp::Connection c(port_);
        ++slowSent;
        bool ok = true;
        for (const char* piece : {"GET /index", ".html HTTP/1.0\r\n", "Accept: */*\r\n", "\r\n"}) {
          ok = ok && c.send(piece);
          std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (ok && c.receiveAll().ends_with("<html>start</html>")) ++slowAnswered;
      }
    });
  }

  int failed = 0;
  for (std::size_t i = 0; i < 1000; ++i) failed += answered(i) ? 0 : 1;
  EXPECT_EQ(failed, 0) << "of 1000 sequential requests";

  std::atomic<int> concurrentFailed{0};
  std::vector<std::thread> clients;
  for (std::size_t t = 0; t < 8; ++t) {
    clients.emplace_back([&, t] {
      for (std::size_t i = 0; i < 125; ++i)
        if (!answered(t * 125 + i + t)) ++concurrentFailed;
    });
  }
  for (auto& c : clients) c.join();
  EXPECT_EQ(concurrentFailed.load(), 0) << "of 1000 requests from 8 clients at once";

  stop.store(true);
  for (auto& s : slow) s.join();
  EXPECT_EQ(slowAnswered.load(), slowSent.load());
  EXPECT_GT(slowSent.load(), 0);

  // The posts reached the tables; the connections that never sent got no answer.
  {
    std::lock_guard<std::mutex> lock(tableLock());
    EXPECT_STREQ(restrictionTable[50].number, "0312");
  }
  for (const auto& c : silent) EXPECT_EQ(c->receiveAll(std::chrono::milliseconds(0)), "");
  silent.clear();
  EXPECT_TRUE(answered(0));

  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while ((entriesOf("/proc/self/task") > threads || entriesOf("/proc/self/fd") > fds) &&
         std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_EQ(entriesOf("/proc/self/task"), threads);
  EXPECT_EQ(entriesOf("/proc/self/fd"), fds);
}

}  // namespace
