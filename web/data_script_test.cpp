// The data scripts: the page table, the header arrays, the values of every family.
#include "web/data_script.h"

#include <gtest/gtest.h>

#include <cstring>
#include <regex>

#include "base/cp932.h"
#include "data/call_history.h"
#include "data/phonebook_tables.h"
#include "data/process_state.h"
#include "data/restriction_table.h"
#include "data/system_data.h"
#include "web/post_checks.h"

namespace {

// The script text, or "(failed)" + the text written so far when generation failed.
std::string script(const char* id, const char* query, int capacity = kDataScriptCapacity) {
  std::string out(static_cast<std::size_t>(capacity), '\0');
  int written = 0;
  const int rest = GenerateDataScript(id, out.data(), capacity, query, &written);
  out.resize(static_cast<std::size_t>(written));
  return rest < 0 ? "(failed)" + out : out;
}

// The strings of arVals.
std::vector<std::string> values(const std::string& text) {
  std::vector<std::string> v;
  const std::size_t start = text.find("arVals=[ ");
  const std::size_t end = text.rfind("];\r\n//-->");
  if (start == std::string::npos || end == std::string::npos) return v;
  std::string body = text.substr(start + 9, end - start - 9);
  if (body.empty()) return v;
  std::regex item("\"((?:[^\"\\\\]|\\\\.)*)\"");
  for (auto it = std::sregex_iterator(body.begin(), body.end(), item); it != std::sregex_iterator(); ++it) {
    v.push_back((*it)[1].str());
  }
  return v;
}

class DataScriptTest : public ::testing::Test {
 protected:
  void SetUp() override {
    initProcessState();
    initSystemData();
    clearEntryFindings();
  }
  static void speedDial(int n, const char* number, const char* use = "1", const char* group = "01") {
    SpeedDialFields f;
    std::memset(&f, 0, sizeof f);
    std::strcpy(f.number, number);
    std::strcpy(f.use, use);
    std::strcpy(f.speedDialGroup, group);
    setSpeedDialEntry(n, f);
  }
};

TEST_F(DataScriptTest, SpeedDialPageThreeHasItsHeaderArraysAnd450Values) {
  speedDial(100, "0312345678");
  speedDial(149, "999");
  snapshotPhonebook();
  const std::string s = script("16tansyuku_01.js", "3");
  EXPECT_TRUE(s.starts_with("<!--\r\nvar arFormat=[\"m070_0000\",\"n\"];\r\nvar arSeq=[1,0,0];\r\n"
                            "var arParam=[100,149,1,9];\r\n\r\narVals=[ \"0312345678\",\"\",\"\",\"1\",\"01\","
                            "\"0\",\"0\",\"000\",\"000\",\""))
      << s;
  EXPECT_TRUE(s.ends_with("\"];\r\n//-->"));
  const auto v = values(s);
  ASSERT_EQ(v.size(), 450u);
  EXPECT_EQ(v[49 * 9], "999");
  EXPECT_EQ(v[9 * 1 + 3], "0");   // an empty entry's use
  EXPECT_EQ(v[9 * 1 + 4], "01");  // and its group
}

TEST_F(DataScriptTest, WithoutAValidQueryOnlyArValsOfPageOne) {
  speedDial(0, "1");
  snapshotPhonebook();
  for (const char* q : {static_cast<const char*>(nullptr), "", "0", "201", "-3", "x"}) {
    const std::string s = script("16tansyuku_01.js", q);
    EXPECT_TRUE(s.starts_with("<!--\r\narVals=[ \"1\",")) << (q ? q : "none");
    EXPECT_EQ(values(s).size(), 450u);
  }
}

TEST_F(DataScriptTest, RestrictionPage200) {
  RestrictionEntry e{};
  std::strcpy(e.number, "0120");
  storeRestrictionEntry(9999, e, RestrictionStoreMode::FileLoad);
  normaliseRestrictions();
  const std::string s = script("26sysfunc_01.js", "200");
  EXPECT_TRUE(s.starts_with("<!--\r\nvar arFormat=[\"m018_0000\"];\r\nvar arSeq=[0,0];\r\nvar arParam=[9950,9999];\r\n\r\n"))
      << s;
  const auto v = values(s);
  ASSERT_EQ(v.size(), 50u);
  EXPECT_EQ(v[49], "0120");
}

TEST_F(DataScriptTest, PageTableSharesOneListAndRefusesTheEarlyPlaces) {
  EXPECT_EQ(pageDescriptors(16, 3), pageDescriptors(23, 1));
  EXPECT_EQ(pageDescriptors(16, 2), pageDescriptors(18, 1));
  EXPECT_EQ(pageDescriptors(17, 5), pageDescriptors(16, 1));
  EXPECT_EQ(pageDescriptors(24, 2), pageDescriptors(25, 1));
  for (int group : {1, 15, 17, 19, 22}) {
    for (int page = 1; page <= 4; ++page) EXPECT_EQ(pageDescriptors(group, page), nullptr) << group << "-" << page;
  }
  EXPECT_EQ(pageDescriptors(27, 3), nullptr);   // past the end of the list
  EXPECT_EQ(pageDescriptors(28, 1), nullptr);
  EXPECT_EQ(pageDescriptors(0, 1), nullptr);
  EXPECT_EQ(pageDescriptors(16, 0), nullptr);
  EXPECT_EQ(script("17tel_01.js", nullptr), "(failed)");
  EXPECT_EQ(script("27x_03.js", nullptr), "(failed)");
  EXPECT_EQ(script("16tansyuku.js", nullptr), "(failed)");  // no "_"
  EXPECT_EQ(script("", nullptr), "(failed)");
  EXPECT_EQ(script("16tansyuku_01.js", nullptr, 16), "(failed)");
  EXPECT_NE(script("16tansyuku_01.js", nullptr, 17), "(failed)");  // a small capacity still starts a script
}

TEST_F(DataScriptTest, PageIdDropsTheFoldersAndSeparators) {
  EXPECT_EQ(pageIdOfPath("\\hoshu\\16tansyuku_01.js"), "16tansyuku_01.js");
  EXPECT_EQ(pageIdOfPath("\\system\\26sysfunc_01.js"), "26sysfunc_01.js");
  EXPECT_EQ(pageIdOfPath("\\a\\b\\27x_01.js"), "ab27x_01.js");
}

TEST_F(DataScriptTest, SinglePagesHaveNoHeaderArraysAndFailWithAQuery) {
  const auto v = values(script("23naisen_02.js", nullptr));
  ASSERT_EQ(v.size(), (16u + 6u + 16u + 5u) * 3u);
  EXPECT_EQ(v[0], "700");
  EXPECT_EQ(v[1], utf8ToCp932("内線一斉"));
  EXPECT_EQ(v[2], utf8ToCp932("ﾅｲｾﾝｲｯｾｲ"));
  EXPECT_EQ(values(script("23naisen_03.js", nullptr)).size(), (5u + 5u + 2u + 1u + 1u + 16u) * 3u);
  EXPECT_EQ(values(script("27teikei_02.js", nullptr)).size(), 49u);
  EXPECT_EQ(script("23naisen_02.js", "1"), "(failed)<!--\r\n");
}

TEST_F(DataScriptTest, ExtensionNamesByPositionPaged) {
  const std::string s = script("23naisen_01.js", "9");
  EXPECT_TRUE(s.starts_with("<!--\r\nvar arFormat=[\"m072_\",\"n\"];\r\nvar arSeq=[1,0,0];\r\nvar arParam=[601,616,1,3];"))
      << s;
  const auto first = values(script("23naisen_01.js", "1"));
  ASSERT_EQ(first.size(), 34u * 3u);
  EXPECT_EQ(first[0], "101");
}

TEST_F(DataScriptTest, EngineGroupGivesEmptyArrays) {
  EXPECT_EQ(script("18x_01.js", "2"),
            "<!--\r\nvar arFormat=[\"i14_000\",\"_00\",\"_\",\"n\"];\r\nvar arSeq=[0,2,0];\r\nvar arParam=[];\r\n\r\n"
            "arVals=[];\r\n//-->");
}

TEST_F(DataScriptTest, TemplatesAndTheirPages) {
  setTemplateMessage(951, utf8ToCp932("会議中\"です"), 1);
  setTemplateMessage(1, "A", 1);
  const auto last = values(script("27teikei_02.js", nullptr));
  ASSERT_EQ(last.size(), 49u);
  EXPECT_EQ(last[0], utf8ToCp932("会議中 です"));  // the table gives no double quote
  const std::string s = script("27teikei_01.js", "19");
  EXPECT_NE(s.find("var arParam=[901,950];"), std::string::npos);
  EXPECT_EQ(values(script("27teikei_01.js", "1"))[0], "A");
}

TEST_F(DataScriptTest, InternalHistoryValuesAndLabels) {
  InternalCallRecord r{};
  r.recordNumber = 1;
  std::strcpy(r.date, "2024/05/01");
  std::strcpy(r.callerExtension, "101");
  r.partyTypes = 0x17;  // caller ユーザ設定1, answerer IPCAMDH
  r.answerType = 1;
  r.telephoneGroup = 0x23;
  std::strcpy(r.reasonCode, "5");
  storeInternalCallRecord(0, r);
  InternalCallRecord q{};
  q.recordNumber = 2;
  std::strcpy(q.date, "2024/05/02");
  q.partyTypes = 0x0D;  // no caller label
  q.answerType = 2;
  storeInternalCallRecord(1, q);
  const auto v = values(script("24x_01.js", "1"));
  ASSERT_EQ(v.size(), 50u * 15u);
  EXPECT_EQ(v[0], "2024/05/01");
  EXPECT_EQ(v[3], "101");
  EXPECT_EQ(v[5], utf8ToCp932("ユーザ設定1"));
  EXPECT_EQ(v[7], utf8ToCp932("応答"));
  EXPECT_EQ(v[10], utf8ToCp932("IPCAMDH"));
  EXPECT_EQ(v[13], "03");
  EXPECT_EQ(v[14], "05");
  EXPECT_EQ(v[15 + 5], "");
  EXPECT_EQ(v[15 + 7], utf8ToCp932("外線転送"));
  EXPECT_EQ(v[15 + 10], "");  // answerer only when answered
  for (int i = 30; i < 45; ++i) EXPECT_EQ(v[static_cast<std::size_t>(i)], "") << i;  // an empty record
}

TEST_F(DataScriptTest, ExternalHistoryValues) {
  ExternalCallRecord r{};
  r.recordNumber = 51;
  std::strcpy(r.date, "2024/06/01");
  std::strcpy(r.callerNumber, "0312345678");
  std::strcpy(r.telephoneGroup, "7");
  storeExternalCallRecord(50, r);
  const auto v = values(script("25x_01.js", "2"));
  ASSERT_EQ(v.size(), 50u * 11u);
  EXPECT_EQ(v[3], "0312345678");
  EXPECT_EQ(v[5], utf8ToCp932("不応答"));
  EXPECT_EQ(v[10], "07");
  EXPECT_EQ(v[11 + 5], "");
}

TEST_F(DataScriptTest, ValuesCannotEndTheirStringEarly) {
  ExternalCallRecord r{};
  r.recordNumber = 1;
  std::strcpy(r.date, "x");
  std::strcpy(r.callerName, "a\"];b\\");
  const std::string so = utf8ToCp932("ソ");  // trail byte 0x5C stays as it is
  std::memcpy(r.callerName + 6, so.data(), 2);
  storeExternalCallRecord(0, r);
  const std::string s = script("25x_01.js", "1");
  EXPECT_NE(s.find("\"a\\\"];b\\\\" + so + "\""), std::string::npos);
}

TEST_F(DataScriptTest, AngleBracketsAreWrittenAsHexEscapesAndOtherValuesKeepTheirBytes) {
  // Typed restriction values that would close the comment wrapper or the script element, or
  // open a tag, if they stood raw.
  const char* typed[] = {"-->", "</script>", "<img src=x onerror=f()>", "a&b=c;'x'"};
  for (int k = 0; k < 4; ++k) {
    RestrictionEntry e{};
    std::strcpy(e.number, typed[k]);
    storeRestrictionEntry(k, e, RestrictionStoreMode::FormPost);
  }
  const std::string s = script("26sysfunc_01.js", "1");
  const std::string vals = s.substr(s.find("arVals=[ "));
  EXPECT_EQ(vals.find('<', 0), std::string::npos) << vals.substr(0, 120);
  EXPECT_EQ(vals.find('>'), vals.size() - 1);  // only the wrapper's own "//-->"
  const auto v = values(s);
  ASSERT_EQ(v.size(), 50u);
  EXPECT_EQ(v[0], "--\\x3E");
  EXPECT_EQ(v[1], "\\x3C/script\\x3E");
  EXPECT_EQ(v[2], "\\x3Cimg src=x onerror=f()\\x3E");
  EXPECT_EQ(v[3], "a&b=c;'x'");  // exactly as stored
}

TEST_F(DataScriptTest, ALeadByteWithoutItsCharacterCannotSwallowAnEscape) {
  ExternalCallRecord r{};
  r.recordNumber = 1;
  std::strcpy(r.date, "x");
  // A lead byte before a quote; lead bytes whose pair with a backslash is no character.
  std::strcpy(r.callerName, "\x81\"x\x85\\\xFD\\");
  storeExternalCallRecord(0, r);
  const std::string s = script("25x_01.js", "1");
  EXPECT_NE(s.find("\" \\\"x \\\\ \\\\\""), std::string::npos) << s.substr(0, 200);
  EXPECT_EQ(values(s).size(), 550u);
}

TEST_F(DataScriptTest, SpeedDialValuesFollowTheDuplicateSetting) {
  speedDial(0, "111");
  snapshotPhonebook();
  speedDial(0, "222");  // the live table moved on, the copies did not
  SpeedDialFields typed;
  getSpeedDialEntry(0, typed);
  std::strcpy(typed.number, "333");
  setSpeedDialEntry(referenceImage, 0, typed);
  EXPECT_EQ(values(script("16tansyuku_01.js", "1"))[0], "111");  // baseline
  shortGroupLowFinding = {true, 0};
  EXPECT_EQ(values(script("16tansyuku_01.js", "1"))[0], "333");  // what was typed
  duplicateCheck = 0;
  EXPECT_EQ(values(script("16tansyuku_01.js", "1"))[0], "222");  // live
}

TEST_F(DataScriptTest, ValuesThatDoNotFitAreLeftOutAndTheScriptStaysWhole) {
  for (int i = 0; i < 50; ++i) speedDial(i, "012345678901234567890123");
  snapshotPhonebook();
  const std::string s = script("16tansyuku_01.js", nullptr, 200);
  EXPECT_TRUE(s.ends_with("];\r\n//-->")) << s;
  EXPECT_LE(s.size(), 200u);
  EXPECT_LT(values(s).size(), 450u);
}

}  // namespace
