// The phonebook records and the tables that hold them: system speed dial, extension directory,
// template messages, the private speed-dial lists, the user-information header and the work lines.
//
// Everything here is process-wide, fixed-size and preallocated; nothing allocates. The tables
// are unlocked: callers keep the user-interface thread and an editor worker (which holds
// tableLock()) from touching them at the same time.
//
// All text is CP932 bytes, fixed-width and NUL-filled. The operations take any bytes: an
// out-of-range entry number, position or item changes nothing and returns 0, forbidden
// characters become blanks, a rejected field keeps its stored value, and no operation writes
// outside the record it was asked to change.
//
// Layout of a PhonebookImage: the 10000 speed-dial entries, then 228 extension directories of
// 385 slots. Only directory 0 is used. Under memory count 2 (990 memories) directory 0 is kept
// in the space of speed-dial entries 1000 and up, which that memory count does not use; under
// memory count 1 it is the first directory after the speed-dial table. Reach it only through
// the accessors of data/extension_directory.h, which pick the place for the current memoryMode.
#pragma once
#pragma once

#include <cstddef>
#include <cstdint>

// ---- sizes ------------------------------------------------------------------------------

constexpr int kSpeedDialEntries = 10000;      // entry numbers 0-9999
constexpr int kSpeedDialEntries990 = 990;     // entry numbers 0-989 under memory count 2
constexpr int kExtensionSlots = 385;          // slots of one extension directory
constexpr int kExtensionDirectories = 228;    // one per extension terminal
constexpr int kMode2DirectoryEntry = 1000;    // speed-dial entry whose space holds directory 0 under count 2
constexpr int kTemplateMessages = 1000;       // items 0-999
constexpr int kPrivateListCount = 228;        // one per extension position
constexpr int kPrivateListSize = 30;          // speed-dial numbers per list
constexpr int kWorkLines = 10000;
constexpr int kWorkLineWidth = 192;
constexpr int kNoSlot = 255;                  // positionToSlot's answer for a position without a slot
constexpr int kExtensionLineCount = 317;      // lines fillExtensionLines renders from position 101

// ---- records ----------------------------------------------------------------------------

// One stored speed-dial entry (86 bytes).
struct SpeedDialEntry {
  unsigned char number[25];  // 24 dial codes in bytes 0-11, low nibble first; bytes 12-24 zero
  char reading[21];          // half-width text, at most 20 bytes, NUL-filled
  char name[21];             // CP932 text, at most 20 bytes, NUL-filled
  char reserved1[4];
  char use[4];               // "" / "0" not registered, "1"-"8" shared, a position = private
  char speedDialGroup[3];    // "01"-"30"
  std::uint8_t lineGroup;    // 0-6
  std::uint8_t reserved2;
  std::uint8_t displayMode;  // 0-3
  std::uint8_t reserved3;
  std::uint16_t template1;   // template item, meaningful when displayMode is 3
  std::uint16_t template2;
};
static_assert(sizeof(SpeedDialEntry) == 86);
static_assert(offsetof(SpeedDialEntry, reading) == 25 && offsetof(SpeedDialEntry, name) == 46);
static_assert(offsetof(SpeedDialEntry, use) == 71 && offsetof(SpeedDialEntry, template1) == 82);

// The unpacked form setSpeedDialEntry takes and getSpeedDialEntry gives (86 bytes, same field
// places as SpeedDialEntry). number: up to 24 characters of "0"-"9" "*" "#" "P" "-" "M",
// NUL-filled. lineGroup: the setter takes the number 0-6, the getter gives the digit '0'-'6'.
struct SpeedDialFields {
  char number[25];
  char reading[21];
  char name[21];
  char reserved1[4];
  char use[4];
  char speedDialGroup[3];
  std::uint8_t lineGroup;
  std::uint8_t reserved2;
  std::uint8_t displayMode;
  std::uint8_t reserved3;
  std::uint16_t template1;
  std::uint16_t template2;
};
static_assert(sizeof(SpeedDialFields) == 86);
static_assert(offsetof(SpeedDialFields, use) == 71 && offsetof(SpeedDialFields, template1) == 82);

// One stored extension-directory slot (86 bytes); byte places as in SpeedDialEntry.
struct ExtensionEntry {
  char extensionNumber[25];  // up to 4 characters, NUL-filled
  char reading[21];          // half-width, at most 10 bytes used
  char name[21];             // CP932, at most 10 bytes used
  char rest[19];             // zero
};
static_assert(sizeof(ExtensionEntry) == 86 && alignof(ExtensionEntry) == 1);

// The unpacked extension form: the same three fields at the same places.
struct ExtensionFields {
  char extensionNumber[25];
  char reading[21];
  char name[21];
  char rest[19];
};
static_assert(sizeof(ExtensionFields) == 86);

// One template message (additional-information fixed text): 23 bytes.
struct TemplateMessage {
  char text[21];  // at most 20 bytes, NUL-filled
  char spare[2];
};
static_assert(sizeof(TemplateMessage) == 23);

// The speed-dial numbers that are private to one extension position: -1 = free.
struct PrivateSpeedDialList {
  std::int32_t numbers[kPrivateListSize];
  std::int32_t count;
};
static_assert(sizeof(PrivateSpeedDialList) == 124);

// The six space-filled fields of the user-information line every phonebook file begins with.
// The system never edits them: they are taken from a file read and written into files produced.
struct UserInfoHeader {
  char field1[24];
  char field2[24];
  char field3[16];
  char field4[6];
  char field4Tail[2];  // the two blanks after field 4
  char field5[24];
  char field6[72];
};
static_assert(sizeof(UserInfoHeader) == 168);

// 10000 lines of 192 bytes, space-filled: phonebook text rendered from the tables or read from
// a file body.
struct WorkLineBuffer {
  char lines[kWorkLines][kWorkLineWidth];
};
static_assert(sizeof(WorkLineBuffer) == 1920000);

// The speed-dial table followed by the extension directories: 8,409,080 bytes.
struct PhonebookImage {
  SpeedDialEntry speedDial[kSpeedDialEntries];
  ExtensionEntry directories[kExtensionDirectories][kExtensionSlots];
};
static_assert(sizeof(PhonebookImage) == 8409080);
static_assert(offsetof(PhonebookImage, directories) == 860000);

// ---- the tables -------------------------------------------------------------------------

extern PhonebookImage phonebookImage;   // the live tables
extern PhonebookImage baselineImage;    // entries the editor's checks accepted; restored on close
extern PhonebookImage referenceImage;   // entries as the editor's user typed them
extern UserInfoHeader userInfoHeader;
extern WorkLineBuffer workLines;
extern TemplateMessage templateMessages[kTemplateMessages];
// Changed by setSpeedDialEntry and resetPhonebookTables, which keep for every entry the list it
// is in, so that moving an entry between lists does not scan all 228 of them. Read them freely;
// emptying lists from outside is harmless, but a number put into a list from outside is not
// known to the setter.
extern PrivateSpeedDialList privateSpeedDialLists[kPrivateListCount];
// Running count of speed-dial numbers listed over all private lists.
extern std::int32_t privateSpeedDialCounter;

