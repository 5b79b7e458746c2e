// The image copies and the reset.
#include "data/phonebook_snapshot.h"

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
