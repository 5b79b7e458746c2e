#include "data/exchange_files.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/atomic_file.h"
#include "base/platform.h"
#include "base/sjis.h"
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

void parseSpeedDialBody(std::string_view body, const ExchangeRead& read, ExchangeReadSummary& summary) {
  RowCursor rows(body);
  std::string_view header;
  if (!takeHeader(rows, ExchangeKind::SpeedDial, summary, header)) return;
  summary.headerRecognised = header.ends_with(kSpeedDial10Header) || header.ends_with(kSpeedDial7Header);
  const bool fromMainUnit = read.source == RowSource::MainUnit;
  const bool tenColumns = read.form == SpeedDialForm::TenColumns;
  const int lastEntry = isMemoryCount990() ? kSpeedDialEntries990 - 1 : kSpeedDialEntries - 1;
  bool first = true;
  bool loading = true;
  std::string_view row;
  RowFields fields;
  while (rows.next(row)) {
    if (startsWithDigit(row)) ++summary.keyedRows;
    if (!loading) continue;
    if (first) {
      first = false;
      if (!(row.starts_with("0,") || row.starts_with("000"))) {
        loading = false;
        continue;
      }
    }
    int digits = 0;
    const int n = leadingNumber(row, 4, &digits);
    if (digits == 0) continue;
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
      if (fields.count == 7 && fromMainUnit) {
        f.lineGroup = static_cast<std::uint8_t>(digitValue(lastCharacterOfRow(row)));
      } else {
        f.lineGroup = static_cast<std::uint8_t>(digitValue(fields[6].empty() ? '\0' : fields[6][0]));
      }
      if (tenColumns && fields.count > 7) {
        f.displayMode = static_cast<std::uint8_t>(fields[7].size() == 1 ? digitValue(fields[7][0]) : 0);
        f.template1 = templateNumber(fields[8], fromMainUnit);
        f.template2 = templateNumber(fields[9], fromMainUnit);
      }
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
      summary.rowsStored += setSpeedDialEntry(n, f);
    }
    if (n >= lastEntry) loading = false;
  }
}

void parseExtensionBody(std::string_view body, ExchangeReadSummary& summary) {
  RowCursor rows(body);
  std::string_view header;
  if (!takeHeader(rows, ExchangeKind::Extensions, summary, header)) return;
  summary.headerRecognised = header.ends_with(kExtensionHeader);
  std::string_view row;
  RowFields fields;
  for (int taken = 0; rows.next(row); ++taken) {
    if (startsWithDigit(row)) ++summary.keyedRows;
    if (taken >= kExtensionRowsMax) continue;
    splitRow(row, fields);
    int digits = 0;
    const int position = leadingNumber(fields[0], 9, &digits);
    if (fields.count < 4 || digits == 0) continue;
    ExtensionFields f{};
    copyDialCharacters(fields[1], f.extensionNumber, 24);
    copyCut(fields[2].substr(0, 12), f.name, 10);
    copyReading(fields[3], f.reading, 20);
    summary.rowsStored += setExtensionEntry(0, position, f);
  }
}

void parseTemplateBody(std::string_view body, ExchangeReadSummary& summary) {
  RowCursor rows(body);
  std::string_view header;
  if (!takeHeader(rows, ExchangeKind::Templates, summary, header)) return;
  summary.headerRecognised = header.ends_with(kTemplateHeader);
  std::string_view row;
  RowFields fields;
  for (int taken = 0; rows.next(row); ++taken) {
    if (startsWithDigit(row)) ++summary.keyedRows;
    if (taken >= kTemplateRowsMax) continue;
    splitRow(row, fields);
    int digits = 0;
    int item = 0;
    for (char c : fields[0]) {
      if (!isDigit(c)) continue;
      if (++digits <= 3) item = item * 10 + (c - '0');
    }
    if (digits != 3 || item < kTemplateFirstItem || item > kTemplateLastItem) continue;
    if (fields.commas > 2 && item != kTemplateLastItem) continue;
    char text[21] = {};
    copyCut(fields[1], text, 20);
    summary.rowsStored += setTemplateMessage(item, std::string_view(text, strnlen(text, 20)), 1);
  }
}

void parseBody(const ExchangeRead& read, std::string_view body, ExchangeReadSummary& found) {
  if (read.kind == ExchangeKind::SpeedDial) {
    parseSpeedDialBody(body, read, found);
  } else if (read.kind == ExchangeKind::Extensions) {
    parseExtensionBody(body, found);
  } else {
    parseTemplateBody(body, found);
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
  if (headBytes > 0 && head[0] == '2') {
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
  parseBody(read, std::string_view(body, bodyBytes), found);
  if (summary) *summary = found;
  return OpResult::done();
}

void readExchangeText(const ExchangeRead& read, std::string_view bytes,
                      ExchangeReadSummary* summary) {
  if (!bytes.empty() && bytes.front() == '2') {
    const std::size_t headBytes = std::min<std::size_t>(kUserInfoBytes, bytes.size());
    takeUserInfoFields(bytes.substr(0, headBytes));
    bytes.remove_prefix(headBytes);
  }
  ExchangeReadSummary found;
  parseBody(read, bytes.substr(0, std::min(bytes.size(), sizeof workLines)), found);
  if (summary) *summary = found;
}

bool exchangeBodyRefused(const ExchangeReadSummary& summary) {
  if (summary.otherKindsHeader) return true;
  return summary.rowsStored == 0 && (!summary.headerRecognised || summary.keyedRows > 0);
}
