#include "data/system_data.h"

#include <gtest/gtest.h>
#include <sys/mman.h>

#include <cstdint>
#include <cstring>
#include <vector>

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

namespace {

constexpr std::size_t kPage = 4096;

// A table with neighbours in the pages it shares with them, as the tables lie among other data.
struct Surrounded {
  char before[100];
  unsigned char table[9 * kPage + 123];
  char after[100];
};
Surrounded surrounded;  // zero-initialised, as the tables are

bool allBytes(const unsigned char* p, std::size_t n, unsigned char byte) {
  for (std::size_t i = 0; i < n; ++i) {
    if (p[i] != byte) return false;
  }
  return true;
}

bool neighboursKept() {
  for (char c : surrounded.before) {
    if (c != 'x') return false;
  }
  for (char c : surrounded.after) {
    if (c != 'x') return false;
  }
  return true;
}

void dirtyEverything() {
  std::memset(surrounded.before, 'x', sizeof surrounded.before);
  std::memset(surrounded.table, 'y', sizeof surrounded.table);
  std::memset(surrounded.after, 'x', sizeof surrounded.after);
}

}  // namespace

// Every byte of the range reads as zero, the partial pages at both ends included, and the
// bytes beside the range in those pages keep their values.
TEST(TableStorage, ZeroingClearsTheWholeRangeAndNothingBeside) {
  for (std::size_t offset : {0u, 1u, 4095u}) {
    dirtyEverything();
    zeroTableStorage(surrounded.table + offset, sizeof surrounded.table - offset - 5);
    EXPECT_TRUE(allBytes(surrounded.table, offset, 'y')) << offset;
    EXPECT_TRUE(allBytes(surrounded.table + offset, sizeof surrounded.table - offset - 5, 0)) << offset;
    EXPECT_TRUE(allBytes(surrounded.table + sizeof surrounded.table - 5, 5, 'y')) << offset;
    EXPECT_TRUE(neighboursKept()) << offset;
  }
  // Ranges too small to hold whole pages are cleared the plain way.
  dirtyEverything();
  zeroTableStorage(surrounded.table + 10, 3 * kPage);
  EXPECT_TRUE(allBytes(surrounded.table + 10, 3 * kPage, 0));
  EXPECT_TRUE(allBytes(surrounded.table, 10, 'y'));
  EXPECT_TRUE(allBytes(surrounded.table + 10 + 3 * kPage, sizeof surrounded.table - 10 - 3 * kPage, 'y'));
}

TEST(TableStorage, ZeroingWorksOnHeapTables) {
  auto* image = new PhonebookImage;
  std::memset(image, 'z', sizeof *image);
  zeroTableStorage(image, sizeof *image);
  EXPECT_TRUE(allBytes(reinterpret_cast<const unsigned char*>(image), sizeof *image, 0));
  delete image;
}

TEST(TableStorage, FillingSetsTheWholeRangeAndNothingBeside) {
  dirtyEverything();
  fillTableStorage(surrounded.table + 7, sizeof surrounded.table - 8, ' ');
  EXPECT_TRUE(allBytes(surrounded.table, 7, 'y'));
  EXPECT_TRUE(allBytes(surrounded.table + 7, sizeof surrounded.table - 8, ' '));
  EXPECT_TRUE(allBytes(surrounded.table + sizeof surrounded.table - 1, 1, 'y'));
  EXPECT_TRUE(neighboursKept());
}

// After the start-up initialisation the two copies hold memory only for the extension
// directory they were given; the rest of their 8 MB stays untouched until it is used.
TEST(TableStorage, StartUpLeavesTheCopiesUntouched) {
  initProcessState();
  initSystemData();
  std::memset(&referenceImage, 'r', sizeof referenceImage);  // make every page resident first
  initSystemData();
  const auto begin = reinterpret_cast<std::uintptr_t>(&referenceImage.speedDial[0]);
  const std::uintptr_t first = (begin + kPage - 1) & ~(kPage - 1);
  const std::size_t pages = (sizeof referenceImage - (first - begin)) / kPage;
  std::vector<unsigned char> resident(pages);
  ASSERT_EQ(0, mincore(reinterpret_cast<void*>(first), pages * kPage, resident.data()));
  std::size_t count = 0;
  for (unsigned char r : resident) count += r & 1;
  EXPECT_LT(count, 16u) << "of " << pages;
  EXPECT_TRUE(allBytes(reinterpret_cast<const unsigned char*>(&referenceImage.speedDial), sizeof referenceImage.speedDial, 0));
}
