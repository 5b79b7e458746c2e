#include "data/phonebook_tables.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/cp932.h"
#include "base/fixed_field.h"
#include "base/sjis.h"
#include "data/process_state.h"
#include "data/system_data.h"
#include "data/user_info.h"

PhonebookImage phonebookImage;
PhonebookImage baselineImage;
PhonebookImage referenceImage;
UserInfoHeader userInfoHeader;
WorkLineBuffer workLines;
TemplateMessage templateMessages[kTemplateMessages];
PrivateSpeedDialList privateSpeedDialLists[kPrivateListCount];
std::int32_t privateSpeedDialCounter;

namespace {

// Memory count 2 (990 memories); only the two low bits of the setting count.
bool isMemoryCount990() { return (memoryMode & 3) == 2; }

bool isForbiddenTextByte(unsigned char c) {
  return c == ',' || c == '"' || c == '\\' || c == '<' || c == '>';
}

// Blanks the forbidden characters of a CP932 text (up to its first NUL, at most `width` bytes),
// stepping over the trail byte of every double-byte character so that a trail byte such as
// 0x5C is never taken for a character of its own. A lead byte followed by a byte that cannot be
// a trail byte (",", a double quote, "<", ">") stands alone, so the byte after it is still
// checked: otherwise a comma could slip into a stored text and split a file row.
void blankForbiddenCharacters(char* text, std::size_t width) {
  for (std::size_t i = 0; i < width && text[i] != '\0'; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (isSjisLeadByteWide(c)) {
      if (i + 1 < width && isSjisTrailByte(static_cast<unsigned char>(text[i + 1]))) ++i;
      continue;
    }
    if (isForbiddenTextByte(c)) text[i] = ' ';
  }
}

// A half-width reading of `width` bytes: false when any of them is 0x80-0xA0, which no
// half-width reading has; otherwise blanks its forbidden characters.
constexpr unsigned char kRefusedInReading = 1;
constexpr unsigned char kForbiddenInText = 2;

struct ReadingByteClasses {
  unsigned char of[256];
  constexpr ReadingByteClasses() : of() {
    for (int c = 0x80; c <= 0xA0; ++c) of[c] = kRefusedInReading;
    for (unsigned char c : {',', '"', '\\', '<', '>'}) of[c] = kForbiddenInText;
  }
};

constexpr ReadingByteClasses kReadingByteClasses;

bool cleanReading(char* text, std::size_t width) {
  unsigned char classes = 0;
  for (std::size_t i = 0; i < width; ++i) {
    classes |= kReadingByteClasses.of[static_cast<unsigned char>(text[i])];
  }
  if (classes & kRefusedInReading) return false;
  if (!(classes & kForbiddenInText)) return true;
  for (std::size_t i = 0; i < width; ++i) {
    if (isForbiddenTextByte(static_cast<unsigned char>(text[i]))) text[i] = ' ';
  }
  return true;
}

// Stores a text field of `width` bytes into a field of width + 1 bytes, NUL-filled after the
// text, so the stored field always ends with a NUL.
void storeTextField(char* dst, const char* src, std::size_t width) {
  copyFixedFieldFrom(dst, src, width);
  dst[width] = '\0';
}

// As storeTextField, with every "," stored as a blank.
void storeTextFieldWithoutCommas(char* dst, const char* src, std::size_t width) {
  storeTextField(dst, src, width);
  for (std::size_t i = 0; i < width; ++i) {
    if (dst[i] == ',') dst[i] = ' ';
  }
}

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

// ---- extension directory ----

// The slot entry of `position` in the live directory 0, or null for a rejected directory or
// position.
ExtensionEntry* liveExtensionSlot(int d, int position) {
  if (d != 0) return nullptr;
  const int slot = extensionSlot(position);
  if (slot < 0) return nullptr;
  return &liveExtensionDirectory()[slot];
}

// ---- work lines ----

// Copies a text field into a line up to and including its first NUL, at most `width` bytes.
void putLineText(char* line, int column, const char* field, std::size_t width) {
  const std::size_t n = fixedFieldText(field, width).size();
  std::memcpy(line + column, field, n < width ? n + 1 : width);
}

// Writes the first `digits` characters of `value` in decimal, padded on the left with zeros to
// at least `digits` characters: a value with more digits keeps to its columns with its leading
// ones.
void putDigits(char* line, int column, int digits, unsigned value) {
  static constexpr unsigned kLimits[] = {1, 10, 100, 1000, 10000};
  if (digits <= 4 && value < kLimits[digits]) {
    for (int i = digits - 1; i >= 0; --i) {
      line[column + i] = static_cast<char>('0' + value % 10);
      value /= 10;
    }
    return;
  }
  char text[16];
  int n = 0;
  do {
    text[sizeof text - 1 - n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (n < digits) text[sizeof text - 1 - n++] = '0';
  std::memcpy(line + column, text + sizeof text - n, static_cast<std::size_t>(digits));
}

// Copies the text of a stored field (up to its first NUL, at most `width` bytes) into a line,
// followed by a NUL: what the getter gives for the field, copied up to and including its NUL.
void putStoredText(char* line, int column, const char* field, std::size_t width,
                   const char* whenEmpty = "") {
  if (field[0] == '\0') field = whenEmpty;
  const std::size_t n = strnlen(field, width);
  std::memcpy(line + column, field, n);
  line[column + static_cast<int>(n)] = '\0';
}

// The line of entry n as getSpeedDialEntry gives it, rendered from the stored entry, or from
// the empty form when e is null.
void renderSpeedDialLine(char* line, int n, const SpeedDialEntry* e) {
  static constexpr SpeedDialEntry kEmpty{};
  if (e == nullptr) e = &kEmpty;
  putDigits(line, 0, 4, static_cast<unsigned>(n));
  static constexpr char kCharacters[] = " 1234567890*#P-M";
  int length = 0;
  for (int k = 0; k < 12; ++k) {
    const unsigned char pair = e->number[k];
    if ((pair & 0x0F) == 0) break;
    line[4 + length++] = kCharacters[pair & 0x0F];
    if ((pair >> 4) == 0) break;
    line[4 + length++] = kCharacters[pair >> 4];
  }
  line[4 + length] = '\0';
  putStoredText(line, 28, e->name, 20);
  putStoredText(line, 49, e->reading, 20);
  putStoredText(line, 70, e->use, 3, "0");
  putStoredText(line, 74, e->speedDialGroup, 2, "01");
  line[77] = static_cast<char>('0' + (e->lineGroup <= 9 ? e->lineGroup : 0));
  if (sysTanfMode) {
    line[78] = static_cast<char>('0' + (e->displayMode <= 3 ? e->displayMode : 0));
    // Template items have three digits; a larger stored value keeps to its own columns.
    putDigits(line, 79, 3, e->template1);
    putDigits(line, 82, 3, e->template2);
  }
}

void renderExtensionLine(char* line, int position, const ExtensionFields& f) {
  putDigits(line, 0, 3, static_cast<unsigned>(position));
  putLineText(line, 3, f.extensionNumber, 5);
  putLineText(line, 8, f.name, 11);
  putLineText(line, 21, f.reading, 11);
}

// The position after p in the walk of the extension file: the gaps between the position
// ranges are jumped over.
int nextExtensionLinePosition(int p) {
  static constexpr int kJumps[][2] = {{161, 201}, {257, 301}, {357, 401}, {457, 601},
                                      {617, 700}, {716, 720}, {726, 730}, {746, 750},
                                      {755, 761}, {766, 770}, {775, 781}, {783, 791},
                                      {792, 821}, {822, 831}};
  ++p;
  for (const auto& jump : kJumps) {
    if (p == jump[0]) return jump[1];
  }
  return p;
}

struct ExtensionLinePositions {
  int positions[kExtensionLineCount];
  ExtensionLinePositions() {
    int i = 0;
    for (int p = 101; p <= 846 && i < kExtensionLineCount; p = nextExtensionLinePosition(p)) {
      positions[i++] = p;
    }
  }
};

const ExtensionLinePositions kExtensionLinePositions;

}  // namespace

// ---- dial codes ---------------------------------------------------------------------------

namespace {

struct DialCodeTable {
  signed char codes[256];
  constexpr DialCodeTable() : codes() {
    for (signed char& code : codes) code = -1;
    for (int c = '1'; c <= '9'; ++c) codes[c] = static_cast<signed char>(c - '0');
    codes[static_cast<unsigned char>('0')] = 0xA;
    codes[static_cast<unsigned char>('*')] = 0xB;
    codes[static_cast<unsigned char>('#')] = 0xC;
    codes[static_cast<unsigned char>('P')] = 0xD;
    codes[static_cast<unsigned char>('-')] = 0xE;
    codes[static_cast<unsigned char>('M')] = 0xF;
  }
};

constexpr DialCodeTable kDialCodes;

}  // namespace

int dialCode(char c) { return kDialCodes.codes[static_cast<unsigned char>(c)]; }

void packDialCodes(std::string_view text, unsigned char packed[12]) {
  std::memset(packed, 0, 12);
  for (std::size_t i = 0; i < 24 && i < text.size() && text[i] != '\0'; ++i) {
    const int code = dialCode(text[i]);
    if (code <= 0) continue;
    packed[i / 2] |= static_cast<unsigned char>(i % 2 == 0 ? code : code << 4);
  }
}

std::size_t unpackDialCodes(const unsigned char packed[12], char text[25]) {
  static constexpr char kCharacters[] = " 1234567890*#P-M";
  std::memset(text, 0, 25);
  std::size_t n = 0;
  for (; n < 24; ++n) {
    const int code = (n % 2 == 0) ? (packed[n / 2] & 0x0F) : (packed[n / 2] >> 4);
    if (code == 0) break;
    text[n] = kCharacters[code];
  }
  return n;
}

// ---- positions and uses -------------------------------------------------------------------

int extensionSlot(int position) {
  if (position >= 101 && position <= 160) return position - 101;
  if (position >= 201 && position <= 256) return position - 141;
  if (position >= 301 && position <= 356) return position - 185;
  if (position >= 401 && position <= 456) return position - 229;
  if (position >= 601 && position <= 616) return position - 373;
  if (position >= 700 && position <= 754) return position - 456;
  if (position >= 761 && position <= 846) return position - 462;
  return -1;
}

int positionToSlot(int position) {
  const int slot = extensionSlot(position);
  return slot < 0 ? kNoSlot : slot;
}

bool isExtensionPosition(int value) { return privateListIndex(value) >= 0; }

int privateListIndex(int position) {
  const int slot = extensionSlot(position);
  return slot >= 0 && slot < kPrivateListCount ? slot : -1;
}

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

// ---- extension directory ------------------------------------------------------------------

ExtensionEntry* extensionDirectory(PhonebookImage& image) {
  if (isMemoryCount990()) {
    return reinterpret_cast<ExtensionEntry*>(&image.speedDial[kMode2DirectoryEntry]);
  }
  return image.directories[0];
}

const ExtensionEntry* extensionDirectory(const PhonebookImage& image) {
  return extensionDirectory(const_cast<PhonebookImage&>(image));
}

ExtensionEntry* liveExtensionDirectory() { return extensionDirectory(phonebookImage); }

int setExtensionEntry(int d, int position, ExtensionFields& f) {
  ExtensionEntry* slot = liveExtensionSlot(d, position);
  if (slot == nullptr) return 0;
  ExtensionEntry& e = *slot;
  const ExtensionEntry saved = e;
  std::memset(e.extensionNumber, 0, sizeof e.extensionNumber);
  std::memset(e.reading, 0, sizeof e.reading);
  std::memset(e.name, 0, sizeof e.name);

  blankForbiddenCharacters(f.name, 20);
  if (!cleanReading(f.reading, 12)) storeTextField(f.reading, saved.reading, 20);

  for (int i = 0; i < 4; ++i) {
    char c = f.extensionNumber[i];
    if (c == ',') c = ' ';
    if (c == ' ' || c == '\0') break;  // a blank ends the number
    e.extensionNumber[i] = c;
  }
  storeTextFieldWithoutCommas(e.name, f.name, 10);
  storeTextFieldWithoutCommas(e.reading, f.reading, 10);
  return 1;
}

int getExtensionEntry(int d, int position, ExtensionFields& f) {
  std::memset(&f, 0, sizeof f);
  const ExtensionEntry* slot = liveExtensionSlot(d, position);
  if (slot == nullptr) return 1;
  for (int i = 0; i < 4; ++i) {
    const char c = slot->extensionNumber[i];
    if (c == '\0' || c == 'c') break;
    f.extensionNumber[i] = c;
  }
  copyFixedFieldFrom(f.name, slot->name, 10);
  copyFixedFieldFrom(f.reading, slot->reading, 10);
  return 1;
}

// ---- template messages --------------------------------------------------------------------

int setTemplateMessage(int item, std::string_view text, int mode) {
  if (item < 0 || item >= kTemplateMessages) return 0;
  if (mode != 1 && item % 50 == 1) {
    // A page of 50 from the editor replaces the whole page; the last page ends at item 999.
    const int last = item + 49 < kTemplateMessages ? item + 49 : kTemplateMessages - 1;
    std::memset(&templateMessages[item], 0, sizeof(TemplateMessage) * (last - item + 1));
  } else {
    std::memset(&templateMessages[item], 0, sizeof(TemplateMessage));
  }
  char buffer[21] = {};
  if (!text.empty()) std::memcpy(buffer, text.data(), text.size() < 20 ? text.size() : 20);
  blankForbiddenCharacters(buffer, 20);
  storeTextFieldWithoutCommas(templateMessages[item].text, buffer, 20);
  return 1;
}

int getTemplateMessage(int item, char out[21]) {
  std::memset(out, 0, 21);
  if (item < 0 || item >= kTemplateMessages) return 0;
  copyFixedFieldFrom(out, templateMessages[item].text, 20);
  for (int i = 0; i < 20; ++i) {
    if (out[i] == '"') out[i] = ' ';
  }
  return 1;
}

void clearTemplateMessages() { std::memset(templateMessages, 0, sizeof templateMessages); }

// ---- work lines ---------------------------------------------------------------------------

void fillSpeedDialLines(int first) {
  if (first < 0) first = 0;
  if (first > kWorkLines) first = kWorkLines;
  std::memset(workLines.lines, ' ', static_cast<std::size_t>(first) * kWorkLineWidth);
  // Each line is blanked just before it is rendered, while it is in the cache.
  const int capacity = speedDialCapacity();
  for (int n = first; n < kSpeedDialEntries; ++n) {
    char* line = workLines.lines[n];
    std::memset(line, ' ', kWorkLineWidth);
    renderSpeedDialLine(line, n, n < capacity ? &phonebookImage.speedDial[n] : nullptr);
  }
}

int fillExtensionLines(int first) {
  std::memset(&workLines, ' ', sizeof workLines);
  int line = 0;
  ExtensionFields f;
  for (int p = first < 101 ? 101 : first; p <= 846; p = nextExtensionLinePosition(p)) {
    if (extensionSlot(p) < 0) continue;
    getExtensionEntry(0, p, f);
    renderExtensionLine(workLines.lines[line++], p, f);
  }
  return line;
}

const int* extensionLinePositions() { return kExtensionLinePositions.positions; }

// ---- the image as a whole -----------------------------------------------------------------

void snapshotPhonebook() {
  std::memcpy(&baselineImage, &phonebookImage, sizeof(PhonebookImage));
  std::memcpy(&referenceImage, &phonebookImage, sizeof(PhonebookImage));
}

void restorePhonebook() { std::memcpy(&phonebookImage, &baselineImage, sizeof(PhonebookImage)); }

void resetPhonebookTables() {
  // The three images are most of the memory the tables have; clearing them by giving their
  // pages back keeps an untouched image untouched. The live speed-dial table is cleared in
  // place: every load fills it, and a setter reads an entry before writing it, which would take
  // two faults on a page given back.
  fillTableStorage(phonebookImage.speedDial, sizeof phonebookImage.speedDial, 0);
  zeroTableStorage(phonebookImage.directories, sizeof phonebookImage.directories);
  zeroTableStorage(&baselineImage, sizeof baselineImage);
  zeroTableStorage(&referenceImage, sizeof referenceImage);
  clearTemplateMessages();
  for (PrivateSpeedDialList& list : privateSpeedDialLists) {
    for (std::int32_t& v : list.numbers) v = -1;
    list.count = 0;
  }
  privateSpeedDialCounter = 0;
  forgetListedEntries();
  fillTableStorage(&workLines, sizeof workLines, ' ');
  clearUserInfoFields();
}

// ---- start-up defaults --------------------------------------------------------------------

namespace {

// A built-in entry of the special positions 700-846, CP932 text.
struct BuiltInExtension {
  int position;
  bool numbered;  // the extension number is the position
  std::string name;
  std::string reading;
};

void addBuiltIn(std::vector<BuiltInExtension>& out, int position, bool numbered, const char* name,
                const char* reading) {
  out.push_back({position, numbered, utf8ToCp932(name), utf8ToCp932(reading)});
}

// Adds positions first..first+count-1 with the texts nameFormat/readingFormat of 1..count.
void addBuiltInSeries(std::vector<BuiltInExtension>& out, int first, int count, bool numbered,
                      const char* nameFormat, const char* readingFormat) {
  for (int k = 1; k <= count; ++k) {
    char name[64];
    char reading[64];
    std::snprintf(name, sizeof name, nameFormat, k);
    std::snprintf(reading, sizeof reading, readingFormat, k);
    addBuiltIn(out, first + k - 1, numbered, name, reading);
  }
}

std::vector<BuiltInExtension> makeBuiltInExtensions() {
  std::vector<BuiltInExtension> out;
  addBuiltIn(out, 700, true, "内線一斉", "ﾅｲｾﾝｲｯｾｲ");
  addBuiltInSeries(out, 701, 15, true, "内G%02d呼", "ﾅｲG%02dﾖﾋﾞ");
  addBuiltIn(out, 720, true, "ｽﾋﾟｰｶ呼", "ｽﾋﾟｰｶﾖﾋﾞ");
  addBuiltInSeries(out, 721, 4, true, "ｽﾋﾟｰｶ%d呼", "ｽﾋﾟｰｶ%dﾖﾋﾞ");
  addBuiltIn(out, 725, true, "ｽﾋﾟｰｶ+一斉", "ｽﾋﾟｰｶ+ｲｯｾｲ");
  addBuiltIn(out, 730, true, "一斉応答", "ｲｯｾｲｵｳﾄｳ");
  addBuiltInSeries(out, 731, 15, true, "内G%02d応答", "ﾅｲG%02dｵｳﾄｳ");
  addBuiltIn(out, 750, true, "ｽﾋﾟｰｶ応答", "ｽﾋﾟｰｶｵｳﾄｳ");
  addBuiltInSeries(out, 751, 4, true, "ｽﾋﾟｰｶ%d応答", "ｽﾋﾟｰｶ%dｵｳﾄｳ");
  for (int k = 0; k < 5; ++k) {
    const std::string door = std::string("ﾄﾞｱﾎﾝ") + static_cast<char>('A' + k);
    addBuiltIn(out, 761 + k, true, door.c_str(), door.c_str());
  }
  addBuiltIn(out, 770, false, "ｶﾒﾗID切替", "ｶﾒﾗIDｷﾘｶｴ");
  addBuiltIn(out, 771, false, "TELﾓﾆﾀ", "TELﾓﾆﾀ");
  addBuiltIn(out, 772, false, "TELﾓﾆﾀ送話", "TELﾓﾆﾀｿｳﾜ");
  addBuiltIn(out, 773, false, "INTGﾓﾆﾀ", "INTGﾓﾆﾀ");
  addBuiltIn(out, 774, false, "INT全ﾓﾆﾀ", "INTｾﾞﾝﾓﾆﾀ");
  addBuiltIn(out, 781, true, "ｼｽﾃﾑﾒｯｾｰｼﾞ", "ｼｽﾃﾑﾒｯｾｰｼﾞ");
  addBuiltIn(out, 782, true, "内線ﾒｯｾｰｼﾞ", "ﾅｲｾﾝﾒｯｾｰｼﾞ");
  addBuiltIn(out, 791, true, "ﾋﾞﾃﾞｵ会議", "ﾋﾞﾃﾞｵｶｲｷﾞ");
  addBuiltIn(out, 821, false, "ｻｰﾊﾞ発信1", "ｻｰﾊﾞﾊｯｼﾝ1");
  addBuiltInSeries(out, 831, 16, false, "VMU同報%02d", "VMUﾄﾞｳﾎｳ%02d");
  return out;
}

// Converted once: the start-up initialisation runs in every test.
const std::vector<BuiltInExtension>& builtInExtensions() {
  static const std::vector<BuiltInExtension> entries = makeBuiltInExtensions();
  return entries;
}

void placeBuiltInExtensions(ExtensionEntry* directory) {
  for (const BuiltInExtension& b : builtInExtensions()) {
    ExtensionEntry& e = directory[extensionSlot(b.position)];
    std::memset(&e, 0, sizeof e);
    if (b.numbered) {
      putDigits(e.extensionNumber, 0, 3, static_cast<unsigned>(b.position));
    }
    copyFixedField(e.name, 10, b.name);
    copyFixedField(e.reading, 10, b.reading);
  }
}

void numberTerminalPositions(ExtensionEntry* directory) {
  for (int position = 101; position <= 456; ++position) {
    if (!isExtensionPosition(position)) continue;
    ExtensionEntry& e = directory[extensionSlot(position)];
    std::memset(e.extensionNumber, 0, sizeof e.extensionNumber);
    putDigits(e.extensionNumber, 0, 3, static_cast<unsigned>(position));
  }
}

}  // namespace

void initPhonebookDefaults() {
  memoryMode = 1;
  clearUserInfoFields();
  for (PhonebookImage* image : {&phonebookImage, &baselineImage, &referenceImage}) {
    zeroTableStorage(image->directories, sizeof image->directories);
    placeBuiltInExtensions(extensionDirectory(*image));
  }
  numberTerminalPositions(extensionDirectory(phonebookImage));
  numberTerminalPositions(extensionDirectory(baselineImage));
}
