#include "data/restriction_table.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "data/system_data.h"

RestrictionEntry restrictionTable[kRestrictionEntries];
RestrictionEntry restrictionInput[kRestrictionEntries];
RestrictionErrorList restrictionErrors;

namespace {

// Entries of restrictionTable with a non-empty number, by comparison key, each list ascending.
std::unordered_map<std::string, std::vector<std::int16_t>>& numberIndex() {
  static std::unordered_map<std::string, std::vector<std::int16_t>> index;
  return index;
}

// First entry of the current group of 50, or -1 while no group has been started.
int currentGroupStart = -1;

// The part of a number that takes part in comparisons: at most 24 bytes, ended by NUL or LF.
std::string_view comparisonKey(const char* number) {
  std::size_t n = 0;
  while (n < kRestrictionNumberLength && number[n] != '\0' && number[n] != '\n') ++n;
  return std::string_view(number, n);
}

bool isEmptyNumber(const char* number) { return number[0] == '\0'; }

void addToIndex(int k) {
  const char* number = restrictionTable[k].number;
  if (isEmptyNumber(number)) return;
  std::vector<std::int16_t>& list = numberIndex()[std::string(comparisonKey(number))];
  list.insert(std::lower_bound(list.begin(), list.end(), k), static_cast<std::int16_t>(k));
}

void removeFromIndex(int k) {
  const char* number = restrictionTable[k].number;
  if (isEmptyNumber(number)) return;
  auto found = numberIndex().find(std::string(comparisonKey(number)));
  if (found == numberIndex().end()) return;
  std::vector<std::int16_t>& list = found->second;
  auto at = std::lower_bound(list.begin(), list.end(), k);
  if (at != list.end() && *at == k) list.erase(at);
  if (list.empty()) numberIndex().erase(found);
}

void clearTableEntry(int k) {
  removeFromIndex(k);
  std::memset(&restrictionTable[k], 0, sizeof(RestrictionEntry));
}

void clearBothCopies(int k) {
  clearTableEntry(k);
  std::memset(&restrictionInput[k], 0, sizeof(RestrictionEntry));
}

void startGroup(int k) {
  restrictionErrors.count = 0;
  std::memset(restrictionErrors.indices, 0, sizeof restrictionErrors.indices);
  for (int j = k; j < k + kRestrictionGroupSize && j < kRestrictionEntries; ++j) clearBothCopies(j);
  currentGroupStart = k;
}

bool hasNonDigit(const char* number) {
  for (int i = 0; i < kRestrictionNumberLength && number[i] != '\0'; ++i)
    if (number[i] < '0' || number[i] > '9') return true;
  return false;
}

void appendError(int k) {
  if (restrictionErrors.count < 0) restrictionErrors.count = 0;
  if (restrictionErrors.count >= 50) return;
  restrictionErrors.indices[restrictionErrors.count++] = k;
}

void putTableEntry(int k, const RestrictionEntry& e) {
  removeFromIndex(k);
  RestrictionEntry& slot = restrictionTable[k];
  std::memset(&slot, 0, sizeof slot);
  slot.index = e.index;
  std::size_t n = 0;
  while (n < kRestrictionNumberLength && e.number[n] != '\0') ++n;
  std::memcpy(slot.number, e.number, n);
  addToIndex(k);
}

bool inCurrentGroup(int j, bool groupApplies) {
  return groupApplies && currentGroupStart >= 0 && j >= currentGroupStart &&
         j < currentGroupStart + kRestrictionGroupSize;
}

// The next entry after `after`, other than k, that holds entry k's current number; -1 if none.
int nextHolderOfNumberOf(int k, int after) {
  auto found = numberIndex().find(std::string(comparisonKey(restrictionTable[k].number)));
  if (found == numberIndex().end()) return -1;
  const std::vector<std::int16_t>& list = found->second;
  for (auto at = std::upper_bound(list.begin(), list.end(), after); at != list.end(); ++at)
    if (*at != k) return *at;
  return -1;
}

// The duplicate rules, visiting the other holders in ascending order as a full scan would;
// equality is checked against entry k's number as it stands at each visit.
void removeDuplicatesOf(int k, bool groupApplies) {
  for (int j = nextHolderOfNumberOf(k, -1); j >= 0; j = nextHolderOfNumberOf(k, j)) {
    if (inCurrentGroup(j, groupApplies) && j > k)
      clearBothCopies(k);
    else
      clearBothCopies(j);
  }
}

}  // namespace

void storeRestrictionEntry(int k, const RestrictionEntry& e, RestrictionStoreMode mode) {
  if (k < 0 || k >= kRestrictionEntries) return;
  if (mode == RestrictionStoreMode::FileLoad)
    clearBothCopies(k);
  else if (k % kRestrictionGroupSize == 0)
    startGroup(k);
  const bool rejected = hasNonDigit(e.number);
  if (rejected) appendError(k);
  putTableEntry(k, e);
  removeDuplicatesOf(k, mode != RestrictionStoreMode::FileLoad);
  restrictionInput[k] = restrictionTable[k];
  if (rejected) clearTableEntry(k);
}

void normaliseRestrictions() {
  for (auto it = numberIndex().begin(); it != numberIndex().end();) {
    std::vector<std::int16_t>& list = it->second;
    const bool beginsWithSpace = !it->first.empty() && it->first[0] == ' ';
    if (beginsWithSpace || list.size() < 2) {
      ++it;
      continue;
    }
    for (std::size_t i = 0; i + 1 < list.size(); ++i)
      std::memset(&restrictionTable[list[i]], 0, sizeof(RestrictionEntry));
    list.erase(list.begin(), list.end() - 1);
    ++it;
  }
  std::memcpy(restrictionInput, restrictionTable, sizeof restrictionTable);
}

void readRestrictionEntry(int k, int selector, char out[25]) {
  std::memset(out, 0, 25);
  if (k < 0 || k >= kRestrictionEntries) return;
  const char* number = (selector == 1 ? restrictionTable : restrictionInput)[k].number;
  for (int i = 0; i < kRestrictionNumberLength && number[i] != '\0'; ++i)
    out[i] = number[i] == '"' ? ' ' : number[i];
}

void resetRestrictionTables() {
  zeroTableStorage(restrictionTable, sizeof restrictionTable);
  zeroTableStorage(restrictionInput, sizeof restrictionInput);
  std::memset(&restrictionErrors, 0, sizeof restrictionErrors);
  numberIndex().clear();
  currentGroupStart = -1;
}

std::vector<int> restrictionEntriesHolding(std::string_view number) {
  if (number.empty()) return {};
  char text[kRestrictionNumberLength + 1] = {};
  std::memcpy(text, number.data(), std::min<std::size_t>(number.size(), kRestrictionNumberLength));
  auto found = numberIndex().find(std::string(comparisonKey(text)));
  if (found == numberIndex().end()) return {};
  return std::vector<int>(found->second.begin(), found->second.end());
}

void rebuildRestrictionIndex() {
  numberIndex().clear();
  for (int k = 0; k < kRestrictionEntries; ++k) addToIndex(k);
}
