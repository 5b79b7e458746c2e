#include "link/tcp_socket.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "link/link_test_support.h"
#include "ui/scripted/scripted_ui.h"
#include "vaultline/vaultline.h"

namespace {

using namespace std::chrono_literals;

// A raw listening socket that holds a port.
struct PortHolder {
    int fd = -1;
    explicit PortHolder(int port) {
        fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_ANY);
        a.sin_port = htons(static_cast<std::uint16_t>(port));
        if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 1) != 0) {
            ::close(fd);
            fd = -1;
        }
    }
    ~PortHolder() {
        if (fd >= 0) ::close(fd);
    }
};

class SocketTest : public ::testing::Test {
protected:
    void SetUp() override {
        useTestTiming();
        cipherMode = 2;
        tool_ = VLT_KeyCreate(material_);
        unit_ = VLT_KeyImport(material_, 1);
        keyHandle = tool_;
        ASSERT_TRUE(pair_.open());
    }
    void TearDown() override {
        VLT_KeyDestroy(tool_);
        VLT_KeyDestroy(unit_);
        keyHandle = 0;
        cipherMode = 0;
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

    ScriptedUi ui_;
    unsigned char material_[64] = {};
    int tool_ = 0, unit_ = 0;
    SocketPair pair_;
};

TEST(SocketBind, TakenPortMovesToTheNextAndReportsThePortBound) {
    ScriptedUi ui;
    const int base = freeLoopbackPorts(2);
    PortHolder taken(base);
    ASSERT_GE(taken.fd, 0);
    TcpSocket s;
    ASSERT_TRUE(s.Create());
    int port = base;
    EXPECT_TRUE(s.BindListen(port, 2));
    EXPECT_EQ(port, base + 1);
    EXPECT_TRUE(ui.messages().empty());
}

TEST(SocketBind, FiveTakenPortsFailWithTheBindMessage) {
    ScriptedUi ui;
    const int base = freeLoopbackPorts(5);
    PortHolder p0(base), p1(base + 1), p2(base + 2), p3(base + 3), p4(base + 4);
    ASSERT_GE(p4.fd, 0);
    TcpSocket s;
    ASSERT_TRUE(s.Create());
    int port = base;
    EXPECT_FALSE(s.BindListen(port, 2));
    ASSERT_EQ(ui.messages().size(), 1u);
    const auto m = ui.lastMessage();
    EXPECT_EQ(m.text, "\nバインドに失敗しました。\nerr:" + std::to_string(EADDRINUSE));
    EXPECT_EQ(m.caption, "エラー");
    EXPECT_EQ(m.type, MB_ICONWARNING | MB_OK);
}

TEST(SocketConnect, HostOf46CharactersIsRefusedAnd45IsTried) {
    TcpSocket listener;
    int port = 0;
    ASSERT_TRUE(listener.Create());
    ASSERT_TRUE(listener.BindListen(port, 2, "127.0.0.1"));
    // 127.0.0.1 written with leading zeros in its last part (octal 1).
    std::string host45 = "127.0.0." + std::string(36, '0') + "1";
    ASSERT_EQ(host45.size(), 45u);
    TcpSocket a;
    ASSERT_TRUE(a.Create());
    EXPECT_TRUE(a.Connect(host45, port));
    TcpSocket b;
    ASSERT_TRUE(b.Create());
    const std::string host46 = "127.0.0." + std::string(37, '0') + "1";
    ASSERT_EQ(host46.size(), 46u);
    EXPECT_FALSE(b.Connect(host46, port));
    EXPECT_FALSE(b.Connect("no-such-host.invalid", port));
}

TEST(SocketCreate, FailsWhenAlreadyOpenAndCloseIsRepeatable) {
    TcpSocket s;
    EXPECT_TRUE(s.Create());
    EXPECT_FALSE(s.Create());
    s.Close();
    EXPECT_FALSE(s.IsOpen());
    s.Close();
    EXPECT_TRUE(s.Create());
}

TEST_F(SocketTest, CipherModeDecidesWhichDirectionIsEnciphered) {
    // 2: both plain.
    cipherMode = 2;
    EXPECT_EQ(pair_.tool.SendLine("plain"), 7);
    EXPECT_EQ(pair_.rawRecv(7), "plain\r\n");
    pair_.rawSend("back");
    char buf[16] = {};
    EXPECT_EQ(pair_.tool.RecvSome(buf, 4), 4);
    EXPECT_EQ(std::string(buf, 4), "back");

    // 1: sends plain, receives deciphered.
    cipherMode = 1;
    EXPECT_EQ(pair_.tool.SendLine("GET"), 5);
    EXPECT_EQ(pair_.rawRecv(5), "GET\r\n");
    pair_.rawSend(fromUnit("answer"));
    EXPECT_EQ(pair_.tool.RecvSome(buf, 6), 6);
    EXPECT_EQ(std::string(buf, 6), "answer");

    // 0: both enciphered.
    cipherMode = 0;
    EXPECT_EQ(pair_.tool.SendLine("secret"), 8);
    const std::string wire = pair_.rawRecv(8);
    EXPECT_NE(wire, "secret\r\n");
    EXPECT_EQ(atUnit(wire), "secret\r\n");
    pair_.rawSend(fromUnit("more"));
    EXPECT_EQ(pair_.tool.RecvSome(buf, 4), 4);
    EXPECT_EQ(std::string(buf, 4), "more");
}

TEST_F(SocketTest, ReadLineKeepsBareLfAndDropsTheFinalCrLf) {
    pair_.rawSend("a\nb\rc\r\nnext\r\n");
    char buf[64];
    EXPECT_EQ(pair_.tool.ReadLine(buf, sizeof buf), 5);
    EXPECT_STREQ(buf, "a\nb\rc");
    EXPECT_EQ(pair_.tool.ReadLine(buf, sizeof buf), 4);
    EXPECT_STREQ(buf, "next");
}

TEST_F(SocketTest, ReadLineStopsAtTheBufferAndAtTheClose) {
    pair_.rawSend("abcdefgh\r\nxy");
    char buf[5];
    EXPECT_EQ(pair_.tool.ReadLine(buf, sizeof buf), 4);
    EXPECT_STREQ(buf, "abcd");
    EXPECT_EQ(pair_.tool.ReadLine(buf, sizeof buf), 4);
    EXPECT_STREQ(buf, "efgh");
    EXPECT_EQ(pair_.tool.ReadLine(buf, sizeof buf), 0);  // the CR LF left over
    pair_.peer.Close();
    EXPECT_EQ(pair_.tool.ReadLine(buf, sizeof buf), 2);
    EXPECT_STREQ(buf, "xy");
}

TEST_F(SocketTest, ReadLinesDecipherOneByteAtATime) {
    cipherMode = 0;
    pair_.rawSend(fromUnit("HTTP/1.1 200 OK\r\nServer: x\r\n\r\n"));
    char buf[64];
    std::chrono::milliseconds wait = 300ms;
    EXPECT_EQ(pair_.tool.ReadLineWait(buf, sizeof buf, wait), 15);
    EXPECT_STREQ(buf, "HTTP/1.1 200 OK");
    EXPECT_EQ(pair_.tool.ReadLine(buf, sizeof buf), 9);
    EXPECT_STREQ(buf, "Server: x");
    EXPECT_EQ(pair_.tool.ReadLineTimed(buf, sizeof buf, 300ms), 0);
}

TEST_F(SocketTest, ReadLineWaitExpiryIsReportedThroughTheWait) {
    pair_.rawSend("par");
    char buf[64];
    std::chrono::milliseconds wait = 50ms;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(pair_.tool.ReadLineWait(buf, sizeof buf, wait), -1);
    EXPECT_EQ(wait.count(), -1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    // A closed peer ends the line without an expiry.
    pair_.rawSend("tial");
    pair_.peer.Close();
    wait = 300ms;
    EXPECT_EQ(pair_.tool.ReadLineWait(buf, sizeof buf, wait), 4);
    EXPECT_STREQ(buf, "tial");
    EXPECT_EQ(wait, 300ms);
}

TEST_F(SocketTest, ReadLineTimedReturnsWhatItHasOnATimeOut) {
    pair_.rawSend("GET /x");
    char buf[64];
    EXPECT_EQ(pair_.tool.ReadLineTimed(buf, sizeof buf, 50ms), 6);
    EXPECT_STREQ(buf, "GET /x");
}

TEST_F(SocketTest, RecvExactGathersPiecesAndDeciphersTheWholeLength) {
    cipherMode = 0;
    const std::string wire = fromUnit("0123456789");
    std::thread sender([&] {
        pair_.rawSend(wire.substr(0, 3));
        std::this_thread::sleep_for(20ms);
        pair_.rawSend(wire.substr(3));
    });
    char buf[10];
    EXPECT_EQ(pair_.tool.RecvExact(buf, 10, 1000ms), 10);
    sender.join();
    EXPECT_EQ(std::string(buf, 10), "0123456789");
}

TEST_F(SocketTest, RecvBlockDeciphersTheRequestedLengthAndCountsWhatArrived) {
    ProgressProbe probe;
    cipherMode = 2;  // block reads decipher whatever the mode says
    std::string body(3000, 'x');
    for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>('a' + i % 26);
    pair_.rawSend(fromUnit(body));
    std::vector<char> buf(3000);
    EXPECT_EQ(pair_.tool.RecvBlock(buf.data(), 3000, 300ms, true), 3000);
    EXPECT_EQ(std::string(buf.data(), 3000), body);
    const auto done = probe.values(kBytesDoneMessage);
    ASSERT_FALSE(done.empty());
    EXPECT_EQ(done.back(), 3000u);
    for (std::size_t i = 1; i < done.size(); ++i) EXPECT_LE(done[i] - done[i - 1], 1024u);

    // A short body: the count is what arrived; the stream moved on by the whole request.
    pair_.rawSend(fromUnit("abc"));
    EXPECT_EQ(pair_.tool.RecvBlock(buf.data(), 10, 50ms, false), 3);
    EXPECT_EQ(std::string(buf.data(), 3), "abc");
    std::string skipped(7, '\0');
    fromUnit(skipped);  // the unit's stream skips what the tool deciphered in vain
    pair_.rawSend(fromUnit("z"));
    EXPECT_EQ(pair_.tool.RecvBlock(buf.data(), 1, 300ms, false), 1);
    EXPECT_EQ(buf[0], 'z');
}

TEST_F(SocketTest, SendBlockEnciphersAlwaysAndReportsAfterEveryPieceButTheFirst) {
    ProgressProbe probe;
    cipherMode = 2;
    std::string body(2500, 'q');
    std::string copy = body;
    EXPECT_EQ(pair_.tool.SendBlock(copy.data(), 2500, true), 2500);
    EXPECT_EQ(atUnit(pair_.rawRecv(2500)), body);
    EXPECT_EQ(probe.values(kBytesDoneMessage), (std::vector<std::uintptr_t>{2048, 2500}));
}

TEST_F(SocketTest, AcceptWaitGivesUpAfterItsTimeOut) {
    linkTiming().acceptData = 50ms;
    TcpSocket out;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(pair_.listener.AcceptWait(out));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    // A connection that is already waiting is accepted.
    TcpSocket client;
    ASSERT_TRUE(client.Create());
    ASSERT_TRUE(client.Connect("127.0.0.1", pair_.port));
    EXPECT_TRUE(pair_.listener.AcceptWait(out));
    EXPECT_TRUE(out.IsOpen());
}

TEST_F(SocketTest, AddressesOfBothEnds) {
    EXPECT_EQ(pair_.tool.LocalAddress(), "127.0.0.1");
    EXPECT_EQ(pair_.peer.PeerAddress(), "127.0.0.1");
    TcpSocket closed;
    EXPECT_EQ(closed.LocalAddress(), "");
}

TEST_F(SocketTest, SendingToAClosedPeerFailsInsteadOfEndingTheProcess) {
    pair_.peer.Close();
    std::this_thread::sleep_for(20ms);
    std::string big(200000, 'x');
    int last = 0;
    for (int i = 0; i < 20 && last >= 0; ++i) last = pair_.tool.SendBlock(big.data(), static_cast<int>(big.size()), false);
    EXPECT_LT(last, static_cast<int>(big.size()));
}

TEST_F(SocketTest, KeepAliveIsSet) {
    EXPECT_TRUE(pair_.tool.SetKeepAlive(1));
    int value = 0;
    socklen_t size = sizeof value;
    ::getsockopt(pair_.tool.Handle(), SOL_SOCKET, SO_KEEPALIVE, &value, &size);
    EXPECT_EQ(value, 1);
}

}  // namespace
