// zuctl read and zuctl write run as processes against the main-unit simulator (in this process,
// or as the zu-mainunit program): reads save their files, a write of what a read saved leaves the
// unit as it was, and bad arguments are refused before anything reaches the unit.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "base/cp932.h"
#include "base/files_test_support.h"
#include "base/socket_test_support.h"
#include "data/phonebook_file_io.h"
#include "data/process_state.h"
#include "data/system_data.h"
#include "link/simulator_transfer_test_support.h"
#include "mainunit/simulator.h"

namespace {

struct ProcessRun {
  int status = -1;
  std::string err;
};

const std::string kBin = std::string(ZU_BINARY_DIR) + "/bin/";

// Starts `program` with `args`, its standard error into `errFile` and XDG_STATE_HOME=`state`.
pid_t spawn(const std::string& program, const std::vector<std::string>& args,
            const std::string& errFile, const std::string& state) {
  // Everything is made before fork: the simulator's threads run in this process, so the child
  // only calls what is safe after fork.
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<std::string> env = {"XDG_STATE_HOME=" + state};
  for (char** e = environ; *e; ++e)
    if (!std::string_view(*e).starts_with("XDG_STATE_HOME=")) env.push_back(*e);
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (err < 0 || ::dup2(err, 2) < 0) _exit(127);
    execve(program.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  return pid;
}

// Every file of a folder with its bytes.
std::map<std::string, std::string> folderFiles(const std::string& dir) {
  std::map<std::string, std::string> files;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(dir, ec))
    files[e.path().filename().string()] = readFile(e.path().string());
  return files;
}

class TransferCommandTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dataDir_ = new TempDir("zuctl-unit");
    SimulatorOptions o = testSimulatorOptions("127.0.0.3");
    o.dataDir = dataDir_->path();  // the tables on disk, as a unit keeps them
    o.ioTimeoutMs = 5000;
    toolPort_ = o.toolPortFirst;
    unit_ = new MainUnitSimulator(o);
    ASSERT_TRUE(unit_->start());
    base_ = o;
  }
  static void TearDownTestSuite() {
    delete unit_;
    delete dataDir_;
  }
  void SetUp() override { unit_->setOptions(base_); }

  std::vector<std::string> connection(int port) const {
    return {"--host",     "127.0.0.3",          "--password",  "7351",
            "--port",     std::to_string(port), "--data-port", std::to_string(toolPort_),
            "--no-pacing"};
  }

  // Runs zuctl with `args` and, unless `connect` is false, the connection to the unit.
  ProcessRun zuctl(std::vector<std::string> args, bool connect = true, int port = 0) {
    if (connect) {
      sessions_ = unit_->sessionCount();
      const auto c = connection(port != 0 ? port : unit_->port());
      args.insert(args.end(), c.begin(), c.end());
    }
    const std::string errFile = dir.file("stderr.txt");
    int status = 0;
    waitpid(spawn(kBin + "zuctl", args, errFile, dir.file("state")), &status, 0);
    ProcessRun run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(errFile)};
    std::remove(errFile.c_str());
    return run;
  }

  // Waits until the session the last zuctl ran has ended on the unit's side too.
  void settle() { unit_->waitForSessions(sessions_ + 1, std::chrono::seconds(5)); }

  std::vector<std::string> workFolders() const {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(dir.file("state/zu/work"), ec))
      names.push_back(e.path().filename().string());
    return names;
  }

  static inline MainUnitSimulator* unit_ = nullptr;
  static inline TempDir* dataDir_ = nullptr;
  static inline SimulatorOptions base_;
  static inline int toolPort_ = 0;
  TempDir dir{"zuctl-transfer"};
  int sessions_ = 0;
};

TEST_F(TransferCommandTest, PhonebookAndRestrictionsReadThenWrittenBackLeaveTheUnitAsItWas) {
  const MainUnitTables before = unit_->tables();
  const std::string out = dir.file("saved/deeper");
  ProcessRun run = zuctl({"read", "phonebook", "--out", out, "--report", dir.file("report.csv")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("進捗 100%"), std::string::npos) << run.err;
  // The unit's own tables pass every rule of the load: no summary line, a report of no rows.
  EXPECT_EQ(run.err.find("読込報告"), std::string::npos) << run.err;
  EXPECT_EQ(readFile(dir.file("report.csv")), utf8ToCp932("ファイル,行,項番,項目,内容,ファイルの値\r\n"));
  EXPECT_NE(run.err.find("電話帳データの読込が正常に終了しました。"), std::string::npos);
  EXPECT_EQ(folderFiles(out).size(), 3u);
  EXPECT_TRUE(workFolders().empty()) << "a successful run removes its work folder";

  settle();
  run = zuctl({"write", "phonebook", "--blocks", "all", out + "/book.zud8", "--extensions",
               out + "/names.zud4", "--templates", out + "/templates.zud9"});
  ASSERT_EQ(run.status, 0) << run.err;
  settle();
  EXPECT_TRUE(unit_->lastSession().succeeded) << unit_->lastSession().refusal;
  EXPECT_EQ(unit_->lastSession().direction, "UPLOAD");
  EXPECT_TRUE(unit_->tables() == before);

  run = zuctl({"read", "restrictions", "--out", out});
  ASSERT_EQ(run.status, 0) << run.err;
  settle();
  run = zuctl({"write", "restrictions", out + "/numbers.zud7"});
  ASSERT_EQ(run.status, 0) << run.err;
  settle();
  EXPECT_TRUE(unit_->lastSession().succeeded) << unit_->lastSession().refusal;
  EXPECT_TRUE(unit_->tables() == before);
}

TEST_F(TransferCommandTest, HistoryReadSavesBothHistoriesAndAUnitBelowFourGivesTheSevenColumnBook) {
  ProcessRun run = zuctl({"read", "history", "--out", dir.path()});
  ASSERT_EQ(run.status, 0) << run.err;
  for (const char* name : {"internal.csv", "external.csv"}) {
    const std::string csv = readFile(dir.file(name));
    EXPECT_GT(std::count(csv.begin(), csv.end(), '\n'), kMainUnitHistoryRecords) << name;
  }
  settle();
  SimulatorOptions old = base_;
  old.fwVer = "3.00";
  unit_->setOptions(old);
  const std::string out = dir.file("old");
  run = zuctl({"read", "phonebook", "--out", out});
  ASSERT_EQ(run.status, 0) << run.err;
  const auto files = folderFiles(out);
  EXPECT_EQ(files.count("book.zud3"), 1u);
  EXPECT_EQ(files.count("names.zud4"), 1u);
  EXPECT_EQ(files.size(), 2u) << "no book.zud8 and no templates.zud9 below firmware 4.0";
}

TEST_F(TransferCommandTest, BadArgumentsAreRefusedWithTheirMessageAndNothingIsSent) {
  writeFile(dir.file("plain.txt"), "x");
  writeFile(dir.file("numbers.zud7"), "x");
  writeFile(dir.file("book.zud8"), "no phonebook data\r\n");
  const std::string names = dir.file("names.zud4");
  initProcessState();
  initSystemData();
  ASSERT_TRUE(savePhonebookData(names, ExchangeKind::Extensions).ok());
  const std::string host65(65, 'h'), password17(17, '7');
  const std::string under = dir.file("plain.txt/sub");
  struct Case {
    std::vector<std::string> args;
    bool connect;
    int status;
    std::string said;
  } cases[] = {
      {{"read", "phonebook", "--out", dir.path(), "--host", host65, "--password", "7351"},
       false,
       2,
       "more than 64 characters"},
      {{"read", "phonebook", "--out", dir.path(), "--host", "127.0.0.3", "--password", password17},
       false,
       2,
       "more than 16 characters"},
      {{"read", "history", "--out", dir.path(), "--host", "ｈｏｓｔ", "--password", "7351"},
       false,
       2,
       "ホスト名は半角英数字で入力してください。"},
      {{"read", "history", "--out", dir.path(), "--host", "127.0.0.3", "--password", "７３５１"},
       false,
       2,
       "パスワードは半角英数字で入力してください。"},
      {{"read", "history", "--out", dir.path(), "--host", "h", "--password", "1", "--port", "0"},
       false,
       2,
       "from 1 to 65535"},
      {{"read", "history", "--out", dir.path(), "--host", "h", "--password", "1", "--port",
        "65536"},
       false,
       2,
       "from 1 to 65535"},
      {{"read", "history", "--out", dir.path(), "--host", "h", "--password", "1", "--port", "x"},
       false,
       2,
       "from 1 to 65535"},
      {{"read", "restrictions", "--out", dir.file("plain.txt")}, true, 2, "not a folder"},
      {{"read", "restrictions", "--out", under}, true, 2, "cannot create the folder"},
      {{"write", "phonebook", dir.file("numbers.zud7")}, true, 2, "not a phonebook file"},
      {{"write", "phonebook", dir.file("list.csv")}, true, 2, "--kind is needed"},
      {{"write", "restrictions", dir.file("book.zud8")}, true, 2, "not a restriction file"},
      {{"write", "phonebook", dir.file("gone.zud8"), "--blocks", "0"}, true, 2, "no such file"},
      {{"write", "phonebook", names, "--blocks", "20"}, true, 2, "--blocks takes"},
      {{"write", "phonebook", names}, true, 2, "書込対象がありません。"},
      {{"write", "phonebook", dir.file("book.zud8"), "--blocks", "0"},
       true,
       1,
       "ファイルデータ取得エラー発生"},
      {{"write", "phonebook", names, "--blocks", "0", "--templates"},
       true,
       1,
       "電話帳データの読込が行われていません。"},
  };
  for (const Case& c : cases) {
    const int sessions = unit_->sessionCount();
    const ProcessRun run = zuctl(c.args, c.connect);
    std::string shown;
    for (const std::string& a : c.args) shown += a + " ";
    EXPECT_EQ(run.status, c.status) << shown << "\n" << run.err;
    EXPECT_NE(run.err.find(c.said), std::string::npos) << shown << "\n" << run.err;
    EXPECT_EQ(unit_->sessionCount(), sessions) << shown;
  }
}

// The simulator and zuctl as programs: a failed read keeps its work folder, and the read and
// write of the saved files leave the unit's stored files as they were.
TEST_F(TransferCommandTest, ProgramsAgainstTheZuMainunitProgram) {
  const int port = freeLoopbackPorts(1);
  ASSERT_NE(port, 0);
  const std::string data = dir.file("unit");
  const pid_t unit =
      spawn(kBin + "zu-mainunit",
            {"--listen", "127.0.0.3", "--port", std::to_string(port), "--no-pacing", "--quiet",
             "--data", data, "--tool-port", std::to_string(toolPort_), "--timeout", "5"},
            dir.file("unit.txt"), dir.path());
  Socket probe;
  for (int i = 0; i < 100; ++i) {
    probe = Socket();
    if (probe.open() && probe.connect("127.0.0.3", port, std::chrono::milliseconds(100))) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  probe.close();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const auto stored = folderFiles(data);
  ASSERT_FALSE(stored.empty()) << readFile(dir.file("unit.txt"));

  const std::string out = dir.file("out");
  ProcessRun run = zuctl({"read", "phonebook", "--out", out}, true, port);
  ASSERT_EQ(run.status, 0) << run.err;
  run = zuctl({"write", "phonebook", out + "/book.zud8", out + "/names.zud4",
               out + "/templates.zud9", "--blocks", "all", "--extensions", "--templates"},
              true, port);
  EXPECT_EQ(run.status, 0) << run.err;
  run = zuctl(
      {"read", "phonebook", "--out", out, "--host", "127.0.0.3", "--password", "0000", "--port",
       std::to_string(port), "--data-port", std::to_string(toolPort_), "--no-pacing"},
      false);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("パスワードエラーです。"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("通信エラーが発生しました。"), std::string::npos) << run.err;
  EXPECT_EQ(workFolders().size(), 1u) << "a failed run keeps its work folder";
  // The unit has stored the upload before it took the next session (the failed read).
  const auto now = folderFiles(data);
  for (const auto& [name, bytes] : stored)
    EXPECT_TRUE(now.count(name) && now.at(name) == bytes) << name << " changed";
  EXPECT_EQ(now.size(), stored.size());

  kill(unit, SIGTERM);
  int status = 0;
  waitpid(unit, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << readFile(dir.file("unit.txt"));
}

}  // namespace
