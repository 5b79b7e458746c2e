// zuctl read --sites as a process against three main-unit simulators in this process: a failing
// unit does not stop the others, each failure is reported with the unit's message, and a bad
// sites file is refused, line by line, before any unit is reached.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "base/files_test_support.h"
#include "cli/command_test_support.h"
#include "link/simulator_transfer_test_support.h"
#include "mainunit/simulator.h"

namespace {

const std::string kZuctl = std::string(ZU_BINARY_DIR) + "/bin/zuctl";

class SitesCommandTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // The units all connect back to the same tool ports, as real units do.
    SimulatorOptions o = testSimulatorOptions("127.0.0.2");
    toolPort_ = o.toolPortFirst;
    ASSERT_NE(toolPort_, 0);
    o.busy = true;
    busy_ = new MainUnitSimulator(o);
    o = testSimulatorOptions("127.0.0.3");
    o.toolPortFirst = toolPort_;
    o.password = "0000";
    otherPassword_ = new MainUnitSimulator(o);
    o = testSimulatorOptions("127.0.0.4");
    o.toolPortFirst = toolPort_;
    fine_ = new MainUnitSimulator(o);
    for (MainUnitSimulator* unit : {busy_, otherPassword_, fine_}) ASSERT_TRUE(unit->start());
  }
  static void TearDownTestSuite() {
    delete busy_;
    delete otherPassword_;
    delete fine_;
  }

  static std::string at(const char* address, const MainUnitSimulator* unit) {
    return std::string(address) + ":" + std::to_string(unit->port());
  }
  int sessions() const {
    return busy_->sessionCount() + otherPassword_->sessionCount() + fine_->sessionCount();
  }

  ProgramRun sites(const std::string& list, std::vector<std::string> more = {}) {
    writeFile(dir.file("sites.txt"), list);
    std::vector<std::string> args = {
        "read",       "phonebook",     "--sites",     dir.file("sites.txt"),
        "--out",      dir.file("out"), "--data-port", std::to_string(toolPort_),
        "--no-pacing"};
    args.insert(args.end(), more.begin(), more.end());
    return runProgram(kZuctl, args,
                      {"XDG_STATE_HOME=" + dir.file("state"), "ZU_SITE_PASSWORD=7351"}, dir.path());
  }

  static inline MainUnitSimulator* busy_ = nullptr;
  static inline MainUnitSimulator* otherPassword_ = nullptr;
  static inline MainUnitSimulator* fine_ = nullptr;
  static inline int toolPort_ = 0;
  TempDir dir{"zuctl-sites"};
};

TEST_F(SitesCommandTest, ReadsTheFineUnitAndReportsTheOthersWithTheirMessages) {
  writeFile(dir.file("fine.pw"), "7351\r\n");
  const int fineSessions = fine_->sessionCount();
  std::string list = "\xEF\xBB\xBF# nightly, saved with a byte order mark\n";
  list += "busy  " + at("127.0.0.2", busy_) + "  7351\n\n";
  list += "fine\t" + at("127.0.0.4", fine_) + "\tfile:fine.pw\r\n";
  list += "   # the next one answers with another password\n";
  list += "other " + at("127.0.0.3", otherPassword_) + " env:ZU_SITE_PASSWORD\n";
  const ProgramRun run = sites(list);
  EXPECT_EQ(run.status, 2) << run.err;
  EXPECT_EQ(fine_->sessionCount(), fineSessions + 1);
  EXPECT_EQ(entriesIn(dir.file("out/fine")),
            (std::set<std::string>{"book.zud8", "names.zud4", "templates.zud9"}));
  EXPECT_TRUE(entriesIn(dir.file("out/busy")).empty());
  EXPECT_TRUE(entriesIn(dir.file("out/other")).empty());

  // One line per site in the order of the list, after the head line.
  std::vector<std::string> lines;
  for (std::size_t at = 0, end; (end = run.out.find('\n', at)) != std::string::npos; at = end + 1)
    lines.push_back(run.out.substr(at, end - at));
  ASSERT_EQ(lines.size(), 4u) << run.out;
  EXPECT_EQ(lines[0].rfind("サイト", 0), 0u) << lines[0];
  const struct {
    std::string start, result, message;
  } rows[] = {
      {"busy  ", "失敗", "主装置使用中です。"},
      {"fine  ", "成功", "電話帳データの読込が正常に終了しました。"},
      {"other ", "失敗", "パスワードエラーです。"},
  };
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(lines[i + 1].rfind(rows[i].start, 0), 0u) << lines[i + 1];
    EXPECT_NE(lines[i + 1].find(rows[i].result), std::string::npos) << lines[i + 1];
    EXPECT_NE(lines[i + 1].find(rows[i].message), std::string::npos) << lines[i + 1];
  }
  EXPECT_NE(run.err.find("サイト 2/3 fine (" + at("127.0.0.4", fine_) + ")"), std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("サイト 3/3 other: 失敗"), std::string::npos) << run.err;
}

TEST_F(SitesCommandTest, BadListsAndArgumentsAreRefusedWithTheLineAndNothingIsRead) {
  const std::string fine = "fine " + at("127.0.0.4", fine_) + " 7351\n";
  const struct {
    std::string list;
    std::vector<std::string> more;
    std::string said;
  } cases[] = {
      {fine + "kobe 127.0.0.4\n", {}, "sites.txt:2: a line needs three fields"},
      {"../up 127.0.0.4 7351\n", {}, "sites.txt:1: the name '../up' is not a folder name"},
      {".hidden 127.0.0.4 7351\n", {}, "sites.txt:1: the name"},
      {fine + "# x\nFINE 127.0.0.4 7351\n",
       {},
       "sites.txt:3: the name 'FINE' is already used on line 1"},
      // Every bad line is told, not only the first.
      {fine + "kobe 127.0.0.4\nnara 127.0.0.4:0 7351\n", {}, "sites.txt:3: the port after ':'"},
      {fine + "kobe 127.0.0.4 env:ZU_SITE_UNSET\n", {}, "sites.txt:2: the environment variable"},
      {fine + "kobe 127.0.0.4 env:1X\n", {}, "is not an environment variable name"},
      {fine + "kobe 127.0.0.4 file:missing.pw\n", {}, "sites.txt:2: cannot read the password file"},
      {fine + "kobe 127.0.0.4 12345678901234567\n", {}, "more than 16 characters"},
      {fine + "kobe 127.0.0.4 735\n", {}, "fewer than 4 characters"},
      {fine + "kobe ｈｏｓｔ 7351\n", {}, "sites.txt:2: the host must be half-width"},
      {"# only a comment\n\n", {}, "lists no site"},
      {fine, {"--host", "127.0.0.4"}, "cannot be given with --sites"},
      {fine, {"--port", "70000"}, "--port takes a number"},
  };
  const int before = sessions();
  for (const auto& c : cases) {
    const ProgramRun run = sites(c.list, c.more);
    EXPECT_EQ(run.status, 125) << c.list << run.err;
    EXPECT_NE(run.err.find(c.said), std::string::npos) << c.list << run.err;
    EXPECT_TRUE(run.out.empty()) << run.out;
  }
  EXPECT_EQ(sessions(), before);
  EXPECT_FALSE(std::filesystem::exists(dir.file("out/fine")));
}

}  // namespace
