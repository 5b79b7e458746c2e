#include "data/speed_dial.h"

#include <cstdlib>
#include <cstring>

#include "base/fixed_field.h"
#include "data/dial_codes.h"
#include "data/extension_directory.h"
#include "data/process_state.h"
#include "data/table_text.h"

PrivateSpeedDialList privateSpeedDialLists[kPrivateListCount];
std::int32_t privateSpeedDialCounter;

namespace {

// The number a use text reads as: its leading digits (atoi), 0 when it starts with none.
int useNumber(const char* use) {
  char text[4] = {};
  std::memcpy(text, use, 3);
  return std::atoi(text);
}

// ---- private lists ----

// The private list each speed-dial entry was last added to (index 0-227), -1 for none, so that
// taking an entry out of the lists looks at one list instead of all 228. The lists change only
// here, and addToList never adds an entry that another list still holds, so an entry is in at
// most the list its hint names. A hint is checked against its list before it is used: lists
// emptied from outside leave stale hints that simply find nothing.
std::int16_t listOfEntry[kSpeedDialEntries];

void forgetListedEntries() {
  for (std::int16_t& hint : listOfEntry) hint = -1;
}

int listHintOf(int n) { return n >= 0 && n < kSpeedDialEntries ? listOfEntry[n] : -1; }

void setListHint(int n, int index) {
  if (n >= 0 && n < kSpeedDialEntries) listOfEntry[n] = static_cast<std::int16_t>(index);
}

bool listContains(const PrivateSpeedDialList& list, int n) {
  for (std::int32_t v : list.numbers) {
    if (v == n) return true;
  }
  return false;
}

bool listHasFreePlace(const PrivateSpeedDialList& list) {
  return list.count < kPrivateListSize && listContains(list, -1);
}

// Adds entry n to the list at `index` unless it is there already; the caller has checked that
// the list has a free place.
void addToList(int index, int n) {
  PrivateSpeedDialList& list = privateSpeedDialLists[index];
  setListHint(n, index);
  if (listContains(list, n)) return;
  for (std::int32_t& v : list.numbers) {
    if (v == -1) {
      v = n;
      ++list.count;
      ++privateSpeedDialCounter;
      return;
    }
  }
}

// Takes every occurrence of entry n out of the list at `index`.
void removeFromList(int index, int n) {
  PrivateSpeedDialList& list = privateSpeedDialLists[index];
  for (std::int32_t& v : list.numbers) {
    if (v == n) {
      v = -1;
      if (list.count > 0) --list.count;
      if (privateSpeedDialCounter > 0) --privateSpeedDialCounter;
    }
  }
}

// Removes entry n from every private list except the one at index `keep` (-1: from all).
void removeFromLists(int n, int keep) {
  const int index = listHintOf(n);
  if (index < 0 || index == keep) return;
  removeFromList(index, n);
  setListHint(n, -1);
}

// ---- speed dial ----

// Packs f.number into e.number, or reports false (e untouched) when it holds a character that is
// not a dial character. A NUL ends the number; blanks pack as the end code.
bool packNumberField(const SpeedDialFields& f, SpeedDialEntry& e) {
  unsigned char packed[12] = {};
  for (int i = 0; i < 24 && f.number[i] != '\0'; ++i) {
    if (f.number[i] == ' ') continue;  // the end code
    const int code = dialCode(f.number[i]);
    if (code < 0) return false;
    packed[i / 2] |= static_cast<unsigned char>(i % 2 == 0 ? code : code << 4);
  }
  std::memcpy(e.number, packed, sizeof packed);
  std::memset(e.number + sizeof packed, 0, sizeof e.number - sizeof packed);
  return true;
}

void storeSpeedDialGroup(SpeedDialEntry& e, const SpeedDialFields& f) {
  std::memset(e.speedDialGroup, 0, sizeof e.speedDialGroup);
  for (int i = 0; i < 2 && f.speedDialGroup[i] != '\0'; ++i) {
    e.speedDialGroup[i] = f.speedDialGroup[i] == ',' ? ' ' : f.speedDialGroup[i];
  }
}

void setPrivateGroupDefaults(SpeedDialEntry& e) {
  std::memset(e.speedDialGroup, 0, sizeof e.speedDialGroup);
  e.speedDialGroup[0] = '0';
  e.speedDialGroup[1] = '1';
  e.lineGroup = 0;
}

// The position a stored use makes the entry private to, or 0.
int privatePositionOf(const SpeedDialEntry& e) {
  if (!isUseNumeric(e.use)) return 0;
  const int v = useValue(e.use);
  return isExtensionPosition(v) ? v : 0;
}

void fillEmptyForm(SpeedDialFields& f) {
  std::memset(&f, 0, sizeof f);
  f.use[0] = '0';
  f.speedDialGroup[0] = '0';
  f.speedDialGroup[1] = '1';
  f.lineGroup = '0';
}

bool isUnregisteredUse(const char* use) {
  return use[0] == '\0' || (use[0] == '0' && use[1] == '\0');
}

}  // namespace

void resetPrivateSpeedDialLists() {
  for (PrivateSpeedDialList& list : privateSpeedDialLists) {
    for (std::int32_t& v : list.numbers) v = -1;
    list.count = 0;
  }
  privateSpeedDialCounter = 0;
  forgetListedEntries();
}

// ---- uses ---------------------------------------------------------------------------------

bool isUseNumeric(const char* use) {
  for (int i = 0; i < 3; ++i) {
    if (use[i] >= '0' && use[i] <= '9') return true;
  }
  return use[2] == '\0' && use[3] == '\0';
}

int useValue(const char* use) {
  char text[4] = {};
  std::memcpy(text, use, 3);
  const std::size_t n = std::strlen(text);
  if (n == 3) return std::atoi(text);
  if (n == 1) return (text[0] >= '0' && text[0] <= '9') ? text[0] - '0' : 0;
  return 0;
}

// ---- speed dial ---------------------------------------------------------------------------

int speedDialCapacity() { return isMemoryCount990() ? kSpeedDialEntries990 : kSpeedDialEntries; }

int setSpeedDialEntry(int n, SpeedDialFields& f) { return setSpeedDialEntry(phonebookImage, n, f); }

int setSpeedDialEntry(PhonebookImage& image, int n, SpeedDialFields& f) {
  if (n < 0 || n >= speedDialCapacity()) return 0;
  SpeedDialEntry& e = image.speedDial[n];
  const SpeedDialEntry saved = e;
  // Under 600 memories every field the entry does not receive ends up empty; under 990 it
  // keeps what it had.
  if (!isMemoryCount990()) std::memset(&e, 0, sizeof e);

  blankForbiddenCharacters(f.name, 20);
  if (!cleanReading(f.reading, 20)) storeTextField(f.reading, saved.reading, 20);

  if (!packNumberField(f, e)) {
    std::memcpy(e.number, saved.number, sizeof e.number);
    unpackDialCodes(saved.number, f.number);
  }
  storeTextField(e.reading, f.reading, 20);
  storeTextField(e.name, f.name, 20);

  bool useAccepted = false;
  if (isUseNumeric(f.use)) {
    const int value = useValue(f.use);
    if (value >= 0 && value <= 8) {
      removeFromLists(n, -1);
      useAccepted = true;
    } else if (isExtensionPosition(value)) {
      const int index = privateListIndex(value);
      PrivateSpeedDialList& list = privateSpeedDialLists[index];
      if (!listContains(list, n) && !listHasFreePlace(list)) {
        // The extension already owns 30 entries: the entry stays as it was.
        const std::size_t savedUseLength = fixedFieldText(saved.use, 3).size();
        e = saved;
        if (!(savedUseLength >= 1 && savedUseLength <= 2 && useNumber(saved.use) != 0)) {
          setPrivateGroupDefaults(e);
        }
        return 1;
      }
      const int previous = listHintOf(n);
      addToList(index, n);
      if (previous >= 0 && previous != index) removeFromList(previous, n);
      useAccepted = true;
    }
  }
  if (useAccepted) storeTextField(e.use, f.use, 3);
  // A number listed for an extension whose entry no longer is private to it would hold a place
  // in that list for nothing.
  if (privatePositionOf(e) == 0) removeFromLists(n, -1);

  const std::size_t useLength = fixedFieldText(e.use, 3).size();
  if (useAccepted && useLength == 3) {
    setPrivateGroupDefaults(e);
  } else {
    storeSpeedDialGroup(e, f);
    e.lineGroup = f.lineGroup <= 6 ? f.lineGroup : 0;
  }
  if (useLength == 1) {
    e.displayMode = f.displayMode;
    e.template1 = f.displayMode == 3 ? f.template1 : 0;
    e.template2 = f.displayMode == 3 ? f.template2 : 0;
  } else {
    e.displayMode = 0;
    e.template1 = 0;
    e.template2 = 0;
  }
  return 1;
}

int getSpeedDialEntry(int n, SpeedDialFields& f) { return getSpeedDialEntry(phonebookImage, n, f); }

int getSpeedDialEntry(const PhonebookImage& image, int n, SpeedDialFields& f) {
  fillEmptyForm(f);
  // Under 990 memories the space of entries 1000 and up holds the extension directory, so
  // entries the memory count does not hold read as empty.
  if (n < 0 || n >= speedDialCapacity()) return 1;
  const SpeedDialEntry& e = image.speedDial[n];
  unpackDialCodes(e.number, f.number);
  copyFixedFieldFrom(f.reading, e.reading, 20);
  copyFixedFieldFrom(f.name, e.name, 20);
  if (e.use[0] != '\0') copyFixedFieldFrom(f.use, e.use, 3);
  if (e.speedDialGroup[0] != '\0') copyFixedFieldFrom(f.speedDialGroup, e.speedDialGroup, 2);
  f.lineGroup = static_cast<std::uint8_t>('0' + (e.lineGroup <= 9 ? e.lineGroup : 0));
  f.displayMode = e.displayMode;
  f.template1 = e.template1;
  f.template2 = e.template2;
  return 1;
}

int getBaselineSpeedDialEntry(int n, SpeedDialFields& f) {
  if (n >= 0 && n < speedDialCapacity() && isUnregisteredUse(baselineImage.speedDial[n].use)) {
    std::memset(&baselineImage.speedDial[n], 0, sizeof(SpeedDialEntry));
    SpeedDialEntry& live = phonebookImage.speedDial[n];
    live.displayMode = 0;
    live.template1 = 0;
    live.template2 = 0;
    fillEmptyForm(f);
    return 1;
  }
  return getSpeedDialEntry(baselineImage, n, f);
}

int getReferenceSpeedDialEntry(int n, SpeedDialFields& f) {
  return getSpeedDialEntry(referenceImage, n, f);
}
