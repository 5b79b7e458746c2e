#include "web/form_parser.h"

#include <climits>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "base/ascii_text.h"
#include "base/sjis.h"
#include "data/phonebook_tables.h"
#include "data/process_state.h"
#include "data/restriction_table.h"
#include "web/post_checks.h"

namespace {

// The decoder shared by both value kinds. `limited` adds the stop characters "," "<" ">" TAB
// and the 20-piece limit at a "%".
std::size_t decode(const char* src, char* dst, std::size_t dstSize, bool limited, const char** end) {
  std::size_t stored = 0;
  auto put = [&](char c) {
    if (stored + 1 < dstSize) dst[stored++] = c;
  };
  int pieces = 0;
  bool inRun = false;
  const char* p = src;
  for (;;) {
    const char c = *p;
    if (c == '%') {
      if (limited && pieces >= 20) break;
      const int hi = hexDigitValue(p[1]);
      const int lo = hi < 0 ? -1 : hexDigitValue(p[2]);
      if (hi >= 0 && lo >= 0) {
        put(static_cast<char>(hi * 16 + lo));
        p += 3;
        ++pieces;
        inRun = false;
        continue;
      }
      // Not an escape: the "%" is an ordinary character.
    } else if (c == '+') {
      put(' ');
      ++p;
      ++pieces;
      inRun = false;
      continue;
    } else if (c == '\0' || c == '&' || c == '=' || c == '\r' || c == '\n' ||
               (limited && (c == ',' || c == '<' || c == '>' || c == '\t'))) {
      break;
    }
    if (!inRun) {
      ++pieces;
      inRun = true;
    }
    put(c);
    ++p;
  }
  if (dstSize > 0) dst[stored] = '\0';
  if (end != nullptr) *end = p;
  return stored;
}

// A decimal number as scanf's "%Nd" reads it from [p, end): leading white space skipped, then a
// sign and digits, `width` characters at most. False when no digit was read. *next receives the
// position after the number.
bool scanNumber(const char* p, const char* end, int width, int& value, const char** next = nullptr) {
  while (p < end && (*p == ' ' || (*p >= '\t' && *p <= '\r'))) ++p;
  int used = 0;
  bool negative = false;
  if (p < end && (*p == '-' || *p == '+') && used < width) {
    negative = *p == '-';
    ++p;
    ++used;
  }
  long long v = 0;
  int digits = 0;
  while (p < end && used < width && *p >= '0' && *p <= '9') {
    v = v * 10 + (*p - '0');
    ++p;
    ++used;
    ++digits;
  }
  if (digits == 0) return false;
  value = static_cast<int>(negative ? -v : v);
  if (next != nullptr) *next = p;
  return true;
}

// The number of a field name at `offset` ("%0Nd"), 0 when it cannot be read.
int nameNumber(std::string_view name, std::size_t offset, int width) {
  int value = 0;
  if (offset >= name.size()) return 0;
  scanNumber(name.data() + offset, name.data() + name.size(), width, value);
  return value;
}

// The first number of "%03d_%03d" at `offset`.
int namePosition(std::string_view name, std::size_t offset) { return nameNumber(name, offset, 3); }

// atoi of a decoded value, held within the range of int.
int valueNumber(const char* text) {
  const char* p = text;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  bool negative = false;
  if (*p == '-' || *p == '+') negative = *p++ == '-';
  long long v = 0;
  while (*p >= '0' && *p <= '9') {
    if (v < INT_MAX) v = v * 10 + (*p - '0');
    ++p;
  }
  if (v > INT_MAX) v = INT_MAX;
  return static_cast<int>(negative ? -v : v);
}

// Copies `len` decoded bytes into a field of `room` bytes, cut to `limit` bytes on a character
// boundary when longer.
void copyCut(char* field, const char* text, std::size_t len, std::size_t limit) {
  const std::size_t n = len <= limit ? len : sjisCutLength(text, limit);
  std::memcpy(field, text, n);
}

// One field of the body: its name [name, name+nameLen) and the value after "=".
struct Field {
  const char* name;
  std::size_t nameLen;
  const char* value;
};

class BodyWalker {
 public:
  explicit BodyWalker(const char* body) : m_pos(body), m_end(body + std::strlen(body)) {}

  bool atEnd() const { return m_pos >= m_end; }
  const char* pos() const { return m_pos; }
  void setPos(const char* p) { m_pos = p; }

  // The field at the current position (after stepping over one "&"); false when no "=" is left.
  bool current(Field& f) {
    const char* eq = nextEquals(m_pos);
    if (eq == nullptr) return false;
    if (*m_pos == '&') ++m_pos;
    if (eq < m_pos) eq = nextEquals(m_pos);
    if (eq == nullptr) return false;
    f = {m_pos, static_cast<std::size_t>(eq - m_pos), eq + 1};
    return true;
  }

  // Continues after the next "&" at or after `from`; at the end when there is none.
  void skipPast(const char* from) {
    const char* amp = static_cast<const char*>(std::memchr(from, '&', m_end - from));
    m_pos = amp == nullptr ? m_end : amp + 1;
  }

 private:
  // The next "=" at or after p. The position found is kept, so the walk stays linear however
  // far apart the "=" are.
  const char* nextEquals(const char* p) {
    if (m_equals != nullptr && m_equals >= p) return m_equals;
    if (m_noMoreEquals && m_searchedFrom <= p) return nullptr;
    m_equals = static_cast<const char*>(std::memchr(p, '=', m_end - p));
    if (m_equals == nullptr) {
      m_noMoreEquals = true;
      m_searchedFrom = p;
    }
    return m_equals;
  }

  const char* m_pos;
  const char* m_end;
  const char* m_equals = nullptr;
  bool m_noMoreEquals = false;
  const char* m_searchedFrom = nullptr;
};

// The values of one record: fields whose names are `key` and one sub-field digit, following one
// another from the current field. Leaves the walker after the record.
struct RecordValues {
  const char* values[10] = {};
  bool any = false;
};

RecordValues readRecord(BodyWalker& walker, std::string_view key, int subFields) {
  RecordValues r;
  Field f;
  while (!walker.atEnd() && walker.current(f)) {
    if (f.nameLen != key.size() + 1 || std::string_view(f.name, key.size()) != key) break;
    const char digit = f.name[key.size()];
    const int sub = digit - '0';
    if (sub >= 1 && sub <= subFields && r.values[sub] == nullptr) {
      r.values[sub] = f.value;
      r.any = true;
    }
    walker.skipPast(f.value);
  }
  return r;
}

constexpr std::size_t kValueBuffer = 256;

void storeSpeedDialRecord(int n, const RecordValues& r) {
  SpeedDialFields rec;
  std::memset(&rec, 0, sizeof rec);
  char text[kValueBuffer];
  auto value = [&](int sub, bool limited) -> std::size_t {
    text[0] = '\0';
    if (r.values[sub] == nullptr) return 0;
    return limited ? DecodeLimitedValue(r.values[sub], text, sizeof text)
                   : DecodeValue(r.values[sub], text, sizeof text);
  };
  std::size_t len = value(1, false);
  std::memcpy(rec.number, text, len < sizeof rec.number ? len : sizeof rec.number);
  len = value(2, true);
  copyCut(rec.name, text, len, 20);
  len = value(3, false);
  copyCut(rec.reading, text, len, 20);
  len = value(4, false);
  std::memcpy(rec.use, text, len < sizeof rec.use ? len : sizeof rec.use);
  len = value(5, false);
  std::memcpy(rec.speedDialGroup, text, len < sizeof rec.speedDialGroup ? len : sizeof rec.speedDialGroup);
  value(6, false);
  rec.lineGroup = static_cast<std::uint8_t>(valueNumber(text));
  value(7, false);
  rec.displayMode = static_cast<std::uint8_t>(valueNumber(text));
  value(8, false);
  rec.template1 = static_cast<std::uint16_t>(valueNumber(text));
  value(9, false);
  rec.template2 = static_cast<std::uint16_t>(valueNumber(text));
  if (duplicateCheck == 1) {
    setCheckedSpeedDialEntry(n, rec, 0);
  } else {
    setSpeedDialEntry(n, rec);
  }
}

// Stores an extension record into the live directory, and the stored slot into the baseline and
// reference images as well, so the restore that follows the post keeps it.
void storeExtensionRecord(int position, ExtensionFields& rec) {
  if (setExtensionEntry(0, position, rec) != 1) return;
  const int slot = extensionSlot(position);
  if (slot < 0) return;
  const ExtensionEntry stored = loadExtensionSlot(phonebookImage, slot);
  storeExtensionSlot(baselineImage, slot, stored);
  storeExtensionSlot(referenceImage, slot, stored);
}

// An extension name of the "m" and "s" families (sub-field 2 name, 3 reading; 10 bytes each).
void storeExtensionNameRecord(int position, const RecordValues& r) {
  ExtensionFields rec;
  std::memset(&rec, 0, sizeof rec);
  const int slot = positionToSlot(position);
  if (slot >= 0 && slot < kExtensionSlots) {
    std::memcpy(rec.extensionNumber, loadExtensionSlot(phonebookImage, slot).extensionNumber, 4);
  }
  char text[kValueBuffer];
  if (r.values[2] != nullptr) copyCut(rec.name, text, DecodeLimitedValue(r.values[2], text, sizeof text), 10);
  if (r.values[3] != nullptr) copyCut(rec.reading, text, DecodeLimitedValue(r.values[3], text, sizeof text), 10);
  storeExtensionRecord(position, rec);
}

// An extension name of the "t" family: only the name is posted (20 bytes); the stored number
// and reading are kept.
void storeTerminalNameRecord(int position, const RecordValues& r) {
  const int slot = extensionSlot(position);
  if (slot < 0) return;
  ExtensionFields rec;
  std::memset(&rec, 0, sizeof rec);
  const ExtensionEntry current = loadExtensionSlot(phonebookImage, slot);
  std::memcpy(rec.extensionNumber, current.extensionNumber, sizeof rec.extensionNumber);
  std::memcpy(rec.reading, current.reading, sizeof rec.reading);
  char text[kValueBuffer];
  if (r.values[2] != nullptr) copyCut(rec.name, text, DecodeLimitedValue(r.values[2], text, sizeof text), 20);
  storeExtensionRecord(position, rec);
}

void storeRestrictionValue(int k, const char* value) {
  RestrictionEntry e;
  std::memset(&e, 0, sizeof e);
  char text[kValueBuffer];
  const std::size_t len = DecodeValue(value, text, sizeof text);
  copyCut(e.number, text, len, kRestrictionNumberLength);
  storeRestrictionEntry(k, e, RestrictionStoreMode::FormPost);
}

void storeTemplateValue(int item, const char* value) {
  char buffer[23] = {};
  char text[kValueBuffer];
  const std::size_t len = DecodeValue(value, text, sizeof text);
  copyCut(buffer, text, len, 20);
  setTemplateMessage(item, std::string_view(buffer, strnlen(buffer, sizeof buffer)), 0);
}

// The character at i of the name, or 0 when the name is shorter.
char nameAt(const Field& f, std::size_t i) { return i < f.nameLen ? f.name[i] : '\0'; }

}  // namespace

std::size_t DecodeValue(const char* src, char* dst, std::size_t dstSize, const char** end) {
  return decode(src, dst, dstSize, false, end);
}

std::size_t DecodeLimitedValue(const char* src, char* dst, std::size_t dstSize, const char** end) {
  return decode(src, dst, dstSize, true, end);
}

int ParseFormBody(const char* body) {
  clearDuplicateFindings();
  restrictionErrors.count = 0;
  if (body == nullptr) return 0;
  BodyWalker walker(body);
  int visited = 0;
  Field f;
  while (!walker.atEnd() && walker.current(f)) {
    ++visited;
    const std::string_view name(f.name, f.nameLen);
    const char first = nameAt(f, 0);
    const char member = nameAt(f, 3);
    if ((first == 'm' || first == 's') && member != '\0' && f.nameLen >= 2) {
      if (member == '8') {
        storeRestrictionValue(nameNumber(name, 5, 4), f.value);
        walker.skipPast(f.value);
      } else if (member == '6') {
        storeTemplateValue(nameNumber(name, 5, 3), f.value);
        walker.skipPast(f.value);
      } else {
        const bool speedDial = member == '0';
        const std::string_view key = name.substr(0, name.size() - 1);
        const int number = speedDial ? nameNumber(name, 5, 4) : namePosition(name, 5);
        const RecordValues r = readRecord(walker, key, speedDial ? 9 : 3);
        // readRecord has moved past the record; a record without any sub-field stores nothing.
        if (r.any && speedDial) {
          storeSpeedDialRecord(number, r);
        } else if (r.any) {
          storeExtensionNameRecord(number, r);
        }
      }
    } else if (first == 't' && f.nameLen >= 2) {
      const std::string_view key = name.substr(0, name.size() - 1);
      const int position = namePosition(name, 1);
      const RecordValues r = readRecord(walker, key, 3);
      if (r.any) storeTerminalNameRecord(position, r);
    } else {
      // "i92"/"i14" are taken without effect; "h" (engine programming data) and every other
      // family are skipped.
      walker.skipPast(f.name);
    }
  }
  return visited;
}
