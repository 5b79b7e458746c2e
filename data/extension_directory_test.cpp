// Positions, the extension directory and its start-up defaults.
#include "data/extension_directory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "data/phonebook_tables.h"
#include "data/phonebook_tables_test_support.h"
#include "data/process_state.h"
#include "data/system_data.h"
#include "data/user_info.h"

using namespace phonebook_test;

namespace {

// ---- positions ----

TEST(Positions, SlotsOfEveryRange) {
  const int cases[][2] = {{101, 0},   {160, 59},  {201, 60},  {256, 115}, {301, 116},
                          {356, 171}, {401, 172}, {456, 227}, {601, 228}, {616, 243},
                          {700, 244}, {711, 255}, {754, 298}, {761, 299}, {846, 384}};
  for (const auto& c : cases) EXPECT_EQ(c[1], positionToSlot(c[0])) << c[0];
  for (int p : {0, 100, 161, 200, 257, 457, 600, 617, 699, 755, 760, 847}) {
    EXPECT_EQ(kNoSlot, positionToSlot(p)) << p;
    EXPECT_EQ(-1, extensionSlot(p)) << p;
  }
  EXPECT_EQ(255, extensionSlot(711));
}

TEST(Positions, ExtensionFileOrderHas317Positions) {
  std::vector<int> expected;
  const int ranges[][2] = {{101, 160}, {201, 256}, {301, 356}, {401, 456}, {601, 616},
                           {700, 715}, {720, 725}, {730, 745}, {750, 754}, {761, 765},
                           {770, 774}, {781, 782}, {791, 791}, {821, 821}, {831, 846}};
  for (const auto& r : ranges) {
    for (int p = r[0]; p <= r[1]; ++p) expected.push_back(p);
  }
  ASSERT_EQ(317u, expected.size());
  const int* positions = extensionLinePositions();
  EXPECT_EQ(expected, std::vector<int>(positions, positions + kExtensionLineCount));
}

// ---- extension directory ----

TEST_F(PhonebookTablesTest, ExtensionPositionsWithoutASlotAreRefused) {
  const std::vector<unsigned char> before = imageBytes(phonebookImage);
  for (int p : {161, 617, 200, 257, 600, 755, 847, -1}) {
    ExtensionFields f = makeExtension("99", "X");
    EXPECT_EQ(0, setExtensionEntry(0, p, f)) << p;
  }
  ExtensionFields f = makeExtension("99", "X");
  EXPECT_EQ(0, setExtensionEntry(1, 101, f));
  EXPECT_TRUE(before == imageBytes(phonebookImage));
  EXPECT_STREQ("", extension(161).extensionNumber);
}

TEST_F(PhonebookTablesTest, Position711HasItsOwnSlot) {
  ExtensionFields f = makeExtension("711", "A", "B");
  ASSERT_EQ(1, setExtensionEntry(0, 711, f));
  EXPECT_STREQ("711", extension(711).extensionNumber);
  EXPECT_STREQ("A", extension(711).name);
  EXPECT_STREQ("702", extension(702).extensionNumber);  // neighbours untouched
  EXPECT_STREQ("712", extension(712).extensionNumber);
  EXPECT_EQ(0, std::memcmp(phonebookImage.directories[0][255].extensionNumber, "711", 4));
}

TEST_F(PhonebookTablesTest, ExtensionNumberEndsAtItsFirstBlank) {
  ExtensionFields f = makeExtension("12 3");
  setExtensionEntry(0, 102, f);
  EXPECT_STREQ("12", extension(102).extensionNumber);
  ExtensionFields g = makeExtension("4,56");
  setExtensionEntry(0, 103, g);
  EXPECT_STREQ("4", extension(103).extensionNumber);
  ExtensionFields h = makeExtension("123456");
  setExtensionEntry(0, 104, h);
  EXPECT_STREQ("1234", extension(104).extensionNumber);
}

TEST_F(PhonebookTablesTest, ExtensionNumberReadsUpToALowerCaseC) {
  ExtensionFields f = makeExtension("1c23");
  setExtensionEntry(0, 105, f);
  EXPECT_STREQ("1", extension(105).extensionNumber);
}

TEST_F(PhonebookTablesTest, ExtensionTextsAreCutAndCleaned) {
  ExtensionFields f = makeExtension("1", "abc<def,ghijk", "\xB1\xB2,\xB3");
  setExtensionEntry(0, 106, f);
  EXPECT_STREQ("abc def gh", extension(106).name);
  EXPECT_STREQ("\xB1\xB2 \xB3", extension(106).reading);
  ExtensionFields g = makeExtension("1", "n", "\x83\x41");  // full-width reading: the old one stays
  setExtensionEntry(0, 106, g);
  EXPECT_STREQ("\xB1\xB2 \xB3", extension(106).reading);
  EXPECT_STREQ("n", extension(106).name);
}

TEST_F(PhonebookTablesTest, DirectoryPlaceFollowsTheMemoryCount) {
  EXPECT_EQ(860000u, extensionDirectoryOffset());
  memoryMode = 2;
  EXPECT_EQ(1000u * 86, extensionDirectoryOffset());

  ExtensionFields f = makeExtension("2345", "N");
  ASSERT_EQ(1, setExtensionEntry(0, 102, f));
  EXPECT_EQ(0, std::memcmp(reinterpret_cast<const char*>(&phonebookImage.speedDial[1001]), "2345", 5));
  memoryMode = 1;  // the other memory count keeps its own directory
  EXPECT_STREQ("102", extension(102).extensionNumber);
}


TEST_F(PhonebookTablesTest, NoCommaAfterALeadByteReachesAStoredText) {
  // A lead byte before a comma is no double-byte character; the comma would split a file row.
  setTemplateMessage(6, "ab\x81,c\x83\x5C", 1);
  EXPECT_STREQ("ab\x81 c\x83\x5C", templateMessages[6].text);
  ExtensionFields f = makeExtension("1", "abcdefgh\x81,", "\xB1,");
  ASSERT_EQ(1, setExtensionEntry(0, 107, f));
  EXPECT_STREQ("abcdefgh\x81 ", extension(107).name);
  EXPECT_STREQ("\xB1 ", extension(107).reading);
}

TEST_F(PhonebookTablesTest, ExtensionReadingIsCheckedOverTwelveBytes) {
  ExtensionFields f = makeExtension("1", "n", "\xB1\xB2");
  setExtensionEntry(0, 108, f);
  // Byte 11 is beyond the text and is never stored, but a full-width byte there still rejects
  // the reading.
  ExtensionFields g = makeExtension("1", "n", "AB");
  g.reading[11] = '\x83';
  setExtensionEntry(0, 108, g);
  EXPECT_STREQ("\xB1\xB2", extension(108).reading);
  ExtensionFields h = makeExtension("1", "n", "0123456789\xB3\xB4\x83");
  setExtensionEntry(0, 108, h);
  EXPECT_STREQ("0123456789", extension(108).reading);
}

// ---- start-up defaults ----

TEST_F(PhonebookTablesTest, DefaultsOfTheSpecialPositions) {
  EXPECT_EQ(1, memoryMode);
  ExtensionFields f = extension(700);
  EXPECT_STREQ("700", f.extensionNumber);
  EXPECT_STREQ("\x93\xE0\x90\xFC\x88\xEA\x90\xC4", f.name);        // 内線一斉
  EXPECT_STREQ("\xC5\xB2\xBE\xDD\xB2\xAF\xBE\xB2", f.reading);     // ﾅｲｾﾝｲｯｾｲ
  EXPECT_STREQ("\xB6\xD2\xD7" "ID\x90\xD8\x91\xD6", extension(770).name);  // ｶﾒﾗID切替
  EXPECT_STREQ("", extension(770).extensionNumber);
  EXPECT_STREQ("VMU\x93\xAF\x95\xF1" "16", extension(846).name);         // VMU同報16
  EXPECT_STREQ("VMU\xC4\xDE\xB3\xCE\xB3" "16", extension(846).reading);  // VMUﾄﾞｳﾎｳ16
  EXPECT_STREQ("715", extension(715).extensionNumber);
  EXPECT_STREQ("\x93\xE0G15\x8C\xC4", extension(715).name);              // 内G15呼
  EXPECT_STREQ("\xC4\xDE\xB1\xCE\xDD" "E", extension(765).reading);      // ﾄﾞｱﾎﾝE
  EXPECT_STREQ("", extension(616).name);
  EXPECT_STREQ("", extension(601).extensionNumber);

  int named = 0;
  for (int p = 700; p <= 846; ++p) named += extension(p).name[0] != '\0';
  EXPECT_EQ(16 + 6 + 16 + 5 + 5 + 5 + 3 + 1 + 16, named);
}

// Every built-in entry of 700-846, compared byte for byte in all three images with the CP932
// bytes of testdata/builtin_extensions.txt; every other slot of 700-846 is empty.
TEST_F(PhonebookTablesTest, BuiltInEntriesHoldTheirExactBytesInEveryImage) {
  struct Expected {
    std::string number, name, reading;
  };
  auto unhex = [](const std::string& hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
      bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
  };
  std::map<int, Expected> expected;
  std::ifstream in(std::string(ZU_TESTDATA_DIR) + "/builtin_extensions.txt");
  ASSERT_TRUE(in.good());
  for (std::string row; std::getline(in, row);) {
    if (row.empty() || row[0] == '#') continue;
    std::istringstream fields(row);
    int position = 0;
    std::string number, name, reading;
    fields >> position >> number >> name >> reading;
    expected[position] = {number == "-" ? "" : number, unhex(name), unhex(reading)};
  }
  ASSERT_EQ(73u, expected.size());

  for (const PhonebookImage* image : {&phonebookImage, &baselineImage, &referenceImage}) {
    for (int p = 700; p <= 846; ++p) {
      if (extensionSlot(p) < 0) continue;
      ExtensionEntry want{};
      if (auto it = expected.find(p); it != expected.end()) {
        std::memcpy(want.extensionNumber, it->second.number.data(), it->second.number.size());
        std::memcpy(want.name, it->second.name.data(), it->second.name.size());
        std::memcpy(want.reading, it->second.reading.data(), it->second.reading.size());
      }
      const ExtensionEntry got = loadExtensionSlot(*image, extensionSlot(p));
      EXPECT_EQ(0, std::memcmp(&want, &got, sizeof want)) << p;
    }
  }
}

TEST_F(PhonebookTablesTest, DefaultsOfTheTerminalPositions) {
  ExtensionFields f = extension(101);
  EXPECT_STREQ("101", f.extensionNumber);
  EXPECT_STREQ("", f.name);
  EXPECT_STREQ("", f.reading);
  EXPECT_STREQ("456", extension(456).extensionNumber);
  // Numbered in the live image and the baseline; the reference copy has only the built-ins.
  EXPECT_STREQ("256", loadExtensionSlot(baselineImage, positionToSlot(256)).extensionNumber);
  EXPECT_STREQ("", loadExtensionSlot(referenceImage, positionToSlot(256)).extensionNumber);
  EXPECT_STREQ("700", loadExtensionSlot(referenceImage, positionToSlot(700)).extensionNumber);
}

}  // namespace
