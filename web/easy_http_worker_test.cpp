// Hostile input for the editor worker: malformed request lines and heads, impossible lengths,
// bodies of every byte, huge and truncated field names, many clients at once. The server must
// answer or close every connection, stay up, and change the tables only as the rules say.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "data/phonebook_tables.h"
#include "data/process_state.h"
#include "data/restriction_table.h"
#include "data/system_data.h"
#include "ui/scripted/scripted_ui.h"
#include "web/easy_http_server.h"
#include "web/form_parser.h"
#include "web/http_client_test_support.h"

namespace fs = std::filesystem;

namespace {

class HttpFuzzTest : public ::testing::Test {
 protected:
  void SetUp() override {
    initProcessState();
    initSystemData();
    char tmpl[] = "/tmp/zu-fuzz-XXXXXX";
    root_ = std::string(mkdtemp(tmpl)) + "/";
    fs::create_directories(root_ + "hoshu");
    std::ofstream(root_ + "index.html") << "<html>ok</html>";
    std::ofstream(root_ + "hoshu/16tansyuku_01.html") << "<html>sd</html>";
    EasyHttpTiming t;
    t.head = std::chrono::milliseconds(500);
    t.body = std::chrono::milliseconds(300);
    t.bodyStart = std::chrono::milliseconds(0);
    t.pumpBeforeReload = t.pumpAfterReload = 0;
    t.lockAttempts = 2000;
    server_.SetPort(0);
    server_.SetDocumentRoot(root_);
    server_.SetTiming(t);
    ui_.onDialog(389, [](DialogDriver& d) { d.click(IDOK); });
    ASSERT_TRUE(server_.Start());
  }
  void TearDown() override {
    server_.Stop();
    fs::remove_all(root_);
  }
  // Sends the bytes; true when the server answered or closed within the time.
  bool answersOrCloses(const std::string& bytes, std::string* answer = nullptr) {
    testhttp::Connection c(server_.GetPort());
    if (c.fd < 0) return false;
    c.send(bytes);
    bool closed = false;
    std::string got = c.receiveAll(std::chrono::milliseconds(8000), &closed);
    if (answer != nullptr) *answer = got;
    return closed;
  }
  bool stillServes() { return testhttp::roundTrip(server_.GetPort(), "GET / HTTP/1.0\r\n\r\n").ends_with("<html>ok</html>"); }

  ScriptedUi ui_;
  EasyHttpServer server_;
  std::string root_;
};

TEST_F(HttpFuzzTest, MalformedRequestLinesAndHeads) {
  std::mt19937 rng(7);
  std::vector<std::string> requests = {
      "", "\r\n", "GET", "GET / ", " / HTTP/1.0\r\n\r\n", "GET  HTTP/1.0\r\n\r\n", "GET /%\r\n\r\n",
      "GET /%4 HTTP/1.0\r\n\r\n", "GET /% HTTP/1.0\r\n\r\n", "GET /?%%% HTTP/1.0\r\n\r\n",
      "GET /hoshu/16tansyuku_01.js?99999999999999999999999 HTTP/1.0\r\n\r\n",
      "GET /hoshu/16tansyuku_01.js?-2147483648 HTTP/1.0\r\n\r\n",
      "GET /99999999999999999999_99999999999999.js HTTP/1.0\r\n\r\n", "GET /_.js HTTP/1.0\r\n\r\n",
      "GET /" + std::string(5000, 'a') + " HTTP/1.0\r\n\r\n",
      "GET / HTTP/1.0\r\n" + std::string(1 << 20, 'X') + "\r\n\r\n",
      "GET / HTTP/1.0\r\nContent-Length: \r\n\r\n", "GET / HTTP/1.0\r\nContent-Length: -5\r\n\r\n",
      "GET / HTTP/1.0\r\nContent-Length: abc\r\n\r\n", "GET / HTTP/1.0\r\nContent-Length: 2024001\r\n\r\n",
      "GET / HTTP/1.0\r\nContent-Length: 999999999\r\n\r\n", "GET / HTTP/1.0\r\nContent-Length: 100\r\n\r\nshort",
      "GET / HTTP/1.0\r\nContent-Length:5\r\n\r\nhello", "GET / HTTP/1.0\r\nContent-Type: \r\n\r\n"};
  std::string headers = "GET / HTTP/1.0\r\n";
  for (int i = 0; i < 2000; ++i) headers += "Accept: " + std::string(500, 'z') + "\r\n";
  requests.push_back(headers + "\r\n");  // a 1 MB head made of many lines
  for (int i = 0; i < 40; ++i) {
    std::string junk(static_cast<std::size_t>(rng() % 3000), '\0');
    for (char& c : junk) c = static_cast<char>(rng());
    requests.push_back(junk);
  }
  for (const std::string& r : requests) {
    EXPECT_TRUE(answersOrCloses(r)) << r.substr(0, 60);
  }
  EXPECT_TRUE(stillServes());
}

TEST_F(HttpFuzzTest, BodiesOfEveryByteTouchNoTableOutsideTheirFamilies) {
  std::mt19937 rng(11);
  snapshotPhonebook();
  const PhonebookImage* before = new PhonebookImage(phonebookImage);
  for (int round = 0; round < 30; ++round) {
    std::string body(static_cast<std::size_t>(rng() % 20000), '\0');
    for (char& c : body) {
      c = static_cast<char>(rng());
      if (c == 'm' || c == 's' || c == 't') c = 'x';  // no field can name a phonebook family
    }
    const std::string request = "POST /hoshu/16tansyuku_01.html?1 HTTP/1.0\r\nContent-Type: "
                                "application/x-www-form-urlencoded\r\nContent-Length: " +
                                std::to_string(body.size()) + "\r\n\r\n" + body;
    std::string answer;
    EXPECT_TRUE(answersOrCloses(request, &answer));
    EXPECT_NE(answer.find("<html>sd</html>"), std::string::npos);
  }
  { std::lock_guard<std::mutex> settled(tableLock()); }
  EXPECT_EQ(std::memcmp(before, &phonebookImage, sizeof(PhonebookImage)), 0);
  delete before;
  EXPECT_TRUE(stillServes());
}

TEST_F(HttpFuzzTest, HugeTruncatedAndManyFields) {
  std::string many;
  for (int i = 0; i < 10000; ++i) many += "m070_" + std::to_string(i % 10000) + "n" + std::to_string(i % 11) + "=%8&";
  const std::vector<std::string> bodies = {
      many,
      "m070_" + std::string(100000, '9') + "n1=1&m018_" + std::string(5000, '9') + "=2&m046_999999=3",
      "m072_99999999999999999999n2=x&t999999_999999n2=y&t-1_0n2=z&m072_711n2=ok",
      "m070_0000n1=%&m070_0000n2=%A&m070_0000n3=%%%&m018_0000=%2",
      std::string(100000, '&') + "=", std::string(100000, '=') + "m018_0001=5",
      "m018_0002=" + std::string(1000000, '7'), "m070_0049n1=12345678901234567890123456789&m070_0049n4=1"};
  std::lock_guard<std::mutex> tables(tableLock());
  for (const std::string& body : bodies) {
    std::unique_ptr<char[]> exact(new char[body.size() + 1]);
    std::memcpy(exact.get(), body.c_str(), body.size() + 1);
    ParseFormBody(exact.get());
  }
  ExtensionFields f;
  getExtensionEntry(0, 711, f);
  EXPECT_STREQ(f.name, "ok");
  EXPECT_STREQ(restrictionTable[2].number, "777777777777777777777777");
}

TEST_F(HttpFuzzTest, ManyClientsAtOnce) {
  std::atomic<int> unanswered{0};
  std::vector<std::thread> clients;
  for (int t = 0; t < 8; ++t) {
    clients.emplace_back([&, t] {
      std::mt19937 rng(static_cast<unsigned>(t));
      for (int i = 0; i < 25; ++i) {
        std::string request;
        switch (rng() % 4) {
          case 0: request = "GET /hoshu/16tansyuku_01.js?" + std::to_string(rng() % 201) + " HTTP/1.0\r\n\r\n"; break;
          case 1: {
            const std::string body = "m018_" + std::to_string(1000 + t * 50) + "=" + std::to_string(rng()) + "&m070_" +
                                     std::to_string(rng() % 10000) + "n1=" + std::to_string(rng() % 1000);
            request = "POST /hoshu/16tansyuku_01.html HTTP/1.0\r\nContent-Type: application/x-www-form-urlencoded\r\n"
                      "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
            break;
          }
          case 2: request = "GET /index.html HTTP/1.0\r\n\r\n"; break;
          default: request = "GARBAGE"; break;
        }
        testhttp::Connection c(server_.GetPort());
        c.send(request);
        bool closed = false;
        c.receiveAll(std::chrono::milliseconds(20000), &closed);
        if (!closed) ++unanswered;
      }
    });
  }
  for (auto& c : clients) c.join();
  EXPECT_EQ(unanswered.load(), 0);
  EXPECT_TRUE(stillServes());
}

}  // namespace
