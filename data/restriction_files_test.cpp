#include "data/restriction_files.h"
#include "data/user_info_test_support.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>

#include "base/cp932.h"
#include "base/platform.h"
#include "base/files_test_support.h"
#include "data/process_state.h"
#include "data/restriction_table.h"
#include "data/system_data.h"
#include "data/user_info.h"

namespace {

std::string fixture(const std::string& name) { return readFile(std::string(ZU_TESTDATA_DIR) + "/" + name); }

RestrictionEntry entry(const std::string& number) {
  RestrictionEntry e{};
  std::memcpy(e.number, number.data(), std::min<std::size_t>(number.size(), 24));
  return e;
}

std::string numberAt(int k) { return restrictionTable[k].number; }

class RestrictionFilesTest : public ::testing::Test {
protected:
  void SetUp() override {
    initProcessState();
    initSystemData();
    setLocalTimeForTesting(LocalTime{2024, 1, 2, 3, 4, 5});
    ASSERT_FALSE(m_tmp.path().empty());
    m_dir = m_tmp.path();
  }
  void TearDown() override {
    setLocalTimeForTesting(std::nullopt);
  }

  // The table the hand-written fixtures hold, with the header fields they carry.
  void fillFixtureTable() {
    storeRestrictionEntry(0, entry("0312345678"), RestrictionStoreMode::FileLoad);
    storeRestrictionEntry(7, entry("09012345678"), RestrictionStoreMode::FileLoad);
    storeRestrictionEntry(5000, entry("110"), RestrictionStoreMode::FileLoad);
    storeRestrictionEntry(9999, entry("123456789012345678901234"), RestrictionStoreMode::FileLoad);
    clearUserInfoFields();
    std::string f1 = utf8ToCp932("株式会社テスト");
    std::memcpy(userInfoHeader.field1, f1.data(), f1.size());
    std::memcpy(userInfoHeader.field2, "ABC", 3);
  }

  std::string path(const std::string& name) const { return m_dir + "/" + name; }

  int filesInDir() const {
    int n = 0;
    for (const auto& item : std::filesystem::directory_iterator(m_dir)) n += item.exists();
    return n;
  }

  TempDir m_tmp{"zu_restriction"};
  std::string m_dir;
};

TEST_F(RestrictionFilesTest, ExchangeFileMatchesTheHandWrittenFixture) {
  fillFixtureTable();
  ASSERT_EQ(writeRestrictionExchangeFile(path("hkiseinotmp.txt")), 0);
  std::string written = readFile(path("hkiseinotmp.txt"));
  EXPECT_EQ(written, fixture("restriction_exchange.txt"));
  // 10002 lines: the header, the title ended by LF alone, 10000 entries.
  std::size_t lines = 0;
  for (char c : written) lines += c == '\n';
  EXPECT_EQ(lines, 10002u);
  EXPECT_EQ(written.substr(192, 14), restrictionTitleLine() + "\n");
}

TEST_F(RestrictionFilesTest, LocalTextMatchesTheHandWrittenFixture) {
  fillFixtureTable();
  ASSERT_EQ(writeRestrictionLocalFile(path("list.csv")), 0);
  EXPECT_EQ(readFile(path("list.csv")), fixture("restriction_local.csv"));
}

TEST_F(RestrictionFilesTest, WriterIntoAMissingFolderFailsAndLeavesNothing) {
  EXPECT_EQ(writeRestrictionLocalFile(path("absent/list.csv")), 30);
  EXPECT_EQ(writeRestrictionExchangeFile(path("absent/hkiseinotmp.txt")), 30);
}

TEST_F(RestrictionFilesTest, DownloadHeaderSwallowsTheEmptyLineSoEntriesKeepTheirPlaces) {
  std::string file = userLine("FIELD-ONE") + "\r\n\r\n" + restrictionTitleLine() +
                     "\r\n0000,111,\r\n0001,222,\r\n0002,,\r\n";
  writeFile(path("hkiseino.txt"), file);
  ASSERT_EQ(parseDownloadedRestrictionFile(path("hkiseino.txt")), 0);
  EXPECT_EQ(numberAt(0), "111");
  EXPECT_EQ(numberAt(1), "222");
  EXPECT_EQ(numberAt(2), "");
  EXPECT_EQ(restrictionTable[1].index, 1);
  EXPECT_EQ(std::string(userInfoHeader.field1, 9), "FIELD-ONE");
}

TEST_F(RestrictionFilesTest, DownloadReplacesOnlyTheGroupsItReaches) {
  storeRestrictionEntry(49, entry("4949"), RestrictionStoreMode::FileLoad);
  storeRestrictionEntry(50, entry("5050"), RestrictionStoreMode::FileLoad);
  writeFile(path("hkiseino.txt"),
            userLine("") + "\r\n\r\n" + restrictionTitleLine() + "\r\n0000,1,\r\n0001,2x,\r\n");
  ASSERT_EQ(parseDownloadedRestrictionFile(path("hkiseino.txt")), 0);
  EXPECT_EQ(numberAt(0), "1");
  EXPECT_EQ(numberAt(49), "");    // group 0-49 was replaced
  EXPECT_EQ(numberAt(50), "5050");  // group 50-99 was not reached
  EXPECT_EQ(numberAt(1), "");     // rejected, shown again from the input copy
  EXPECT_EQ(std::string(restrictionInput[1].number), "2x");
  EXPECT_EQ(restrictionErrors.count, 1);
}

TEST_F(RestrictionFilesTest, MissingOrEmptyDownloadChangesNothing) {
  storeRestrictionEntry(3, entry("33"), RestrictionStoreMode::FileLoad);
  EXPECT_EQ(parseDownloadedRestrictionFile(path("absent.txt")), 30);
  writeFile(path("empty.txt"), "");
  EXPECT_EQ(parseDownloadedRestrictionFile(path("empty.txt")), 0);
  EXPECT_EQ(numberAt(3), "33");
}

TEST_F(RestrictionFilesTest, LocalLinesNeedAFourDigitFirstFieldAndKeepOnlyDigits) {
  storeRestrictionEntry(20, entry("2020"), RestrictionStoreMode::FileLoad);
  writeFile(path("in.csv"), restrictionTitleLine() + "\r\n12,999,\r\n0012,03-1234-5678\r\n"
                                                      "00012,777,\r\n0013,1234567890123456789012345678,\r\n");
  ASSERT_EQ(loadRestrictionLocalFile(path("in.csv")), 0);
  EXPECT_EQ(numberAt(12), "0312345678");
  EXPECT_EQ(numberAt(13), "123456789012345678901234");
  EXPECT_EQ(numberAt(20), "2020");  // not mentioned: kept
  for (int k : {0, 1, 2, 777, 999}) EXPECT_EQ(numberAt(k), "") << k;
}

TEST_F(RestrictionFilesTest, LocalLoadTakesTheHeaderFieldsAndNotTheTitle) {
  writeFile(path("in.csv"), userLine("OWNER") + "\r\n" + restrictionTitleLine() +
                                "\r\n0000,5,\r\n");
  ASSERT_EQ(loadRestrictionLocalFile(path("in.csv")), 0);
  EXPECT_EQ(std::string(userInfoHeader.field1, 5), "OWNER");
  EXPECT_EQ(numberAt(0), "5");
}

// The header is known by its shape (twelve digits and a comma), not by a leading "2": a file
// without one whose first entry is 2000 or above loses no line to a header that is not there.
TEST_F(RestrictionFilesTest, HeaderlessFileStartingWithTwoKeepsEveryLine) {
  writeFile(path("in.csv"), "2000,111,\r\n2001,222,\r\n0003,333,\r\n2024,444,\r\n");
  ASSERT_EQ(loadRestrictionLocalFile(path("in.csv")), 0);
  EXPECT_EQ(numberAt(2000), "111");
  EXPECT_EQ(numberAt(2001), "222");
  EXPECT_EQ(numberAt(3), "333");
  EXPECT_EQ(numberAt(2024), "444");
  EXPECT_EQ(std::string(userInfoHeader.field1, 24), std::string(24, ' '));
}

TEST_F(RestrictionFilesTest, LocalFileLaterDuplicateWins) {
  storeRestrictionEntry(9000, entry("777"), RestrictionStoreMode::FileLoad);
  writeFile(path("in.csv"), "0001,777,\r\n0002,777,\r\n");
  ASSERT_EQ(loadRestrictionLocalFile(path("in.csv")), 0);
  EXPECT_EQ(numberAt(1), "");
  EXPECT_EQ(numberAt(2), "777");
  EXPECT_EQ(numberAt(9000), "");
}

TEST_F(RestrictionFilesTest, CsvRoundTripRestoresTheTable) {
  std::mt19937 random(7);
  for (int k = 0; k < kRestrictionEntries; k += 1 + static_cast<int>(random() % 5)) {
    std::string number = std::to_string(random()) + std::to_string(k);
    storeRestrictionEntry(k, entry(number.substr(0, 1 + random() % 24)), RestrictionStoreMode::FileLoad);
  }
  normaliseRestrictions();
  RestrictionEntry before[kRestrictionEntries];
  std::memcpy(before, restrictionTable, sizeof before);
  ASSERT_EQ(saveRestrictionLocalFile(path("round.csv")), 0);
  resetRestrictionTables();
  ASSERT_EQ(loadRestrictionLocalFile(path("round.csv")), 0);
  for (int k = 0; k < kRestrictionEntries; ++k)
    ASSERT_STREQ(restrictionTable[k].number, before[k].number) << k;
}

TEST_F(RestrictionFilesTest, TaggedSaveMatchesTheHandWrittenFixture) {
  fillFixtureTable();
  ASSERT_EQ(saveRestrictionLocalFile(path("list.zud7")), 0);
  EXPECT_EQ(readFile(path("list.zud7")), fixture("restriction_tagged.zud7"));
  EXPECT_EQ(filesInDir(), 1);  // the intermediate text is gone
}

TEST_F(RestrictionFilesTest, TaggedFixtureLoadsEveryEntryAtItsPlace) {
  writeFile(path("in.zud7"), fixture("restriction_tagged.zud7"));
  ASSERT_EQ(loadRestrictionLocalFile(path("in.zud7")), 0);
  EXPECT_EQ(numberAt(0), "0312345678");
  EXPECT_EQ(numberAt(1), "");
  EXPECT_EQ(numberAt(7), "09012345678");
  EXPECT_EQ(numberAt(5000), "110");
  EXPECT_EQ(numberAt(9999), "123456789012345678901234");
  EXPECT_EQ(std::string(userInfoHeader.field2, 4), "ABC ");
  EXPECT_EQ(filesInDir(), 1);  // the work file is gone
}

TEST_F(RestrictionFilesTest, TaggedRoundTripRestoresTheTable) {
  for (int k = 0; k < kRestrictionEntries; k += 3) {
    storeRestrictionEntry(k, entry(std::to_string(1000000 + k * 7)), RestrictionStoreMode::FileLoad);
  }
  RestrictionEntry before[kRestrictionEntries];
  std::memcpy(before, restrictionTable, sizeof before);
  ASSERT_EQ(saveRestrictionLocalFile(path("round.zud7")), 0);
  resetRestrictionTables();
  ASSERT_EQ(loadRestrictionLocalFile(path("round.zud7")), 0);
  for (int k = 0; k < kRestrictionEntries; ++k)
    ASSERT_STREQ(restrictionTable[k].number, before[k].number) << k;
}

TEST_F(RestrictionFilesTest, TaggedFileThatIsNoXmlLoadsThroughThePlainText) {
  std::string file = fixture("restriction_tagged.zud7");
  file += "<broken";  // no longer well-formed
  writeFile(path("in.zud7"), file);
  ASSERT_EQ(loadRestrictionLocalFile(path("in.zud7")), 0);
  EXPECT_EQ(numberAt(0), "0312345678");
  EXPECT_EQ(numberAt(9999), "123456789012345678901234");
}

TEST_F(RestrictionFilesTest, TaggedLoadNeedsUserBeforeTheElement) {
  storeRestrictionEntry(5, entry("55"), RestrictionStoreMode::FileLoad);
  const std::string head = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n<root>\r\n";
  const std::string user = "<USER>\r\n" + userLine("") + "\r\n</USER>\r\n";
  const std::string rows = "<m018>\r\n0005@66,\n</m018>\r\n</root>";
  writeFile(path("a.zud7"), head + rows + user);
  EXPECT_EQ(loadRestrictionLocalFile(path("a.zud7")), kRestrictionHeadError);
  writeFile(path("b.zud7"), head + user + "</root>");
  EXPECT_EQ(loadRestrictionLocalFile(path("b.zud7")), kRestrictionHeadError);
  EXPECT_EQ(numberAt(5), "55");
  writeFile(path("c.zud7"), head + user + rows);
  EXPECT_EQ(loadRestrictionLocalFile(path("c.zud7")), 0);
  EXPECT_EQ(numberAt(5), "66");
  EXPECT_EQ(filesInDir(), 3);  // no work file left behind
}

TEST_F(RestrictionFilesTest, TaggedFileWithoutRowsLoadsNothingAndIsNoError) {
  storeRestrictionEntry(5, entry("55"), RestrictionStoreMode::FileLoad);
  const std::string head = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n<root>\r\n";
  const std::string user = "<USER>\r\n" + userLine("OWNER") + "\r\n</USER>\r\n";
  writeFile(path("empty.zud7"), head + user + "<m018>\r\n</m018>\r\n</root>");
  EXPECT_EQ(loadRestrictionLocalFile(path("empty.zud7")), 0);
  // An older file names its element "HKISEINO"; its rows are not read, but it is no error.
  writeFile(path("old.zud7"), head + user + "<HKISEINO>\r\n0005@66,\n</HKISEINO>\r\n</root>");
  EXPECT_EQ(loadRestrictionLocalFile(path("old.zud7")), 0);
  EXPECT_EQ(numberAt(5), "55");
  EXPECT_EQ(std::string(userInfoHeader.field1, 5), "OWNER");
}

TEST_F(RestrictionFilesTest, TaggedLoadLeavesAnUnrelatedTmpFileAlone) {
  writeFile(path("in.zud7"), fixture("restriction_tagged.zud7"));
  writeFile(path("in.tmp"), "the user's own file");
  ASSERT_EQ(loadRestrictionLocalFile(path("in.zud7")), 0);
  EXPECT_EQ(readFile(path("in.tmp")), "the user's own file");
}

TEST_F(RestrictionFilesTest, TaggedSaveLeavesAUsersHkiseinoTxtAlone) {
  writeFile(path("hkiseino.txt"), "mine");
  ASSERT_EQ(saveRestrictionLocalFile(path("out.zud7")), 0);
  EXPECT_EQ(readFile(path("hkiseino.txt")), "mine");
}

TEST_F(RestrictionFilesTest, FailedSaveReportsItAndLeavesNoTemporaryFile) {
  // A folder in the target's place cannot be replaced by the finished file.
  ASSERT_EQ(::mkdir(path("out.csv").c_str(), 0700), 0);
  ASSERT_EQ(::mkdir(path("out.zud7").c_str(), 0700), 0);
  EXPECT_EQ(saveRestrictionLocalFile(path("out.csv")), 30);
  EXPECT_EQ(saveRestrictionLocalFile(path("out.zud7")), 30);
  EXPECT_EQ(filesInDir(), 2);
}

TEST_F(RestrictionFilesTest, FileOfAnotherKindIsADataError) {
  storeRestrictionEntry(5, entry("55"), RestrictionStoreMode::FileLoad);
  writeFile(path("other.csv"), "name,number\r\nabc,def\r\n");
  EXPECT_EQ(loadRestrictionLocalFile(path("other.csv")), kRestrictionDataError);
  writeFile(path("empty.csv"), "");
  EXPECT_EQ(loadRestrictionLocalFile(path("empty.csv")), kRestrictionDataError);
  // A restriction file without entries is no error.
  writeFile(path("none.csv"), userLine("") + "\r\n" + restrictionTitleLine() + "\r\n");
  EXPECT_EQ(loadRestrictionLocalFile(path("none.csv")), 0);
  EXPECT_EQ(numberAt(5), "55");
}

TEST_F(RestrictionFilesTest, HostileInputNeverCrashesAnyLoader) {
  std::mt19937 random(99);
  std::string noise(1 << 20, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  std::string tagged = fixture("restriction_tagged.zud7");
  const std::string inputs[] = {
      noise,
      std::string(1 << 20, '7') + "\r\n0001,1\r\n",                  // a 1 MiB line
      std::string("0001,12\0" "34,\r\n0002,\0\r\n", 20),             // NUL bytes
      tagged.substr(0, tagged.size() / 2),                          // truncated
      tagged.substr(0, 200),                                        // cut inside the header
      "<root><USER>\r\n</USER><m018>0001@1,</m018></root>",          // tags on one line
      std::string(1 << 20, ','),                                    // only commas
      "0001,11,\r0002,22,\r",                                        // CR without LF
      "\xFF\xFF\xFF,\xFF\r\n0003,\xFF" "3\xFF,\r\n",                      // 0xFF bytes
  };
  for (const std::string& bytes : inputs) {
    for (const char* name : {"bad.csv", "bad.zud7", "hkiseino.txt"}) {
      storeRestrictionEntry(5, entry("55"), RestrictionStoreMode::FileLoad);
      RestrictionEntry before[kRestrictionEntries];
      std::memcpy(before, restrictionTable, sizeof before);
      writeFile(path(name), bytes);
      int result = std::string(name) == "hkiseino.txt" ? parseDownloadedRestrictionFile(path(name))
                                                       : loadRestrictionLocalFile(path(name));
      EXPECT_TRUE(result == 0 || result == kRestrictionDataError || result == kRestrictionHeadError)
          << name << " " << result;
      // A load that reports an error has taken nothing into the list.
      if (result != 0) {
        EXPECT_EQ(std::memcmp(before, restrictionTable, sizeof before), 0) << name;
      }
      for (int k = 0; k < kRestrictionEntries; ++k) {
        const RestrictionEntry& e = restrictionTable[k];
        ASSERT_LE(strnlen(e.number, sizeof e.number), 24u) << name << " " << k;
        ASSERT_EQ(std::strspn(e.number, "0123456789"), strnlen(e.number, sizeof e.number)) << k;
      }
    }
  }
}

TEST_F(RestrictionFilesTest, FiftyMegabyteFileIsReadWithoutTrouble) {
  std::string big;
  big.reserve(50u << 20);
  while (big.size() < (50u << 20)) big += "not a restriction line at all, just text\r\n";
  writeFile(path("big.csv"), big);
  EXPECT_EQ(loadRestrictionLocalFile(path("big.csv")), kRestrictionDataError);
  writeFile(path("big.zud7"), big);
  EXPECT_EQ(loadRestrictionLocalFile(path("big.zud7")), kRestrictionHeadError);
}

}  // namespace
