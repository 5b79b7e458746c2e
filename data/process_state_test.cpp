#include "data/process_state.h"

#include <gtest/gtest.h>

TEST(ProcessState, StartValuesAfterInit) {
  memoryMode = 2;
  duplicateCheck = 0;
  writeSelection[21] = 1;
  initProcessState();
  EXPECT_EQ(memoryMode, 1);
  EXPECT_EQ(duplicateCheck, 1);
  EXPECT_EQ(writeSelection[21], 0);
  EXPECT_EQ(tablesEdited, 0);
}
