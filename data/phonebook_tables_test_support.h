// Test support for the phonebook file tests (header only, included by tests alone): the tables
// the byte-exact fixtures of data/testdata were written for (make_phonebook_fixtures.py), a full
// random table for round trips, and small file helpers (with those of base/files_test_support.h).
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "base/cp932.h"
#include "base/fixed_field.h"
#include "base/platform.h"
#include "base/files_test_support.h"
#include "data/phonebook_tables.h"
#include "data/process_state.h"
#include "data/system_data.h"

namespace phonebook_test {

inline std::string cp(std::string_view utf8) { return utf8ToCp932(utf8); }

using ::readFile;
using ::TempDir;
using ::writeFile;

inline std::string fixture(const std::string& name) {
  return readFile(std::string(ZU_SOURCE_DIR) + "/data/testdata/" + name);
}

constexpr LocalTime kFixtureTime{2024, 3, 5, 9, 7, 0};

inline void setUserFields() {
  const char* texts[] = {"ﾃｽﾄｼｮｳｼﾞ 本社", "ZU-FIELD-2", "0312345678", "ABC123", "ﾎﾟｰﾄﾗﾝﾄﾞ", "備考欄: ﾃｽﾄ"};
  char* fields[] = {userInfoHeader.field1, userInfoHeader.field2, userInfoHeader.field3,
                    userInfoHeader.field4, userInfoHeader.field5, userInfoHeader.field6};
  const std::size_t widths[] = {24, 24, 16, 6, 24, 72};
  for (int i = 0; i < 6; ++i) copySpaceFilledField(fields[i], widths[i], cp(texts[i]));
}

inline int setSpeedDial(int n, std::string_view number, std::string_view nameUtf8,
                        std::string_view readingUtf8, std::string_view use, std::string_view group,
                        int lineGroup, int displayMode, int template1, int template2) {
  SpeedDialFields f{};
  copyFixedField(f.number, sizeof f.number, number);
  copyFixedField(f.name, sizeof f.name, cp(nameUtf8));
  copyFixedField(f.reading, sizeof f.reading, cp(readingUtf8));
  copyFixedField(f.use, sizeof f.use, use);
  copyFixedField(f.speedDialGroup, sizeof f.speedDialGroup, group);
  f.lineGroup = static_cast<std::uint8_t>(lineGroup);
  f.displayMode = static_cast<std::uint8_t>(displayMode);
  f.template1 = static_cast<std::uint16_t>(template1);
  f.template2 = static_cast<std::uint16_t>(template2);
  return setSpeedDialEntry(n, f);
}

inline int setExtension(int position, std::string_view number, std::string_view nameUtf8,
                        std::string_view readingUtf8) {
  ExtensionFields f{};
  copyFixedField(f.extensionNumber, sizeof f.extensionNumber, number);
  copyFixedField(f.name, sizeof f.name, cp(nameUtf8));
  copyFixedField(f.reading, sizeof f.reading, cp(readingUtf8));
  return setExtensionEntry(0, position, f);
}

// The tables of make_phonebook_fixtures.py.
inline void fillFixtureTables() {
  setUserFields();
  setSpeedDial(0, "03-1234-5678P9", "東京本社", "ﾄｳｷｮｳﾎﾝｼｬ", "1", "05", 2, 3, 10, 11);
  setSpeedDial(1, "*#0123456789PM-", "ABC", "ABC", "101", "01", 0, 0, 0, 0);
  setSpeedDial(9999, "0120999999", "最後", "ｻｲｺﾞ", "8", "30", 6, 1, 0, 0);
  setExtension(101, "1001", "総務部", "ｿｳﾑﾌﾞ");
  setExtension(616, "*9", "ﾄﾞｱ", "ﾄﾞｱ");
  setTemplateMessage(1, cp("お世話になります"), 1);
  setTemplateMessage(2, cp("TEL@ｶﾞｲｼｭﾂ"), 1);
  setTemplateMessage(999, cp("最後の定型文"), 1);
}

inline std::string emptySpeedDialRow(int n, bool tenColumns) {
  char row[64];
  std::snprintf(row, sizeof row, tenColumns ? "%04d,,,,0,01,0,0,000,000" : "%04d,,,,0,01,0", n);
  return row;
}

// A full speed-dial table: every entry has a number drawn from all dial characters, a Japanese
// name (with trail bytes such as 0x5C), a half-width reading, a shared or private use, a group,
// a line group and, for shared entries, a display mode with templates; every 97th entry is
// empty. `ampersands` puts a '&' into some readings (a tagged file then no longer parses as XML).
// Also fills all templates and some extension entries.
inline void fillFullTables(unsigned seed, bool ampersands = false) {
  std::mt19937 rng(seed);
  auto pick = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  const char dial[] = "0123456789*#P-M";
  const char* kanji[] = {"東", "京", "ソ", "表", "能", "予", "十", "申", "営", "業", "部",
                         "株", "式", "会", "社", "ー", "～", "㈱", "髙", "﨑"};
  const char* kana[] = {"ｱ", "ｲ", "ｳ", "ｶﾞ", "ﾊﾟ", "ﾝ", "ｰ", "A", "Z", "9", " ", "(", ")", "-"};
  const int positions[] = {101, 160, 201, 256, 301, 356, 401, 456};
  for (int n = 0; n < kSpeedDialEntries; ++n) {
    if (n % 97 == 5) continue;
    std::string number;
    const int len = 1 + pick(24);
    for (int i = 0; i < len; ++i) number += dial[pick(15)];
    std::string name;
    while (true) {
      std::string next = name + kanji[pick(20)];
      if (cp(next).size() > 20) break;
      name = next;
      if (pick(6) == 0) break;
    }
    std::string reading;
    while (true) {
      std::string next = reading + kana[pick(14)];
      if (cp(next).size() > 20) break;
      reading = next;
      if (pick(8) == 0) break;
    }
    if (ampersands && n % 50 == 7) reading = "AT&T";
    char group[16];
    std::snprintf(group, sizeof group, "%02d", 1 + pick(30));
    if (n % 300 == 17) {
      char use[16];
      std::snprintf(use, sizeof use, "%d", positions[pick(8)]);
      setSpeedDial(n, number, name, reading, use, "01", 0, 0, 0, 0);
    } else {
      const int mode = pick(4);
      setSpeedDial(n, number, name, reading, std::to_string(1 + pick(8)), group, pick(7), mode,
                   mode == 3 ? 1 + pick(999) : 0, mode == 3 ? 1 + pick(999) : 0);
    }
  }
  for (int i = 1; i <= 999; ++i) {
    std::string text = cp("定型文") + std::to_string(i) + (i % 3 == 0 ? cp("@ﾃｽﾄ") : "");
    setTemplateMessage(i, text, 1);
  }
  setExtension(101, "1001", "総務部", "ｿｳﾑﾌﾞ");
  setExtension(256, "2", "ﾃｽﾄ12345", "ABCDEFGHIJ");
  setExtension(601, "#12", "表ソ能", "ﾋｮｳ");
  setExtension(846, "9999", "VMU", "VMU");
}

// The phonebook as the files carry it: the live speed-dial table, extension directory 0 and
// the templates.
inline std::string phonebookBytes() {
  std::string out(reinterpret_cast<const char*>(phonebookImage.speedDial), sizeof phonebookImage.speedDial);
  out.append(reinterpret_cast<const char*>(&phonebookImage) + extensionDirectoryOffset(),
             sizeof(ExtensionEntry) * kExtensionSlots);
  out.append(reinterpret_cast<const char*>(templateMessages), sizeof templateMessages);
  return out;
}

inline std::string privateListBytes() {
  return std::string(reinterpret_cast<const char*>(privateSpeedDialLists), sizeof privateSpeedDialLists);
}

inline std::string userFieldBytes() {
  return std::string(reinterpret_cast<const char*>(&userInfoHeader), sizeof userInfoHeader);
}

// "" when a and b are equal, else where they first differ and a few bytes of each there (for
// comparing whole tables without printing them).
inline std::string firstDifference(std::string_view a, std::string_view b) {
  if (a == b) return "";
  std::size_t i = 0;
  while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
  std::ostringstream out;
  out << "sizes " << a.size() << " and " << b.size() << ", first difference at byte " << i << ": ";
  auto hex = [&out](std::string_view s, std::size_t from) {
    for (std::size_t k = from; k < s.size() && k < from + 16; ++k)
      out << std::hex << (static_cast<unsigned>(static_cast<unsigned char>(s[k]))) << ' ';
  };
  hex(a, i > 8 ? i - 8 : 0);
  out << "| ";
  hex(b, i > 8 ? i - 8 : 0);
  return out.str();
}

inline void startUp() {
  initProcessState();
  initSystemData();
}

// ---- single records and lines ----

inline ExtensionFields makeExtension(const char* number, const char* name = "", const char* reading = "") {
  ExtensionFields f{};
  std::memcpy(f.extensionNumber, number, std::strlen(number));
  std::memcpy(f.name, name, std::strlen(name));
  std::memcpy(f.reading, reading, std::strlen(reading));
  return f;
}

inline ExtensionFields extension(int position) {
  ExtensionFields f;
  getExtensionEntry(0, position, f);
  return f;
}

inline std::string line(int i, int from, int length) {
  return std::string(workLines.lines[i] + from, static_cast<std::size_t>(length));
}

inline std::vector<unsigned char> imageBytes(const PhonebookImage& image) {
  const auto* p = reinterpret_cast<const unsigned char*>(&image);
  return {p, p + sizeof image};
}

// Process state and system data at their start-up values.
class PhonebookTablesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    initProcessState();
    initSystemData();
  }
};

}  // namespace phonebook_test
