#include "data/work_lines.h"

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
  fillSpeedDialLines(0, SpeedDialForm::SevenColumns);
  const std::string expected7 = std::string("00120312345678") + '\0' +
                                std::string(13, ' ') + "NAME" + '\0' + std::string(16, ' ') +
                                "READ" + '\0' + std::string(16, ' ') + "2" + '\0' + "  05" +
                                '\0' + "4";
  EXPECT_EQ(expected7, line(12, 0, 78));
  EXPECT_EQ(std::string(192 - 78, ' '), line(12, 78, 192 - 78));
  EXPECT_EQ(std::string("0005") + '\0', line(5, 0, 5));
  EXPECT_EQ(std::string("0") + '\0' + "  01" + '\0' + "0", line(5, 70, 8));

  fillSpeedDialLines(0, SpeedDialForm::TenColumns);
  EXPECT_EQ("3007120", line(12, 78, 7));
  EXPECT_EQ("0000000", line(5, 78, 7));
  phonebookImage.speedDial[12].displayMode = 9;
  fillSpeedDialLines(0, SpeedDialForm::TenColumns);
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
        fillSpeedDialLines(first, speedDialFormOf(tanf));
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

}  // namespace
