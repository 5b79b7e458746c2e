#include "app/bellwick_app.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "data/phonebook_tables.h"
#include "data/process_state.h"

namespace {

// A link object that tells when it is deleted.
class CountedTransfer : public CTCPFileTransfer {
 public:
  explicit CountedTransfer(int& deletions) : CTCPFileTransfer(nullptr), m_deletions(deletions) {}
  ~CountedTransfer() override { ++m_deletions; }

 private:
  int& m_deletions;
};

class BellwickAppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    home_ = cwd;
    initProcessState();
    // State a previous run could have left behind.
    memoryMode = 2;
    duplicateCheck = 0;
    privateSpeedDialLists[0].numbers[0] = 17;
    privateSpeedDialLists[0].count = 1;
    privateSpeedDialLists[227].numbers[29] = 9999;
    privateSpeedDialLists[227].count = 30;
    privateSpeedDialCounter = 31;
  }
  void TearDown() override {
    ASSERT_EQ(chdir(home_.c_str()), 0);
    for (auto it = made_.rbegin(); it != made_.rend(); ++it) rmdir(it->c_str());
  }

  // Makes nested folders under /tmp whose full path has exactly `length` bytes and returns it.
  std::string makeDirectoryOfLength(std::size_t length) {
    char base[] = "/tmp/zu_app_XXXXXX";
    EXPECT_NE(mkdtemp(base), nullptr);
    std::string path = base;
    made_.push_back(path);
    while (path.size() + 2 <= length) {
      const std::size_t remaining = length - path.size();
      std::size_t room = remaining - 1 < 100 ? remaining - 1 : 100;  // the name after the '/'
      if (remaining - (room + 1) == 1) --room;  // never leave room for a '/' alone
      const std::string next = path + "/" + std::string(room, 'd');
      EXPECT_EQ(mkdir(next.c_str(), 0755), 0) << next;
      made_.push_back(next);
      path = next;
    }
    EXPECT_EQ(path.size(), length);
    return path;
  }

  static bool privateListsEmpty() {
    for (const PrivateSpeedDialList& list : privateSpeedDialLists) {
      if (list.count != 0) return false;
      for (std::int32_t n : list.numbers) {
        if (n != -1) return false;
      }
    }
    return privateSpeedDialCounter == 0;
  }

  std::string home_;
  std::vector<std::string> made_;
};

}  // namespace

TEST_F(BellwickAppTest, StartUpPreparesTheSharedStateAndReturnsFalse) {
  CBellwickApp app;
  EXPECT_FALSE(app.InitInstance());
  EXPECT_EQ(duplicateCheck, 1);
  EXPECT_EQ(memoryMode, 1);
  EXPECT_TRUE(privateListsEmpty());
  EXPECT_EQ(app.m_pTransfer, nullptr);
  EXPECT_EQ(&app.m_tableLock, &tableLock());
  EXPECT_EQ(app.ExitInstance(), 0);
}

TEST_F(BellwickAppTest, StartDirectoryHoldsA260ByteCurrentDirectoryCompletely) {
  const std::string dir = makeDirectoryOfLength(260);
  ASSERT_EQ(chdir(dir.c_str()), 0);
  CBellwickApp app;
  app.InitInstance();
  EXPECT_EQ(std::strlen(startDirectory), 260u);
  EXPECT_EQ(std::string(startDirectory), dir);
}

TEST_F(BellwickAppTest, LongerCurrentDirectoryIsNamedRelativelyInsteadOfCut) {
  const std::string dir = makeDirectoryOfLength(300);
  ASSERT_EQ(chdir(dir.c_str()), 0);
  storeStartDirectory();
  EXPECT_STREQ(startDirectory, ".");
  // The whole buffer is rewritten: no bytes of an earlier, longer value survive.
  for (std::size_t i = 1; i < sizeof startDirectory; ++i) ASSERT_EQ(startDirectory[i], '\0') << i;
}

TEST_F(BellwickAppTest, MainDialogRunsOnceAfterTheStateIsPrepared) {
  CBellwickApp app;
  int runs = 0;
  app.m_runMainDialog = [&] {
    ++runs;
    EXPECT_EQ(duplicateCheck, 1);
    EXPECT_TRUE(privateListsEmpty());
    EXPECT_NE(startDirectory[0], '\0');
  };
  EXPECT_FALSE(app.InitInstance());
  EXPECT_EQ(runs, 1);
}

TEST_F(BellwickAppTest, FailedSocketStartUpEndsBeforeTheMainDialog) {
  CBellwickApp app;
  int runs = 0;
  app.m_runMainDialog = [&] { ++runs; };
  app.m_startSockets = [] { return false; };
  EXPECT_FALSE(app.InitInstance());
  EXPECT_EQ(runs, 0);
  EXPECT_EQ(duplicateCheck, 0);  // the steps after the sockets did not run
  EXPECT_EQ(app.m_pTransfer, nullptr);
  EXPECT_EQ(app.ExitInstance(), 0);
}

TEST_F(BellwickAppTest, StartUpResetsALinkLeftFromBefore) {
  CBellwickApp app;
  int deletions = 0;
  app.m_pTransfer = std::make_unique<CountedTransfer>(deletions);
  app.InitInstance();
  EXPECT_EQ(app.m_pTransfer, nullptr);
  EXPECT_EQ(deletions, 1);
}

TEST_F(BellwickAppTest, ExitDeletesTheLinkOnce) {
  int deletions = 0;
  {
    CBellwickApp app;
    app.InitInstance();
    app.m_pTransfer = std::make_unique<CountedTransfer>(deletions);
    EXPECT_EQ(app.ExitInstance(), 0);
    EXPECT_EQ(deletions, 1);
    EXPECT_EQ(app.m_pTransfer, nullptr);
  }
  EXPECT_EQ(deletions, 1);
}

TEST(SocketStartUp, WriteToAClosedPeerReportsAnErrorInsteadOfEndingTheProcess) {
  ASSERT_TRUE(startSockets());
  struct sigaction current {};
  ASSERT_EQ(sigaction(SIGPIPE, nullptr, &current), 0);
  EXPECT_EQ(current.sa_handler, SIG_IGN);
  int pair[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
  close(pair[1]);
  EXPECT_EQ(write(pair[0], "x", 1), -1);
  EXPECT_EQ(errno, EPIPE);
  close(pair[0]);
}

TEST(TheApp, IsOneObjectForTheProcess) {
  EXPECT_EQ(&theApp(), &theApp());
  EXPECT_EQ(&theApp().m_tableLock, &tableLock());
}
