#include "link/link_stream.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "link/link_test_support.h"
#include "ui/scripted/scripted_ui.h"
#include "vaultline/vaultline.h"

namespace {

using namespace std::chrono_literals;

class StreamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    useTestTiming();
    tool_ = VLT_KeyCreate(material_);
    unit_ = VLT_KeyImport(material_, 1);
    ASSERT_TRUE(pair_.open(tool_));
  }
  void TearDown() override {
    VLT_KeyDestroy(tool_);
    VLT_KeyDestroy(unit_);
    resetLinkTiming();
  }
  // What the main unit would send: `plain` enciphered on the unit-to-tool stream.
  std::string fromUnit(std::string plain) {
    auto* b = reinterpret_cast<unsigned char*>(plain.data());
    VLT_SendEncrypt(unit_, static_cast<int>(plain.size()), b, b);
    return plain;
  }
  // What the main unit reads from enciphered wire bytes.
  std::string atUnit(std::string wire) {
    auto* b = reinterpret_cast<unsigned char*>(wire.data());
    VLT_RecvDecrypt(unit_, static_cast<int>(wire.size()), b, b);
    return wire;
  }
  int readLine(char* buf, int size, std::chrono::milliseconds wait = 300ms) {
    return pair_.stream.readLineWait(buf, size, wait);
  }

  ScriptedUi ui_;
  unsigned char material_[64] = {};
  int tool_ = 0, unit_ = 0;
  StreamPair pair_;
};

TEST_F(StreamTest, OnlyThePlainLineLeavesUnencipheredAndEverythingElseUsesTheStreamsKey) {
  LinkStream& s = pair_.stream;
  EXPECT_EQ(s.sendPlainLine("GET"), 5);
  EXPECT_EQ(pair_.rawRecv(5), "GET\r\n");
  EXPECT_EQ(s.sendLine("secret"), 8);
  const std::string wire = pair_.rawRecv(8);
  EXPECT_NE(wire, "secret\r\n");
  EXPECT_EQ(atUnit(wire), "secret\r\n");
  pair_.rawSend(fromUnit("answer"));
  char buf[16] = {};
  EXPECT_EQ(s.recvSome(buf, 6), 6);
  EXPECT_EQ(std::string(buf, 6), "answer");

  // Without a key both directions are plain.
  s.setKey(0);
  EXPECT_EQ(s.sendLine("plain"), 7);
  EXPECT_EQ(pair_.rawRecv(7), "plain\r\n");
  pair_.rawSend("back");
  EXPECT_EQ(s.recvSome(buf, 4), 4);
  EXPECT_EQ(std::string(buf, 4), "back");

  s.close();
  EXPECT_EQ(s.sendLine("gone"), -1);
}

TEST_F(StreamTest, LinesAreDecipheredOneByteAtATimeAndKeepABareLf) {
  pair_.rawSend(fromUnit("HTTP/1.1 200 OK\r\na\nb\rc\r\n\r\n"));
  char buf[64];
  EXPECT_EQ(readLine(buf, sizeof buf), 15);
  EXPECT_STREQ(buf, "HTTP/1.1 200 OK");
  EXPECT_EQ(readLine(buf, sizeof buf), 5);
  EXPECT_STREQ(buf, "a\nb\rc");
  EXPECT_EQ(readLine(buf, sizeof buf), 0);
}

TEST_F(StreamTest, LinesStopAtTheBufferAndAtTheClose) {
  pair_.stream.setKey(0);
  pair_.rawSend("abcdefgh\r\nxy");
  char buf[5];
  EXPECT_EQ(readLine(buf, sizeof buf), 4);
  EXPECT_STREQ(buf, "abcd");
  EXPECT_EQ(readLine(buf, sizeof buf), 4);
  EXPECT_STREQ(buf, "efgh");
  EXPECT_EQ(readLine(buf, sizeof buf), 0);  // the CR LF left over
  pair_.peer.close();
  std::chrono::milliseconds wait = 300ms;
  EXPECT_EQ(pair_.stream.readLineWait(buf, sizeof buf, wait), 2);
  EXPECT_STREQ(buf, "xy");
  EXPECT_EQ(wait, 300ms);  // a close is no expiry
}

TEST_F(StreamTest, AnExpiredWaitIsReportedThroughTheWait) {
  pair_.stream.setKey(0);
  pair_.rawSend("par");
  char buf[64];
  std::chrono::milliseconds wait = 50ms;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(pair_.stream.readLineWait(buf, sizeof buf, wait), -1);
  EXPECT_EQ(wait.count(), -1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
}

TEST_F(StreamTest, RecvBlockDeciphersTheRequestedLengthAndCountsWhatArrived) {
  ProgressProbe probe;
  std::string body(3000, 'x');
  for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>('a' + i % 26);
  const std::string wire = fromUnit(body);
  std::thread sender([&] {
    pair_.rawSend(wire.substr(0, 700));
    std::this_thread::sleep_for(20ms);
    pair_.rawSend(wire.substr(700));
  });
  std::vector<char> buf(3000);
  EXPECT_EQ(pair_.stream.recvBlock(buf.data(), 3000, 300ms, true), 3000);
  sender.join();
  EXPECT_EQ(std::string(buf.data(), 3000), body);
  const auto done = probe.values(kBytesDoneMessage);
  ASSERT_FALSE(done.empty());
  EXPECT_EQ(done.back(), 3000u);
  for (std::size_t i = 1; i < done.size(); ++i) EXPECT_LE(done[i] - done[i - 1], 1024u);

  // A short body: the count is what arrived; the stream moved on by the whole request.
  pair_.rawSend(fromUnit("abc"));
  EXPECT_EQ(pair_.stream.recvBlock(buf.data(), 10, 50ms, false), 3);
  EXPECT_EQ(std::string(buf.data(), 3), "abc");
  std::string skipped(7, '\0');
  fromUnit(skipped);  // the unit's stream skips what the tool deciphered in vain
  pair_.rawSend(fromUnit("z"));
  EXPECT_EQ(pair_.stream.recvBlock(buf.data(), 1, 300ms, false), 1);
  EXPECT_EQ(buf[0], 'z');
}

TEST_F(StreamTest, SendBlockEnciphersAndReportsAfterEveryPieceButTheFirst) {
  ProgressProbe probe;
  const std::string body(2500, 'q');
  std::string copy = body;
  EXPECT_EQ(pair_.stream.sendBlock(copy.data(), 2500, true), 2500);
  EXPECT_EQ(atUnit(pair_.rawRecv(2500)), body);
  EXPECT_EQ(probe.values(kBytesDoneMessage), (std::vector<std::uintptr_t>{2048, 2500}));
}

}  // namespace
