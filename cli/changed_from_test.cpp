// zuctl write --changed-from as a process against the main-unit simulator: one entry edited in
// what a read saved goes to the unit as its one block, and the unit then holds the edited table;
// nothing edited sends nothing; OLD files that cannot stand for the unit are refused.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "base/cp932.h"
#include "base/socket_test_support.h"
#include "cli/zuctl_run_test_support.h"
#include "data/phonebook_file_io.h"
#include "data/process_state.h"
#include "data/speed_dial.h"
#include "data/system_data.h"
#include "link/simulator_transfer_test_support.h"
#include "mainunit/simulator.h"

namespace {

class ChangedFromTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dataDir_ = new TempDir("zuctl-changed-unit");
    SimulatorOptions o = testSimulatorOptions("127.0.0.6");
    o.dataDir = dataDir_->path();  // the tables on disk, as a unit keeps them
    o.ioTimeoutMs = 5000;
    toolPort_ = o.toolPortFirst;
    unit_ = new MainUnitSimulator(o);
    ASSERT_TRUE(unit_->start());
  }
  static void TearDownTestSuite() {
    delete unit_;
    delete dataDir_;
  }

  ZuctlRun zuctl(std::vector<std::string> args) {
    sessions_ = unit_->sessionCount();
    for (const std::string& a :
         {std::string("--host"), std::string("127.0.0.6"), std::string("--password"),
          std::string("7351"), std::string("--port"), std::to_string(unit_->port()),
          std::string("--data-port"), std::to_string(toolPort_), std::string("--no-pacing")})
      args.push_back(a);
    return runZuctl(args, dir);
  }
  // Waits until the session the last zuctl ran has ended on the unit's side too.
  void settle() { unit_->waitForSessions(sessions_ + 1, std::chrono::seconds(5)); }

  static inline MainUnitSimulator* unit_ = nullptr;
  static inline TempDir* dataDir_ = nullptr;
  static inline int toolPort_ = 0;
  TempDir dir{"zuctl-changed"};
  int sessions_ = 0;
};

TEST_F(ChangedFromTest, OneEditedEntrySendsItsOneBlockAndTheUnitHoldsTheEditedTable) {
  const std::string read = dir.file("read");
  ZuctlRun run = zuctl({"read", "phonebook", "--out", read});
  ASSERT_EQ(run.status, 0) << run.err;
  settle();
  const std::vector<std::string> olds = {"--changed-from", read + "/book.zud8",
                                         "--changed-from", read + "/names.zud4",
                                         "--changed-from", read + "/templates.zud9"};

  // Entry 1234 renamed in a copy of what the read saved.
  initProcessState();
  initSystemData();
  ASSERT_TRUE(loadPhonebookData(read + "/book.zud8", ExchangeKind::SpeedDial).ok());
  SpeedDialFields f{};
  getSpeedDialEntry(1234, f);
  f.lineGroup = static_cast<std::uint8_t>(f.lineGroup - '0');  // the getter gives a digit
  const std::string name = utf8ToCp932("山田太郎");
  std::memset(f.name, 0, sizeof f.name);
  std::memcpy(f.name, name.data(), name.size());
  ASSERT_EQ(setSpeedDialEntry(1234, f), 1);
  const std::string edited = dir.file("edited.zud8");
  ASSERT_TRUE(savePhonebookData(edited, ExchangeKind::SpeedDial).ok());

  MainUnitTables expected = unit_->tables();
  expected.speedDial[1234].name = name;
  std::vector<std::string> args = {"write", "phonebook", edited};
  args.insert(args.end(), olds.begin(), olds.end());
  run = zuctl(args);
  ASSERT_EQ(run.status, 0) << run.err;
  settle();
  EXPECT_NE(run.err.find("変更のあるもの: 1000～1499\n"), std::string::npos) << run.err;
  const SimulatorSession session = unit_->lastSession();
  EXPECT_TRUE(session.succeeded) << session.failure << session.refusal;
  EXPECT_EQ(session.direction, "UPLOAD");
  // The last listed file is listed twice: the unit asks for it twice.
  EXPECT_EQ(session.listedFiles,
            (std::vector<std::string>{"sys-tanf1000.txt", "sys-tanf1000.txt"}));
  std::set<std::string> received;
  for (const auto& [file, body] : session.transferred) received.insert(file);
  EXPECT_EQ(received, std::set<std::string>{"sys-tanf1000.txt"});
  EXPECT_TRUE(unit_->tables() == expected) << "the unit holds the edited table";

  // The files of the read itself change nothing: no session, exit 0.
  const int sessions = unit_->sessionCount();
  args = {"write", "phonebook", read + "/book.zud8", read + "/names.zud4"};
  args.insert(args.end(), olds.begin(), olds.end());
  run = zuctl(args);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("変更はありません"), std::string::npos) << run.err;
  EXPECT_EQ(unit_->sessionCount(), sessions);
  EXPECT_TRUE(unit_->tables() == expected);
}

TEST_F(ChangedFromTest, OldFilesThatCannotStandForTheUnitAreRefusedBeforeAnythingIsSent) {
  initProcessState();
  initSystemData();
  const std::string book = dir.file("book.zud8"), other = dir.file("other.zud8");
  const std::string names = dir.file("names.zud4");
  ASSERT_TRUE(savePhonebookData(book, ExchangeKind::SpeedDial).ok());
  ASSERT_TRUE(savePhonebookData(other, ExchangeKind::SpeedDial).ok());
  ASSERT_TRUE(savePhonebookData(names, ExchangeKind::Extensions).ok());
  writeFile(dir.file("numbers.zud7"), "x");
  writeFile(dir.file("broken.zud4"), "no phonebook data\r\n");
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string said;
  } cases[] = {
      {{book, names, "--changed-from", other}, 2, "needs an extension file (.zud4) for"},
      {{book, "--changed-from", book, "--changed-from", other}, 2, "two files of the same kind"},
      {{book, "--changed-from", dir.file("numbers.zud7")}, 2, "takes a phonebook file"},
      {{book, "--changed-from", dir.file("gone.zud8")}, 2, "no such file"},
      {{book, "--changed-from", other, "--changed-from", dir.file("broken.zud4")},
       1,
       "ファイルデータ取得エラー発生"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"write", "phonebook"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    std::string shown;
    for (const std::string& a : args) shown += a + " ";
    const int sessions = unit_->sessionCount();
    const ZuctlRun run = zuctl(args);
    EXPECT_EQ(run.status, c.status) << shown << "\n" << run.err;
    EXPECT_NE(run.err.find(c.said), std::string::npos) << shown << "\n" << run.err;
    EXPECT_EQ(unit_->sessionCount(), sessions) << shown;
  }
}

}  // namespace
