// zuctl diff as a process: the lines it prints for files and folders that differ, and its exit
// status (0 equal, 1 different, 2 trouble).
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "cli/zuctl_run_test_support.h"
#include "data/phonebook_file_io.h"
#include "data/phonebook_tables_test_support.h"

namespace {

using namespace phonebook_test;

// Saves the three tables as a read saves them into `folder`.
void saveFolder(const std::string& folder) {
  std::filesystem::create_directories(folder);
  ASSERT_TRUE(savePhonebookData(folder + "/book.zud8", ExchangeKind::SpeedDial).ok());
  ASSERT_TRUE(savePhonebookData(folder + "/names.zud4", ExchangeKind::Extensions).ok());
  ASSERT_TRUE(savePhonebookData(folder + "/templates.zud9", ExchangeKind::Templates).ok());
}

TEST(DiffCommandTest, ListsEveryDifferingFieldAndExitsAsDiffDoes) {
  TempDir dir("zuctl-diff");
  const std::string a = dir.file("a"), b = dir.file("b");
  startUp();
  fillFixtureTables();
  saveFolder(a);
  ASSERT_TRUE(savePhonebookData(dir.file("a.csv"), ExchangeKind::SpeedDial).ok());
  setSpeedDial(0, "0312", "大阪支社", "ﾄｳｷｮｳﾎﾝｼｬ", "1", "05", 2, 3, 10, 11);
  setExtension(101, "1001", "人事部", "ｿｳﾑﾌﾞ");
  setTemplateMessage(2, cp("お待ちください"), 1);
  saveFolder(b);
  // The CSV without the row of entry 9999: that entry loads empty, as in a fresh table.
  std::string csv = readFile(dir.file("a.csv"));
  const std::size_t row = csv.find("\r\n9999,");
  ASSERT_NE(row, std::string::npos);
  csv.erase(row, csv.find("\r\n", row + 2) - row);
  writeFile(dir.file("short.csv"), csv);
  writeFile(dir.file("broken.zud8"), "no phonebook data\r\n");
  std::filesystem::create_directories(dir.file("empty"));

  const std::string entry0 =
      "短縮番号 0000\t電話番号\t03-1234-5678P9\t0312\n"
      "短縮番号 0000\t名前\t東京本社\t大阪支社\n";
  const std::string extension101 = "収容位置 101\t内線名称\t総務部\t人事部\n";
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string out;   // exactly, for status 0 and 1
    std::string said;  // in standard error
  } cases[] = {
      {{a + "/book.zud8", a + "/book.zud8"}, 0, "", "違いはありません"},
      {{a + "/book.zud8", b + "/book.zud8"}, 1, entry0, "システム短縮ダイヤル 2 件"},
      {{a + "/names.zud4", b}, 1, extension101, "内線電話帳 1 件"},
      {{a, b},
       1,
       entry0 + extension101 + "項番 002\t定型文\tTEL@ｶﾞｲｼｭﾂ\tお待ちください\n",
       "システム短縮ダイヤル 2 件、内線電話帳 1 件、付加情報定型文 1 件"},
      {{a + "/book.zud8", dir.file("short.csv")},
       1,
       "短縮番号 9999\t電話番号\t0120999999\t\n"
       "短縮番号 9999\t名前\t最後\t\n"
       "短縮番号 9999\tヨミガナ\tｻｲｺﾞ\t\n"
       "短縮番号 9999\t用途\t8\t0\n"
       "短縮番号 9999\t短縮G\t30\t01\n"
       "短縮番号 9999\t外線G\t6\t0\n"
       "短縮番号 9999\t表示モード\t1\t0\n",
       "システム短縮ダイヤル 7 件"},
      {{dir.file("a.csv"), dir.file("short.csv"), "--kind", "templates"},
       2,
       "",
       "ファイルデータ取得エラー発生"},
      {{a + "/book.zud8", a + "/names.zud4"}, 2, "", "does not hold the kind"},
      {{dir.file("a.csv"), dir.file("short.csv")}, 2, "", "--kind is needed"},
      {{a + "/templates.zud9", dir.file("empty")}, 2, "", "holds no"},
      {{dir.file("broken.zud8"), a + "/book.zud8"}, 2, "", "ファイルデータ取得エラー発生"},
      {{a + "/book.zud8"}, 2, "", "two files or folders are needed"},
      {{a + "/book.zud8", dir.file("gone.zud8")}, 2, "", "no such file"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"diff"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    std::string shown;
    for (const std::string& arg : args) shown += arg + " ";
    const ZuctlRun run = runZuctl(args, dir);
    EXPECT_EQ(run.status, c.status) << shown << "\n" << run.err;
    EXPECT_EQ(run.out, c.out) << shown;
    EXPECT_NE(run.err.find(c.said), std::string::npos) << shown << "\n" << run.err;
  }
}

}  // namespace
