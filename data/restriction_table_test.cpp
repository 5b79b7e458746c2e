#include "data/restriction_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "data/process_state.h"

namespace {

RestrictionEntry entry(const std::string& number) {
  RestrictionEntry e{};
  std::memcpy(e.number, number.data(), std::min<std::size_t>(number.size(), 24));
  return e;
}

std::string tableNumber(int k) { return std::string(restrictionTable[k].number); }
std::string inputNumber(int k) { return std::string(restrictionInput[k].number); }

class RestrictionTableTest : public ::testing::Test {
protected:
  void SetUp() override {
    initProcessState();
    resetRestrictionTables();
  }
};

TEST_F(RestrictionTableTest, EntrySizes) {
  EXPECT_EQ(sizeof(RestrictionEntry), 28u);
  EXPECT_EQ(offsetof(RestrictionEntry, number), 2u);
}

TEST_F(RestrictionTableTest, OutOfRangeEntriesAreIgnored) {
  storeRestrictionEntry(10000, entry("123"), RestrictionStoreMode::FormPost);
  storeRestrictionEntry(-1, entry("123"), RestrictionStoreMode::FileLoad);
  char out[25];
  readRestrictionEntry(10000, 1, out);
  EXPECT_STREQ(out, "");
  for (int k = 0; k < kRestrictionEntries; ++k) ASSERT_EQ(tableNumber(k), "") << k;
}

TEST_F(RestrictionTableTest, GroupStartClearsItsFiftyEntriesAndTheErrorList) {
  storeRestrictionEntry(49, entry("111"), RestrictionStoreMode::FileLoad);
  storeRestrictionEntry(50, entry("222"), RestrictionStoreMode::FileLoad);
  storeRestrictionEntry(3, entry("12a"), RestrictionStoreMode::FormPost);
  ASSERT_EQ(restrictionErrors.count, 1);
  storeRestrictionEntry(0, entry("333"), RestrictionStoreMode::FormPost);
  EXPECT_EQ(restrictionErrors.count, 0);
  EXPECT_EQ(tableNumber(49), "");
  EXPECT_EQ(inputNumber(3), "");
  EXPECT_EQ(tableNumber(50), "222");
  EXPECT_EQ(tableNumber(0), "333");
}

TEST_F(RestrictionTableTest, InGroupStoreClearsTheSameNumberOutsideTheGroup) {
  storeRestrictionEntry(4000, entry("0312345678"), RestrictionStoreMode::FileLoad);
  storeRestrictionEntry(0, entry(""), RestrictionStoreMode::FormPost);
  storeRestrictionEntry(7, entry("0312345678"), RestrictionStoreMode::FormPost);
  EXPECT_EQ(tableNumber(7), "0312345678");
  EXPECT_EQ(tableNumber(4000), "");
  EXPECT_EQ(inputNumber(4000), "");
}

TEST_F(RestrictionTableTest, InsideTheGroupTheLaterEntryKeepsTheNumber) {
  storeRestrictionEntry(0, entry("5"), RestrictionStoreMode::FormPost);
  storeRestrictionEntry(1, entry("5"), RestrictionStoreMode::FormPost);
  EXPECT_EQ(tableNumber(0), "");
  EXPECT_EQ(tableNumber(1), "5");
  // A holder above k inside the group wins over k, and the scan then stops matching k.
  storeRestrictionEntry(60, entry("77"), RestrictionStoreMode::FileLoad);
  storeRestrictionEntry(20, entry("9"), RestrictionStoreMode::FileLoad);
  storeRestrictionEntry(10, entry("9"), RestrictionStoreMode::FormPost);
  EXPECT_EQ(tableNumber(10), "");
  EXPECT_EQ(inputNumber(10), "");
  EXPECT_EQ(tableNumber(20), "9");
}

TEST_F(RestrictionTableTest, ClearedEntryStopsTheScanBeforeLaterHolders) {
  // 20 (inside, above 10) is met before 4000: entry 10 loses the number, so 4000 keeps it.
  storeRestrictionEntry(4000, entry("44"), RestrictionStoreMode::FileLoad);
  storeRestrictionEntry(0, entry(""), RestrictionStoreMode::FormPost);
  restrictionTable[20] = entry("44");  // as a page post that stored 20 earlier would leave it
  rebuildRestrictionIndex();
  storeRestrictionEntry(10, entry("44"), RestrictionStoreMode::FormPost);
  EXPECT_EQ(tableNumber(10), "");
  EXPECT_EQ(tableNumber(20), "44");
  EXPECT_EQ(tableNumber(4000), "44");
}

TEST_F(RestrictionTableTest, FileLoadHasNoGroupSoTheStoredEntryKeepsTheNumber) {
  storeRestrictionEntry(0, entry(""), RestrictionStoreMode::FormPost);
  storeRestrictionEntry(30, entry("123"), RestrictionStoreMode::FormPost);
  storeRestrictionEntry(10, entry("123"), RestrictionStoreMode::FileLoad);
  EXPECT_EQ(tableNumber(10), "123");
  EXPECT_EQ(tableNumber(30), "");
}

TEST_F(RestrictionTableTest, RejectedInputStaysInTheInputCopyOnly) {
  storeRestrictionEntry(50, entry(""), RestrictionStoreMode::FormPost);
  storeRestrictionEntry(60, entry("03-1234"), RestrictionStoreMode::FormPost);
  EXPECT_EQ(tableNumber(60), "");
  EXPECT_EQ(inputNumber(60), "03-1234");
  ASSERT_EQ(restrictionErrors.count, 1);
  EXPECT_EQ(restrictionErrors.indices[0], 60);
}

TEST_F(RestrictionTableTest, ErrorListHoldsAtMostFifty) {
  for (int k = 1; k <= 60; ++k) storeRestrictionEntry(k, entry("x"), RestrictionStoreMode::FileLoad);
  EXPECT_EQ(restrictionErrors.count, 50);
  EXPECT_EQ(restrictionErrors.indices[49], 50);
  EXPECT_EQ(inputNumber(60), "x");
}

TEST_F(RestrictionTableTest, OnlyTheFirst24CharactersCount) {
  std::string longNumber(24, '1');
  RestrictionEntry e{};
  std::memset(e.number, '1', 25);  // no terminating NUL at all
  storeRestrictionEntry(3, e, RestrictionStoreMode::FileLoad);
  EXPECT_EQ(tableNumber(3), longNumber);
  // Numbers that differ only after 24 characters are duplicates.
  storeRestrictionEntry(9, entry(longNumber), RestrictionStoreMode::FileLoad);
  EXPECT_EQ(tableNumber(3), "");
  EXPECT_EQ(tableNumber(9), longNumber);
}

TEST_F(RestrictionTableTest, NormaliseKeepsTheHighestHolderAndCopiesToInput) {
  for (int k : {5, 9000}) {
    restrictionTable[k] = entry("0120");
  }
  restrictionTable[7] = entry(" 1");
  restrictionTable[8] = entry(" 1");
  std::strcpy(restrictionInput[3].number, "stale");
  rebuildRestrictionIndex();
  normaliseRestrictions();
  EXPECT_EQ(tableNumber(5), "");
  EXPECT_EQ(tableNumber(9000), "0120");
  EXPECT_EQ(tableNumber(7), " 1");
  EXPECT_EQ(tableNumber(8), " 1");
  EXPECT_EQ(inputNumber(3), "");
  EXPECT_EQ(inputNumber(9000), "0120");
}

TEST_F(RestrictionTableTest, ReadSelectsTheCopyAndBlanksDoubleQuotes) {
  storeRestrictionEntry(0, entry(""), RestrictionStoreMode::FormPost);
  storeRestrictionEntry(1, entry("1\"2"), RestrictionStoreMode::FormPost);
  char out[25];
  readRestrictionEntry(1, 0, out);
  EXPECT_STREQ(out, "1 2");
  readRestrictionEntry(1, 1, out);
  EXPECT_STREQ(out, "");
}

TEST_F(RestrictionTableTest, ResetForgetsTheIndex) {
  storeRestrictionEntry(3, entry("55"), RestrictionStoreMode::FileLoad);
  resetRestrictionTables();
  storeRestrictionEntry(4, entry("55"), RestrictionStoreMode::FileLoad);
  restrictionTable[3] = entry("66");  // a direct write the index does not know
  rebuildRestrictionIndex();
  storeRestrictionEntry(5, entry("66"), RestrictionStoreMode::FileLoad);
  EXPECT_EQ(tableNumber(3), "");
  EXPECT_EQ(tableNumber(4), "55");
}

// The rules written as full scans over plain arrays, to compare the indexed store with.
struct ReferenceModel {
  std::vector<RestrictionEntry> table = std::vector<RestrictionEntry>(kRestrictionEntries);
  std::vector<RestrictionEntry> input = std::vector<RestrictionEntry>(kRestrictionEntries);
  std::vector<int> errors;
  int group = -1;

  static bool equal(const char* a, const char* b) {
    for (int i = 0; i < 24; ++i) {
      char ca = a[i] == '\n' ? '\0' : a[i], cb = b[i] == '\n' ? '\0' : b[i];
      if (ca != cb) return false;
      if (ca == '\0') return true;
    }
    return true;
  }
  void clearBoth(int k) { table[k] = RestrictionEntry{}; input[k] = RestrictionEntry{}; }

  void store(int k, const RestrictionEntry& e, RestrictionStoreMode mode) {
    if (k < 0 || k > 9999) return;
    if (mode == RestrictionStoreMode::FileLoad) {
      clearBoth(k);
    } else if (k % 50 == 0) {
      errors.clear();
      for (int j = k; j < k + 50; ++j) clearBoth(j);
      group = k;
    }
    bool rejected = false;
    for (int i = 0; i < 24 && e.number[i]; ++i) rejected |= e.number[i] < '0' || e.number[i] > '9';
    if (rejected && errors.size() < 50) errors.push_back(k);
    RestrictionEntry put{};
    put.index = e.index;
    for (int i = 0; i < 24 && e.number[i]; ++i) put.number[i] = e.number[i];
    table[k] = put;
    for (int j = 0; j < 10000; ++j) {
      if (j == k || table[j].number[0] == '\0' || !equal(table[j].number, table[k].number))
        continue;
      bool inGroup = mode != RestrictionStoreMode::FileLoad && group >= 0 && j >= group && j < group + 50;
      if (inGroup && j > k)
        clearBoth(k);
      else
        clearBoth(j);
    }
    input[k] = table[k];
    if (rejected) table[k] = RestrictionEntry{};
  }

  void normalise() {
    std::vector<int> held;
    for (int i = 0; i < 10000; ++i)
      if (table[i].number[0] != '\0') held.push_back(i);
    for (int i : held)
      for (int j : held) {
        if (i == j || table[i].number[0] == '\0' || table[j].number[0] == '\0') continue;
        if (table[i].number[0] == ' ' || table[j].number[0] == ' ') continue;
        if (equal(table[i].number, table[j].number)) table[std::min(i, j)] = RestrictionEntry{};
      }
    input = table;
  }
};

std::string describe(const RestrictionEntry& e) {
  return std::to_string(e.index) + ":" + std::string(e.number, strnlen(e.number, 25));
}

TEST_F(RestrictionTableTest, IndexedRulesMatchTheFullScanOnRandomOperations) {
  std::mt19937 random(20240611);
  const std::vector<std::string> pool = {"", "1", "12", "123", "0312345678", "9a", "12\n",
                                         "\n", " 1", "999999999999999999999999"};
  for (int round = 0; round < 6; ++round) {
    resetRestrictionTables();
    ReferenceModel model;
    // Entries cluster in a few groups and a few far places so that duplicates meet often.
    std::vector<int> places;
    for (int base : {0, 50, 100, 4000, 9950}) {
      for (int d : {0, 1, 7, 25, 49}) places.push_back(base + d);
    }
    places.push_back(10000);
    for (int step = 0; step < 400; ++step) {
      int k = places[random() % places.size()];
      RestrictionEntry e = entry(pool[random() % pool.size()]);
      e.index = static_cast<std::int16_t>(random() % 10000);
      auto mode = static_cast<RestrictionStoreMode>(random() % 3);
      if (random() % 40 == 0) {
        normaliseRestrictions();
        model.normalise();
      } else {
        storeRestrictionEntry(k, e, mode);
        model.store(k, e, mode);
      }
      for (int j : places) {
        if (j >= 10000) continue;
        ASSERT_EQ(describe(restrictionTable[j]), describe(model.table[j]))
            << "table " << j << " round " << round << " step " << step;
        ASSERT_EQ(describe(restrictionInput[j]), describe(model.input[j]))
            << "input " << j << " round " << round << " step " << step;
      }
      ASSERT_EQ(std::vector<int>(restrictionErrors.indices,
                                 restrictionErrors.indices + restrictionErrors.count),
                model.errors);
    }
    ASSERT_EQ(std::memcmp(restrictionTable, model.table.data(), sizeof restrictionTable), 0);
    ASSERT_EQ(std::memcmp(restrictionInput, model.input.data(), sizeof restrictionInput), 0);
  }
}

}  // namespace
