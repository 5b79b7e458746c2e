#include "base/socket.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>
#include <utility>

#include "base/socket_test_support.h"

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

bool descriptorIsOpen(int fd) { return ::fcntl(fd, F_GETFD) != -1; }

TEST(SocketBind, TakenPortsMoveToTheNextAndFiveTakenFailWithTheBindMessage) {
  const int base = freeLoopbackPorts(6);
  PortHolder p0(base);
  ASSERT_GE(p0.fd, 0);
  Socket s;
  ASSERT_TRUE(s.open());
  int port = base;
  EXPECT_TRUE(s.bindListen(port, 2).ok());
  EXPECT_EQ(port, base + 1);

  PortHolder p2(base + 2), p3(base + 3), p4(base + 4), p5(base + 5);
  ASSERT_GE(p5.fd, 0);
  Socket t;
  ASSERT_TRUE(t.open());
  port = base;
  const OpResult failed = t.bindListen(port, 2);
  EXPECT_EQ(failed.code, EADDRINUSE);
  EXPECT_EQ(failed.message, "\nバインドに失敗しました。\nerr:" + std::to_string(EADDRINUSE));
  EXPECT_EQ(failed.caption, "エラー");

  Socket u;
  ASSERT_TRUE(u.open());
  port = 0;
  EXPECT_EQ(u.bindListen(port, 2, "not-an-address").code, EINVAL);
  Socket closed;
  EXPECT_FALSE(closed.bindListen(port, 2).ok());
}

TEST(SocketConnect, HostOf46CharactersIsRefusedAnd45IsTried) {
  Socket listener;
  int port = 0;
  ASSERT_TRUE(listener.open());
  ASSERT_TRUE(listener.bindListen(port, 2, "127.0.0.1").ok());
  // 127.0.0.1 written with leading zeros in its last part (octal 1).
  const std::string host45 = "127.0.0." + std::string(36, '0') + "1";
  ASSERT_EQ(host45.size(), 45u);
  Socket a;
  ASSERT_TRUE(a.open());
  EXPECT_TRUE(a.connect(host45, port, 1s));
  Socket b;
  ASSERT_TRUE(b.open());
  EXPECT_FALSE(b.connect(host45 + "1", port, 1s));
  EXPECT_FALSE(b.connect("no-such-host.invalid", port, 1s));
}

TEST(SocketOwnership, TheDescriptorIsClosedOnceByWhoeverHoldsIt) {
  Socket s;
  EXPECT_TRUE(s.open());
  EXPECT_FALSE(s.open());  // open already
  const int fd = s.handle();

  Socket moved(std::move(s));
  EXPECT_FALSE(s.isOpen());
  EXPECT_EQ(moved.handle(), fd);
  Socket assigned;
  ASSERT_TRUE(assigned.open());
  const int replaced = assigned.handle();
  assigned = std::move(moved);
  EXPECT_EQ(assigned.handle(), fd);
  EXPECT_FALSE(descriptorIsOpen(replaced));  // the one it held before is closed

  {
    Socket last(std::move(assigned));
  }
  EXPECT_FALSE(descriptorIsOpen(fd));
  assigned.close();  // closing a closed socket does nothing
  EXPECT_TRUE(assigned.open());
}

TEST(SocketOwnership, AnAdoptedLocalPairCarriesBytesAndClosesItsDescriptors) {
  Socket a;
  Socket b;
  ASSERT_TRUE(a.open());
  const int replaced = a.handle();
  ASSERT_TRUE(localSocketPair(a, b));
  EXPECT_FALSE(descriptorIsOpen(replaced));  // the one `a` held before is closed
  EXPECT_EQ(a.sendAll("line\r\n", 6), 6);
  char buf[8] = {};
  EXPECT_EQ(b.recvSome(buf, sizeof buf), 6);
  const int fd = b.handle();
  b.close();
  EXPECT_FALSE(descriptorIsOpen(fd));
  EXPECT_EQ(a.recvSome(buf, sizeof buf), 0);  // the peer's close
}

TEST(SocketPairs, BytesPassUnchangedAndAddressesAreKnown) {
  SocketPair pair;
  ASSERT_TRUE(pair.open());
  EXPECT_EQ(pair.tool.sendAll("plain\r\n", 7), 7);
  EXPECT_EQ(pair.rawRecv(7), "plain\r\n");
  char buf[8] = {};
  EXPECT_EQ(pair.tool.recvWaiting(buf, 4), -2);  // nothing there yet
  EXPECT_EQ(pair.tool.waitReadable(20ms), 0);
  pair.rawSend("back");
  EXPECT_EQ(pair.tool.waitReadable(1s), 1);
  EXPECT_EQ(pair.tool.recvSome(buf, 8), 4);
  EXPECT_EQ(std::string(buf, 4), "back");
  EXPECT_EQ(pair.tool.localAddress(), "127.0.0.1");
  EXPECT_EQ(Socket().localAddress(), "");

  EXPECT_TRUE(pair.tool.setKeepAlive(1));
  int value = 0;
  socklen_t size = sizeof value;
  ::getsockopt(pair.tool.handle(), SOL_SOCKET, SO_KEEPALIVE, &value, &size);
  EXPECT_EQ(value, 1);

  pair.peer.close();
  EXPECT_EQ(pair.tool.recvSome(buf, 8), 0);  // the peer's close
}

TEST(SocketPairs, SendingToAClosedPeerFailsInsteadOfEndingTheProcess) {
  SocketPair pair;
  ASSERT_TRUE(pair.open());
  pair.peer.close();
  std::this_thread::sleep_for(20ms);
  const std::string big(200000, 'x');
  int last = 0;
  for (int i = 0; i < 20 && last >= 0; ++i) last = pair.tool.sendAll(big.data(), static_cast<int>(big.size()));
  EXPECT_LT(last, static_cast<int>(big.size()));
}

TEST(SocketAccept, AcceptWithinGivesUpAfterItsWaitAndTakesAWaitingConnection) {
  SocketPair pair;
  ASSERT_TRUE(pair.open());
  Socket out;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(pair.listener.acceptWithin(out, 50ms));
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
  Socket client;
  ASSERT_TRUE(client.open());
  ASSERT_TRUE(client.connect("127.0.0.1", pair.port, 1s));
  EXPECT_TRUE(pair.listener.acceptWithin(out, 1s));
  EXPECT_TRUE(out.isOpen());
  EXPECT_FALSE(pair.listener.accept(out));  // `out` must be closed
}

}  // namespace
