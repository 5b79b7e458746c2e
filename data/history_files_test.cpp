#include "data/history_files.h"
#include "data/user_info_test_support.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <random>
#include <string>

#include "base/cp932.h"
#include "base/platform.h"
#include "base/files_test_support.h"
#include "data/call_history.h"
#include "data/process_state.h"
#include "data/system_data.h"
#include "data/user_info.h"

namespace {

std::string fixture(const std::string& name) {
  return readFile(std::string(ZU_TESTDATA_DIR) + "/" + name);
}

template <std::size_t N>
void set(char (&field)[N], const std::string& utf8) {
  std::string bytes = utf8ToCp932(utf8);
  std::memset(field, 0, N);
  std::memcpy(field, bytes.data(), std::min(bytes.size(), N));
}

class HistoryFilesTest : public ::testing::Test {
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
  std::string path(const std::string& name) const { return m_dir + "/" + name; }

  void setFixtureHeader() {
    clearUserInfoFields();
    std::string f1 = utf8ToCp932("株式会社テスト");
    std::memcpy(userInfoHeader.field1, f1.data(), f1.size());
    std::memcpy(userInfoHeader.field2, "ABC", 3);
  }

  // The records the hand-written history fixtures hold.
  void fillInternalFixture() {
    InternalCallRecord a{};
    a.recordNumber = 1;
    set(a.date, "2024/01/02");
    set(a.time, "03:04:05");
    set(a.ringEndTime, "03:04:15");
    set(a.callerExtension, "1001");
    set(a.callerName, "内線一");
    a.partyTypes = 0x1A;
    set(a.calledParty, "2002");
    a.answerType = 1;
    set(a.answeringParty, "営業部");
    set(a.callEndTime, "03:05:00");
    set(a.duration, "00:00:45");
    a.telephoneGroup = 3;
    set(a.reasonCode, "5");
    storeInternalCallRecord(0, a);
    InternalCallRecord b{};
    b.recordNumber = 2;
    b.partyTypes = 5;
    b.answerType = 1;
    storeInternalCallRecord(1, b);
    InternalCallRecord c{};
    c.recordNumber = 5000;
    set(c.date, "2024/12/31");
    set(c.time, "23:59:00");
    set(c.ringEndTime, "23:59:09");
    set(c.callerExtension, "4001");
    c.partyTypes = 0x23;
    c.answerType = 2;
    set(c.callBackParty, "3001");
    set(c.callEndTime, "23:59:30");
    set(c.duration, "00:00:21");
    c.telephoneGroup = 0x1F;
    set(c.reasonCode, "12");
    storeInternalCallRecord(4999, c);
  }

  void fillExternalFixture() {
    ExternalCallRecord a{};
    a.recordNumber = 1;
    set(a.date, "2024/01/02");
    set(a.time, "10:00:00");
    set(a.ringEndTime, "10:00:20");
    set(a.callerNumber, "0312345678");
    set(a.callerName, "山田太郎");
    a.answerType = 3;
    set(a.answeringParty, "受付");
    set(a.callEndTime, "10:05:00");
    set(a.duration, "00:04:40");
    set(a.telephoneGroup, "7");
    storeExternalCallRecord(0, a);
    ExternalCallRecord b{};
    b.recordNumber = 10;
    b.answerType = 2;
    set(b.telephoneGroup, "0");
    storeExternalCallRecord(9, b);
  }

  TempDir m_tmp{"zu_history"};
  std::string m_dir;
};

TEST_F(HistoryFilesTest, RecordSizes) {
  EXPECT_EQ(sizeof(InternalCallRecord), 116u);
  EXPECT_EQ(sizeof(ExternalCallRecord), 114u);
  EXPECT_EQ(internalHistoryCsvTitle().size(), 211u);
  EXPECT_EQ(externalHistoryCsvTitle().size(), 155u);
}

TEST_F(HistoryFilesTest, StoreRewritesTheTwoDigitFields) {
  InternalCallRecord i{};
  i.recordNumber = 1;
  set(i.reasonCode, "5");
  storeInternalCallRecord(0, i);
  EXPECT_STREQ(internalHistory[0].reasonCode, "05");
  InternalCallRecord empty{};
  storeInternalCallRecord(1, empty);
  EXPECT_STREQ(internalHistory[1].reasonCode, "");
  ExternalCallRecord e{};
  set(e.telephoneGroup, "0");
  storeExternalCallRecord(0, e);
  EXPECT_STREQ(externalHistory[0].telephoneGroup, "0");
  set(e.telephoneGroup, "7");
  storeExternalCallRecord(1, e);
  EXPECT_STREQ(externalHistory[1].telephoneGroup, "07");
  storeExternalCallRecord(5000, e);  // ignored
  EXPECT_EQ(readExternalCallRecord(5000).recordNumber, 0);
}

TEST_F(HistoryFilesTest, ReadNormalisesARecordWrittenDirectly) {
  std::strcpy(internalHistory[3].reasonCode, "9");
  std::strcpy(externalHistory[3].telephoneGroup, "4");
  EXPECT_STREQ(readInternalCallRecord(3).reasonCode, "09");
  EXPECT_STREQ(readExternalCallRecord(3).telephoneGroup, "04");
}

TEST_F(HistoryFilesTest, InternalLineFieldRules) {
  std::string line = utf8ToCp932(
      "7,2024/01/02,03:04:05,03:04:15,12345,とても長い発信者名称,A,2002,1,,応答,3,03:05:00,"
      "00:00:45,4,5");
  InternalCallRecord r = parseInternalHistoryLine(line);
  EXPECT_EQ(r.recordNumber, 7);
  EXPECT_STREQ(r.callerExtension, "1234");  // cut to four characters
  EXPECT_EQ(std::string(r.callerName), utf8ToCp932("とても長い"));  // ten bytes
  EXPECT_EQ(r.partyTypes, 0x3A);  // caller type A (hexadecimal) and answerer type 3
  EXPECT_EQ(r.answerType, 1);
  EXPECT_EQ(r.telephoneGroup, 4);
  EXPECT_STREQ(r.reasonCode, "5");
  EXPECT_EQ(parseInternalHistoryLine("1,,,,,,12,,,,,,,,,").partyTypes, 12);  // decimal
  EXPECT_STREQ(parseInternalHistoryLine("1,,,,,,,,,,,,,,3,,7").reasonCode, "");
  EXPECT_STREQ(parseInternalHistoryLine("1,,,,,,,,,,,,,,3,123").reasonCode, "12");
}

TEST_F(HistoryFilesTest, NameIsNotCutInsideADoubleByteCharacter) {
  // Nine single bytes and a double-byte character: cutting at ten bytes would split it.
  std::string line = "1,,,,," + std::string("123456789") + utf8ToCp932("あ") + ",,,,,,,,,,";
  EXPECT_STREQ(parseInternalHistoryLine(line).callerName, "123456789");
}

TEST_F(HistoryFilesTest, ExternalLineFieldRules) {
  ExternalCallRecord r =
      parseExternalHistoryLine("12,2024/01/02,1,2,01234567890123456789,NAME,3,a,b,c,d,7");
  EXPECT_EQ(r.recordNumber, 12);
  EXPECT_STREQ(r.callerNumber, "0123456789012345");
  EXPECT_EQ(r.answerType, 3);
  EXPECT_STREQ(r.telephoneGroup, "7");
  EXPECT_STREQ(parseExternalHistoryLine("1,,,,,,x,,,,,").telephoneGroup, "");
  EXPECT_EQ(parseExternalHistoryLine("1,,,,,,x,,,,,").answerType, 0);
  EXPECT_EQ(parseExternalHistoryLine("0,a").recordNumber, 0);
  EXPECT_EQ(parseExternalHistoryLine("5001,a").recordNumber, 0);
}

TEST_F(HistoryFilesTest, DownloadPlacesRecordsByNumberAndMergesWithTheTable) {
  InternalCallRecord kept{};
  kept.recordNumber = 9;
  set(kept.date, "old");
  storeInternalCallRecord(8, kept);
  std::string file = userLine("UNIT") + "\r\n\r\n" + internalHistoryCsvTitle() +
                     "\r\n1,2024/01/01,,,,,,,,,,,,,,\r\n0,2024/01/05,,,,,,,,,,,,,,\r\n";
  writeFile(path("naityaklog.txt"), file);
  ASSERT_EQ(parseDownloadedHistoryFile(path("naityaklog.txt"), HistoryKind::Internal), 0);
  EXPECT_STREQ(internalHistory[0].date, "2024/01/01");
  EXPECT_EQ(internalHistory[0].recordNumber, 1);
  EXPECT_STREQ(internalHistory[8].date, "old");
  for (int p = 1; p < kCallHistoryRecords; ++p)
    if (p != 8) {
      ASSERT_EQ(internalHistory[p].recordNumber, 0) << p;
    }
  EXPECT_EQ(std::string(userInfoHeader.field1, 4), "UNIT");
  EXPECT_EQ(parseDownloadedHistoryFile(path("gaityaklog.txt"), HistoryKind::External), 30);
}

TEST_F(HistoryFilesTest, InternalCsvMatchesTheHandWrittenFixture) {
  setFixtureHeader();
  fillInternalFixture();
  ASSERT_EQ(saveHistoryCsvFile(path("in.csv"), HistoryKind::Internal), 0);
  EXPECT_EQ(readFile(path("in.csv")), fixture("history_internal.csv"));
}

TEST_F(HistoryFilesTest, ExternalCsvMatchesTheHandWrittenFixture) {
  setFixtureHeader();
  fillExternalFixture();
  ASSERT_EQ(saveHistoryCsvFile(path("ex.csv"), HistoryKind::External), 0);
  EXPECT_EQ(readFile(path("ex.csv")), fixture("history_external.csv"));
}

TEST_F(HistoryFilesTest, EmptyHistorySavesHeaderAndTitleOnly) {
  ASSERT_EQ(saveHistoryCsvFile(path("e.csv"), HistoryKind::External), 0);
  std::string written = readFile(path("e.csv"));
  ASSERT_EQ(written.size(), 192u + 155u + 1u);
  EXPECT_EQ(written.substr(190, 2), "\r\n");
  EXPECT_EQ(written.substr(192), externalHistoryCsvTitle() + "\n");
}

TEST_F(HistoryFilesTest, CallerTypeLetterRoundTripsAsLowerCase) {
  writeFile(path("in.csv"), "3,2024/01/01,,,,,A,,0,,,,,,,\n");
  ASSERT_EQ(loadHistoryCsvFile(path("in.csv"), HistoryKind::Internal), 0);
  EXPECT_EQ(internalHistory[2].partyTypes, 10);
  EXPECT_EQ(formatInternalHistoryLine(internalHistory[2]), "3,2024/01/01,,,,,a,,0,,,,,,,");
}

TEST_F(HistoryFilesTest, CsvLoadEmptiesWhatTheFileDoesNotHold) {
  for (int p = 0; p < 10; ++p) {
    ExternalCallRecord r{};
    r.recordNumber = static_cast<std::uint16_t>(p + 1);
    storeExternalCallRecord(p, r);
  }
  writeFile(path("in.csv"), userLine("") + "\r\n" + externalHistoryCsvTitle() + "\n2,x,,,,,,,,,,\n");
  ASSERT_EQ(loadHistoryCsvFile(path("in.csv"), HistoryKind::External), 0);
  EXPECT_EQ(externalHistory[1].recordNumber, 2);
  EXPECT_STREQ(externalHistory[1].date, "x");
  for (int p : {0, 2, 9}) EXPECT_EQ(externalHistory[p].recordNumber, 0) << p;
}

// A file without the user-information line whose first record number starts with 2: every
// line is a record, none is gathered into a header that is not there.
TEST_F(HistoryFilesTest, HeaderlessCsvStartingWithTwoKeepsEveryLine) {
  writeFile(path("in.csv"),
            "2,2024/01/01,,,,,1,,0,,,,,,,\n3,2024/01/02,,,,,1,,0,,,,,,,\n"
            "4,2024/01/03,,,,,1,,0,,,,,,,\n20,2024/01/04,,,,,1,,0,,,,,,,\n");
  ASSERT_EQ(loadHistoryCsvFile(path("in.csv"), HistoryKind::Internal), 0);
  for (int n : {2, 3, 4, 20}) EXPECT_EQ(internalHistory[n - 1].recordNumber, n) << n;
  EXPECT_STREQ(internalHistory[19].date, "2024/01/04");
}

TEST_F(HistoryFilesTest, CsvLoadOfAMissingFileLeavesTheTable) {
  InternalCallRecord r{};
  r.recordNumber = 1;
  storeInternalCallRecord(0, r);
  EXPECT_EQ(loadHistoryCsvFile(path("absent.csv"), HistoryKind::Internal), 30);
  EXPECT_EQ(internalHistory[0].recordNumber, 1);
}

TEST_F(HistoryFilesTest, FullHistoriesRoundTripThroughCsv) {
  std::mt19937 random(5);
  auto digits = [&](int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += static_cast<char>('0' + random() % 10);
    return s;
  };
  for (int p = 0; p < kCallHistoryRecords; ++p) {
    InternalCallRecord i{};
    i.recordNumber = static_cast<std::uint16_t>(p + 1);
    set(i.date, "2024/05/" + digits(2));
    set(i.time, digits(2) + ":" + digits(2) + ":" + digits(2));
    set(i.ringEndTime, digits(8));
    set(i.callerExtension, digits(1 + random() % 4));
    set(i.callerName, p % 2 ? "総務課" : "ｿｳﾑ");
    i.answerType = static_cast<std::uint8_t>(random() % 3);
    i.partyTypes = static_cast<std::uint8_t>((random() % 16) | (i.answerType == 1 ? (random() % 16) << 4 : 0));
    set(i.calledParty, digits(4));
    set(i.callBackParty, p % 3 ? "" : "折返");
    set(i.answeringParty, digits(10));
    set(i.callEndTime, digits(8));
    set(i.duration, digits(8));
    i.telephoneGroup = static_cast<std::uint8_t>(random() % 16);
    set(i.reasonCode, digits(2));
    storeInternalCallRecord(p, i);
    ExternalCallRecord e{};
    e.recordNumber = static_cast<std::uint16_t>(p + 1);
    set(e.date, "2024/06/" + digits(2));
    set(e.time, digits(8));
    set(e.ringEndTime, digits(8));
    set(e.callerNumber, digits(1 + random() % 16));
    set(e.callerName, p % 2 ? "株式会社見本商事" : "ﾐﾎﾝ");
    e.answerType = static_cast<std::uint8_t>(random() % 10);
    set(e.callBackParty, digits(3));
    set(e.answeringParty, "受付");
    set(e.callEndTime, digits(8));
    set(e.duration, digits(8));
    set(e.telephoneGroup, std::to_string(1 + random() % 99));
    storeExternalCallRecord(p, e);
  }
  InternalCallRecord internalBefore[kCallHistoryRecords];
  ExternalCallRecord externalBefore[kCallHistoryRecords];
  std::memcpy(internalBefore, internalHistory, sizeof internalBefore);
  std::memcpy(externalBefore, externalHistory, sizeof externalBefore);
  ASSERT_EQ(saveHistoryCsvFile(path("i.csv"), HistoryKind::Internal), 0);
  ASSERT_EQ(saveHistoryCsvFile(path("e.csv"), HistoryKind::External), 0);
  resetCallHistories();
  ASSERT_EQ(loadHistoryCsvFile(path("i.csv"), HistoryKind::Internal), 0);
  ASSERT_EQ(loadHistoryCsvFile(path("e.csv"), HistoryKind::External), 0);
  for (int p = 0; p < kCallHistoryRecords; ++p) {
    ASSERT_EQ(std::memcmp(&internalHistory[p], &internalBefore[p], sizeof(InternalCallRecord)), 0) << p;
    ASSERT_EQ(std::memcmp(&externalHistory[p], &externalBefore[p], sizeof(ExternalCallRecord)), 0) << p;
  }
}

TEST_F(HistoryFilesTest, CsvLoadReadsAtMost5002Lines) {
  std::string file = userLine("") + "\r\n" + externalHistoryCsvTitle() + "\n";
  for (int n = 1; n <= 5000; ++n) file += std::to_string(n) + ",d,,,,,,,,,,\n";
  file += "1,overflow,,,,,,,,,,\n";
  writeFile(path("e.csv"), file);
  ASSERT_EQ(loadHistoryCsvFile(path("e.csv"), HistoryKind::External), 0);
  EXPECT_STREQ(externalHistory[0].date, "d");
  EXPECT_STREQ(externalHistory[4999].date, "d");
}

TEST_F(HistoryFilesTest, SaveIntoAFolderInTheTargetsPlaceFails) {
  ASSERT_EQ(::mkdir(path("out.csv").c_str(), 0700), 0);
  EXPECT_EQ(saveHistoryCsvFile(path("out.csv"), HistoryKind::Internal), 30);
  EXPECT_EQ(saveHistoryCsvFile(path("absent/out.csv"), HistoryKind::Internal), 30);
}

TEST_F(HistoryFilesTest, HostileInputNeverCrashesTheLoaders) {
  std::mt19937 random(3);
  std::string noise(1 << 20, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  std::string commas(1 << 20, ',');
  std::string big;
  while (big.size() < (50u << 20)) big += "2024,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17\n";
  const std::string inputs[] = {noise, commas, std::string("1,\0\0,,,\n2\0,x\n", 14),
                                std::string(1 << 20, '9') + "\n", big,
                                fixture("history_internal.csv").substr(0, 250)};
  for (const std::string& bytes : inputs) {
    writeFile(path("bad.csv"), bytes);
    for (HistoryKind kind : {HistoryKind::Internal, HistoryKind::External}) {
      EXPECT_EQ(loadHistoryCsvFile(path("bad.csv"), kind), 0);
      EXPECT_EQ(parseDownloadedHistoryFile(path("bad.csv"), kind), 0);
    }
  }
}

}  // namespace
