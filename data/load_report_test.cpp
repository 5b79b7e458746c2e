// The load report: a file with 50 faulty rows of every kind is reported row by row with the
// right reason, in every file form, and loads into exactly the tables a load without a report
// gives; a file the tool saved loads without findings; the summary line and the CSV list.
#include "data/load_report.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "data/call_history.h"
#include "data/exchange_files.h"
#include "data/history_files.h"
#include "data/phonebook_file_io.h"
#include "data/phonebook_tables_test_support.h"
#include "data/restriction_files.h"
#include "data/restriction_table.h"
#include "data/tagged_files.h"
#include "data/user_info.h"

using namespace phonebook_test;

namespace {

using Finding = std::tuple<int, int, std::string, LoadFindingKind>;  // line, entry, field, kind
using LFK = LoadFindingKind;

std::set<Finding> findingsOf(const LoadReport& report) {
  std::set<Finding> out;
  for (const LoadFinding& f : report.findings()) out.insert({f.row, f.entry, f.field, f.kind});
  return out;
}

std::string entryRow(int n, std::string_view rest) {
  char key[8];
  std::snprintf(key, sizeof key, "%04d", n);
  return key + std::string(rest);
}

std::string cleanRow(int n) {
  return entryRow(n, ",03" + std::to_string(10000000 + n) + "," + cp("名前") + std::to_string(n) +
                         "," + cp("ﾅﾏｴ") + ",1,01,0,0,000,000");
}

// A 10-column speed-dial file of entries 0-9999 with 50 faulty rows, and the finding each gives
// by its index among the rows (0 = the first row after the column header).
struct FaultyBook {
  std::vector<std::string> rows;
  std::vector<std::tuple<int, int, std::string, LFK>> expected;  // row index, entry, field, kind

  void fault(int entry, std::string field, LFK kind, std::string row) {
    expected.emplace_back(static_cast<int>(rows.size()), entry, std::move(field), kind);
    rows.push_back(std::move(row));
  }
};

FaultyBook faultyBook() {
  // clang-format off
  using Make = std::function<void(FaultyBook&, int)>;
  const std::vector<Make> kinds = {
      [](FaultyBook& b, int n) { b.fault(n, "名前", LFK::ForbiddenCharacters, entryRow(n, ",0311112222,AB\"CD,,1,01,0,0,000,000")); },
      [](FaultyBook& b, int n) { b.fault(n, "名前", LFK::TextShortened, entryRow(n, ",0311112222,ABCDEFGHIJKLMNOPQRSTUVWXYZ,,1,01,0,0,000,000")); },
      [](FaultyBook& b, int n) { b.fault(n, "ヨミガナ", LFK::ReadingKept, entryRow(n, ",0311112222,N," + cp("ヤマダ") + ",1,01,0,0,000,000")); },
      [](FaultyBook& b, int n) { b.fault(n, "ヨミガナ", LFK::ForbiddenCharacters, entryRow(n, ",0311112222,N," + cp("ﾔﾏ\\ﾀﾞ") + ",1,01,0,0,000,000")); },
      [](FaultyBook& b, int n) { b.fault(n, "電話番号", LFK::NumberCharacters, entryRow(n, ",03(1111)2222,N,,1,01,0,0,000,000")); },
      [](FaultyBook& b, int n) { b.fault(n, "電話番号", LFK::TextShortened, entryRow(n, ",031111222233334444555566667777,N,,1,01,0,0,000,000")); },
      [](FaultyBook& b, int n) { b.fault(n, "用途", LFK::OutOfRange, entryRow(n, ",0311112222,N,,5000,01,0,0,000,000")); },
      [](FaultyBook& b, int n) { b.fault(n, "用途", LFK::OutOfRange, entryRow(n, ",,N,,999,01,0,0,000,000")); },
      [](FaultyBook& b, int n) { b.fault(n, "短縮G", LFK::OutOfRange, entryRow(n, ",0311112222,N,,1,45,0,0,000,000")); },
      [](FaultyBook& b, int n) { b.fault(n, "外線G", LFK::OutOfRange, entryRow(n, ",0311112222,N,,1,01,9,0,000,000")); },
      [](FaultyBook& b, int n) { b.fault(n, "表示モード", LFK::OutOfRange, entryRow(n, ",0311112222,N,,1,01,0,x,000,000")); },
      [](FaultyBook& b, int n) { b.fault(n, "定型文1", LFK::OutOfRange, entryRow(n, ",0311112222,N,,1,01,0,0,010,000")); },
      [](FaultyBook& b, int n) { b.fault(n, "", LFK::RowSkipped, entryRow(n, ",0311112222,N,,1")); },
      [](FaultyBook& b, int n) {  // a row without a key before the entry's own clean row
        b.fault(-1, "", LFK::RowSkipped, "abc,0311112222,N,,1,01,0,0,000,000");
        b.rows.push_back(cleanRow(n));
      },
  };
  // clang-format on
  FaultyBook book;
  int next = 0;
  auto cleanUpTo = [&](int end) {
    for (; next < end; ++next) book.rows.push_back(cleanRow(next));
  };
  for (int i = 0; i < 46; ++i) {
    const int n = 100 + i * 150;
    cleanUpTo(n);
    kinds[static_cast<std::size_t>(i) % kinds.size()](book, n);
    next = n + 1;
  }
  // Entries 8000-8029 fill the private list of extension 101; entry 9001 finds it full.
  cleanUpTo(8000);
  for (; next < 8030; ++next)
    book.rows.push_back(entryRow(next, ",0322223333,P,,101,01,0,0,000,000"));
  cleanUpTo(9001);
  book.fault(9001, "用途", LFK::PrivateListFull,
             entryRow(9001, ",0322224444,P,,101,01,0,0,000,000"));
  next = 9002;
  // Entry 9100 twice: the first row is replaced by the second.
  cleanUpTo(9100);
  book.fault(9100, "短縮番号", LFK::Duplicate,
             entryRow(9100, ",0399990000,FIRST,,1,01,0,0,000,000"));
  cleanUpTo(10000);
  // Two rows after entry 9999.
  book.fault(5, "", LFK::BeyondMemoryCount, cleanRow(5));
  book.fault(6, "", LFK::BeyondMemoryCount, cleanRow(6));
  return book;
}

std::string csvFile(const std::vector<std::string>& rows, std::string_view header) {
  std::string text = userInfoLine();
  text.append(header).append("\r\n");
  for (const std::string& row : rows) text.append(row).append("\r\n");
  return text;
}

// A tagged file of the element `element` holding `rows`, each ended as `rowEnd`: the head and
// tail of the file the tool writes, around rows of our own.
std::string taggedFile(TaggedRows kind, std::string_view element, std::string_view header,
                       const std::vector<std::string>& rows, std::string_view rowEnd) {
  std::string empty;
  appendTaggedFile(kind, userInfoLine() + std::string(header) + "\r\n", empty);
  const std::string open = "<" + std::string(element) + ">\r\n";
  const std::size_t at = empty.find(open) + open.size();
  std::string text = empty.substr(0, at);
  for (const std::string& row : rows) text.append(row).append(rowEnd);
  text.append(empty.substr(at));
  return text;
}

class LoadReportTest : public ::testing::Test {
 protected:
  void SetUp() override { startUp(); }
  TempDir dir_;
};

TEST_F(LoadReportTest, FaultyPhonebookRowsAreReportedOneByOneAndLoadAsWithoutAReport) {
  const FaultyBook book = faultyBook();
  ASSERT_EQ(book.expected.size(), 50u);
  struct Form {
    const char* name;
    std::string text;
    int firstRowLine;
  };
  const Form forms[] = {
      {"book.csv", csvFile(book.rows, kSpeedDial10Header), 3},
      {"book.zud8",
       taggedFile(TaggedRows::SpeedDialTenColumns, "systanf", kSpeedDial10Header, book.rows, ",\r"),
       10},
  };
  for (const Form& form : forms) {
    SCOPED_TRACE(form.name);
    const std::string path = dir_.path() + "/" + form.name;
    writeFile(path, form.text);

    startUp();
    ASSERT_TRUE(loadPhonebookData(path, ExchangeKind::SpeedDial).ok());
    const std::string withoutReport = phonebookBytes();

    startUp();
    LoadReport report;
    ASSERT_TRUE(loadPhonebookData(path, ExchangeKind::SpeedDial, &report).ok());
    EXPECT_EQ(phonebookBytes(), withoutReport);

    std::set<Finding> expected;
    for (const auto& [index, entry, field, kind] : book.expected)
      expected.insert({form.firstRowLine + index, entry, field, kind});
    EXPECT_EQ(findingsOf(report), expected);
    EXPECT_EQ(report.rowCount(), 50);
    for (const LoadFinding& f : report.findings()) EXPECT_EQ(f.file, form.name);

    // What the faulty rows left in the tables.
    SpeedDialFields f;
    getSpeedDialEntry(100, f);
    EXPECT_STREQ(f.name, "AB CD");
    getSpeedDialEntry(100 + 8 * 150, f);
    EXPECT_STREQ(f.speedDialGroup, "01");
    getSpeedDialEntry(9001, f);
    EXPECT_STREQ(f.number, "");
    getSpeedDialEntry(9100, f);
    EXPECT_STREQ(f.number, "0310009100");
    getSpeedDialEntry(100 + 12 * 150, f);
    EXPECT_STREQ(f.number, "");
  }
}

TEST_F(LoadReportTest, FaultyRestrictionLinesAreReportedAndLoadAsWithoutAReport) {
  std::vector<std::string> rows;
  std::vector<std::tuple<int, int, std::string, LFK>> expected;  // row index, entry, field, kind
  auto fault = [&](int entry, std::string field, LFK kind, std::string row) {
    expected.emplace_back(static_cast<int>(rows.size()), entry, std::move(field), kind);
    rows.push_back(std::move(row));
  };
  for (int k = 0; k < kRestrictionEntries; ++k) {
    const std::string key = entryRow(k, "");
    if (k == 10) {
      fault(k, "電話番号", LFK::NumberCharacters, key + ",03-1234-5678,");
    } else if (k == 20) {
      fault(k, "電話番号", LFK::TextShortened, key + ",0123456789012345678901234567,");
    } else if (k == 30) {
      fault(-1, "", LFK::RowSkipped, "30,0311110000,");
      rows.push_back(key + ",,");
    } else if (k == 40) {
      fault(k, "電話番号", LFK::Duplicate, key + ",0120777777,");  // entry 41 takes the number
    } else if (k == 41) {
      rows.push_back(key + ",0120777777,");
    } else if (k == 50) {
      fault(k, "項番", LFK::Duplicate, key + ",0120555555,");  // entry 50 comes again
      rows.push_back(key + ",0120555556,");
    } else {
      rows.push_back(key + (k % 3 == 0 ? ",0" + std::to_string(300000000 + k) + "," : ",,"));
    }
  }
  struct Form {
    const char* name;
    std::string text;
    int firstRowLine;
  };
  const Form forms[] = {
      {"numbers.csv", csvFile(rows, kRestrictionHeader), 3},
      {"numbers.zud7", taggedFile(TaggedRows::Restrictions, "m018", kRestrictionHeader, rows, "\n"),
       10},
  };
  for (const Form& form : forms) {
    SCOPED_TRACE(form.name);
    std::string text = form.text;
    if (std::string(form.name).ends_with(".zud7")) {
      // The tagged rows carry '@' between their fields.
      const std::size_t from = text.find("<m018>");
      for (std::size_t i = from; i < text.size(); ++i)
        if (text[i] == ',' && text[i + 1] != '\n') text[i] = '@';
    }
    const std::string path = dir_.path() + "/" + form.name;
    writeFile(path, text);

    resetRestrictionTables();
    ASSERT_EQ(loadRestrictionLocalFile(path), 0);
    const std::string withoutReport(reinterpret_cast<const char*>(restrictionTable),
                                    sizeof restrictionTable);
    resetRestrictionTables();
    LoadReport report;
    ASSERT_EQ(loadRestrictionLocalFile(path, &report), 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(restrictionTable), sizeof restrictionTable),
              withoutReport);
    std::set<Finding> want;
    for (const auto& [index, entry, field, kind] : expected)
      want.insert({form.firstRowLine + index, entry, field, kind});
    EXPECT_EQ(findingsOf(report), want);
    EXPECT_STREQ(restrictionTable[10].number, "0312345678");
    EXPECT_STREQ(restrictionTable[40].number, "");
    EXPECT_STREQ(restrictionTable[41].number, "0120777777");
  }
}

TEST_F(LoadReportTest, FilesTheToolSavedLoadWithoutFindings) {
  fillFixtureTables();
  for (const char* name : {"book.zud8", "book.csv", "book.zud3", "names.zud4", "names.csv",
                           "templates.zud9", "templates.csv"}) {
    SCOPED_TRACE(name);
    const std::string path = dir_.path() + "/" + name;
    const std::string n(name);
    const ExchangeKind kind = n.starts_with("book")    ? ExchangeKind::SpeedDial
                              : n.starts_with("names") ? ExchangeKind::Extensions
                                                       : ExchangeKind::Templates;
    ASSERT_TRUE(savePhonebookData(path, kind).ok());
    LoadReport report;
    ASSERT_TRUE(loadPhonebookData(path, kind, &report).ok());
    for (const LoadFinding& f : report.findings())
      ADD_FAILURE() << f.row << " " << f.entry << " " << f.field << " " << f.what;
  }
  RestrictionEntry e{};
  std::strcpy(e.number, "0120123456");
  storeRestrictionEntry(7, e, RestrictionStoreMode::FileLoad);
  const std::string numbers = dir_.path() + "/numbers.zud7";
  ASSERT_EQ(saveRestrictionLocalFile(numbers), 0);
  LoadReport report;
  ASSERT_EQ(loadRestrictionLocalFile(numbers, &report), 0);
  EXPECT_TRUE(report.empty());
}

TEST_F(LoadReportTest, ExtensionAndTemplateRowsAreReportedByColumn) {
  std::string names = userInfoLine() + std::string(kExtensionHeader) + "\r\n";
  names += "101,12345,N,,\r\n";               // line 3: number cut to 4
  names += "102,1,ABCDEFGHIJKL,,\r\n";        // line 4: name cut to 10 bytes
  names += "103,1,N," + cp("ヨミ") + "\r\n";  // line 5: reading not half-width
  names += "161,1,N,,\r\n";                   // line 6: no such position
  names += "104,1\r\n";                       // line 7: too few fields
  const std::string namesPath = dir_.path() + "/names.csv";
  writeFile(namesPath, names);
  LoadReport report;
  ASSERT_TRUE(loadPhonebookData(namesPath, ExchangeKind::Extensions, &report).ok());
  EXPECT_EQ(findingsOf(report), (std::set<Finding>{{3, 101, "内線番号", LFK::TextShortened},
                                                   {4, 102, "内線名称", LFK::TextShortened},
                                                   {5, 103, "ヨミガナ", LFK::ReadingKept},
                                                   {6, 161, "収容位置", LFK::RowSkipped},
                                                   {7, 104, "", LFK::RowSkipped}}));

  // As the link writes a downloaded template file: an empty line before the column header.
  LoadReport downloaded;
  readExchangeText({ExchangeKind::Templates, SpeedDialForm::TenColumns, RowSource::MainUnit,
                    &downloaded},
                   userInfoLine() + "\r\n" + std::string(kTemplateHeader) + "\r\n001,A,\r\n");
  EXPECT_TRUE(downloaded.empty());

  std::string templates = std::string(kTemplateHeader) + "\r\n";
  templates += "001,A<B\r\n";                         // line 2: forbidden character
  templates += "02,short key\r\n";                    // line 3: item of two digits
  templates += "003,ABCDEFGHIJKLMNOPQRSTUVWXYZ\r\n";  // line 4: text cut to 20 bytes
  const std::string templatesPath = dir_.path() + "/templates.csv";
  writeFile(templatesPath, templates);
  LoadReport templateReport;
  ASSERT_TRUE(loadPhonebookData(templatesPath, ExchangeKind::Templates, &templateReport).ok());
  EXPECT_EQ(findingsOf(templateReport),
            (std::set<Finding>{{2, 1, "付加情報定型文", LFK::ForbiddenCharacters},
                               {3, -1, "", LFK::RowSkipped},
                               {4, 3, "付加情報定型文", LFK::TextShortened}}));
}

TEST_F(LoadReportTest, HistoryLinesAreReportedByColumnAndASavedHistoryLoadsWithoutFindings) {
  std::string csv = internalHistoryCsvTitle() + "\n";
  csv += "1,2024/01/05,10:00:00,10:00:10,101,ABCDEFGHIJKL,1,102,1,,103,2,10:05:00,00:04:50,03,12\n";
  csv += "2,2024/01/05,11:00:00,11:00:10,101,N,20,102,x,,103,,11:05:00,00:04:50,03,12\n";
  csv += "9999,2024/01/06\n";
  csv += "3,2024/01/07\n";
  csv += "3,2024/01/08\n";
  const std::string path = dir_.path() + "/internal.csv";
  writeFile(path, csv);
  LoadReport report;
  ASSERT_EQ(loadHistoryCsvFile(path, HistoryKind::Internal, &report), 0);
  EXPECT_EQ(findingsOf(report),
            (std::set<Finding>{{2, 1, "発信者名称", LFK::TextShortened},
                               {3, 2, "発信者種別", LFK::OutOfRange},
                               {3, 2, "応答種別", LFK::OutOfRange},
                               {4, -1, "", LFK::RowSkipped},
                               {5, 3, "項番", LFK::Duplicate}}));
  EXPECT_EQ(std::string(internalHistory[2].date), "2024/01/08");

  const std::string saved = dir_.path() + "/saved.csv";
  ASSERT_EQ(saveHistoryCsvFile(saved, HistoryKind::Internal), 0);
  LoadReport again;
  ASSERT_EQ(loadHistoryCsvFile(saved, HistoryKind::Internal, &again), 0);
  for (const LoadFinding& f : again.findings()) ADD_FAILURE() << f.row << " " << f.field;
}

TEST_F(LoadReportTest, SummaryCountsRowsAndKindsAndTheCsvQuotesWhatNeedsIt) {
  LoadReport report;
  EXPECT_EQ(loadReportSummary(report), "読込報告: 0 行");
  report.beginFile("/some/dir/book.csv", 1);
  report.add(2, 5, "名前", LFK::ForbiddenCharacters, "使えない文字を空白にしました", "A\"B");
  report.add(2, 5, "用途", LFK::OutOfRange, "用途が範囲外のため 1 にしました", "5000");
  report.add(7, -1, "", LFK::RowSkipped, "短縮番号がないため読み込みませんでした", "x,y");
  EXPECT_EQ(report.rowCount(), 2);
  EXPECT_EQ(loadReportSummary(report), "読込報告: 2 行 (禁止文字 1, 範囲外 1, 不正な行 1)");
  EXPECT_EQ(cp932ToUtf8(loadReportCsv(report)),
            "ファイル,行,項番,項目,内容,ファイルの値\r\n"
            "book.csv,3,5,名前,使えない文字を空白にしました,\"A\"\"B\"\r\n"
            "book.csv,3,5,用途,用途が範囲外のため 1 にしました,5000\r\n"
            "book.csv,8,,,短縮番号がないため読み込みませんでした,\"x,y\"\r\n");
  report.clear();
  EXPECT_TRUE(report.empty());
  EXPECT_EQ(report.count(LFK::RowSkipped), 0);
}

}  // namespace
