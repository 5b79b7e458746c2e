#include "data/exchange_files.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/atomic_file.h"
#include "base/platform.h"
#include "base/sjis.h"
#include "data/load_report.h"
#include "data/phonebook_tables.h"
#include "data/process_state.h"
#include "data/user_info.h"

namespace {

// ---- small text helpers -------------------------------------------------------------------

constexpr bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool startsWithDigit(std::string_view s) { return !s.empty() && isDigit(s.front()); }

constexpr bool isDialCharacter(char c) {
  return isDigit(c) || c == '*' || c == '#' || c == 'P' || c == '-' || c == 'M';
}

// Value of the leading decimal digits of `s`, looking at no more than maxDigits characters.
// digits receives how many there were.
int leadingNumber(std::string_view s, std::size_t maxDigits, int* digits = nullptr) {
  int value = 0;
  int count = 0;
  for (std::size_t i = 0; i < s.size() && i < maxDigits && isDigit(s[i]); ++i, ++count)
    value = value * 10 + (s[i] - '0');
  if (digits) *digits = count;
  return value;
}

// ---- writing ------------------------------------------------------------------------------

// Copies the text of a field rendered into a work line, from `column` up to its first NUL and
// at most `width` bytes, to `out`; returns the end of the copy.
char* putLineField(char* out, const char* line, int column, int width) {
  const char* field = line + column;
  for (int i = 0; i < width && field[i] != '\0'; ++i) *out++ = field[i];
  return out;
}

char* putBytes(char* out, const char* bytes, std::size_t n) {
  std::memcpy(out, bytes, n);
  return out + n;
}

// Longest speed-dial row: 4 + 24 + 20 + 20 + 3 + 2 + 1 + 1 + 3 + 3 digits and text, 9 commas,
// CR LF.
constexpr std::size_t kSpeedDialRowMax = 92;
constexpr std::size_t kExtensionRowMax = 3 + 4 + 12 + 10 + 3 + 2;
constexpr std::size_t kTemplateRowMax = 4 + 20 + 2;

void appendSpeedDialRows(std::string& out, SpeedDialForm form) {
  fillSpeedDialLines(0, form);
  const bool tenColumns = form == SpeedDialForm::TenColumns;
  out.append(tenColumns ? kSpeedDial10Header : kSpeedDial7Header);
  out.append("\r\n");
  char row[kSpeedDialRowMax + 8];
  for (int n = 0; n < kSpeedDialRows; ++n) {
    const char* line = workLines.lines[n];
    char* p = putBytes(row, line, 4);
    *p++ = ',';
    p = putLineField(p, line, 4, 24);
    *p++ = ',';
    p = putLineField(p, line, 28, 20);
    *p++ = ',';
    p = putLineField(p, line, 49, 20);
    *p++ = ',';
    p = putLineField(p, line, 70, 3);
    *p++ = ',';
    p = putLineField(p, line, 74, 2);
    *p++ = ',';
    *p++ = line[77];
    if (tenColumns) {
      *p++ = ',';
      *p++ = line[78];
      *p++ = ',';
      p = putBytes(p, line + 79, 3);
      *p++ = ',';
      p = putBytes(p, line + 82, 3);
    }
    *p++ = '\r';
    *p++ = '\n';
    out.append(row, static_cast<std::size_t>(p - row));
  }
}

void appendExtensionRows(std::string& out) {
  const int lines = fillExtensionLines(101);
  out.append(kExtensionHeader);
  out.append("\r\n");
  char row[kExtensionRowMax + 8];
  for (int i = 0; i < lines; ++i) {
    const char* line = workLines.lines[i];
    char* p = putBytes(row, line, 3);
    *p++ = ',';
    p = putLineField(p, line, 3, 4);
    *p++ = ',';
    p = putLineField(p, line, 8, 12);
    *p++ = ',';
    p = putLineField(p, line, 21, 10);
    *p++ = '\r';
    *p++ = '\n';
    out.append(row, static_cast<std::size_t>(p - row));
  }
}

void appendTemplateRows(std::string& out) {
  out.append(kTemplateHeader);
  out.append("\r\n");
  char text[21];
  char row[kTemplateRowMax + 8];
  for (int i = kTemplateFirstItem; i <= kTemplateLastItem; ++i) {
    getTemplateMessage(i, text);
    char* p = row;
    *p++ = static_cast<char>('0' + i / 100);
    *p++ = static_cast<char>('0' + i / 10 % 10);
    *p++ = static_cast<char>('0' + i % 10);
    *p++ = ',';
    p = putBytes(p, text, strnlen(text, 20));
    *p++ = '\r';
    *p++ = '\n';
    out.append(row, static_cast<std::size_t>(p - row));
  }
}

// ---- reading ------------------------------------------------------------------------------

// Walks the rows of a body: the first line up to CR LF is the column header, every following
// row ends at CR LF (a last row may end with the data). Rows are views into the body.
class RowCursor {
 public:
  explicit RowCursor(std::string_view body) : m_body(body) {}

  // The header line; false when the body has no CR LF at all (then there are no rows).
  bool header(std::string_view& line) {
    std::size_t end = m_body.find("\r\n");
    if (end == std::string_view::npos) {
      line = m_body;
      m_pos = m_body.size();
      return false;
    }
    line = m_body.substr(0, end);
    m_pos = end + 2;
    return true;
  }

  bool next(std::string_view& row) {
    if (m_pos >= m_body.size()) return false;
    std::size_t end = m_body.find("\r\n", m_pos);
    if (end == std::string_view::npos) end = m_body.size();
    row = m_body.substr(m_pos, end - m_pos);
    m_pos = end == m_body.size() ? end : end + 2;
    // A row is looked at through a buffer of kRowBufferBytes: longer rows are cut.
    if (row.size() > kRowBufferBytes - 1) row = row.substr(0, kRowBufferBytes - 1);
    return true;
  }

 private:
  std::string_view m_body;
  std::size_t m_pos = 0;
};

constexpr int kMaxFields = 16;

// The comma-separated fields of a row: the first kMaxFields views, and how many there are.
struct RowFields {
  std::string_view field[kMaxFields];
  int count = 0;
  int commas = 0;

  std::string_view operator[](int i) const { return i < count && i < kMaxFields ? field[i] : ""; }
};

// Ends the field before the comma at `comma`.
inline void takeField(RowFields& out, const char* text, std::size_t& start, std::size_t comma) {
  if (out.count < kMaxFields) out.field[out.count] = std::string_view(text + start, comma - start);
  ++out.count;
  ++out.commas;
  start = comma + 1;
}

void splitRow(std::string_view row, RowFields& out) {
  out.count = 0;
  out.commas = 0;
  const char* text = row.data();
  const std::size_t size = row.size();
  std::size_t start = 0;
  std::size_t i = 0;
#if defined(__SSE2__)
  // Sixteen bytes at a time: a bit for every comma among them.
  const __m128i commas = _mm_set1_epi8(',');
  for (; i + 16 <= size; i += 16) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
    unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, commas)));
    while (mask != 0) {
      takeField(out, text, start, i + static_cast<std::size_t>(__builtin_ctz(mask)));
      mask &= mask - 1;
    }
  }
#endif
  for (; i < size; ++i) {
    if (text[i] == ',') takeField(out, text, start, i);
  }
  if (out.count < kMaxFields) out.field[out.count] = row.substr(start);
  ++out.count;
}

// What the readers do with each byte of a field: drop it, keep it, or put a blank in its place.
enum class ByteRule : unsigned char { Drop, Keep, Blank };

struct ByteRules {
  ByteRule rule[256];
};

// Dial characters stay, every other byte is dropped.
constexpr ByteRules kDialRules = [] {
  ByteRules r{};
  for (int c = 0; c < 256; ++c) {
    r.rule[c] = isDialCharacter(static_cast<char>(c)) ? ByteRule::Keep : ByteRule::Drop;
  }
  return r;
}();

// Readings: double quote, '\', '<' and '>' become blanks, the other bytes 0x20-0xDF stay and all
// else is dropped.
constexpr ByteRules kReadingRules = [] {
  ByteRules r{};
  for (int c = 0; c < 256; ++c) {
    if (c == '"' || c == '\\' || c == '<' || c == '>') {
      r.rule[c] = ByteRule::Blank;
    } else {
      r.rule[c] = c >= 0x20 && c <= 0xDF ? ByteRule::Keep : ByteRule::Drop;
    }
  }
  return r;
}();

// Copies the bytes of `s` that `rules` keeps (a blank for those it blanks) into dst, at most
// maxBytes of them.
void copyByRules(std::string_view s, char* dst, std::size_t maxBytes, const ByteRules& rules) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < s.size() && n < maxBytes; ++i) {
    const char c = s[i];
    const ByteRule rule = rules.rule[static_cast<unsigned char>(c)];
    if (rule == ByteRule::Drop) continue;
    dst[n++] = rule == ByteRule::Keep ? c : ' ';
  }
}

// Copies the dial characters of `s` into dst (at most maxChars), dropping every other byte.
void copyDialCharacters(std::string_view s, char* dst, std::size_t maxChars) {
  copyByRules(s, dst, maxChars, kDialRules);
}

// A reading as the files carry it, at most maxBytes of it.
void copyReading(std::string_view s, char* dst, std::size_t maxBytes) {
  copyByRules(s, dst, maxBytes, kReadingRules);
}

// Copies at most maxBytes of `s` without splitting a double-byte character.
void copyCut(std::string_view s, char* dst, std::size_t maxBytes) {
  std::size_t n = s.size();
  if (n >= maxBytes) n = sjisCutLength(s.data(), maxBytes);
  std::memcpy(dst, s.data(), n);
}

// The use of a row with a number: 1-8 and the extension positions stay, everything else
// (0, 9-100, any other value, a text that is not a number) becomes "1".
void normaliseUse(char use[4]) {
  const std::size_t len = strnlen(use, 3);
  int value = 0;
  if (len == 3 && isDigit(use[0]) && isDigit(use[1]) && isDigit(use[2])) {
    value = (use[0] - '0') * 100 + (use[1] - '0') * 10 + (use[2] - '0');
  } else if (len == 1 && isDigit(use[0])) {
    value = use[0] - '0';
  }
  if ((value >= 1 && value <= 8) || isExtensionPosition(value)) return;
  std::memset(use, 0, 4);
  use[0] = '1';
}

int digitValue(char c) { return isDigit(c) ? c - '0' : 0; }

std::uint16_t templateNumber(std::string_view field, bool fromMainUnit) {
  int value = leadingNumber(field, fromMainUnit ? 5 : 3);
  return static_cast<std::uint16_t>(std::min(value, 65535));
}

// The line group of a 7-field row from the main unit: the row's last character, ignoring one
// trailing comma.
char lastCharacterOfRow(std::string_view row) {
  if (!row.empty() && row.back() == ',') row.remove_suffix(1);
  return row.empty() ? '\0' : row.back();
}

// True when `header` is the column header of a kind of data other than `kind`.
bool isOtherKindsHeader(std::string_view header, ExchangeKind kind) {
  const bool speedDial = header.ends_with(kSpeedDial10Header) || header.ends_with(kSpeedDial7Header);
  const bool extensions = header.ends_with(kExtensionHeader);
  const bool templates = header.ends_with(kTemplateHeader);
  const bool other = header.ends_with(kRestrictionHeader) || header.ends_with(kInternalHistoryHeader) ||
                     header.ends_with(kExternalHistoryHeader);
  if (kind == ExchangeKind::SpeedDial) return extensions || templates || other;
  if (kind == ExchangeKind::Extensions) return speedDial || templates || other;
  return speedDial || extensions || other;
}

// The header line of a body, or false (and nothing to parse) when the body has none or carries
// another kind's header.
bool takeHeader(RowCursor& rows, ExchangeKind kind, ExchangeReadSummary& summary, std::string_view& header) {
  if (!rows.header(header)) return false;
  summary.otherKindsHeader = isOtherKindsHeader(header, kind);
  return !summary.otherKindsHeader;
}

// ---- load report --------------------------------------------------------------------------
//
// What a row's way into the tables changed, told to a LoadReport. These only compare what the
// row held with what the parser made of it and with what the table stored; they never change a
// field.

using LFK = LoadFindingKind;

// True when the row carries anything but blanks and commas, and is not a column header (in a
// downloaded template file an empty line comes before the column header, which the parser then
// meets as a row).
bool rowHoldsText(std::string_view row) {
  for (std::string_view header :
       {kSpeedDial10Header, kSpeedDial7Header, kExtensionHeader, kTemplateHeader}) {
    if (row.starts_with(header)) return false;
  }
  return row.find_first_not_of(", \t") != std::string_view::npos;
}

// True when a row's number, name or reading field (fields 1-3) is not empty.
bool rowHoldsEntry(const RowFields& fields) {
  return !fields[1].empty() || !fields[2].empty() || !fields[3].empty();
}

// How many bytes of `s` the rules keep or blank, and whether any byte was not kept as it is.
struct RuleCount {
  std::size_t taken = 0;
  bool changed = false;
};

RuleCount countByRules(std::string_view s, const ByteRules& rules) {
  RuleCount c;
  for (char ch : s) {
    const ByteRule rule = rules.rule[static_cast<unsigned char>(ch)];
    if (rule != ByteRule::Drop) ++c.taken;
    if (rule != ByteRule::Keep) c.changed = true;
  }
  return c;
}

bool sameText(const char* a, const char* b, std::size_t width) {
  return std::strncmp(a, b, width) == 0;
}

bool allDigits(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return isDigit(c); });
}

// A number field: characters dropped, and a number longer than `width` cut.
void reportNumber(LoadReport& r, int line, int entry, const char* column, std::string_view raw,
                  std::size_t width) {
  const RuleCount c = countByRules(raw, kDialRules);
  if (c.changed)
    r.add(line, entry, column, LFK::NumberCharacters, "番号に使えない文字を除きました", raw);
  if (c.taken > width) {
    r.add(line, entry, column, LFK::TextShortened,
          std::string(column) + "を" + std::to_string(width) + "文字までにしました", raw);
  }
}

// A text field cut to `width` bytes, and forbidden characters the setter blanked: `supplied` is
// what went to the setter, `stored` what it kept.
void reportText(LoadReport& r, int line, int entry, const char* column, std::string_view raw,
                std::size_t width, const char* supplied, const char* stored) {
  if (raw.size() > width) {
    r.add(line, entry, column, LFK::TextShortened,
          std::string(column) + "を" + std::to_string(width) + "バイトまでにしました", raw);
  }
  if (!sameText(supplied, stored, width)) {
    r.add(line, entry, column, LFK::ForbiddenCharacters, "使えない文字を空白にしました", raw);
  }
}

// A reading: characters the file rules blank or drop, a reading longer than `width`, and a
// reading the setter refused (`supplied` differs from `kept`: the previous reading stayed).
void reportReading(LoadReport& r, int line, int entry, std::string_view raw, std::size_t width,
                   const char* supplied, const char* kept) {
  constexpr const char* kColumn = "ヨミガナ";
  const RuleCount c = countByRules(raw, kReadingRules);
  if (c.changed) {
    r.add(line, entry, kColumn, LFK::ForbiddenCharacters, "使えない文字を空白にするか除きました",
          raw);
  }
  if (c.taken > width) {
    r.add(line, entry, kColumn, LFK::TextShortened,
          "ヨミガナを" + std::to_string(width) + "バイトまでにしました", raw);
  }
  if (!sameText(supplied, kept, 20)) {
    r.add(line, entry, kColumn, LFK::ReadingKept,
          "半角でない文字があるため、登録済みのヨミガナのままにしました", raw);
  }
}

struct SpeedDialRowSeen {
  int line;
  int entry;
  const RowFields& fields;
  const SpeedDialFields& parsed;    // what the parser made of the row, before the setter
  const SpeedDialFields& supplied;  // the fields after the setter ran over them
  const char* useBeforeNormalising;
  bool fromMainUnit;
  bool tenColumns;
  bool lineGroupFromField;  // false: the line group is the row's last character
};

void reportSpeedDialRow(LoadReport& r, const SpeedDialRowSeen& s) {
  const SpeedDialEntry& e = phonebookImage.speedDial[s.entry];
  const RowFields& fields = s.fields;
  const int line = s.line;
  const int n = s.entry;
  const char* use = s.parsed.use;
  const bool privateUse = isUseNumeric(use) && isExtensionPosition(useValue(use));
  if (privateUse && !sameText(e.use, use, 3)) {
    r.add(line, n, "用途", LFK::PrivateListFull,
          "内線 " + std::to_string(useValue(use)) +
              " の個別短縮が30件に達しているため、この行を登録せず前の内容のままにしました",
          fields[4]);
    return;
  }
  reportNumber(r, line, n, "電話番号", fields[1], 24);
  if (!s.fromMainUnit) {
    reportText(r, line, n, "名前", fields[2], 20, s.parsed.name, s.supplied.name);
  } else if (!sameText(s.parsed.name, s.supplied.name, 20)) {
    r.add(line, n, "名前", LFK::ForbiddenCharacters, "使えない文字を空白にしました", fields[2]);
  }
  reportReading(r, line, n, fields[3], 20, s.parsed.reading, s.supplied.reading);
  // An entry without number, name and reading is cleared: its other fields do not matter.
  if (s.parsed.number[0] == '\0' && s.parsed.name[0] == '\0' && s.parsed.reading[0] == '\0') return;

  const std::string_view rawUse = fields[4];
  if (!sameText(e.use, use, 3)) {
    r.add(line, n, "用途", LFK::OutOfRange, "用途が範囲外のため登録しませんでした", rawUse);
  } else if (!sameText(s.useBeforeNormalising, use, 3)) {
    r.add(line, n, "用途", LFK::OutOfRange, "用途が範囲外のため 1 にしました", rawUse);
  } else if (rawUse.size() > 3) {
    r.add(line, n, "用途", LFK::TextShortened, "用途を3文字までにしました", rawUse);
  }
  const std::string_view group = fields[5];
  if (!group.empty()) {
    int digits = 0;
    const int value = leadingNumber(group, 9, &digits);
    if (digits == 0 || value < 1 || value > 30) {
      r.add(line, n, "短縮G", LFK::OutOfRange, "短縮Gが1～30の範囲外のため 01 にしました", group);
    }
  }
  const std::string_view lineGroup = fields[6];
  if (s.lineGroupFromField && !lineGroup.empty() &&
      (lineGroup.size() != 1 || !isDigit(lineGroup[0]) || lineGroup[0] > '6')) {
    r.add(line, n, "外線G", LFK::OutOfRange, "外線Gが0～6の範囲外のため 0 にしました", lineGroup);
  }
  if (!s.tenColumns || fields.count <= 7) return;
  const std::string_view mode = fields[7];
  if (!mode.empty() && (mode.size() != 1 || !isDigit(mode[0]))) {
    r.add(line, n, "表示モード", LFK::OutOfRange, "表示モードが範囲外のため 0 にしました", mode);
  } else if (s.parsed.displayMode > 3) {
    r.add(line, n, "表示モード", LFK::OutOfRange, "表示モードが0～3の範囲外です", mode);
  } else if (s.parsed.displayMode != 0 && e.displayMode == 0) {
    r.add(line, n, "表示モード", LFK::OutOfRange, "用途が1桁でないため表示モードを 0 にしました",
          mode);
  }
  const char* templateColumns[] = {"定型文1", "定型文2"};
  const std::uint16_t parsedTemplates[] = {s.parsed.template1, s.parsed.template2};
  const std::uint16_t storedTemplates[] = {e.template1, e.template2};
  for (int t = 0; t < 2; ++t) {
    const std::string_view raw = fields[8 + t];
    if (!s.fromMainUnit && (raw.size() > 3 || !allDigits(raw))) {
      r.add(line, n, templateColumns[t], LFK::OutOfRange, "定型文の番号が000～999の範囲外です",
            raw);
    } else if (parsedTemplates[t] != 0 && storedTemplates[t] == 0) {
      r.add(line, n, templateColumns[t], LFK::OutOfRange,
            "表示モードが3でないため定型文を登録しませんでした", raw);
    }
  }
}

// Why the rows after a certain row are not loaded.
enum class SpeedDialStop { None, FirstRowNotEntry0, LastEntryReached };

void reportRowNotLoaded(LoadReport& r, int line, std::string_view row, SpeedDialStop stop) {
  RowFields fields;
  splitRow(row, fields);
  if (!rowHoldsEntry(fields)) return;
  const int entry = leadingNumber(row, 4);
  if (stop == SpeedDialStop::FirstRowNotEntry0) {
    r.add(line, entry, "", LFK::RowSkipped,
          "最初の行が短縮番号0000でないため、ファイルの行を読み込みませんでした", row);
  } else {
    r.add(line, entry, "", LFK::BeyondMemoryCount,
          "メモリ数の最後の短縮番号より後の行のため読み込みませんでした", row);
  }
}

void parseSpeedDialBody(std::string_view body, const ExchangeRead& read,
                        ExchangeReadSummary& summary, int lineBase) {
  RowCursor rows(body);
  std::string_view header;
  if (!takeHeader(rows, ExchangeKind::SpeedDial, summary, header)) return;
  summary.headerRecognised = header.ends_with(kSpeedDial10Header) || header.ends_with(kSpeedDial7Header);
  LoadReport* const report = read.report;
  const bool fromMainUnit = read.source == RowSource::MainUnit;
  const bool tenColumns = read.form == SpeedDialForm::TenColumns;
  const int lastEntry = isMemoryCount990() ? kSpeedDialEntries990 - 1 : kSpeedDialEntries - 1;
  bool first = true;
  SpeedDialStop stop = SpeedDialStop::None;
  int line = lineBase + 1;
  // The line each entry was last stored from, for an entry that a later row stores again.
  std::vector<int> lineOfEntry(report ? kSpeedDialEntries : 0, 0);
  std::string_view row;
  RowFields fields;
  while (rows.next(row)) {
    ++line;
    if (startsWithDigit(row)) ++summary.keyedRows;
    if (stop != SpeedDialStop::None) {
      if (report) reportRowNotLoaded(*report, line, row, stop);
      continue;
    }
    if (first) {
      first = false;
      if (!(row.starts_with("0,") || row.starts_with("000"))) {
        stop = SpeedDialStop::FirstRowNotEntry0;
        if (report) reportRowNotLoaded(*report, line, row, stop);
        continue;
      }
    }
    int digits = 0;
    const int n = leadingNumber(row, 4, &digits);
    if (digits == 0) {
      if (report && rowHoldsText(row))
        report->add(line, -1, "", LFK::RowSkipped, "短縮番号がないため読み込みませんでした", row);
      continue;
    }
    splitRow(row, fields);
    if (fields.count >= 7) {
      SpeedDialFields f{};
      copyDialCharacters(fields[1], f.number, 24);
      if (fromMainUnit) {
        std::string_view name = fields[2].substr(0, 20);
        std::memcpy(f.name, name.data(), name.size());
      } else {
        copyCut(fields[2], f.name, 20);
      }
      copyReading(fields[3], f.reading, 20);
      std::string_view use = fields[4].substr(0, 3);
      std::memcpy(f.use, use.data(), use.size());
      int group = leadingNumber(fields[5], 9);
      if (group < 1 || group > 30) group = 1;
      f.speedDialGroup[0] = static_cast<char>('0' + group / 10);
      f.speedDialGroup[1] = static_cast<char>('0' + group % 10);
      const bool lineGroupFromField = !(fields.count == 7 && fromMainUnit);
      if (!lineGroupFromField) {
        f.lineGroup = static_cast<std::uint8_t>(digitValue(lastCharacterOfRow(row)));
      } else {
        f.lineGroup = static_cast<std::uint8_t>(digitValue(fields[6].empty() ? '\0' : fields[6][0]));
      }
      if (tenColumns && fields.count > 7) {
        f.displayMode = static_cast<std::uint8_t>(fields[7].size() == 1 ? digitValue(fields[7][0]) : 0);
        f.template1 = templateNumber(fields[8], fromMainUnit);
        f.template2 = templateNumber(fields[9], fromMainUnit);
      }
      char useBeforeNormalising[4];
      std::memcpy(useBeforeNormalising, f.use, sizeof f.use);
      if (f.number[0] != '\0') {
        normaliseUse(f.use);
      } else if (f.name[0] == '\0' && f.reading[0] == '\0') {
        std::memset(f.use, 0, sizeof f.use);
        std::memset(f.speedDialGroup, 0, sizeof f.speedDialGroup);
        f.lineGroup = 0;
        f.displayMode = 0;
        f.template1 = 0;
        f.template2 = 0;
      }
      if (!report) {
        summary.rowsStored += setSpeedDialEntry(n, f);
      } else {
        const SpeedDialFields parsed = f;
        const int stored = setSpeedDialEntry(n, f);
        summary.rowsStored += stored;
        if (stored == 0) {
          if (rowHoldsEntry(fields)) {
            report->add(line, n, "", LFK::BeyondMemoryCount,
                        "メモリ数を超える短縮番号のため読み込みませんでした", row);
          }
        } else {
          int& earlier = lineOfEntry[static_cast<std::size_t>(n)];
          if (earlier != 0) {
            report->add(earlier, n, "短縮番号", LFK::Duplicate,
                        "後の行に同じ短縮番号があるため、その行の内容になりました", fields[0]);
          }
          earlier = line;
          reportSpeedDialRow(*report, {line, n, fields, parsed, f, useBeforeNormalising,
                                       fromMainUnit, tenColumns, lineGroupFromField});
        }
      }
    } else if (report && rowHoldsEntry(fields)) {
      report->add(line, n, "", LFK::RowSkipped, "項目が7つに足りないため読み込みませんでした", row);
    }
    if (n >= lastEntry) stop = SpeedDialStop::LastEntryReached;
  }
}

void parseExtensionBody(std::string_view body, ExchangeReadSummary& summary, LoadReport* report,
                        int lineBase) {
  RowCursor rows(body);
  std::string_view header;
  if (!takeHeader(rows, ExchangeKind::Extensions, summary, header)) return;
  summary.headerRecognised = header.ends_with(kExtensionHeader);
  std::string_view row;
  RowFields fields;
  int line = lineBase + 1;
  for (int taken = 0; rows.next(row); ++taken) {
    ++line;
    if (startsWithDigit(row)) ++summary.keyedRows;
    if (taken >= kExtensionRowsMax) {
      if (report && rowHoldsText(row)) {
        report->add(line, leadingNumber(row, 9), "", LFK::RowSkipped,
                    "385行を超える行のため読み込みませんでした", row);
      }
      continue;
    }
    splitRow(row, fields);
    int digits = 0;
    const int position = leadingNumber(fields[0], 9, &digits);
    if (fields.count < 4 || digits == 0) {
      if (report && rowHoldsText(row)) {
        report->add(line, digits == 0 ? -1 : position, "", LFK::RowSkipped,
                    digits == 0 ? "収容位置がないため読み込みませんでした"
                                : "項目が4つに足りないため読み込みませんでした",
                    row);
      }
      continue;
    }
    ExtensionFields f{};
    copyDialCharacters(fields[1], f.extensionNumber, 24);
    copyCut(fields[2].substr(0, 12), f.name, 10);
    copyReading(fields[3], f.reading, 20);
    if (!report) {
      summary.rowsStored += setExtensionEntry(0, position, f);
      continue;
    }
    const ExtensionFields parsed = f;
    const int stored = setExtensionEntry(0, position, f);
    summary.rowsStored += stored;
    if (stored == 0) {
      report->add(line, position, "収容位置", LFK::RowSkipped,
                  "この収容位置はないため読み込みませんでした", fields[0]);
      continue;
    }
    reportNumber(*report, line, position, "内線番号", fields[1], 4);
    reportText(*report, line, position, "内線名称", fields[2], 10, parsed.name, f.name);
    reportReading(*report, line, position, fields[3], 10, parsed.reading, f.reading);
  }
}

void parseTemplateBody(std::string_view body, ExchangeReadSummary& summary, LoadReport* report,
                       int lineBase) {
  RowCursor rows(body);
  std::string_view header;
  if (!takeHeader(rows, ExchangeKind::Templates, summary, header)) return;
  summary.headerRecognised = header.ends_with(kTemplateHeader);
  std::string_view row;
  RowFields fields;
  int line = lineBase + 1;
  for (int taken = 0; rows.next(row); ++taken) {
    ++line;
    if (startsWithDigit(row)) ++summary.keyedRows;
    if (taken >= kTemplateRowsMax) {
      if (report && rowHoldsText(row)) {
        report->add(line, -1, "", LFK::RowSkipped, "1000行を超える行のため読み込みませんでした",
                    row);
      }
      continue;
    }
    splitRow(row, fields);
    int digits = 0;
    int item = 0;
    for (char c : fields[0]) {
      if (!isDigit(c)) continue;
      if (++digits <= 3) item = item * 10 + (c - '0');
    }
    const bool badItem = digits != 3 || item < kTemplateFirstItem || item > kTemplateLastItem;
    if (badItem || (fields.commas > 2 && item != kTemplateLastItem)) {
      if (report && rowHoldsText(row)) {
        report->add(line, badItem ? -1 : item, "", LFK::RowSkipped,
                    badItem ? "項番が001～999の3桁でないため読み込みませんでした"
                            : "項目が多すぎるため読み込みませんでした",
                    row);
      }
      continue;
    }
    char text[21] = {};
    copyCut(fields[1], text, 20);
    summary.rowsStored += setTemplateMessage(item, std::string_view(text, strnlen(text, 20)), 1);
    if (report) {
      reportText(*report, line, item, "付加情報定型文", fields[1], 20, text,
                 templateMessages[item].text);
    }
  }
}

// `lineBase`: the lines of the file before the body (the user-information line).
void parseBody(const ExchangeRead& read, std::string_view body, ExchangeReadSummary& found,
               int lineBase) {
  if (read.kind == ExchangeKind::SpeedDial) {
    parseSpeedDialBody(body, read, found, lineBase);
  } else if (read.kind == ExchangeKind::Extensions) {
    parseExtensionBody(body, found, read.report, lineBase);
  } else {
    parseTemplateBody(body, found, read.report, lineBase);
  }
}

}  // namespace

// ---- exchange files -----------------------------------------------------------------------

void appendExchangeFileText(ExchangeKind kind, SpeedDialForm form, std::string& out) {
  const std::size_t rows = kind == ExchangeKind::SpeedDial    ? kSpeedDialRows * kSpeedDialRowMax
                           : kind == ExchangeKind::Extensions ? kExtensionLineCount * kExtensionRowMax
                                                              : kTemplateLastItem * kTemplateRowMax;
  out.reserve(out.size() + kUserInfoBytes + 80 + rows);
  out.append(userInfoLine());
  if (kind == ExchangeKind::SpeedDial) {
    appendSpeedDialRows(out, form);
  } else if (kind == ExchangeKind::Extensions) {
    appendExtensionRows(out);
  } else {
    appendTemplateRows(out);
  }
}

OpResult writeExchangeFile(const std::string& path, ExchangeKind kind, SpeedDialForm form) {
  std::string body;
  appendExchangeFileText(kind, form, body);
  if (replaceFileAtomically(path, body)) return OpResult::done();
  const std::string directory = directoryOf(path);
  if (!directory.empty()) {
    std::error_code ec;
    std::filesystem::create_directories(directory, ec);
    if (replaceFileAtomically(path, body)) return OpResult::done();
  }
  return OpResult::failed(kExchangeCannotOpen);
}

OpResult readExchangeFile(const std::string& path, const ExchangeRead& read,
                          ExchangeReadSummary* summary) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return OpResult::failed(kExchangeCannotOpen);
  char head[kUserInfoBytes];
  const std::size_t headBytes = std::fread(head, 1, sizeof head, file);
  const bool userInfo = headBytes > 0 && head[0] == '2';
  if (userInfo) {
    takeUserInfoFields(std::string_view(head, headBytes));
  } else {
    std::fseek(file, 0, SEEK_SET);
  }
  // The body goes into the work lines; the lines it does not reach are blank.
  char* body = &workLines.lines[0][0];
  const std::size_t bodyBytes = std::fread(body, 1, sizeof workLines, file);
  std::fclose(file);
  std::memset(body + bodyBytes, ' ', sizeof workLines - bodyBytes);

  ExchangeReadSummary found;
  parseBody(read, std::string_view(body, bodyBytes), found, userInfo ? 1 : 0);
  if (summary) *summary = found;
  return OpResult::done();
}

void readExchangeText(const ExchangeRead& read, std::string_view bytes,
                      ExchangeReadSummary* summary) {
  const bool userInfo = !bytes.empty() && bytes.front() == '2';
  if (userInfo) {
    const std::size_t headBytes = std::min<std::size_t>(kUserInfoBytes, bytes.size());
    takeUserInfoFields(bytes.substr(0, headBytes));
    bytes.remove_prefix(headBytes);
  }
  ExchangeReadSummary found;
  parseBody(read, bytes.substr(0, std::min(bytes.size(), sizeof workLines)), found,
            userInfo ? 1 : 0);
  if (summary) *summary = found;
}

bool exchangeBodyRefused(const ExchangeReadSummary& summary) {
  if (summary.otherKindsHeader) return true;
  return summary.rowsStored == 0 && (!summary.headerRecognised || summary.keyedRows > 0);
}
