// The phonebook tables: system speed dial, extension directory, template messages, the
// private speed-dial lists, the user-information header and the work lines.
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
// extensionDirectory(), which picks the place for the current memoryMode.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

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

// ---- dial codes -------------------------------------------------------------------------

// Packs up to 24 characters of `text` (ending at its first NUL) into 12 bytes, two codes a byte,
// the code of character 2k in the low nibble of byte k. Codes: 0 blank/end, 1-9 "1"-"9",
// 0xA "0", 0xB "*", 0xC "#", 0xD "P", 0xE "-", 0xF "M"; any other character packs as 0.
void packDialCodes(std::string_view text, unsigned char packed[12]);
// Unpacks 12 bytes into text[25]: the characters up to the first code 0, NUL-filled.
// Returns the number of characters.
std::size_t unpackDialCodes(const unsigned char packed[12], char text[25]);
// The dial code of one character, or -1 when the character has none.
int dialCode(char c);

// ---- positions and uses -----------------------------------------------------------------

// Extension-directory slot of an accommodation position; kNoSlot (255) when it has none.
// Position 711 also has slot 255, so never test the result against 255 alone: use
// extensionSlot() to tell a real slot from none.
int positionToSlot(int position);
// Slot of a position that has one (101-160, 201-256, 301-356, 401-456, 601-616, 700-754,
// 761-846), else -1.
int extensionSlot(int position);
// An extension terminal's position: 101-160, 201-256, 301-356, 401-456.
bool isExtensionPosition(int value);
// Index 0-227 of an extension position's private list, else -1.
int privateListIndex(int position);
// A use text counts only when one of its first three characters is a digit or its bytes 2 and
// 3 are both NUL (use points at 4 bytes).
bool isUseNumeric(const char* use);
// Value of a use text: the 3-digit number for 3 characters, the digit for 1, else 0.
int useValue(const char* use);

// ---- speed dial -------------------------------------------------------------------------

// Entry numbers the current memory count holds: 990 under memory count 2, else 10000.
int speedDialCapacity();

// Stores entry n from f under the current memory count. Returns 1 when stored, 0 when n is out
// of range (nothing changes). f is altered: forbidden name and reading characters become
// blanks, and a rejected number or reading is replaced by the stored one. A private use
// (a position) whose list already holds 30 other entries is refused: the entry keeps what it had.
int setSpeedDialEntry(int n, SpeedDialFields& f);
// The same rules on entry n of another image (the private lists are shared).
int setSpeedDialEntry(PhonebookImage& image, int n, SpeedDialFields& f);

// Entry n unpacked into f; always 1. Entries the memory count does not hold give the empty
// form: no number, no texts, use "0", group "01", line group '0', display mode and templates 0.
int getSpeedDialEntry(int n, SpeedDialFields& f);
int getSpeedDialEntry(const PhonebookImage& image, int n, SpeedDialFields& f);
// As getSpeedDialEntry on baselineImage; a baseline entry whose use is "" or "0" is cleared
// there, the live entry's display mode and templates become 0, and the empty form is given.
int getBaselineSpeedDialEntry(int n, SpeedDialFields& f);
// As getSpeedDialEntry on referenceImage.
int getReferenceSpeedDialEntry(int n, SpeedDialFields& f);

// ---- extension directory ----------------------------------------------------------------

// Directory 0 of `image` (385 slots) at the place the current memoryMode keeps it.
ExtensionEntry* extensionDirectory(PhonebookImage& image);
const ExtensionEntry* extensionDirectory(const PhonebookImage& image);
// Directory 0 of the live image.
ExtensionEntry* liveExtensionDirectory();

// Stores the entry of `position` in directory d (only 0 exists). Returns 1 when stored, 0 when
// the directory or position is rejected (nothing changes). f is altered as the speed-dial name
// and reading are; the extension number ends at its first blank or comma.
int setExtensionEntry(int d, int position, ExtensionFields& f);
// The entry of `position` in directory d; always 1. A rejected position gives an empty f.
int getExtensionEntry(int d, int position, ExtensionFields& f);

// ---- template messages ------------------------------------------------------------------

// Stores item 0-999 (returns 0 above, nothing changes). text: up to its first NUL, at most 20
// bytes are stored. mode 1 replaces this item only; any other mode, for an item 1, 51, ... 951,
// first clears the page of 50 items it starts (as far as item 999).
int setTemplateMessage(int item, std::string_view text, int mode);
// The text of item 0-999 into out[21], every double quote a blank; 0 (and "") for other items.
int getTemplateMessage(int item, char out[21]);
// All 1000 items empty.
void clearTemplateMessages();

// ---- work lines -------------------------------------------------------------------------

// Blanks all 10000 lines, then renders entries first..9999 into lines first..9999 (columns
// 0-3 entry number, 4-27 number, 28-47 name, 49-68 reading, 70-72 use, 74-75 group, 77 line
// group; with sysTanfMode also 78 display mode, 79-81 and 82-84 the templates).
void fillSpeedDialLines(int first);
// Blanks all 10000 lines, then renders the extension directory from position `first` upward,
// one line per position in file order (columns 0-2 position, 3-6 extension number, 8-19 name,
// 21-30 reading). Returns the number of lines rendered: 317 from position 101.
int fillExtensionLines(int first);
// The positions of the extension file, in order (317 of them from 101).
const int* extensionLinePositions();

// ---- the image as a whole ---------------------------------------------------------------

// The live image copied into baselineImage and referenceImage.
void snapshotPhonebook();
// baselineImage copied over the live image.
void restorePhonebook();
// The phonebook part of the start-up initialisation: memory count 1, the user-information
// fields blank, the extension directories cleared and the built-in entries 700-846 placed in
// all three images, the extension numbers of the terminal positions set to their positions in
// the live and baseline images.
void initPhonebookDefaults();
// Zeroes the three images, the templates and the private lists (all slots -1, counts 0) with
// their counter, blanks the work lines and the user-information fields. Called before
// initPhonebookDefaults by the start-up initialisation. Parts of the images that nothing has
// touched since the last reset (at process start: all of them but the live speed-dial table)
// cost next to nothing to clear and take no memory until they are used.
void resetPhonebookTables();
