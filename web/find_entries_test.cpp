// The find behind the editor's find box: query folding, the kinds of query, the pages of the hits,
// the cap, and the answer script.
#include "web/find_entries.h"

#include <gtest/gtest.h>

#include <cstring>

#include "base/cp932.h"
#include "data/phonebook_tables.h"
#include "data/process_state.h"
#include "data/restriction_table.h"
#include "data/system_data.h"
#include "web/post_checks.h"

namespace {

void speedDial(int n, const char* number, const char* nameUtf8, const char* readingUtf8) {
  SpeedDialFields f;
  std::memset(&f, 0, sizeof f);
  std::strcpy(f.number, number);
  std::strcpy(f.name, utf8ToCp932(nameUtf8).c_str());
  std::strcpy(f.reading, utf8ToCp932(readingUtf8).c_str());
  std::strcpy(f.use, "1");
  std::strcpy(f.speedDialGroup, "01");
  ASSERT_EQ(setSpeedDialEntry(n, f), 1);
}

// The hits as "kind entry page" lines, texts in UTF-8.
std::vector<std::string> hits(const char* queryUtf8, FindScope scope = FindScope::Phonebook) {
  std::vector<std::string> out;
  for (const FindHit& h : findEntries(utf8ToCp932(queryUtf8), scope).hits) {
    out.push_back(std::string(1, h.kind) + " " + std::to_string(h.entry) + " " +
                  cp932ToUtf8(h.name) + " " + cp932ToUtf8(h.number) + " " + h.page);
  }
  return out;
}

class FindEntriesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    initProcessState();
    initSystemData();
    clearEntryFindings();
    speedDial(100, "0312345678", "山田太郎", "ﾔﾏﾀﾞﾀﾛｳ");
    speedDial(101, "0399998888", "山本", "ﾔﾏﾓﾄ");
    speedDial(4321, "06-5555-1000", "ガッコウ", "ｶﾞｯｺｳ");
    ExtensionFields e;
    std::memset(&e, 0, sizeof e);
    std::strcpy(e.extensionNumber, "2135");
    std::strcpy(e.name, utf8ToCp932("受付").c_str());
    std::strcpy(e.reading, utf8ToCp932("ｳｹﾂｹ").c_str());
    ASSERT_EQ(setExtensionEntry(0, 135, e), 1);
    snapshotPhonebook();  // the pages show the baseline while duplicates are checked
    std::memset(restrictionTable, 0, sizeof(RestrictionEntry) * kRestrictionEntries);
    std::strcpy(restrictionTable[77].number, "0120555666");
    std::strcpy(restrictionTable[9000].number, "0990");
    rebuildRestrictionIndex();
    normaliseRestrictions();
  }
};

TEST_F(FindEntriesTest, EachKindOfQueryFindsItsEntriesOnTheirPages) {
  const std::string yamada = "s 100 山田太郎 0312345678 /hoshu/16tansyuku_01.html?3#row100";
  const std::string school = "s 4321 ガッコウ 06-5555-1000 /hoshu/16tansyuku_01.html?87#row4321";
  const struct {
    const char* query;
    FindScope scope;
    std::vector<std::string> expected;
  } cases[] = {
      {"山田", FindScope::Phonebook, {yamada}},
      {"山",
       FindScope::Phonebook,
       {yamada, "s 101 山本 0399998888 /hoshu/16tansyuku_01.html?3#row101"}},
      {"やまだ", FindScope::Phonebook, {yamada}},    // hiragana folded to the half-width reading
      {"ヤマダタ", FindScope::Phonebook, {yamada}},  // full-width katakana, the voiced kana split
      {"ｶﾞｯｺ", FindScope::Phonebook, {school}},      // half-width as typed
      {"がっこう", FindScope::Phonebook, {school}},  // small tsu and the voiced ga
      // Digits in the middle of a number; an entry of that number (empty here) comes first.
      {"12345", FindScope::Phonebook, {yamada}},
      {"2345", FindScope::Phonebook, {"s 2345   /hoshu/16tansyuku_01.html?47#row2345", yamada}},
      {"３４５６", FindScope::Phonebook, {"s 3456   /hoshu/16tansyuku_01.html?70#row3456", yamada}},
      {"5555-1000",
       FindScope::Phonebook,
       {school}},                                  // "-" in the query and in the number passed over
      {"551000", FindScope::Phonebook, {school}},  // across the stored "-"
      {"0100", FindScope::Phonebook, {yamada}},    // an entry number
      // An extension position first, then the extension number holding the digits.
      {"135",
       FindScope::Phonebook,
       {"s 135   /hoshu/16tansyuku_01.html?3#row135",
        "e 135 受付 2135 /hoshu/17tel_01.html?2#row135"}},
      {"1000", FindScope::Phonebook, {"s 1000   /hoshu/16tansyuku_01.html?21#row1000", school}},
      {"受付", FindScope::Phonebook, {"e 135 受付 2135 /hoshu/17tel_01.html?2#row135"}},
      {"うけつけ", FindScope::Phonebook, {"e 135 受付 2135 /hoshu/17tel_01.html?2#row135"}},
      {"内線一斉", FindScope::Phonebook, {"e 700 内線一斉 700 /hoshu/17tel_01.html?10#row700"}},
      {"555666", FindScope::Restrictions, {"r 77  0120555666 /system/26sysfunc_01.html?2#row77"}},
      {"9000", FindScope::Restrictions, {"r 9000  0990 /system/26sysfunc_01.html?181#row9000"}},
      {"山田", FindScope::Restrictions, {}},
      {"  ", FindScope::Phonebook, {}},
      {"存在しない", FindScope::Phonebook, {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(hits(c.query, c.scope), c.expected) << c.query;
  }
}

TEST_F(FindEntriesTest, HitsAreCappedTheRestCountedAndTheScriptEscapesTexts) {
  for (int n = 0; n < 150; ++n) speedDial(2000 + n, "0123", "NAME<x>", "");
  snapshotPhonebook();
  const FindResult r = findEntries("NAME", FindScope::Phonebook, 100);
  ASSERT_EQ(r.hits.size(), 100u);
  EXPECT_EQ(r.more, 50);
  EXPECT_EQ(r.hits.front().entry, 2000);
  EXPECT_EQ(r.hits.back().entry, 2099);

  const std::string script = findScript(findEntries("NAME", FindScope::Phonebook, 1));
  EXPECT_EQ(script,
            "var zuFindHits=[[\"s\",\"2000\",\"NAME x "
            "\",\"\",\"0123\",\"/hoshu/16tansyuku_01.html?41#row2000\"]];\r\n"
            "var zuFindMore=149;\r\n");

  const FindRequest q = parseFindRequest("q=%8ER%93c+%83%5E&k=r");
  EXPECT_EQ(cp932ToUtf8(q.query), "山田 タ");
  EXPECT_EQ(q.scope, FindScope::Restrictions);
  EXPECT_EQ(parseFindRequest("k=p&q=a%0Ab").query, "a b");
  EXPECT_EQ(cp932ToUtf8(foldFindQuery(utf8ToCp932("　パーティー・ＡＢ１ "))), "ﾊﾟｰﾃｨｰ･AB1");
}

}  // namespace
