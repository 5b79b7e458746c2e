// Every failure of a transfer run, made to happen for real: by the main-unit simulator's faults,
// by a raw hostile peer, or by the tool's own surroundings. Each failed run returns -1, shows
// exactly the message of its failure (or none), leaves no key and no temporary file behind and
// ends within its time-outs.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "data/exchange_files.h"
#include "data/process_state.h"
#include "data/restriction_files.h"
#include "data/system_data.h"
#include "link/link_test_support.h"
#include "link/simulator_transfer_test_support.h"
#include "link/tcp_file_transfer.h"
#include "mainunit/simulator.h"
#include "ui/scripted/scripted_ui.h"
#include "vaultline/vaultline.h"

namespace {

using namespace std::chrono_literals;

constexpr const char* kTimeOut = "主装置との接続がタイムアウトしました。";

enum class Entry {
  ReadPhonebook,
  ReadCallHistory,
  ReadRestrictions,
  WritePhonebook,
  WriteRestrictions
};

class TransferFailure : public SimulatorTransferTest {
 protected:
  TransferFailure() : SimulatorTransferTest(1500ms, "zu-link-fail") {}

  void TearDown() override {
    // The next test starts with the simulator idle.
    if (expectSession_) unit_->waitForSessions(sessionsBefore_ + 1, 10s);
    SimulatorTransferTest::TearDown();
  }

  void setFault(SimulatorFault fault, SimulatorStep step, int occurrence = 1) {
    setOptions([&](SimulatorOptions& o) { o.fault = {fault, step, occurrence}; });
  }
  // Work files an upload needs: speed-dial block 0 of the 10-column form and the restriction
  // blocks.
  void stageUploads() {
    ASSERT_TRUE(writeExchangeFile(workDir_ + "/sys-tanf.txt", ExchangeKind::SpeedDial,
                                  SpeedDialForm::TenColumns)
                    .ok());
    transfer_.PrepareSpeedDialFiles(1);
    ASSERT_TRUE(writeExchangeFile(workDir_ + "/sys-tan.txt", ExchangeKind::SpeedDial,
                                  SpeedDialForm::SevenColumns)
                    .ok());
    transfer_.PrepareSpeedDialFiles(0);
    ASSERT_EQ(writeRestrictionExchangeFile(workDir_ + "/hkiseinotmp.txt"), 0);
    transfer_.PrepareRestrictionFiles();
    sysTanfMode = 0;
    writeSelection[0] = 1;
  }
  int run(Entry entry) {
    const auto start = std::chrono::steady_clock::now();
    int r = -2;
    switch (entry) {
      case Entry::ReadPhonebook: r = transfer_.ReadPhonebook(); break;
      case Entry::ReadCallHistory: r = transfer_.ReadCallHistory(); break;
      case Entry::ReadRestrictions: r = transfer_.ReadRestrictionNumbers(); break;
      case Entry::WritePhonebook: r = transfer_.WritePhonebook(); break;
      case Entry::WriteRestrictions: r = transfer_.WriteRestrictionNumbers(); break;
    }
    elapsed_ = std::chrono::steady_clock::now() - start;
    return r;
  }
  // What every failed run must leave: one message (or none) with the link's caption, icon and
  // owner; no key; no temporary file.
  void expectFailure(const char* message) {
    const auto messages = ui_.messages();
    if (message == nullptr) {
      EXPECT_TRUE(messages.empty()) << messages.front().text;
    } else {
      ASSERT_EQ(messages.size(), 1u);
      EXPECT_EQ(messages[0].text, message);
      EXPECT_EQ(messages[0].caption, "エラー");
      EXPECT_EQ(messages[0].type, MB_ICONWARNING | MB_OK);
      EXPECT_EQ(messages[0].owner, static_cast<HWND>(&progress_));
    }
    EXPECT_EQ(transfer_.KeyHandle(), 0);
    for (const auto& n : entriesIn(workDir_ + "/Zu")) ADD_FAILURE() << "left behind: Zu/" << n;
    EXPECT_LT(elapsed_, 8s);
  }
  std::vector<std::string> toolHeads(const std::string& connection) {
    unit_->waitForSessions(sessionsBefore_ + 1, 10s);
    std::vector<std::string> out;
    for (const auto& h : unit_->lastSession().heads)
      if (h.fromTool && h.connection == connection) out.push_back(h.text);
    return out;
  }

  bool expectSession_ = true;
  std::chrono::steady_clock::duration elapsed_{};
};

// ---- the simulator's faults, one row each ----

struct FaultRow {
  const char* name;
  Entry entry;
  SimulatorFault fault;
  SimulatorStep step;
  int occurrence;
  const char* message;  // null: the run fails without a message
};

class SimulatorFaults : public TransferFailure, public ::testing::WithParamInterface<FaultRow> {};

TEST_P(SimulatorFaults, FailTheRunWithTheirMessage) {
  const FaultRow& row = GetParam();
  if (row.entry == Entry::WritePhonebook || row.entry == Entry::WriteRestrictions) stageUploads();
  setOptions([&](SimulatorOptions& o) {
    o.fault = {row.fault, row.step, row.occurrence};
    // A head left unfinished is held open far beyond the tool's waits: only the tool's own
    // limit can end the run in time.
    if (row.fault == SimulatorFault::StallInHead) o.ioTimeoutMs = 30000;
  });
  EXPECT_EQ(run(row.entry), -1);
  expectFailure(row.message);
}

using F = SimulatorFault;
using S = SimulatorStep;
const FaultRow kFaultRows[] = {
    // The connection answer.
    {"StatusLineStalls", Entry::ReadPhonebook, F::Stall, S::Answer, 1, kTimeOut},
    {"ClosedBeforeTheStatusLine", Entry::ReadPhonebook, F::Close, S::Answer, 1,
     "主装置からの装置データの受信に失敗しました。"},
    {"GarbageStatusLine", Entry::ReadPhonebook, F::GarbageStatusLine, S::Answer, 1,
     "主装置種別エラー発生"},
    {"ErrorStatus", Entry::ReadCallHistory, F::BadStatus, S::Answer, 1,
     "データ受信に失敗しました。"},
    {"BodyShorterThanItsLength", Entry::ReadPhonebook, F::ShortBody, S::Answer, 1, nullptr},
    {"AnswerIsNoXml", Entry::ReadPhonebook, F::BadXml, S::Answer, 1,
     "受信ファイルの読み込みに失敗しました。"},
    {"AnswerLengthBeyondAnyDocument", Entry::ReadPhonebook, F::HugeContentLength, S::Answer, 1,
     nullptr},
    {"AnswerWithoutEnd", Entry::ReadPhonebook, F::EndlessBody, S::Answer, 1, nullptr},
    // The data connection and the file list.
    {"UnitNeverConnects", Entry::ReadPhonebook, F::NoConnectBack, S::Connect, 1,
     "主装置との接続に失敗しました。"},
    {"DataConnectionClosedAtOnce", Entry::ReadPhonebook, F::Close, S::Connect, 1, nullptr},
    {"RequestLineStalls", Entry::ReadPhonebook, F::Stall, S::List, 1, nullptr},
    {"RequestLineClosed", Entry::WritePhonebook, F::Close, S::List, 1, nullptr},
    {"RequestLineGarbage", Entry::ReadPhonebook, F::GarbageStatusLine, S::List, 1, nullptr},
    {"WrongCredentials", Entry::ReadPhonebook, F::WrongCredentials, S::List, 1, nullptr},
    {"NotGet", Entry::WritePhonebook, F::NonGetMethod, S::List, 1, nullptr},
    {"UnknownFile", Entry::ReadPhonebook, F::UnknownFile, S::List, 1, nullptr},
    {"DataFileDuringTheList", Entry::WritePhonebook, F::DataFileInListPhase, S::List, 1, nullptr},
    // Serving the upload files.
    {"CallHistoryRequested", Entry::WriteRestrictions, F::RequestTyaklog, S::File, 1, nullptr},
    {"UnknownUploadFile", Entry::WriteRestrictions, F::UnknownFile, S::File, 3, nullptr},
    {"UploadRequestStalls", Entry::WriteRestrictions, F::Stall, S::File, 2, nullptr},
    {"UploadRequestClosed", Entry::WriteRestrictions, F::Close, S::File, 4, nullptr},
    {"UploadWrongCredentials", Entry::WriteRestrictions, F::WrongCredentials, S::File, 11, nullptr},
    // Fetching the download files.
    {"ChallengeStalls", Entry::ReadPhonebook, F::Stall, S::Challenge, 1, kTimeOut},
    {"ChallengeClosed", Entry::ReadPhonebook, F::Close, S::Challenge, 2, nullptr},
    {"ChallengeErrorStatus", Entry::ReadPhonebook, F::BadStatus, S::Challenge, 1, nullptr},
    {"ChallengeGarbage", Entry::ReadCallHistory, F::GarbageStatusLine, S::Challenge, 1, nullptr},
    {"DocumentStalls", Entry::ReadPhonebook, F::Stall, S::Fetch, 3, kTimeOut},
    {"DocumentErrorStatus", Entry::ReadRestrictions, F::BadStatus, S::Fetch, 1, nullptr},
    {"DocumentCutShort", Entry::ReadPhonebook, F::ShortBody, S::Fetch, 2, nullptr},
    {"DocumentIsNoXml", Entry::ReadCallHistory, F::BadXml, S::Fetch, 1, nullptr},
    {"DocumentWithoutLength", Entry::ReadPhonebook, F::NoContentLength, S::Fetch, 1, nullptr},
    {"DocumentLengthBeyondAnyDocument", Entry::ReadPhonebook, F::HugeContentLength, S::Fetch, 1,
     nullptr},
    {"DocumentLengthNegative", Entry::ReadPhonebook, F::NegativeContentLength, S::Fetch, 1,
     nullptr},
    {"DocumentWithoutEnd", Entry::ReadRestrictions, F::EndlessBody, S::Fetch, 1, nullptr},
    {"DocumentConnectionClosed", Entry::ReadPhonebook, F::Close, S::Fetch, 1, nullptr},
    // Heads left unfinished: every line of a head waits no longer than the line before it.
    {"AnswerHeadStalls", Entry::ReadPhonebook, F::StallInHead, S::Answer, 1, kTimeOut},
    {"RequestHeadStalls", Entry::ReadPhonebook, F::StallInHead, S::List, 1, nullptr},
    {"UploadRequestHeadStalls", Entry::WriteRestrictions, F::StallInHead, S::File, 2, nullptr},
    {"ChallengeHeadStalls", Entry::ReadCallHistory, F::StallInHead, S::Challenge, 1, kTimeOut},
    {"DocumentHeadStalls", Entry::ReadCallHistory, F::StallInHead, S::Fetch, 1, nullptr},
    // A well-formed body beyond any real document is refused by its length, not allocated.
    {"AnswerIsHugeXml", Entry::ReadPhonebook, F::HugeXml, S::Answer, 1, nullptr},
    {"DocumentIsHugeXml", Entry::ReadCallHistory, F::HugeXml, S::Fetch, 1, nullptr},
};

INSTANTIATE_TEST_SUITE_P(Rows, SimulatorFaults, ::testing::ValuesIn(kFaultRows),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- refusals the tool sends to the main unit ----

TEST_F(TransferFailure, RefusalsAreSentWithTheirStatus) {
  struct Case {
    SimulatorFault fault;
    Entry entry;
    const char* status;
  };
  const Case cases[] = {
      {F::WrongCredentials, Entry::ReadCallHistory, "HTTP/1.1 401 Unauthorized\r\n"},
      {F::NonGetMethod, Entry::ReadCallHistory, "HTTP/1.1 501 Not Implemented\r\n"},
      {F::UnknownFile, Entry::ReadCallHistory, "HTTP/1.1 404 Not Found\r\n"},
      {F::RequestTyaklog, Entry::WriteRestrictions, "HTTP/1.1 404 Not Found\r\n"},
      {F::DataFileInListPhase, Entry::WriteRestrictions, "HTTP/1.1 403 Forbidden\r\n"}};
  stageUploads();
  for (const Case& c : cases) {
    sessionsBefore_ = unit_->sessionCount();
    setFault(c.fault, c.fault == F::RequestTyaklog ? S::File : S::List);
    ASSERT_EQ(run(c.entry), -1);
    const auto heads = toolHeads("data");
    ASSERT_FALSE(heads.empty());
    // The refusal has the kind-5 head.
    EXPECT_EQ(heads.back(), std::string(c.status) +
                                "Accept-Encoding:\r\ngzip, deflate\r\nConnection: "
                                "Keep-Alive\r\nContent-Length: 0\r\n\r\n");
  }
  EXPECT_TRUE(ui_.messages().empty());
}

// The unit resets the data connection while the tool waits after serving the file list, so the
// tool's first download request meets a connection that is gone.
TEST_F(TransferFailure, DownloadRequestThatCannotBeSentShowsItsMessage) {
  LinkTiming& t = linkTiming();
  t.pacingScale = 1;
  t.serveBeforeHead = t.serveAfterHeadStep = t.fetchBetweenRequests = t.fetchBeforeBodyStep = 0ms;
  t.downloadEndStep = t.uploadEnd = t.blockReadStart = 0ms;
  t.serveAfterBodyStep = 10ms;  // 30 steps: time enough for the reset to arrive
  setFault(F::Reset, S::Challenge, 1);
  EXPECT_EQ(run(Entry::ReadCallHistory), -1);
  expectFailure("送信が正常に終了しませんでした");
}

TEST_F(TransferFailure, MissingUploadFileGets404) {
  stageUploads();
  std::remove((workDir_ + "/sys-tanf0000.txt").c_str());
  EXPECT_EQ(run(Entry::WritePhonebook), -1);
  expectFailure(nullptr);
  EXPECT_EQ(toolHeads("data").back().substr(0, 24), "HTTP/1.1 404 Not Found\r\n");
}

// A served name that is no regular file is refused with 403 at once: a FIFO would block the run
// for good, a device would be served as if it were the file. (The same rows, unlike an
// unreadable file, come out alike when the tests run as root.)
TEST_F(TransferFailure, ServedNameThatIsNoRegularFileGets403) {
  stageUploads();
  const std::string block = workDir_ + "/hkiseino0000.txt";
  const std::function<int()> replacements[] = {
      [&] { return ::mkfifo(block.c_str(), 0600); },
      [&] { return ::symlink("/dev/null", block.c_str()); },
  };
  for (const auto& replace : replacements) {
    sessionsBefore_ = unit_->sessionCount();
    ui_.clearRecords();
    std::remove(block.c_str());
    ASSERT_EQ(replace(), 0);
    EXPECT_EQ(run(Entry::WriteRestrictions), -1);
    expectFailure(nullptr);
    EXPECT_EQ(toolHeads("data").back().substr(0, 24), "HTTP/1.1 403 Forbidden\r\n");
  }
}

// ---- answers that are odd but usable ----

TEST_F(TransferFailure, OddButUsableAnswersStillSucceed) {
  struct Case {
    SimulatorFault fault;
    SimulatorStep step;
    const char* huge;
  };
  // A length that is negative or written with ten digits counts as not given: the answer is
  // read line by line up to "</root>". Long header lines are read in pieces and ignored.
  const Case cases[] = {{F::NegativeContentLength, S::Answer, nullptr},
                        {F::HugeContentLength, S::Answer, "1234567890"},
                        {F::NoContentLength, S::Answer, nullptr},
                        {F::LongHeaderLines, S::Answer, nullptr},
                        {F::LongHeaderLines, S::List, nullptr},
                        {F::LongHeaderLines, S::Fetch, nullptr},
                        {F::FirstRequestWithCredentials, S::List, nullptr}};
  for (const Case& c : cases) {
    sessionsBefore_ = unit_->sessionCount();
    setOptions([&](SimulatorOptions& o) {
      o.fault = {c.fault, c.step, 1};
      if (c.huge) o.hugeContentLength = c.huge;
    });
    EXPECT_EQ(run(Entry::ReadCallHistory), 0)
        << simulatorFaultName(c.fault) << "@" << simulatorStepName(c.step);
    unit_->waitForSessions(sessionsBefore_ + 1, 10s);
  }
  EXPECT_TRUE(ui_.messages().empty());
}

TEST_F(TransferFailure, FirstRequestWithCredentialsIsLeftUnanswered) {
  setFault(F::FirstRequestWithCredentials, S::List);
  ASSERT_EQ(run(Entry::ReadCallHistory), 0);
  const auto heads = toolHeads("data");
  ASSERT_FALSE(heads.empty());
  EXPECT_EQ(heads[0].substr(0, 17), "HTTP/1.1 200 OK\r\n");  // no 401 before the list
}

// ---- the main unit's answer checked ----

TEST_F(TransferFailure, BusyUnitAndTheControlConnectionIsClosed) {
  setOptions([](SimulatorOptions& o) { o.busy = true; });
  EXPECT_EQ(run(Entry::ReadPhonebook), -1);
  expectFailure("主装置使用中です。");
  EXPECT_TRUE(unit_->waitForSessions(sessionsBefore_ + 1, 1s));  // the unit saw the close at once
}

TEST_F(TransferFailure, DeviceTypeMustStartWithZuSlashExactly) {
  setOptions([](SimulatorOptions& o) { o.devType = "zu/ZPX-480"; });
  EXPECT_EQ(run(Entry::ReadPhonebook), -1);
  expectFailure("主装置種別エラー発生");
  unit_->waitForSessions(sessionsBefore_ + 1, 10s);
  sessionsBefore_ = unit_->sessionCount();
  ui_.clearRecords();
  setOptions([](SimulatorOptions& o) { o.devType = "Zu/"; });
  EXPECT_EQ(run(Entry::ReadCallHistory), 0);
}

TEST_F(TransferFailure, PasswordMustMatchExactly) {
  setOptions([](SimulatorOptions& o) { o.password = "Ab12"; });
  transfer_.SetPassword("ab12");
  EXPECT_EQ(run(Entry::ReadPhonebook), -1);
  expectFailure("パスワードエラーです。");
}

TEST_F(TransferFailure, OldFirmwareRefusesRestrictionRunsOnly) {
  setOptions([](SimulatorOptions& o) { o.fwVer = "2.00"; });
  EXPECT_EQ(run(Entry::ReadRestrictions), -1);
  expectFailure(nullptr);
  unit_->waitForSessions(sessionsBefore_ + 1, 10s);
  sessionsBefore_ = unit_->sessionCount();
  EXPECT_EQ(run(Entry::ReadCallHistory), 0);
  unit_->waitForSessions(sessionsBefore_ + 1, 10s);
  sessionsBefore_ = unit_->sessionCount();
  setOptions([](SimulatorOptions& o) { o.fwVer = "1.00"; });
  stageUploads();
  EXPECT_EQ(run(Entry::WriteRestrictions), -1);
  expectFailure(nullptr);
}

// ---- the tool's own side ----

TEST_F(TransferFailure, ConnectFailsForLongUnresolvedAndRefusedHosts) {
  expectSession_ = false;
  for (const std::string& host :
       {std::string(46, 'a'), std::string("no-such-unit.invalid"), std::string("127.0.0.3")}) {
    ui_.clearRecords();
    transfer_.SetHost(host, freeLoopbackPorts(1));
    EXPECT_EQ(run(Entry::ReadPhonebook), -1);
    expectFailure("コネクト失敗");
  }
}

// Lets the process open only `spare` more descriptors while it lives: the free numbers below the
// highest open one are taken up, and the limit is set just above it.
class DescriptorLimit {
 public:
  explicit DescriptorLimit(int spare) {
    ::getrlimit(RLIMIT_NOFILE, &saved_);
    int highest = 0;
    for (const auto& n : entriesIn("/proc/self/fd"))
      highest = std::max(highest, std::atoi(n.c_str()));
    for (;;) {
      const int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
      if (fd < 0) break;
      if (fd > highest) {
        ::close(fd);
        break;
      }
      fillers_.push_back(fd);
    }
    rlimit limited = saved_;
    limited.rlim_cur = static_cast<rlim_t>(highest + 1 + spare);
    ::setrlimit(RLIMIT_NOFILE, &limited);
  }
  ~DescriptorLimit() {
    ::setrlimit(RLIMIT_NOFILE, &saved_);
    for (int fd : fillers_) ::close(fd);
  }

 private:
  rlimit saved_{};
  std::vector<int> fillers_;
};

// A listener on 127.0.0.3 that completes connections and never takes them.
struct SilentUnit {
  Socket socket;
  int port = 0;
  SilentUnit() {
    socket.open();
    socket.bindListen(port, 2, "127.0.0.3");
  }
};

TEST_F(TransferFailure, SocketsThatCannotBeCreated) {
  expectSession_ = false;
#ifdef __SANITIZE_ADDRESS__
  GTEST_SKIP() << "the sanitizer runtime needs descriptors of its own for its checks";
#endif
  SilentUnit unit;
  transfer_.SetHost("127.0.0.3", unit.port);
  {
    DescriptorLimit none(0);
    EXPECT_EQ(run(Entry::ReadPhonebook), -1);
  }
  expectFailure("ソケット作成失敗");
  ui_.clearRecords();
  {
    // The control connection gets the one descriptor left; the listener none.
    DescriptorLimit one(1);
    EXPECT_EQ(run(Entry::ReadPhonebook), -1);
  }
  expectFailure(nullptr);
}

TEST_F(TransferFailure, NoFreeDataPortShowsTheBindMessage) {
  std::vector<Socket> holders(5);
  for (int i = 0; i < 5; ++i) {
    int port = toolPort_ + i;
    ASSERT_TRUE(holders[i].open());
    ASSERT_TRUE(holders[i].bindListen(port, 1, "127.0.0.1").ok());
    ASSERT_EQ(port, toolPort_ + i);
  }
  EXPECT_EQ(run(Entry::ReadPhonebook), -1);
  expectFailure(("\nバインドに失敗しました。\nerr:" + std::to_string(EADDRINUSE)).c_str());
}

TEST_F(TransferFailure, AnswerFileThatCannotBeCreated) {
  std::ofstream(workDir_ + "/Zu") << "a file where the folder belongs";
  EXPECT_EQ(run(Entry::ReadPhonebook), -1);
  expectFailure("受信データファイルの作成に失敗しました。");
}

TEST_F(TransferFailure, WorkFolderTooLongForItsTemporaryFilesGetsNoStrayFolder) {
  const std::string deep = workDir_ + "/" + std::string(257 - workDir_.size(), 'd');
  ASSERT_EQ(deep.size(), 258u);
  ASSERT_EQ(::mkdir(deep.c_str(), 0777), 0);
  transfer_.SetWorkDir(deep.c_str());
  EXPECT_EQ(run(Entry::ReadPhonebook), -1);
  expectFailure("受信データファイルの作成に失敗しました。");
  EXPECT_TRUE(entriesIn(deep).empty());
}

TEST_F(TransferFailure, WorkFileThatCannotBeWritten) {
  ::mkdir((workDir_ + "/naityaklog.txt").c_str(), 0777);
  EXPECT_EQ(run(Entry::ReadCallHistory), -1);
  expectFailure(nullptr);
}

TEST_F(TransferFailure, EmptyWriteSelectionContactsNobody) {
  expectSession_ = false;
  EXPECT_EQ(run(Entry::WritePhonebook), -1);
  EXPECT_TRUE(ui_.messages().empty());
  EXPECT_EQ(unit_->sessionCount(), sessionsBefore_);
}

// ---- a raw hostile peer for what the simulator does not do ----

// Listens on 127.0.0.3, takes the tool's plain connection request, imports its key and sends
// `answer` enciphered; then `after` runs (stall until the tool closes, or keep sending).
class RawUnit {
 public:
  using After = std::function<void(int fd, int key)>;
  RawUnit(std::string answer, After after) : answer_(std::move(answer)), after_(std::move(after)) {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    ::inet_pton(AF_INET, "127.0.0.3", &a.sin_addr);
    socklen_t size = sizeof a;
    ok_ = ::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
          ::listen(listener_, 1) == 0 &&
          ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &size) == 0;
    port_ = ntohs(a.sin_port);
    if (ok_) thread_ = std::thread([this] { serve(); });
  }
  ~RawUnit() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    ::close(listener_);
  }
  bool ok() const { return ok_; }
  int port() const { return port_; }

  // Sends `text` enciphered on the unit-to-tool stream; false when the tool is gone.
  static bool sendEnciphered(int fd, int key, std::string text) {
    auto* b = reinterpret_cast<unsigned char*>(text.data());
    VLT_SendEncrypt(key, static_cast<int>(text.size()), b, b);
    return ::send(fd, text.data(), text.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(text.size());
  }
  // Waits until the tool closes the connection (or 10 s).
  static void waitForClose(int fd) {
    char buf[256];
    for (int i = 0; i < 100; ++i) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 100) > 0 && ::recv(fd, buf, sizeof buf, 0) <= 0) return;
    }
  }

 private:
  void serve() {
    pollfd p{listener_, POLLIN, 0};
    while (!stop_ && ::poll(&p, 1, 50) <= 0) {
    }
    if (stop_) return;
    const int fd = ::accept(listener_, nullptr, nullptr);
    std::string head;
    char c;
    while (head.find("\r\n\r\n") == std::string::npos && ::recv(fd, &c, 1, 0) == 1) head += c;
    const auto at = head.find("CryptoKey: ");
    unsigned char material[64] = {};
    for (int i = 0; at != std::string::npos && i < 64; ++i)
      material[i] =
          static_cast<unsigned char>(std::stoi(head.substr(at + 11 + 2 * i, 2), nullptr, 16));
    const int key = VLT_KeyImport(material, 1);
    if (sendEnciphered(fd, key, answer_)) after_(fd, key);
    VLT_KeyDestroy(key);
    ::close(fd);
  }

  std::string answer_;
  After after_;
  int listener_ = -1;
  int port_ = 0;
  bool ok_ = false;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

class HostilePeer : public TransferFailure {
 protected:
  void SetUp() override {
    TransferFailure::SetUp();
    expectSession_ = false;
  }
  // Runs ReadPhonebook against `unit`.
  int runAgainst(const RawUnit& unit) {
    EXPECT_TRUE(unit.ok());
    transfer_.SetHost("127.0.0.3", unit.port());
    return run(Entry::ReadPhonebook);
  }
};

TEST_F(HostilePeer, AnswerBodyLineThatStallsTimesOut) {
  RawUnit unit("HTTP/1.1 200 OK\r\nServer: x\r\n\r\n<root>\r\n<fw_ver>4.00</fw_ver>\r\n<dev_",
               [](int fd, int) { RawUnit::waitForClose(fd); });
  EXPECT_EQ(runAgainst(unit), -1);
  expectFailure(kTimeOut);
}

TEST_F(HostilePeer, AnswerEndingWithRootLineWithoutLengthIsAccepted) {
  RawUnit unit(
      "HTTP/1.1 200 OK\r\n\r\n<root>\r\n<fw_ver>4.00</fw_ver>\r\n<dev_type>Zu/X</dev_type>\r\n"
      "<password>wrong</password>\r\n</root>\r\n",
      [](int fd, int) { RawUnit::waitForClose(fd); });
  EXPECT_EQ(runAgainst(unit), -1);
  // The answer was read and checked: only the password check refused it.
  expectFailure("パスワードエラーです。");
}

TEST_F(HostilePeer, HeadWithoutEndFailsInsteadOfReadingForever) {
  RawUnit unit("HTTP/1.1 200 OK\r\n", [](int fd, int key) {
    const std::string line = "X-Filler: " + std::string(200, 'y') + "\r\n";
    for (int i = 0; i < 100000 && RawUnit::sendEnciphered(fd, key, line); ++i) {
    }
  });
  EXPECT_EQ(runAgainst(unit), -1);
  expectFailure("主装置からの装置データの受信に失敗しました。");
}

// Each byte comes well within the body's wait, but the body as a whole does not: the run ends
// at the one deadline of the body, not after a wait per piece.
TEST_F(HostilePeer, BodyThatTricklesEndsAtItsOneDeadline) {
  linkTiming().answerBody = 1000ms;
  const std::string body =
      "<root>\r\n<fw_ver>4.00</fw_ver>\r\n" + std::string(60, ' ') + "</root>\r\n";
  RawUnit unit("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n",
               [body](int fd, int key) {
                 for (char c : body) {
                   if (!RawUnit::sendEnciphered(fd, key, std::string(1, c))) return;
                   std::this_thread::sleep_for(100ms);
                 }
               });
  EXPECT_EQ(runAgainst(unit), -1);
  expectFailure(nullptr);
  EXPECT_LT(elapsed_, 3s);  // a wait per byte would have taken about 10 s
}

TEST_F(HostilePeer, BodyInPiecesIsGatheredWhole) {
  const std::string body =
      "<root>\r\n<fw_ver>4.00</fw_ver>\r\n<dev_type>Zu/X</dev_type>\r\n<password>nope</"
      "password>\r\n</root>\r\n";
  RawUnit unit("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" +
                   body.substr(0, 10),
               [body](int fd, int key) {
                 for (std::size_t at = 10; at < body.size(); at += 7) {
                   std::this_thread::sleep_for(10ms);
                   RawUnit::sendEnciphered(fd, key, body.substr(at, 7));
                 }
                 RawUnit::waitForClose(fd);
               });
  EXPECT_EQ(runAgainst(unit), -1);
  expectFailure("パスワードエラーです。");
}

}  // namespace
