#include "data/system_data.h"

#include <gtest/gtest.h>

#include <cstring>

#include "data/call_history.h"
#include "data/phonebook_tables.h"
#include "data/process_state.h"
#include "data/restriction_table.h"

// Every table the start-up initialisation owns is put back, whatever a previous run left.
TEST(SystemData, InitPutsEveryTableBackToItsStartContents) {
  initProcessState();
  initSystemData();
  PhonebookImage* pristine = new PhonebookImage(phonebookImage);

  memoryMode = 2;
  std::memset(&phonebookImage.speedDial[5], 'x', sizeof phonebookImage.speedDial[5]);
  std::memset(&baselineImage.speedDial[9999], 'x', sizeof baselineImage.speedDial[9999]);
  std::memset(&templateMessages[3], 'x', sizeof templateMessages[3]);
  privateSpeedDialLists[7].numbers[0] = 123;
  privateSpeedDialLists[7].count = 1;
  privateSpeedDialCounter = 1;
  std::strcpy(restrictionTable[42].number, "0123");
  std::strcpy(restrictionInput[42].number, "0123");
  internalHistory[10].recordNumber = 11;
  externalHistory[4999].recordNumber = 5000;

  initSystemData();

  EXPECT_EQ(memoryMode, 1);
  EXPECT_EQ(std::memcmp(&phonebookImage, pristine, sizeof phonebookImage), 0);
  EXPECT_EQ(std::memcmp(&baselineImage.speedDial[9999], &pristine->speedDial[9999],
                        sizeof(SpeedDialEntry)),
            0);
  EXPECT_EQ(templateMessages[3].text[0], '\0');
  EXPECT_EQ(privateSpeedDialLists[7].numbers[0], -1);
  EXPECT_EQ(privateSpeedDialLists[7].count, 0);
  EXPECT_EQ(privateSpeedDialCounter, 0);
  EXPECT_EQ(restrictionTable[42].number[0], '\0');
  EXPECT_EQ(restrictionInput[42].number[0], '\0');
  EXPECT_EQ(internalHistory[10].recordNumber, 0);
  EXPECT_EQ(externalHistory[4999].recordNumber, 0);
  delete pristine;
}
