// zuctl convert run as a process: every kind in both directions, usage and load errors.
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "data/call_history.h"
#include "data/history_files.h"
#include "data/phonebook_file_io.h"
#include "data/phonebook_tables_test_support.h"
#include "data/restriction_files.h"
#include "data/restriction_table.h"

using namespace phonebook_test;

namespace {

struct ProcessRun {
  int status = -1;
  std::string err;
};

class ConvertCommandTest : public ::testing::Test {
 protected:
  void SetUp() override { startUp(); }

  // Runs zuctl with `args` in the test folder; its standard error is kept.
  ProcessRun zuctl(const std::vector<std::string>& args) {
    const std::string errFile = dir.file("stderr.txt");
    const pid_t pid = fork();
    if (pid == 0) {
      if (chdir(dir.path().c_str()) != 0) _exit(127);
      std::FILE* err = std::freopen(errFile.c_str(), "wb", stderr);
      if (!err) _exit(127);
      std::vector<char*> argv;
      const std::string binary = std::string(ZU_BINARY_DIR) + "/bin/zuctl";
      argv.push_back(const_cast<char*>(binary.c_str()));
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(binary.c_str(), argv.data());
      _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ProcessRun run;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.err = readFile(errFile);
    std::remove(errFile.c_str());
    return run;
  }

  void convert(const std::vector<std::string>& args) {
    std::vector<std::string> full = {"convert"};
    full.insert(full.end(), args.begin(), args.end());
    const ProcessRun run = zuctl(full);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
  }

  TempDir dir;
};

TEST_F(ConvertCommandTest, SpeedDialGoesToCsvAndBackToEveryForm) {
  fillFullTables(31);
  setUserFields();
  const std::string tables = phonebookBytes().substr(0, sizeof phonebookImage.speedDial);
  const std::string fields = userFieldBytes();
  ASSERT_EQ(savePhonebookData(dir.file("in.zud8"), ExchangeKind::SpeedDial).code, 0);
  convert({"in.zud8", "mid.csv"});
  convert({"mid.csv", "out.zud8", "--kind", "phonebook"});
  convert({"out.zud8", "out.zud3"});
  startUp();
  ASSERT_EQ(loadPhonebookData(dir.file("out.zud8"), ExchangeKind::SpeedDial).code, 0);
  EXPECT_EQ(firstDifference(phonebookBytes().substr(0, sizeof phonebookImage.speedDial), tables), "");
  EXPECT_EQ(userFieldBytes(), fields);
  startUp();
  ASSERT_EQ(loadPhonebookData(dir.file("out.zud3"), ExchangeKind::SpeedDial).code, 0);
  SpeedDialFields f{};
  getSpeedDialEntry(0, f);
  EXPECT_NE(f.number[0], '\0');
  EXPECT_EQ(f.displayMode, 0);
}

TEST_F(ConvertCommandTest, ExtensionsAndTemplatesGoToCsvAndBack) {
  fillFullTables(32);
  const std::string tables = phonebookBytes().substr(sizeof phonebookImage.speedDial);
  ASSERT_EQ(savePhonebookData(dir.file("in.zud4"), ExchangeKind::Extensions).code, 0);
  ASSERT_EQ(savePhonebookData(dir.file("in.zud9"), ExchangeKind::Templates).code, 0);
  convert({"in.zud4", "ext.csv"});
  convert({"--kind=extensions", "ext.csv", "out.zud4"});
  convert({"in.zud9", "tpl.csv"});
  convert({"tpl.csv", "out.zud9", "--kind", "templates"});
  startUp();
  ASSERT_EQ(loadPhonebookData(dir.file("out.zud4"), ExchangeKind::Extensions).code, 0);
  ASSERT_EQ(loadPhonebookData(dir.file("out.zud9"), ExchangeKind::Templates).code, 0);
  EXPECT_EQ(firstDifference(phonebookBytes().substr(sizeof phonebookImage.speedDial), tables), "");
}

TEST_F(ConvertCommandTest, RestrictionsGoToCsvAndBack) {
  const std::string in = std::string(ZU_SOURCE_DIR) + "/data/testdata/restriction_tagged.zud7";
  ASSERT_EQ(loadRestrictionLocalFile(in), 0);
  const std::string table(reinterpret_cast<const char*>(restrictionTable), sizeof restrictionTable);
  ASSERT_NE(table, std::string(table.size(), '\0'));
  writeFile(dir.file("in.zud7"), readFile(in));
  convert({"in.zud7", "r.csv"});
  convert({"r.csv", "out.zud7", "--kind", "restrictions"});
  startUp();
  ASSERT_EQ(loadRestrictionLocalFile(dir.file("out.zud7")), 0);
  EXPECT_EQ(firstDifference(std::string(reinterpret_cast<const char*>(restrictionTable), sizeof restrictionTable), table), "");
}

TEST_F(ConvertCommandTest, HistoriesGoFromCsvToCsv) {
  struct Case {
    const char* kind;
    const char* fixture;
    HistoryKind historyKind;
  };
  for (const Case& c : {Case{"internal-history", "history_internal.csv", HistoryKind::Internal},
                        Case{"external-history", "history_external.csv", HistoryKind::External}}) {
    const std::string in = std::string(ZU_SOURCE_DIR) + "/data/testdata/" + c.fixture;
    writeFile(dir.file("in.csv"), readFile(in));
    convert({"in.csv", "out.csv", "--kind", c.kind});
    startUp();
    ASSERT_EQ(loadHistoryCsvFile(dir.file("in.csv"), c.historyKind), 0);
    const std::string before = c.historyKind == HistoryKind::Internal
        ? std::string(reinterpret_cast<const char*>(internalHistory), sizeof internalHistory)
        : std::string(reinterpret_cast<const char*>(externalHistory), sizeof externalHistory);
    startUp();
    ASSERT_EQ(loadHistoryCsvFile(dir.file("out.csv"), c.historyKind), 0);
    const std::string after = c.historyKind == HistoryKind::Internal
        ? std::string(reinterpret_cast<const char*>(internalHistory), sizeof internalHistory)
        : std::string(reinterpret_cast<const char*>(externalHistory), sizeof externalHistory);
    EXPECT_EQ(firstDifference(after, before), "") << c.kind;
    EXPECT_NE(before, std::string(before.size(), '\0')) << c.kind;
  }
}

TEST_F(ConvertCommandTest, UsageErrorsExitWith2) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"convert"},
           {"convert", "a.zud8"},
           {"convert", "a.csv", "b.csv"},
           {"convert", "a.zud8", "b.zud4"},
           {"convert", "a.zud8", "b.csv", "--kind", "templates"},
           {"convert", "a.csv", "b.csv", "--kind", "nothing"},
           {"convert", "a.zud8", "b.zud8", "--kind"},
           {"convert", "a.zud7", "b.csv", "--bogus"},
           {"convert", "a.txt", "b.csv", "--kind", "internal-history"}}) {
    const ProcessRun run = zuctl(args);
    EXPECT_EQ(run.status, 2) << args.size();
    EXPECT_NE(run.err.find("usage: zuctl convert"), std::string::npos);
  }
}

TEST_F(ConvertCommandTest, LoadErrorsExitWith1AndWriteNothing) {
  ProcessRun run = zuctl({"convert", "none.zud8", "out.csv"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("ファイルが見つかりません"), std::string::npos) << run.err;
  writeFile(dir.file("bad.zud4"), "not a phonebook file");
  run = zuctl({"convert", "bad.zud4", "out.csv"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("ファイルデータ取得エラー発生"), std::string::npos) << run.err;
  EXPECT_FALSE(fileExists(dir.file("out.csv")));
}

TEST_F(ConvertCommandTest, SaveErrorExitsWith1) {
  fillFixtureTables();
  ASSERT_EQ(savePhonebookData(dir.file("in.zud9"), ExchangeKind::Templates).code, 0);
  std::filesystem::create_directory(dir.file("out.csv"));
  const ProcessRun run = zuctl({"convert", "in.zud9", "out.csv", "--kind", "templates"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("ファイルデータ保存エラー発生"), std::string::npos) << run.err;
}

TEST_F(ConvertCommandTest, ALoadThatChangedRowsPrintsItsSummaryAndReportWritesTheList) {
  writeFile(dir.file("in.csv"), std::string(kSpeedDial10Header) + "\r\n" +
                                    "0000,03(1111)2222,AB\"CD,,1,01,0,0,000,000\r\n"
                                    "0001,0311112222,N,,1,45,0,0,000,000\r\n"
                                    "abc\r\n");
  ProcessRun run = zuctl({"convert", "in.csv", "out.zud8", "--report", "report.csv"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "読込報告: 3 行 (禁止文字 1, 番号 1, 範囲外 1, 不正な行 1)\n");
  EXPECT_EQ(cp932ToUtf8(readFile(dir.file("report.csv"))),
            "ファイル,行,項番,項目,内容,ファイルの値\r\n"
            "in.csv,2,0,電話番号,番号に使えない文字を除きました,03(1111)2222\r\n"
            "in.csv,2,0,名前,使えない文字を空白にしました,\"AB\"\"CD\"\r\n"
            "in.csv,3,1,短縮G,短縮Gが1～30の範囲外のため 01 にしました,45\r\n"
            "in.csv,4,,,短縮番号がないため読み込みませんでした,abc\r\n");
  EXPECT_TRUE(fileExists(dir.file("out.zud8")));

  // A clean file prints nothing; --report then writes the header alone.
  run = zuctl({"convert", "out.zud8", "again.csv", "--report=clean.csv"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(cp932ToUtf8(readFile(dir.file("clean.csv"))),
            "ファイル,行,項番,項目,内容,ファイルの値\r\n");

  // A report that cannot be written fails the run.
  std::filesystem::create_directory(dir.file("taken"));
  run = zuctl({"convert", "in.csv", "out2.zud8", "--report", "taken"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("読込報告を書き込めません"), std::string::npos) << run.err;
  EXPECT_EQ(zuctl({"convert", "in.csv", "out3.zud8", "--report"}).status, 2);
}

}  // namespace
