// What the write baseline counts as changed: by upload unit, under both memory counts, and after
// a write took over part of what was changed.
#include "data/phonebook_baseline.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "data/phonebook_tables_test_support.h"

namespace {

using namespace phonebook_test;

// The changes as writeSelection indexes: blocks 0-19, 20 extensions, 21 templates.
std::vector<int> indexes(const PhonebookChanges& c) {
  std::vector<int> out;
  for (int b = 0; b < kSpeedDialBlocks; ++b)
    if (c.speedDialBlocks[static_cast<std::size_t>(b)]) out.push_back(b);
  if (c.extensions) out.push_back(20);
  if (c.templates) out.push_back(21);
  return out;
}

TEST_F(PhonebookTablesTest, ChangesAreCountedPerUploadUnitUnderEitherMemoryCount) {
  struct Case {
    const char* what;
    int memoryMode;
    std::function<void()> edit;
    std::vector<int> changed;
  } cases[] = {
      {"first and last entry of a block, and entry 9999",
       1,
       [] {
         setSpeedDial(500, "1", "A", "", "1", "01", 0, 0, 0, 0);
         setSpeedDial(999, "2", "B", "", "1", "01", 0, 0, 0, 0);
         setSpeedDial(9999, "3", "C", "", "1", "01", 0, 0, 0, 0);
       },
       {1, 19}},
      {"an entry stored again as it is",
       1,
       [] { setSpeedDial(0, "03-1234-5678P9", "東京本社", "ﾄｳｷｮｳﾎﾝｼｬ", "1", "05", 2, 3, 10, 11); },
       {}},
      // Under 990 memories directory 0 lives where entries 1000 and up would: renaming an
      // extension must not show as a speed-dial block.
      {"an extension renamed under 990 memories",
       2,
       [] { setExtension(101, "1001", "総務", "ｿｳﾑ"); },
       {20}},
      {"an entry under 990 memories, and entries it does not hold",
       2,
       [] {
         setSpeedDial(989, "1", "A", "", "1", "01", 0, 0, 0, 0);
         setSpeedDial(1200, "1", "A", "", "1", "01", 0, 0, 0, 0);
       },
       {1}},
      {"a template, and bytes after another one's text",
       1,
       [] {
         setTemplateMessage(999, cp("最後"), 1);
         templateMessages[5].text[15] = 'x';
       },
       {21}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    startUp();
    fillFixtureTables();
    memoryMode = static_cast<std::uint8_t>(c.memoryMode);
    phonebookBaseline().takeAll();
    EXPECT_FALSE(changedSinceBaseline().any());
    c.edit();
    EXPECT_EQ(indexes(changedSinceBaseline()), c.changed);
  }
}

TEST_F(PhonebookTablesTest, AWriteTakesOverWhatItSentAndNothingElse) {
  fillFixtureTables();
  phonebookBaseline().takeAll();
  setSpeedDial(10, "1", "A", "", "1", "01", 0, 0, 0, 0);
  setSpeedDial(7000, "1", "A", "", "1", "01", 0, 0, 0, 0);
  setExtension(101, "1001", "総務", "ｿｳﾑ");
  PhonebookChanges written;
  written.speedDialBlocks[14] = true;
  written.templates = true;
  phonebookBaseline().takeWritten(written);
  EXPECT_EQ(indexes(changedSinceBaseline()), (std::vector<int>{0, 20}));

  // Without a speed-dial baseline only a write of all 20 blocks makes one.
  phonebookBaseline().forget(ExchangeKind::SpeedDial);
  written.speedDialBlocks[0] = true;
  phonebookBaseline().takeWritten(written);
  EXPECT_FALSE(phonebookBaseline().holds(ExchangeKind::SpeedDial));
  written.speedDialBlocks.fill(true);
  phonebookBaseline().takeWritten(written);
  EXPECT_TRUE(phonebookBaseline().holds(ExchangeKind::SpeedDial));
  EXPECT_EQ(indexes(changedSinceBaseline()), (std::vector<int>{20}));
}

}  // namespace
