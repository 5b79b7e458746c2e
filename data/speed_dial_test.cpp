// The speed-dial table: the setter's field rules, memory counts, private lists.
#include "data/speed_dial.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/fixed_field.h"
#include "data/phonebook_tables.h"
#include "data/process_state.h"
#include "data/system_data.h"

namespace {

SpeedDialFields makeFields(const char* number, const char* name = "", const char* reading = "",
                           const char* use = "1", const char* group = "01", int lineGroup = 0) {
  SpeedDialFields f;
  std::memset(&f, 0, sizeof f);
  copyFixedField(f.number, sizeof f.number - 1, number);
  copyFixedField(f.name, sizeof f.name - 1, name);
  copyFixedField(f.reading, sizeof f.reading - 1, reading);
  copyFixedField(f.use, sizeof f.use - 1, use);
  copyFixedField(f.speedDialGroup, sizeof f.speedDialGroup - 1, group);
  f.lineGroup = static_cast<std::uint8_t>(lineGroup);
  return f;
}

SpeedDialFields entry(int n) {
  SpeedDialFields f;
  getSpeedDialEntry(n, f);
  return f;
}

class SpeedDialTest : public ::testing::Test {
 protected:
  void SetUp() override {
    initProcessState();
    initSystemData();
  }

  // Stores entry n with the given use; returns the setter's result.
  int store(int n, const char* number, const char* use) {
    SpeedDialFields f = makeFields(number, "NAME", "ﾖﾐ", use);
    return setSpeedDialEntry(n, f);
  }

  const PrivateSpeedDialList& list(int position) {
    return privateSpeedDialLists[privateListIndex(position)];
  }
  bool listed(int position, int n) {
    for (std::int32_t v : list(position).numbers) {
      if (v == n) return true;
    }
    return false;
  }
};

// ---- field rules ----

TEST_F(SpeedDialTest, NumberRoundTrips) {
  SpeedDialFields f = makeFields("03-1234-5678P9");
  ASSERT_EQ(1, setSpeedDialEntry(17, f));
  EXPECT_STREQ("03-1234-5678P9", entry(17).number);
  EXPECT_EQ(0xA | (0x3 << 4), phonebookImage.speedDial[17].number[0]);
  EXPECT_EQ(0xE | (0x1 << 4), phonebookImage.speedDial[17].number[1]);
  for (int i = 12; i < 25; ++i) EXPECT_EQ(0, phonebookImage.speedDial[17].number[i]);
}

TEST_F(SpeedDialTest, NumberIsScannedOver24Characters) {
  SpeedDialFields f = makeFields("");
  std::memcpy(f.number, "0123456789*#P-M012345678(", 25);  // a 25th byte is not looked at
  ASSERT_EQ(1, setSpeedDialEntry(6, f));
  EXPECT_STREQ("0123456789*#P-M012345678", entry(6).number);
  SpeedDialFields g = makeFields("12 34");  // a blank ends the number
  setSpeedDialEntry(6, g);
  EXPECT_STREQ("12", entry(6).number);
}

TEST_F(SpeedDialTest, NumberWithAForeignCharacterKeepsTheStoredNumber) {
  SpeedDialFields f = makeFields("0312345678", "OLD");
  setSpeedDialEntry(5, f);
  SpeedDialFields g = makeFields("03(1234)5678", "NEW");
  ASSERT_EQ(1, setSpeedDialEntry(5, g));
  EXPECT_STREQ("0312345678", entry(5).number);
  EXPECT_STREQ("0312345678", g.number);  // the caller sees the stored value
  EXPECT_STREQ("NEW", entry(5).name);     // the other fields still change
}

TEST_F(SpeedDialTest, NameForbiddenCharactersBecomeBlanks) {
  SpeedDialFields f = makeFields("1", "a,b\"c\\d<e>f");
  setSpeedDialEntry(1, f);
  EXPECT_STREQ("a b c d e f", entry(1).name);
  EXPECT_STREQ("a b c d e f", f.name);
}

TEST_F(SpeedDialTest, NameTrailBytes5CAreKeptIntact) {
  // "ソ表" is 0x83 0x5C 0x95 0x5C; a lone backslash after it is still blanked.
  SpeedDialFields f = makeFields("1", "\x83\x5C\x95\x5C\\<");
  setSpeedDialEntry(1, f);
  EXPECT_STREQ("\x83\x5C\x95\x5C  ", entry(1).name);
}

TEST_F(SpeedDialTest, NameCommaAfterALeadByteIsBlanked) {
  // 0x2C cannot be a trail byte: the lead byte stands alone and the comma is still blanked.
  SpeedDialFields f = makeFields("1", "\x81,x\x9F<");
  setSpeedDialEntry(1, f);
  EXPECT_STREQ("\x81 x\x9F ", entry(1).name);
}

TEST_F(SpeedDialTest, ReadingIsCheckedOverAllTwentyBytes) {
  SpeedDialFields f = makeFields("1", "N", "\xC0\xDB");
  setSpeedDialEntry(3, f);
  SpeedDialFields g = makeFields("1", "N", "AB");
  g.reading[19] = '\x83';  // beyond the end of the text, still one of the 20 bytes
  setSpeedDialEntry(3, g);
  EXPECT_STREQ("\xC0\xDB", entry(3).reading);
}

TEST_F(SpeedDialTest, ReadingWithAFullWidthCharacterKeepsTheStoredReading) {
  SpeedDialFields f = makeFields("1", "N", "\xC0\xDB\xB3");  // ﾀﾛｳ
  setSpeedDialEntry(3, f);
  SpeedDialFields g = makeFields("1", "N", "\x83\x5E\x83\x8D");  // タロ (lead byte 0x83)
  setSpeedDialEntry(3, g);
  EXPECT_STREQ("\xC0\xDB\xB3", entry(3).reading);
  EXPECT_STREQ("\xC0\xDB\xB3", g.reading);
  SpeedDialFields h = makeFields("1", "N", "A,B<C");
  setSpeedDialEntry(3, h);
  EXPECT_STREQ("A B C", entry(3).reading);
}

TEST_F(SpeedDialTest, TextsAreCutAt20Bytes) {
  SpeedDialFields f = makeFields("1");
  std::memset(f.name, 'N', sizeof f.name);  // 21 bytes, no NUL
  std::memset(f.reading, 'R', sizeof f.reading);
  setSpeedDialEntry(2, f);
  EXPECT_EQ(std::string(20, 'N'), entry(2).name);
  EXPECT_EQ(std::string(20, 'R'), entry(2).reading);
  EXPECT_EQ('\0', phonebookImage.speedDial[2].name[20]);
}

TEST_F(SpeedDialTest, EmptyEntryReadsAsTheEmptyForm) {
  const SpeedDialFields f = entry(42);
  EXPECT_STREQ("", f.number);
  EXPECT_STREQ("0", f.use);
  EXPECT_STREQ("01", f.speedDialGroup);
  EXPECT_EQ('0', f.lineGroup);
  EXPECT_EQ(0, f.displayMode);
  EXPECT_EQ(0, f.template1);
}

TEST_F(SpeedDialTest, GroupAndLineGroup) {
  SpeedDialFields f = makeFields("1", "", "", "2", ",5", 6);
  setSpeedDialEntry(8, f);
  EXPECT_STREQ(" 5", entry(8).speedDialGroup);
  EXPECT_EQ('6', entry(8).lineGroup);
  SpeedDialFields g = makeFields("1", "", "", "2", "12", 7);
  setSpeedDialEntry(8, g);
  EXPECT_EQ('0', entry(8).lineGroup);
}

TEST_F(SpeedDialTest, DisplayModeAndTemplatesOnlyForAOneCharacterUse) {
  SpeedDialFields f = makeFields("1", "", "", "3");
  f.displayMode = 3;
  f.template1 = 12;
  f.template2 = 999;
  setSpeedDialEntry(9, f);
  EXPECT_EQ(3, entry(9).displayMode);
  EXPECT_EQ(12, entry(9).template1);
  EXPECT_EQ(999, entry(9).template2);

  f.displayMode = 2;  // templates only count in display mode 3
  setSpeedDialEntry(9, f);
  EXPECT_EQ(2, entry(9).displayMode);
  EXPECT_EQ(0, entry(9).template1);

  SpeedDialFields g = makeFields("1", "", "", "101", "05", 4);
  g.displayMode = 3;
  g.template1 = 12;
  setSpeedDialEntry(9, g);
  EXPECT_EQ(0, entry(9).displayMode);
  EXPECT_EQ(0, entry(9).template1);
  EXPECT_STREQ("01", entry(9).speedDialGroup);  // a 3-character use forces group 01, line 0
  EXPECT_EQ('0', entry(9).lineGroup);
}

TEST_F(SpeedDialTest, UseOutsideTheRulesIsNotStored) {
  store(4, "1", "5");
  EXPECT_STREQ("5", entry(4).use);
  store(4, "1", "9");  // 600 memories: the entry was cleared, so no use
  EXPECT_STREQ("0", entry(4).use);

  memoryMode = 2;
  store(4, "1", "5");
  store(4, "1", "500");  // 990 memories: the use keeps its value
  EXPECT_STREQ("5", entry(4).use);
}

// ---- memory counts ----

TEST_F(SpeedDialTest, CapacityUnder600Memories) {
  EXPECT_EQ(1, store(9999, "1", "1"));
  EXPECT_EQ(0, store(10000, "1", "1"));
  EXPECT_EQ(0, store(-1, "1", "1"));
  EXPECT_EQ(0, store(65536 + 5, "1", "1"));
  EXPECT_STREQ("", entry(5).number);
}

TEST_F(SpeedDialTest, CapacityUnder990Memories) {
  memoryMode = 2;
  EXPECT_EQ(1, store(989, "1", "1"));
  const PhonebookImage& image = phonebookImage;
  const SpeedDialEntry before = image.speedDial[990];
  EXPECT_EQ(0, store(990, "1", "1"));
  EXPECT_EQ(0, std::memcmp(&before, &image.speedDial[990], sizeof before));
  memoryMode = 6;  // only the low two bits count
  EXPECT_EQ(0, store(990, "1", "1"));
  memoryMode = 3;
  EXPECT_EQ(1, store(990, "1", "1"));
}

TEST_F(SpeedDialTest, Under990MemoriesUnsetFieldsKeepTheirValues) {
  memoryMode = 2;
  SpeedDialFields f = makeFields("123", "N", "R", "2", "07", 3);
  setSpeedDialEntry(1, f);
  SpeedDialFields g = makeFields("12(", "M", "\x83\x41", "abc", "07", 3);
  setSpeedDialEntry(1, g);
  EXPECT_STREQ("123", entry(1).number);
  EXPECT_STREQ("R", entry(1).reading);
  EXPECT_STREQ("2", entry(1).use);
}

TEST_F(SpeedDialTest, Under990MemoriesEntriesBeyondTheCountReadEmpty) {
  memoryMode = 2;
  // Entries 1000 and up share their space with the extension directory.
  ExtensionFields x{};
  std::strcpy(x.extensionNumber, "2001");
  std::strcpy(x.name, "NAME");
  ASSERT_EQ(1, setExtensionEntry(0, 101, x));
  EXPECT_STREQ("", entry(1000).number);
  EXPECT_STREQ("", entry(1000).name);

  // Reading the baseline there must not wipe the directory of the baseline image.
  snapshotPhonebook();
  SpeedDialFields f;
  getBaselineSpeedDialEntry(1000, f);
  EXPECT_STREQ("", f.name);
  restorePhonebook();
  ExtensionFields y;
  getExtensionEntry(0, 101, y);
  EXPECT_STREQ("2001", y.extensionNumber);
  EXPECT_STREQ("NAME", y.name);
}

// ---- baseline and reference copies ----

TEST_F(SpeedDialTest, BaselineEntryWithoutUseIsClearedOnRead) {
  SpeedDialFields f = makeFields("0312", "N", "", "0");
  setSpeedDialEntry(7, f);
  SpeedDialFields g = makeFields("0313", "N", "", "1");
  g.displayMode = 3;
  g.template1 = 5;
  setSpeedDialEntry(8, g);
  snapshotPhonebook();
  phonebookImage.speedDial[7].displayMode = 2;
  phonebookImage.speedDial[7].template1 = 4;

  SpeedDialFields out;
  getBaselineSpeedDialEntry(7, out);
  EXPECT_STREQ("", out.number);
  EXPECT_STREQ("0", out.use);
  SpeedDialEntry zero{};
  EXPECT_EQ(0, std::memcmp(&zero, &baselineImage.speedDial[7], sizeof zero));
  EXPECT_EQ(0, phonebookImage.speedDial[7].displayMode);
  EXPECT_EQ(0, phonebookImage.speedDial[7].template1);
  EXPECT_STREQ("0312", entry(7).number);  // the live number stays

  getBaselineSpeedDialEntry(8, out);
  EXPECT_STREQ("0313", out.number);
  EXPECT_EQ(5, out.template1);
}

TEST_F(SpeedDialTest, SetterWorksOnTheCopies) {
  SpeedDialFields f = makeFields("99", "REF");
  ASSERT_EQ(1, setSpeedDialEntry(referenceImage, 3, f));
  SpeedDialFields out;
  getReferenceSpeedDialEntry(3, out);
  EXPECT_STREQ("99", out.number);
  EXPECT_STREQ("", entry(3).number);
}

// ---- private lists ----

TEST_F(SpeedDialTest, PrivateListHoldsThirtyEntries) {
  for (int n = 0; n < 30; ++n) ASSERT_EQ(1, store(n, "100", "101"));
  EXPECT_EQ(30, list(101).count);
  EXPECT_EQ(30, privateSpeedDialCounter);
  // Storing an entry that is already listed again succeeds.
  ASSERT_EQ(1, store(29, "200", "101"));
  EXPECT_STREQ("200", entry(29).number);
  EXPECT_STREQ("101", entry(29).use);
}

TEST_F(SpeedDialTest, PrivateUseRefusedWhenTheListIsFullRestoresTheEntry) {
  for (int n = 0; n < 30; ++n) store(n, "100", "101");
  SpeedDialFields old = makeFields("0399", "OLD", "ｵ", "2", "05", 3);
  old.displayMode = 3;
  old.template1 = 7;
  setSpeedDialEntry(50, old);
  const SpeedDialEntry before = phonebookImage.speedDial[50];

  SpeedDialFields f = makeFields("0311", "NEW", "ﾆ", "101");
  EXPECT_EQ(1, setSpeedDialEntry(50, f));
  EXPECT_EQ(0, std::memcmp(&before, &phonebookImage.speedDial[50], sizeof before));
  EXPECT_FALSE(listed(101, 50));
  EXPECT_EQ(30, list(101).count);
}

TEST_F(SpeedDialTest, RefusedEntryWithoutASharedUseGetsGroupDefaults) {
  for (int n = 0; n < 30; ++n) store(n, "100", "101");
  SpeedDialFields old = makeFields("0399", "OLD", "", "0", "05", 3);
  setSpeedDialEntry(50, old);
  SpeedDialFields f = makeFields("0311", "NEW", "", "101");
  setSpeedDialEntry(50, f);
  EXPECT_STREQ("0399", entry(50).number);
  EXPECT_STREQ("01", entry(50).speedDialGroup);
  EXPECT_EQ('0', entry(50).lineGroup);
}

TEST_F(SpeedDialTest, RefusedEntryWithATwoCharacterSharedUseKeepsItsGroups) {
  for (int n = 0; n < 30; ++n) store(n, "100", "101");
  SpeedDialFields old = makeFields("0399", "OLD", "", "12", "05", 3);  // "12": a shared use
  setSpeedDialEntry(50, old);
  ASSERT_STREQ("12", entry(50).use);
  SpeedDialFields f = makeFields("0311", "NEW", "", "101", "09", 2);
  setSpeedDialEntry(50, f);
  EXPECT_STREQ("0399", entry(50).number);
  EXPECT_STREQ("05", entry(50).speedDialGroup);
  EXPECT_EQ('3', entry(50).lineGroup);
}

TEST_F(SpeedDialTest, RefusalUnder990MemoriesRestoresToo) {
  memoryMode = 2;
  for (int n = 0; n < 30; ++n) store(n, "100", "456");
  store(500, "0311", "3");
  store(500, "0322", "456");
  EXPECT_STREQ("0311", entry(500).number);
  EXPECT_STREQ("3", entry(500).use);
}

TEST_F(SpeedDialTest, SharedUseRemovesTheEntryFromItsList) {
  store(12, "1", "101");
  ASSERT_TRUE(listed(101, 12));
  store(12, "1", "1");
  EXPECT_FALSE(listed(101, 12));
  EXPECT_EQ(0, list(101).count);
  EXPECT_EQ(0, privateSpeedDialCounter);
}

TEST_F(SpeedDialTest, EntryMovesBetweenLists) {
  store(12, "1", "101");
  store(12, "1", "201");
  EXPECT_FALSE(listed(101, 12));
  EXPECT_TRUE(listed(201, 12));
  EXPECT_EQ(1, privateSpeedDialCounter);
}

TEST_F(SpeedDialTest, EntryThatLosesItsUseLeavesItsList) {
  store(12, "1", "101");
  store(12, "1", "999");  // not stored: under 600 memories the entry has no use now
  EXPECT_STREQ("0", entry(12).use);
  EXPECT_FALSE(listed(101, 12));

  memoryMode = 2;
  store(13, "1", "101");
  store(13, "1", "999");  // under 990 memories it keeps "101" and its place
  EXPECT_STREQ("101", entry(13).use);
  EXPECT_TRUE(listed(101, 13));
}

TEST_F(SpeedDialTest, FreedPlaceIsReused) {
  for (int n = 0; n < 30; ++n) store(n, "1", "101");
  store(4, "1", "1");
  EXPECT_EQ(1, store(77, "1", "101"));
  EXPECT_STREQ("101", entry(77).use);
  EXPECT_EQ(77, list(101).numbers[4]);
}

// The application empties the lists itself at start-up; entries listed before then must
// neither be found again nor keep their old places when they are stored later.
TEST_F(SpeedDialTest, ListsEmptiedFromOutsideStayExact) {
  store(12, "1", "101");
  store(13, "1", "201");
  for (PrivateSpeedDialList& l : privateSpeedDialLists) {
    for (std::int32_t& v : l.numbers) v = -1;
    l.count = 0;
  }
  privateSpeedDialCounter = 0;

  store(12, "1", "1");
  EXPECT_EQ(0, privateSpeedDialCounter);
  store(13, "1", "101");
  EXPECT_TRUE(listed(101, 13));
  EXPECT_EQ(1, list(101).count);
  EXPECT_EQ(0, list(201).count);
  store(13, "1", "201");
  EXPECT_FALSE(listed(101, 13));
  EXPECT_TRUE(listed(201, 13));
  EXPECT_EQ(1, privateSpeedDialCounter);
}

TEST(UseText, NumericTestAndValue) {
  EXPECT_TRUE(isUseNumeric("101"));
  EXPECT_TRUE(isUseNumeric("ab\0"));   // bytes 2 and 3 NUL
  EXPECT_FALSE(isUseNumeric("abc"));
  EXPECT_TRUE(isUseNumeric("ab1"));
  EXPECT_EQ(101, useValue("101"));
  EXPECT_EQ(7, useValue("7\0\0"));
  EXPECT_EQ(0, useValue("12\0"));
  EXPECT_EQ(0, useValue("x\0\0"));
}

}  // namespace
