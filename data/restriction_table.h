// The outgoing-call restriction list: 10000 dial numbers, entries 0000-9999.
//
// Two copies: restrictionTable holds only validated digit strings (what files and the main
// unit get); restrictionInput holds the list as last entered, including a rejected (non-digit)
// input so that the edit page can show it again. restrictionErrors lists the entries of the
// current group of 50 whose input was rejected.
//
// Every change to restrictionTable must go through the functions below: they keep an index from
// number to entries, so the duplicate rules never scan the whole table. Code that writes the
// table directly must call rebuildRestrictionIndex() before the next store or normalise.
// The tables are process-wide and unlocked: callers on other threads hold tableLock().
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

struct RestrictionEntry {
  std::int16_t index;  // entry number as read from a file; not used for placement
  char number[25];     // up to 24 ASCII digits, NUL-terminated and NUL-padded
  char pad;
};
static_assert(sizeof(RestrictionEntry) == 28);

constexpr int kRestrictionEntries = 10000;
constexpr int kRestrictionGroupSize = 50;
constexpr int kRestrictionNumberLength = 24;

struct RestrictionErrorList {
  std::int32_t indices[50];
  std::int32_t count;
};
static_assert(sizeof(RestrictionErrorList) == 204);

extern RestrictionEntry restrictionTable[kRestrictionEntries];
extern RestrictionEntry restrictionInput[kRestrictionEntries];
extern RestrictionErrorList restrictionErrors;

enum class RestrictionStoreMode { FormPost, FileLoad, Download };

// Stores entry k (0-9999; a larger or negative k is ignored) from e.number under the rules of
// its mode:
//   - FormPost and Download: a k that is a multiple of 50 starts a new group k..k+49: the error
//     list is emptied and those 50 entries are cleared in both copies. FileLoad clears entry k
//     in both copies and leaves the group as it was.
//   - A number with a character other than '0'-'9' (among its first 24, up to the first NUL) is
//     rejected: k joins restrictionErrors (at most 50), and the input stays in restrictionInput
//     only.
//   - Duplicates: every other entry j holding the same number, in ascending order while entry k
//     still holds it: j outside the current group is cleared; j inside the group is cleared when
//     j < k, and entry k is cleared instead when j > k. In FileLoad mode, and before any group
//     was started, there is no current group: every other holder counts as outside, so the entry
//     just stored keeps the number.
// Numbers compare as byte strings of at most 24 characters ended by NUL or LF.
void storeRestrictionEntry(int k, const RestrictionEntry& e, RestrictionStoreMode mode);

// Removes duplicates from restrictionTable (of equal numbers not beginning with a space only the
// highest entry keeps its number) and copies the whole table into restrictionInput.
void normaliseRestrictions();

// Copies the number of entry k (at most 24 characters, each double quote made a space) into out,
// NUL-terminated: from restrictionTable when selector is 1, from restrictionInput when it is 0.
// An out-of-range k gives "".
void readRestrictionEntry(int k, int selector, char out[25]);

// Zeroes both copies, the error list, the group state and the number index.
void resetRestrictionTables();

// The entries of restrictionTable whose number is `number` (compared as the store compares
// numbers), ascending; none for an empty number.
std::vector<int> restrictionEntriesHolding(std::string_view number);

// Rebuilds the number index from restrictionTable after a direct write to the table.
void rebuildRestrictionIndex();
