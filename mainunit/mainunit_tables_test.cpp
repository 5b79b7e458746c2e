// The unit's tables: the seeded sample data and the data folder.
#include "mainunit/mainunit_tables.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>

#include "base/cp932.h"

namespace {

namespace fs = std::filesystem;

bool isHalfWidth(const std::string& text) {
  for (unsigned char c : text)
    if (!((c >= 0x20 && c <= 0x7E) || (c >= 0xA1 && c <= 0xDF))) return false;
  return true;
}

// Valid CP932 that no table rule would blank: no ",", double quote, "\" (outside a character),
// "<" or ">".
bool isCleanCp932(const std::string& text) {
  if (cp932ToUtf8(text).find('?') != std::string::npos) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) {
      ++i;
      continue;
    }
    if (c == ',' || c == '"' || c == '\\' || c == '<' || c == '>' || c == '&') return false;
  }
  return true;
}

bool isDialString(const std::string& s) {
  if (s.empty() || s.size() > 24) return false;
  for (char c : s)
    if (!std::isdigit(static_cast<unsigned char>(c)) && c != '-' && c != 'P') return false;
  return true;
}

TEST(MainUnitSeed, SpeedDialIsFullAndWithinTheFieldRules) {
  MainUnitTables t = seededMainUnitTables();
  std::map<std::string, int> privateCounts;
  std::set<std::string> names;
  for (const MainUnitSpeedDial& e : t.speedDial) {
    ASSERT_TRUE(isDialString(e.number)) << e.number;
    ASSERT_LE(e.name.size(), 20u);
    ASSERT_TRUE(isCleanCp932(e.name)) << cp932ToUtf8(e.name);
    ASSERT_LE(e.reading.size(), 20u);
    ASSERT_TRUE(isHalfWidth(e.reading)) << cp932ToUtf8(e.reading);
    int use = std::stoi(e.use);
    ASSERT_TRUE((use >= 1 && use <= 8) || (use >= 101 && use <= 110)) << e.use;
    if (use > 100) {
      ++privateCounts[e.use];
      EXPECT_EQ(e.group, "01");
      EXPECT_EQ(e.displayMode, "0");
    }
    int group = std::stoi(e.group);
    ASSERT_EQ(e.group.size(), 2u);
    if (use == 8) {
      EXPECT_TRUE(group >= 16 && group <= 30) << e.group;
    } else {
      EXPECT_TRUE(group >= 1 && group <= 15) << e.use << " " << e.group;
    }
    ASSERT_TRUE(e.lineGroup.size() == 1 && e.lineGroup[0] >= '0' && e.lineGroup[0] <= '6');
    if (e.displayMode != "3") {
      EXPECT_EQ(e.template1, "000");
    }
    names.insert(e.name);
  }
  for (const auto& [position, count] : privateCounts) EXPECT_LE(count, 30) << position;
  EXPECT_GT(names.size(), 500u);                             // varied, not one name repeated
  EXPECT_EQ(t.speedDial, seededMainUnitTables().speedDial);  // the same on every start
}

TEST(MainUnitSeed, OtherTablesAreFilledRealistically) {
  MainUnitTables t = seededMainUnitTables();
  ASSERT_EQ(t.extensions.size(), 317u);
  for (const MainUnitExtension& e : t.extensions) {
    EXPECT_LE(e.name.size(), 10u);
    EXPECT_LE(e.reading.size(), 10u);
    EXPECT_TRUE(isCleanCp932(e.name));
    EXPECT_TRUE(isHalfWidth(e.reading));
    if (e.position <= 456) {
      EXPECT_EQ(e.number, std::to_string(e.position));
    }
  }
  EXPECT_EQ(t.extensions[extensionIndexOf(700)].name, utf8ToCp932("内線一斉"));
  EXPECT_EQ(t.extensions[extensionIndexOf(846)].name, utf8ToCp932("VMU同報16"));
  EXPECT_EQ(t.templates[1], utf8ToCp932("只今外出中です"));
  std::set<std::string> restrictions(t.restrictions.begin(), t.restrictions.end());
  EXPECT_EQ(restrictions.size(), 10000u);
  for (const std::string& r : t.restrictions)
    ASSERT_TRUE(isDialString(r) && r.find('-') == std::string::npos);
  ASSERT_EQ(t.internalHistory.size(), 5000u);
  ASSERT_EQ(t.externalHistory.size(), 5000u);
  for (int n = 0; n < 5000; ++n) {
    ASSERT_EQ(t.internalHistory[n].size(), 16u);
    ASSERT_EQ(t.externalHistory[n].size(), 12u);
    ASSERT_EQ(t.internalHistory[n][0], std::to_string(n + 1));
    ASSERT_EQ(t.internalHistory[n][1].size(), 10u);  // yyyy/mm/dd
    ASSERT_LE(t.externalHistory[n][4].size(), 16u);
    ASSERT_LE(t.externalHistory[n][5].size(), 20u);
  }
  EXPECT_GE(t.internalHistory[0][1], t.internalHistory[4999][1]);  // newest first
}

class MainUnitFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = fs::temp_directory_path() / ("zu-unit-tables-" + std::to_string(::getpid())) / "data";
    fs::remove_all(m_dir.parent_path());
  }
  void TearDown() override { fs::remove_all(m_dir.parent_path()); }
  fs::path m_dir;
};

TEST_F(MainUnitFolderTest, SavedTablesLoadBackEqual) {
  MainUnitTables t = seededMainUnitTables();
  t.templates[999] = "@x@";
  t.speedDial[17] = MainUnitSpeedDial{};
  t.internalHistory.resize(3);
  ASSERT_TRUE(saveMainUnitTables(m_dir.string(), t));  // creates the folder
  MainUnitTables loaded;
  EXPECT_EQ(loadMainUnitTables(m_dir.string(), loaded), kMainUnitTableFiles);
  EXPECT_TRUE(loaded == t);
  for (const auto& entry : fs::directory_iterator(m_dir))
    EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();
}

TEST_F(MainUnitFolderTest, MissingFilesLeaveTheirTablesAndASaveWritesOnlyWhatItIsAsked) {
  MainUnitTables t = seededMainUnitTables();
  ASSERT_TRUE(saveMainUnitTables(m_dir.string(), t, kTemplateFile | kRestrictionFile));
  EXPECT_FALSE(fs::exists(m_dir / "speed-dial.txt"));
  MainUnitTables loaded;
  loaded.speedDial[0].name = "kept";
  EXPECT_EQ(loadMainUnitTables(m_dir.string(), loaded), 2);
  EXPECT_EQ(loaded.speedDial[0].name, "kept");
  EXPECT_EQ(loaded.templates, t.templates);
  EXPECT_EQ(loaded.restrictions, t.restrictions);
}

TEST_F(MainUnitFolderTest, AFolderThatCannotBeMadeFailsTheSave) {
  fs::create_directories(m_dir.parent_path());
  {
    std::FILE* f = std::fopen(m_dir.c_str(), "w");
    std::fclose(f);
  }  // a file where the folder goes
  EXPECT_FALSE(saveMainUnitTables(m_dir.string(), MainUnitTables{}));
}

}  // namespace
