#include "data/extension_directory.h"

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/cp932.h"
#include "base/fixed_field.h"
#include "data/process_state.h"
#include "data/system_data.h"
#include "data/table_text.h"

namespace {

// The slot of `position` in the live directory 0, or -1 for a rejected directory or position.
int liveSlotOf(int d, int position) { return d != 0 ? -1 : extensionSlot(position); }

unsigned char* slotBytes(PhonebookImage& image, int slot) {
  return reinterpret_cast<unsigned char*>(&image) + extensionDirectoryOffset() +
         static_cast<std::size_t>(slot) * sizeof(ExtensionEntry);
}

}  // namespace

// ---- extension directory ------------------------------------------------------------------

std::size_t extensionDirectoryOffset() {
  return isMemoryCount990() ? kMode2DirectoryEntry * sizeof(SpeedDialEntry)
                            : offsetof(PhonebookImage, directories);
}

ExtensionEntry loadExtensionSlot(const PhonebookImage& image, int slot) {
  ExtensionEntry e;
  std::memcpy(&e, slotBytes(const_cast<PhonebookImage&>(image), slot), sizeof e);
  return e;
}

void storeExtensionSlot(PhonebookImage& image, int slot, const ExtensionEntry& e) {
  std::memcpy(slotBytes(image, slot), &e, sizeof e);
}

int setExtensionEntry(int d, int position, ExtensionFields& f) {
  const int slot = liveSlotOf(d, position);
  if (slot < 0) return 0;
  const ExtensionEntry saved = loadExtensionSlot(phonebookImage, slot);
  ExtensionEntry e = saved;
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
  storeExtensionSlot(phonebookImage, slot, e);
  return 1;
}

int getExtensionEntry(int d, int position, ExtensionFields& f) {
  std::memset(&f, 0, sizeof f);
  const int slot = liveSlotOf(d, position);
  if (slot < 0) return 1;
  const ExtensionEntry e = loadExtensionSlot(phonebookImage, slot);
  for (int i = 0; i < 4; ++i) {
    const char c = e.extensionNumber[i];
    if (c == '\0' || c == 'c') break;
    f.extensionNumber[i] = c;
  }
  copyFixedFieldFrom(f.name, e.name, 10);
  copyFixedFieldFrom(f.reading, e.reading, 10);
  return 1;
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

void placeBuiltInExtensions(PhonebookImage& image) {
  for (const BuiltInExtension& b : builtInExtensions()) {
    ExtensionEntry e{};
    if (b.numbered) {
      putDigits(e.extensionNumber, 0, 3, static_cast<unsigned>(b.position));
    }
    copyFixedField(e.name, 10, b.name);
    copyFixedField(e.reading, 10, b.reading);
    storeExtensionSlot(image, extensionSlot(b.position), e);
  }
}

void numberTerminalPositions(PhonebookImage& image) {
  for (int position = 101; position <= 456; ++position) {
    if (!isExtensionPosition(position)) continue;
    const int slot = extensionSlot(position);
    ExtensionEntry e = loadExtensionSlot(image, slot);
    std::memset(e.extensionNumber, 0, sizeof e.extensionNumber);
    putDigits(e.extensionNumber, 0, 3, static_cast<unsigned>(position));
    storeExtensionSlot(image, slot, e);
  }
}

}  // namespace

void initExtensionDirectories() {
  for (PhonebookImage* image : {&phonebookImage, &baselineImage, &referenceImage}) {
    zeroTableStorage(image->directories, sizeof image->directories);
    placeBuiltInExtensions(*image);
  }
  numberTerminalPositions(phonebookImage);
  numberTerminalPositions(baselineImage);
}
