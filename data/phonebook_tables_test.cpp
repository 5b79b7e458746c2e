// The extension directory, templates, work lines, the image copies and the start-up defaults.
#include "data/phonebook_tables.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "data/process_state.h"
#include "data/system_data.h"
#include "data/user_info.h"

namespace {

ExtensionFields makeExtension(const char* number, const char* name = "", const char* reading = "") {
  ExtensionFields f{};
  std::memcpy(f.extensionNumber, number, std::strlen(number));
  std::memcpy(f.name, name, std::strlen(name));
  std::memcpy(f.reading, reading, std::strlen(reading));
  return f;
}

ExtensionFields extension(int position) {
  ExtensionFields f;
  getExtensionEntry(0, position, f);
  return f;
}

std::string line(int i, int from, int length) {
  return std::string(workLines.lines[i] + from, static_cast<std::size_t>(length));
}

std::size_t offsetInImage(const void* p) {
  return static_cast<std::size_t>(static_cast<const unsigned char*>(p) -
                                  reinterpret_cast<const unsigned char*>(&phonebookImage));
}

std::vector<unsigned char> imageBytes(const PhonebookImage& image) {
  const auto* p = reinterpret_cast<const unsigned char*>(&image);
  return {p, p + sizeof image};
}

class PhonebookTablesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    initProcessState();
    initSystemData();
  }
};

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
  EXPECT_EQ(offsetInImage(&phonebookImage.directories[0][255]),
            offsetInImage(&liveExtensionDirectory()[positionToSlot(711)]));
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
  EXPECT_EQ(860000u, offsetInImage(liveExtensionDirectory()));
  memoryMode = 2;
  EXPECT_EQ(1000u * 86, offsetInImage(liveExtensionDirectory()));
  EXPECT_EQ(86000u, static_cast<std::size_t>(reinterpret_cast<const unsigned char*>(
                                                 extensionDirectory(baselineImage)) -
                                             reinterpret_cast<const unsigned char*>(&baselineImage)));

  ExtensionFields f = makeExtension("2345", "N");
  ASSERT_EQ(1, setExtensionEntry(0, 102, f));
  EXPECT_EQ(0, std::memcmp(reinterpret_cast<const char*>(&phonebookImage.speedDial[1001]), "2345", 5));
  memoryMode = 1;  // the other memory count keeps its own directory
  EXPECT_STREQ("102", extension(102).extensionNumber);
}

// ---- templates ----

TEST_F(PhonebookTablesTest, TemplateBlockModeReplacesThePage) {
  for (int i = 49; i <= 101; ++i) setTemplateMessage(i, "old", 1);
  ASSERT_EQ(1, setTemplateMessage(51, "new", 0));
  char out[21];
  getTemplateMessage(51, out);
  EXPECT_STREQ("new", out);
  getTemplateMessage(52, out);
  EXPECT_STREQ("", out);
  getTemplateMessage(100, out);
  EXPECT_STREQ("", out);
  getTemplateMessage(50, out);
  EXPECT_STREQ("old", out);
  getTemplateMessage(101, out);
  EXPECT_STREQ("old", out);
  setTemplateMessage(52, "second", 0);  // not a page start: only item 52
  getTemplateMessage(51, out);
  EXPECT_STREQ("new", out);
}

TEST_F(PhonebookTablesTest, TemplateModeOneTouchesOneItem) {
  for (int i = 50; i <= 60; ++i) setTemplateMessage(i, "old", 1);
  setTemplateMessage(51, "new", 1);
  char out[21];
  getTemplateMessage(52, out);
  EXPECT_STREQ("old", out);
}

TEST_F(PhonebookTablesTest, AnEmptyTextClearsTheItem) {
  setTemplateMessage(8, "old", 1);
  ASSERT_EQ(1, setTemplateMessage(8, std::string_view(), 1));  // a view without any bytes
  EXPECT_STREQ("", templateMessages[8].text);
}

TEST_F(PhonebookTablesTest, LastTemplatePageEndsAtItem999) {
  setTemplateMessage(999, "last", 1);
  ASSERT_EQ(1, setTemplateMessage(951, "page", 0));
  char out[21];
  getTemplateMessage(999, out);
  EXPECT_STREQ("", out);
  EXPECT_EQ(0, setTemplateMessage(1000, "x", 1));
  EXPECT_EQ(0, setTemplateMessage(-1, "x", 1));
}

TEST_F(PhonebookTablesTest, TemplateTextRules) {
  setTemplateMessage(3, "a,b<c>\"d\"", 1);
  char out[21];
  getTemplateMessage(3, out);
  EXPECT_STREQ("a b c  d ", out);
  setTemplateMessage(4, "123456789012345678901234", 1);
  getTemplateMessage(4, out);
  EXPECT_STREQ("12345678901234567890", out);
  // A double quote after a lead byte is no trail byte: the setter blanks it too.
  setTemplateMessage(5, "\x81\x22x", 1);
  EXPECT_STREQ("\x81 x", templateMessages[5].text);
  getTemplateMessage(5, out);
  EXPECT_STREQ("\x81 x", out);
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

// ---- work lines ----

TEST_F(PhonebookTablesTest, SpeedDialLinesColumns) {
  SpeedDialFields f{};
  std::strcpy(f.number, "0312345678");
  std::strcpy(f.name, "NAME");
  std::strcpy(f.reading, "READ");
  std::strcpy(f.use, "2");
  std::strcpy(f.speedDialGroup, "05");
  f.lineGroup = 4;
  f.displayMode = 3;
  f.template1 = 7;
  f.template2 = 120;
  setSpeedDialEntry(12, f);
  fillSpeedDialLines(0);
  const std::string expected7 = std::string("00120312345678") + '\0' +
                                std::string(13, ' ') + "NAME" + '\0' + std::string(16, ' ') +
                                "READ" + '\0' + std::string(16, ' ') + "2" + '\0' + "  05" +
                                '\0' + "4";
  EXPECT_EQ(expected7, line(12, 0, 78));
  EXPECT_EQ(std::string(192 - 78, ' '), line(12, 78, 192 - 78));
  EXPECT_EQ(std::string("0005") + '\0', line(5, 0, 5));
  EXPECT_EQ(std::string("0") + '\0' + "  01" + '\0' + "0", line(5, 70, 8));

  sysTanfMode = 1;
  fillSpeedDialLines(0);
  EXPECT_EQ("3007120", line(12, 78, 7));
  EXPECT_EQ("0000000", line(5, 78, 7));
  phonebookImage.speedDial[12].displayMode = 9;
  fillSpeedDialLines(0);
  EXPECT_EQ('0', workLines.lines[12][78]);
}

// Any stored bytes render as the getter's fields would: each text copied up to and including
// its first NUL, under both memory counts and both line forms, from any first entry.
TEST_F(PhonebookTablesTest, SpeedDialLinesShowWhatTheGetterGives) {
  std::mt19937 rng(77);
  auto* bytes = reinterpret_cast<unsigned char*>(phonebookImage.speedDial);
  for (std::size_t i = 0; i < sizeof phonebookImage.speedDial; ++i) {
    const unsigned r = rng();
    bytes[i] = static_cast<unsigned char>(r % 4 == 0 ? 0 : r >> 8);  // NULs end fields early
  }
  auto put = [](std::string& out, std::size_t column, const char* field, std::size_t width) {
    const std::size_t n = strnlen(field, width);
    out.replace(column, n < width ? n + 1 : width, field, n < width ? n + 1 : width);
  };
  for (const int mode : {1, 2}) {
    for (const int tanf : {0, 1}) {
      for (const int first : {0, 3, 9999}) {
        memoryMode = static_cast<std::uint8_t>(mode);
        sysTanfMode = tanf;
        fillSpeedDialLines(first);
        for (int n = 0; n < kWorkLines; ++n) {
          std::string expected(kWorkLineWidth, ' ');
          if (n >= first) {
            SpeedDialFields f;
            getSpeedDialEntry(n, f);
            char digits[16];
            std::snprintf(digits, sizeof digits, "%04d", n);
            expected.replace(0, 4, digits);
            put(expected, 4, f.number, sizeof f.number);
            put(expected, 28, f.name, sizeof f.name);
            put(expected, 49, f.reading, sizeof f.reading);
            put(expected, 70, f.use, sizeof f.use);
            put(expected, 74, f.speedDialGroup, sizeof f.speedDialGroup);
            expected[77] = static_cast<char>(f.lineGroup);
            if (tanf) {
              expected[78] = static_cast<char>('0' + (f.displayMode <= 3 ? f.displayMode : 0));
              // A template above 999 keeps to its three columns with its leading digits.
              std::snprintf(digits, sizeof digits, "%03u", f.template1);
              expected.replace(79, 3, digits, 3);
              std::snprintf(digits, sizeof digits, "%03u", f.template2);
              expected.replace(82, 3, digits, 3);
            }
          }
          ASSERT_EQ(expected, std::string(workLines.lines[n], kWorkLineWidth))
              << "line " << n << ", memory count " << mode << ", tanf " << tanf << ", first " << first;
        }
      }
    }
  }
}

TEST_F(PhonebookTablesTest, ExtensionLinesFollowTheFileOrder) {
  ExtensionFields f = makeExtension("2001", "NAME", "READ");
  setExtensionEntry(0, 846, f);
  EXPECT_EQ(317, fillExtensionLines(101));
  EXPECT_EQ(std::string("101101") + '\0', line(0, 0, 7));
  EXPECT_EQ(std::string(" ") + '\0', line(0, 7, 2));  // no name: its NUL at column 8
  EXPECT_EQ("201", line(60, 0, 3));
  EXPECT_EQ(std::string("8462001") + '\0' + "NAME" + '\0' + std::string(8, ' ') + "READ" + '\0',
            line(316, 0, 26));
  EXPECT_EQ(std::string(192, ' '), line(317, 0, 192));
}

// ---- copies ----

TEST_F(PhonebookTablesTest, SnapshotAndRestoreMoveTheWholeImage) {
  SpeedDialFields f{};
  std::strcpy(f.number, "123");
  std::strcpy(f.use, "1");
  setSpeedDialEntry(9999, f);
  ExtensionFields x = makeExtension("55");
  setExtensionEntry(0, 846, x);
  snapshotPhonebook();
  EXPECT_EQ(0, std::memcmp(&phonebookImage, &baselineImage, sizeof phonebookImage));
  EXPECT_EQ(0, std::memcmp(&phonebookImage, &referenceImage, sizeof phonebookImage));

  std::memset(&phonebookImage, 0x5A, sizeof phonebookImage);
  setTemplateMessage(3, "kept", 1);
  restorePhonebook();
  EXPECT_EQ(0, std::memcmp(&phonebookImage, &baselineImage, sizeof phonebookImage));
  char out[21];
  getTemplateMessage(3, out);
  EXPECT_STREQ("kept", out);  // templates are edited live and are not part of the image
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
    const ExtensionEntry* directory = extensionDirectory(*image);
    for (int p = 700; p <= 846; ++p) {
      if (extensionSlot(p) < 0) continue;
      ExtensionEntry want{};
      if (auto it = expected.find(p); it != expected.end()) {
        std::memcpy(want.extensionNumber, it->second.number.data(), it->second.number.size());
        std::memcpy(want.name, it->second.name.data(), it->second.name.size());
        std::memcpy(want.reading, it->second.reading.data(), it->second.reading.size());
      }
      EXPECT_EQ(0, std::memcmp(&want, &directory[extensionSlot(p)], sizeof want)) << p;
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
  EXPECT_STREQ("256", extensionDirectory(baselineImage)[positionToSlot(256)].extensionNumber);
  EXPECT_STREQ("", extensionDirectory(referenceImage)[positionToSlot(256)].extensionNumber);
  EXPECT_STREQ("700", extensionDirectory(referenceImage)[positionToSlot(700)].extensionNumber);
}

TEST_F(PhonebookTablesTest, ResetEmptiesEverything) {
  SpeedDialFields f{};
  std::strcpy(f.number, "1");
  std::strcpy(f.use, "101");
  setSpeedDialEntry(1, f);
  setTemplateMessage(1, "t", 1);
  userInfoHeader.field1[0] = 'X';
  memoryMode = 2;
  initSystemData();
  EXPECT_EQ(1, memoryMode);
  EXPECT_STREQ("", templateMessages[1].text);
  EXPECT_EQ(0, privateSpeedDialLists[0].count);
  EXPECT_EQ(-1, privateSpeedDialLists[0].numbers[0]);
  EXPECT_EQ(0, privateSpeedDialCounter);
  EXPECT_EQ(' ', userInfoHeader.field1[0]);
  SpeedDialEntry zero{};
  EXPECT_EQ(0, std::memcmp(&zero, &phonebookImage.speedDial[1], sizeof zero));
  EXPECT_EQ(' ', workLines.lines[9999][191]);
}

}  // namespace
