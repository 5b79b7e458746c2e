#include "data/work_lines.h"

#include <cstring>

#include "base/fixed_field.h"
#include "data/extension_directory.h"
#include "data/speed_dial.h"
#include "data/table_text.h"

WorkLineBuffer workLines;

namespace {

// Copies a text field into a line up to and including its first NUL, at most `width` bytes.
void putLineText(char* line, int column, const char* field, std::size_t width) {
  const std::size_t n = fixedFieldText(field, width).size();
  std::memcpy(line + column, field, n < width ? n + 1 : width);
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
void renderSpeedDialLine(char* line, int n, const SpeedDialEntry* e, SpeedDialForm form) {
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
  if (form == SpeedDialForm::TenColumns) {
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

// ---- work lines ---------------------------------------------------------------------------

void fillSpeedDialLines(int first, SpeedDialForm form) {
  if (first < 0) first = 0;
  if (first > kWorkLines) first = kWorkLines;
  std::memset(workLines.lines, ' ', static_cast<std::size_t>(first) * kWorkLineWidth);
  // Each line is blanked just before it is rendered, while it is in the cache.
  const int capacity = speedDialCapacity();
  for (int n = first; n < kSpeedDialEntries; ++n) {
    char* line = workLines.lines[n];
    std::memset(line, ' ', kWorkLineWidth);
    renderSpeedDialLine(line, n, n < capacity ? &phonebookImage.speedDial[n] : nullptr, form);
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
