// The form parser: both decoders and every family of field names.
#include "web/form_parser.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/cp932.h"
#include "data/phonebook_tables.h"
#include "data/process_state.h"
#include "data/restriction_table.h"
#include "data/system_data.h"
#include "web/post_checks.h"

namespace {

std::string decoded(const char* text, bool limited, char* stopAt = nullptr) {
  char buf[64];
  const char* end = nullptr;
  const std::size_t n = limited ? DecodeLimitedValue(text, buf, sizeof buf, &end) : DecodeValue(text, buf, sizeof buf, &end);
  if (stopAt != nullptr) *stopAt = *end;
  return std::string(buf, n);
}

// The nine sub-fields of speed-dial entry n.
std::string speedDialFields(int n, const std::string& number, const std::string& name, const std::string& reading,
                            const std::string& use = "1", const std::string& group = "01") {
  char key[16];
  std::snprintf(key, sizeof key, "m070_%04dn", n);
  const std::string k = key;
  return k + "1=" + number + "&" + k + "2=" + name + "&" + k + "3=" + reading + "&" + k + "4=" + use + "&" + k +
         "5=" + group + "&" + k + "6=2&" + k + "7=3&" + k + "8=12&" + k + "9=7";
}

class FormParserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    initProcessState();
    initSystemData();
    duplicateCheck = 0;  // straight into the live table unless a test says otherwise
  }
  static SpeedDialFields live(int n) {
    SpeedDialFields f;
    getSpeedDialEntry(n, f);
    return f;
  }
};

TEST(Decoders, EscapesAndPlusSigns) {
  EXPECT_EQ(decoded("A%82%A0+B", false), "A\x82\xA0 B");
  EXPECT_EQ(decoded("%41%4a%4A", false), "AJJ");
}

TEST(Decoders, StopCharacters) {
  char stop = 0;
  EXPECT_EQ(decoded("abc&def", false, &stop), "abc");
  EXPECT_EQ(stop, '&');
  EXPECT_EQ(decoded("a,b<c>d\te", false), "a,b<c>d\te");
  EXPECT_EQ(decoded("ab,c", true, &stop), "ab");
  EXPECT_EQ(stop, ',');
  EXPECT_EQ(decoded("ab<c", true), "ab");
  EXPECT_EQ(decoded("ab\tc", true), "ab");
  EXPECT_EQ(decoded("a\r\nb", false), "a");
  EXPECT_EQ(decoded("a%2Cb", true), "a,b");  // an escaped comma is a byte like any other
}

TEST(Decoders, APercentNearTheEndReadsNothingBeyondIt) {
  // Each text sits at the very end of its own allocation, so a read past it would be caught.
  for (const char* text : {"ab%", "ab%4", "%", "%g1"}) {
    const std::size_t len = std::strlen(text);
    std::unique_ptr<char[]> exact(new char[len + 1]);
    std::memcpy(exact.get(), text, len + 1);
    EXPECT_EQ(decoded(exact.get(), false), text);
  }
}

TEST(Decoders, LimitedValueStopsAtAPercentAfterTwentyPieces) {
  std::string twenty;
  for (int i = 0; i < 10; ++i) twenty += "a+";  // 20 pieces
  EXPECT_EQ(decoded((twenty + "%41").c_str(), true), "a a a a a a a a a a ");
  EXPECT_EQ(decoded((twenty + "b").c_str(), true), "a a a a a a a a a a b");
  EXPECT_EQ(decoded((twenty + "%41").c_str(), false), "a a a a a a a a a a A");
}

TEST(Decoders, LongValuesAreCutToTheBuffer) {
  char buf[4];
  EXPECT_EQ(DecodeValue("abcdef", buf, sizeof buf), 3u);
  EXPECT_STREQ(buf, "abc");
}

TEST_F(FormParserTest, TwoEntriesInOneBody) {
  ParseFormBody((speedDialFields(0, "0311112222", "A", "B") + "&" + speedDialFields(1, "0333334444", "C", "D")).c_str());
  EXPECT_STREQ(live(0).number, "0311112222");
  EXPECT_STREQ(live(1).number, "0333334444");
  EXPECT_STREQ(live(1).name, "C");
  EXPECT_EQ(live(1).lineGroup, '2');
  EXPECT_EQ(live(1).displayMode, 3);
  EXPECT_EQ(live(1).template1, 12);
  EXPECT_EQ(live(1).template2, 7);
  EXPECT_EQ(tablesEdited, 0);  // that flag is the server's
}

TEST_F(FormParserTest, ACommaEndsTheNameButNotTheReading) {
  ParseFormBody(speedDialFields(5, "1", "ABC,DEF", "ABC,DEF").c_str());
  EXPECT_STREQ(live(5).name, "ABC");
  EXPECT_STREQ(live(5).reading, "ABC DEF");  // the table stores the comma as a blank
}

TEST_F(FormParserTest, TheNameIsCutOnACharacterBoundary) {
  // 19 single bytes, then a double-byte character whose first byte is byte 20.
  std::string name = "ABCDEFGHIJKLMNOPQRS%82%A0X";
  ParseFormBody(speedDialFields(7, "1", name, "R").c_str());
  EXPECT_STREQ(live(7).name, "ABCDEFGHIJKLMNOPQRS");
}

TEST_F(FormParserTest, MissingSubFieldsAreEmptyOrZero) {
  ParseFormBody("m070_0009n1=123&m070_0009n4=1");
  EXPECT_STREQ(live(9).number, "123");
  EXPECT_EQ(live(9).lineGroup, '0');
  EXPECT_EQ(live(9).displayMode, 0);
}

TEST_F(FormParserTest, RestrictionValuesIncludingTheEmptyOne) {
  RestrictionEntry e{};
  std::strcpy(e.number, "555");
  storeRestrictionEntry(51, e, RestrictionStoreMode::FileLoad);
  ParseFormBody("m018_0050=0120&m018_0051=&m018_0052=1234567890123456789012345678");
  EXPECT_STREQ(restrictionTable[50].number, "0120");
  EXPECT_STREQ(restrictionTable[51].number, "");
  EXPECT_STREQ(restrictionTable[52].number, "123456789012345678901234");
}

TEST_F(FormParserTest, TemplatesReplaceTheirPage) {
  setTemplateMessage(2, "old", 1);
  ParseFormBody(("m046_001=" + std::string("%89%EF%8Bc%92%86")).c_str());  // 会議中
  char out[21];
  getTemplateMessage(1, out);
  EXPECT_EQ(std::string(out), utf8ToCp932("会議中"));
  getTemplateMessage(2, out);
  EXPECT_STREQ(out, "");  // the first item of a page of 50 clears the page
}

TEST_F(FormParserTest, ExtensionNamesKeepTheirNumberAndSurviveTheRestore) {
  duplicateCheck = 1;
  snapshotPhonebook();
  ParseFormBody("m072_101n1=999&m072_101n2=%8E%F3%95%74&m072_101n3=%B3%B9%C2%B9");  // 受付 / ｳｹﾂｹ
  restorePhonebook();
  ExtensionFields f;
  getExtensionEntry(0, 101, f);
  EXPECT_STREQ(f.extensionNumber, "101");  // sub-field 1 is not taken
  EXPECT_EQ(std::string(f.name), utf8ToCp932("受付"));
  EXPECT_EQ(std::string(f.reading), utf8ToCp932("ｳｹﾂｹ"));
}

TEST_F(FormParserTest, TerminalNamesTakeOnlyTheName) {
  ParseFormBody("t102_001n2=Front&t102_001n3=ignored");
  ExtensionFields f;
  getExtensionEntry(0, 102, f);
  EXPECT_STREQ(f.name, "Front");
  EXPECT_STREQ(f.extensionNumber, "102");
  EXPECT_STREQ(f.reading, "");
}

TEST_F(FormParserTest, UnknownAndEngineFamiliesAreSkipped) {
  ParseFormBody("x1=2&h14=3&i92=4&i14_001=5&m018_0000=77&zz=&m018_0001=78");
  EXPECT_STREQ(restrictionTable[0].number, "77");
  EXPECT_STREQ(restrictionTable[1].number, "78");
}

TEST_F(FormParserTest, NamesWithoutNumbersOrSubFieldsChangeNothingOutsideTheRules) {
  ParseFormBody(speedDialFields(3, "4444", "N", "R").c_str());
  ParseFormBody("m070_0003nX=1&m07=1&m0=2&m=3&s=4&m070=5");
  EXPECT_STREQ(live(3).number, "4444");
  ParseFormBody("m070_99999999n1=777");  // "%04d" reads four digits: entry 9999
  EXPECT_STREQ(live(9999).number, "777");
  ParseFormBody("m070_-1n1=888&m072_-5n2=x");
  SpeedDialFields empty = live(0);
  EXPECT_STREQ(empty.number, "");
}

}  // namespace
