#include "web/data_script.h"

#include <array>
#include <climits>
#include <cstring>

#include "base/cp932.h"
#include "base/fixed_field.h"
#include "base/sjis.h"
#include "data/call_history.h"
#include "data/phonebook_tables.h"
#include "data/process_state.h"
#include "data/restriction_table.h"
#include "web/post_checks.h"

namespace {

// ---- the page table ---------------------------------------------------------------------------

// Pages of 50 entries (lo = first + 50(k-1)) with a second dimension lo2..hi2 (0 = none).
template <int Pages, int Dims>
constexpr std::array<IndexRange, Pages * Dims> pagedRanges(int first, int lo2, int hi2) {
  std::array<IndexRange, Pages * Dims> r{};
  for (int k = 0; k < Pages; ++k) {
    r[k * Dims] = {static_cast<std::uint16_t>(first + 50 * k), static_cast<std::uint16_t>(first + 50 * k + 49)};
    if (Dims == 2) r[k * Dims + 1] = {static_cast<std::uint16_t>(lo2), static_cast<std::uint16_t>(hi2)};
  }
  return r;
}

constexpr auto kSpeedDialRanges = pagedRanges<200, 2>(0, 1, 9);
constexpr auto kInternalHistoryRanges = pagedRanges<100, 2>(1, 1, 15);
constexpr auto kExternalHistoryRanges = pagedRanges<100, 2>(1, 1, 11);
constexpr auto kRestrictionRanges = pagedRanges<200, 1>(0, 0, 0);
constexpr auto kTemplateRanges = pagedRanges<19, 1>(1, 0, 0);
constexpr IndexRange kTemplateLastRanges[] = {{951, 999}};
constexpr IndexRange kExtensionPagedRanges[] = {
    {101, 134}, {1, 3}, {135, 160}, {1, 3}, {201, 220}, {1, 3}, {221, 256}, {1, 3}, {301, 344},
    {1, 3},     {345, 356}, {1, 3}, {401, 412}, {1, 3}, {413, 456}, {1, 3}, {601, 616}, {1, 3}};
constexpr IndexRange kExtension700Ranges[] = {{700, 715}, {1, 3}, {720, 725}, {1, 3},
                                              {730, 745}, {1, 3}, {750, 754}, {1, 3}};
constexpr IndexRange kExtension761Ranges[] = {{761, 765}, {1, 3}, {770, 774}, {1, 3},
                                              {781, 782}, {1, 3}, {791, 791}, {1, 3},
                                              {821, 821}, {1, 3}, {831, 846}, {1, 3}};

constexpr PageDescriptor kSpeedDial{"m070_%04dn%d", 1, 2, 200, {1, 0}, kSpeedDialRanges.data()};
constexpr PageDescriptor kEngine14{"i14_%03d_%02d_%dn%d", 0, 2, 4, {0, 2}, nullptr};
constexpr PageDescriptor kExtensionPaged{"m072_%dn%d", 1, 2, 9, {1, 0}, kExtensionPagedRanges};
constexpr PageDescriptor kExtension700{"m072_%dn%d", 4, 2, 1, {1, 0}, kExtension700Ranges};
constexpr PageDescriptor kExtension761{"m072_%dn%d", 6, 2, 1, {1, 0}, kExtension761Ranges};
constexpr PageDescriptor kInternalHistory{"m073_%04dn%02d", 1, 2, 100, {1, 0}, kInternalHistoryRanges.data()};
constexpr PageDescriptor kExternalHistory{"m074_%04dn%02d", 1, 2, 100, {1, 0}, kExternalHistoryRanges.data()};
constexpr PageDescriptor kRestriction{"m018_%04d", 1, 1, 200, {0}, kRestrictionRanges.data()};
constexpr PageDescriptor kTemplates{"m046_%03d", 1, 1, 19, {0}, kTemplateRanges.data()};
constexpr PageDescriptor kTemplatesLast{"m046_%03d", 1, 1, 1, {0}, kTemplateLastRanges};

const PageDescriptor* const kSpeedDialPage[] = {&kSpeedDial, nullptr};
const PageDescriptor* const kEngine14Page[] = {&kEngine14, nullptr};
const PageDescriptor* const kExtensionPagedPage[] = {&kExtensionPaged, nullptr};
const PageDescriptor* const kExtension700Page[] = {&kExtension700, nullptr};
const PageDescriptor* const kExtension761Page[] = {&kExtension761, nullptr};
const PageDescriptor* const kInternalHistoryPage[] = {&kInternalHistory, nullptr};
const PageDescriptor* const kExternalHistoryPage[] = {&kExternalHistory, nullptr};
const PageDescriptor* const kRestrictionPage[] = {&kRestriction, nullptr};
const PageDescriptor* const kTemplatesPage[] = {&kTemplates, nullptr};
const PageDescriptor* const kTemplatesLastPage[] = {&kTemplatesLast, nullptr};

// The list the groups share. Its first four places are no pages: they are pages 1-4 of the
// groups that start four places before group 16.
const PageDescriptor* const* const kPageList[] = {
    nullptr,          nullptr,           nullptr,           nullptr,
    kSpeedDialPage,   kEngine14Page,     kExtensionPagedPage, kExtension700Page,
    kExtension761Page, kInternalHistoryPage, kExternalHistoryPage, kRestrictionPage,
    kTemplatesPage,   kTemplatesLastPage};
constexpr int kPageListSize = sizeof kPageList / sizeof kPageList[0];

// Where each group starts in the list (groups 1-27).
int groupStart(int group) {
  switch (group) {
    case 16: return 4;
    case 18: return 5;
    case 23: return 6;
    case 24: return 9;
    case 25: return 10;
    case 26: return 11;
    case 27: return 12;
    default: return 0;
  }
}

// ---- output -----------------------------------------------------------------------------------

class ScriptWriter {
 public:
  ScriptWriter(char* out, int capacity) : m_out(out), m_capacity(capacity) {}
  bool put(std::string_view text) {
    if (text.size() > static_cast<std::size_t>(m_capacity - m_length)) return false;
    std::memcpy(m_out + m_length, text.data(), text.size());
    m_length += static_cast<int>(text.size());
    return true;
  }
  // Where the next character goes, and how many were put there directly.
  char* end() { return m_out + m_length; }
  void advance(int n) { m_length += n; }
  // Takes back the last n characters (the separator a closing text overwrites).
  void takeBack(int n) { m_length = n <= m_length ? m_length - n : 0; }
  int length() const { return m_length; }
  int room() const { return m_capacity - m_length; }

 private:
  char* m_out;
  int m_capacity;
  int m_length = 0;
};

// Decimal text of v, at least `width` digits (zero-padded).
std::string_view formatNumber(int v, int width, char (&buf)[16]) {
  char* end = buf + sizeof buf;
  char* p = end;
  const bool negative = v < 0;
  unsigned u = negative ? 0u - static_cast<unsigned>(v) : static_cast<unsigned>(v);
  do {
    *--p = static_cast<char>('0' + u % 10);
    u /= 10;
  } while (u != 0);
  while (end - p < width) *--p = '0';
  if (negative) *--p = '-';
  return {p, static_cast<std::size_t>(end - p)};
}

// ---- values -----------------------------------------------------------------------------------

enum class Family { None, SpeedDial, Extension, Restriction, Template, InternalHistory, ExternalHistory };

Family familyOf(const char* format) {
  if (std::strncmp(format, "m070_", 5) == 0) return Family::SpeedDial;
  if (std::strncmp(format, "m072_", 5) == 0) return Family::Extension;
  if (std::strncmp(format, "m018_", 5) == 0) return Family::Restriction;
  if (std::strncmp(format, "m046_", 5) == 0) return Family::Template;
  if (std::strncmp(format, "m073_", 5) == 0) return Family::InternalHistory;
  if (std::strncmp(format, "m074_", 5) == 0) return Family::ExternalHistory;
  return Family::None;  // "i14", "i92" (engine values this tool does not carry), "t", "v"
}

struct HistoryLabels {
  std::string callerType[13];
  std::string answered, lineTransfer, notAnswered;
  std::string intercom, camera, extension;
};

const HistoryLabels& historyLabels() {
  static const HistoryLabels labels = [] {
    HistoryLabels l;
    const char* callers[13] = {"インターホン", "IPCAMDH", "一般内線", "センサA", "センサB", "ベッド", "マット",
                               "ユーザ設定1", "ユーザ設定2", "ユーザ設定3", "ユーザ設定4", "ユーザ設定5", "脱落"};
    for (int i = 0; i < 13; ++i) l.callerType[i] = utf8ToCp932(callers[i]);
    l.answered = utf8ToCp932("応答");
    l.lineTransfer = utf8ToCp932("外線転送");
    l.notAnswered = utf8ToCp932("不応答");
    l.intercom = l.callerType[0];
    l.camera = l.callerType[1];
    l.extension = l.callerType[2];
    return l;
  }();
  return labels;
}

// The values of one record, read once per name prefix and handed out one sub-field at a time.
class RecordValues {
 public:
  RecordValues(Family family, bool fromReference, bool fromBaseline)
      : m_family(family), m_reference(fromReference), m_baseline(fromBaseline) {}

  // The value of sub-field `sub` (1-based) of record `index`.
  std::string_view value(int index, int sub) {
    if (!m_loaded || index != m_index) load(index);
    if (sub < 1 || sub > m_count) return {};
    return m_values[sub - 1];
  }

 private:
  void load(int index) {
    m_loaded = true;
    m_index = index;
    m_count = 0;
    switch (m_family) {
      case Family::SpeedDial: loadSpeedDial(index); break;
      case Family::Extension: loadExtension(index); break;
      case Family::Restriction: {
        readRestrictionEntry(index, 0, m_restriction);
        add(fixedFieldText(m_restriction, 24));
        break;
      }
      case Family::Template: {
        getTemplateMessage(index, m_template);
        add(fixedFieldText(m_template, 20));
        break;
      }
      case Family::InternalHistory: loadInternal(index); break;
      case Family::ExternalHistory: loadExternal(index); break;
      case Family::None: break;
    }
  }

  void add(std::string_view v) { m_values[m_count++] = v; }
  void addNumber(int v, int width, int slot) { add(formatNumber(v, width, m_numbers[slot])); }

  void loadSpeedDial(int n) {
    if (m_reference) {
      getReferenceSpeedDialEntry(n, m_speedDial);
    } else if (m_baseline) {
      getBaselineSpeedDialEntry(n, m_speedDial);
    } else {
      getSpeedDialEntry(n, m_speedDial);
    }
    const SpeedDialFields& f = m_speedDial;
    add(fixedFieldText(f.number, 24));
    add(fixedFieldText(f.name, 20));
    add(fixedFieldText(f.reading, 20));
    add(fixedFieldText(f.use, 3));
    add(fixedFieldText(f.speedDialGroup, 2));
    add(fixedFieldText(reinterpret_cast<const char*>(&f.lineGroup), 1));
    addNumber(f.displayMode, 1, 0);
    addNumber(f.template1, 3, 1);
    addNumber(f.template2, 3, 2);
  }

  void loadExtension(int position) {
    getExtensionEntry(0, position, m_extension);
    add(fixedFieldText(m_extension.extensionNumber, 4));
    add(fixedFieldText(m_extension.name, 20));
    add(fixedFieldText(m_extension.reading, 20));
  }

  void loadInternal(int number) {
    const HistoryLabels& l = historyLabels();
    m_internal = readInternalCallRecord(number - 1);
    const InternalCallRecord& r = m_internal;
    const bool empty = r.date[0] == '\0';
    const int callerType = r.partyTypes & 0x0F;
    std::string_view callerLabel, answerLabel, answererLabel, group;
    if (!empty) {
      callerLabel = callerType <= 12 ? std::string_view(l.callerType[callerType]) : std::string_view();
      answerLabel = r.answerType == 1 ? l.answered : r.answerType == 2 ? l.lineTransfer : l.notAnswered;
      if (r.answerType == 1) {
        const int answerer = r.partyTypes >> 4;
        answererLabel = answerer == 0 ? l.intercom : answerer == 1 ? l.camera : l.extension;
      }
      group = formatNumber(r.telephoneGroup & 0x0F, 2, m_numbers[0]);
    }
    add(fixedFieldText(r.date, 10));
    add(fixedFieldText(r.time, 8));
    add(fixedFieldText(r.ringEndTime, 8));
    add(fixedFieldText(r.callerExtension, 4));
    add(fixedFieldText(r.callerName, 10));
    add(callerLabel);
    add(fixedFieldText(r.calledParty, 10));
    add(answerLabel);
    add(fixedFieldText(r.callBackParty, 10));
    add(fixedFieldText(r.answeringParty, 10));
    add(answererLabel);
    add(fixedFieldText(r.callEndTime, 8));
    add(fixedFieldText(r.duration, 8));
    add(group);
    add(fixedFieldText(r.reasonCode, 2));
  }

  void loadExternal(int number) {
    const HistoryLabels& l = historyLabels();
    m_external = readExternalCallRecord(number - 1);
    const ExternalCallRecord& r = m_external;
    std::string_view answerLabel;
    if (r.date[0] != '\0') answerLabel = r.answerType != 0 ? l.answered : l.notAnswered;
    add(fixedFieldText(r.date, 10));
    add(fixedFieldText(r.time, 8));
    add(fixedFieldText(r.ringEndTime, 8));
    add(fixedFieldText(r.callerNumber, 16));
    add(fixedFieldText(r.callerName, 20));
    add(answerLabel);
    add(fixedFieldText(r.callBackParty, 10));
    add(fixedFieldText(r.answeringParty, 10));
    add(fixedFieldText(r.callEndTime, 8));
    add(fixedFieldText(r.duration, 8));
    add(fixedFieldText(r.telephoneGroup, 2));
  }

  Family m_family;
  bool m_reference;
  bool m_baseline;
  bool m_loaded = false;
  int m_index = 0;
  int m_count = 0;
  std::string_view m_values[15];
  char m_numbers[3][16];
  SpeedDialFields m_speedDial;
  ExtensionFields m_extension;
  char m_restriction[25];
  char m_template[21];
  InternalCallRecord m_internal;
  ExternalCallRecord m_external;
};

// Byte classes of a value: 0 copied as it is, 1 a lead byte (copied with its trail byte), 2
// escaped with a backslash, 3 written as a hexadecimal escape. "<" and ">" never appear raw, so
// no value can close the script's comment wrapper or its script element, nor open a tag.
constexpr std::array<std::uint8_t, 256> kValueBytes = [] {
  std::array<std::uint8_t, 256> t{};
  for (int c = 0; c < 256; ++c) t[c] = isSjisLeadByteWide(static_cast<unsigned char>(c)) ? 1 : 0;
  t['"'] = t['\\'] = t['\r'] = t['\n'] = 2;
  t['<'] = t['>'] = 3;
  return t;
}();

// The bytes a value byte of class k takes in the script (a lead byte counts alone).
constexpr std::size_t escapedSize(std::uint8_t k) { return k == 3 ? 4 : k == 2 ? 2 : 1; }

// For every lead byte, whether it forms a character with a trail byte 0x5C. A browser reads an
// unmapped pair as a replacement character followed by the backslash itself, which would then
// escape whatever follows it in the script.
const std::array<bool, 256>& backslashPairs() {
  static const std::array<bool, 256> pairs = [] {
    std::array<bool, 256> t{};
    for (int c = 0x80; c < 256; ++c) {
      const char pair[2] = {static_cast<char>(c), '\\'};
      t[c] = cp932ToUtf8(std::string_view(pair, 2)).find('\\') == std::string::npos;
    }
    return t;
  }();
  return pairs;
}

// Whether the lead byte at i forms one character with the byte after it. A lead byte that does
// not is written as a blank: a browser would otherwise take the lead byte and the backslash of
// an escape after it for one character, and the escaped quote would end the string.
bool pairedLeadByte(std::string_view value, std::size_t i) {
  if (i + 1 >= value.size()) return false;
  const unsigned char trail = static_cast<unsigned char>(value[i + 1]);
  if (!isSjisTrailByte(trail)) return false;
  return trail != '\\' || backslashPairs()[static_cast<unsigned char>(value[i])];
}

// Writes `value` escaped for a double-quoted script string followed by the separator `","`,
// keeping `reserve` bytes free for the closing text; false (nothing written) when it does not fit.
bool putValue(ScriptWriter& w, std::string_view value, int reserve) {
  const std::size_t worst = 4 * value.size() + 3;
  if (static_cast<int>(worst) + reserve > w.room()) {
    // Near the end of the room: find the exact length first.
    std::size_t exact = 3;
    for (std::size_t i = 0; i < value.size(); ++i) {
      const std::uint8_t k = kValueBytes[static_cast<unsigned char>(value[i])];
      exact += escapedSize(k);
      if (k == 1 && pairedLeadByte(value, i)) ++exact, ++i;
    }
    if (static_cast<int>(exact) + reserve > w.room()) return false;
  }
  char* const start = w.end();
  char* p = start;
  for (std::size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    const std::uint8_t k = kValueBytes[static_cast<unsigned char>(c)];
    if (k == 0) {
      *p++ = c;
    } else if (k == 1) {
      if (pairedLeadByte(value, i)) {
        *p++ = c;
        *p++ = value[++i];
      } else {
        *p++ = ' ';
      }
    } else if (k == 2) {
      *p++ = '\\';
      *p++ = c == '\r' ? 'r' : c == '\n' ? 'n' : c;
    } else {
      std::memcpy(p, c == '<' ? "\\x3C" : "\\x3E", 4);
      p += 4;
    }
  }
  *p++ = '"';
  *p++ = ',';
  *p++ = '"';
  w.advance(static_cast<int>(p - start));
  return true;
}

// The closing text of arVals takes back `","` (2 characters) and adds 10: keep 8 free.
constexpr int kValuesClosingRoom = 8;

// Emits the values of one descriptor's page (0-based) in enumeration order.
void emitValues(ScriptWriter& w, const PageDescriptor& d, int pageIndex, RecordValues& values,
                Family family) {
  if (family == Family::None || d.tuplesPerPage <= 0 || d.ranges == nullptr) return;
  const int dims = d.dimensions;
  const IndexRange* page = d.ranges + static_cast<std::size_t>(pageIndex) * d.tuplesPerPage * dims;
  for (int t = 0; t < d.tuplesPerPage; ++t) {
    const IndexRange* r = page + t * dims;
    int idx[4] = {};
    // Runs the dimensions from the outermost (sequence[dims-1]) to the innermost (sequence[0]).
    auto walk = [&](auto& self, int level) -> void {
      const int dim = d.sequence[level];
      for (int i = r[dim].lo; i <= r[dim].hi; ++i) {
        idx[dim] = i;
        if (level == 0) {
          const int sub = dims >= 2 ? idx[1] : 1;
          putValue(w, values.value(idx[0], sub), kValuesClosingRoom);
        } else {
          self(self, level - 1);
        }
      }
    };
    walk(walk, dims - 1);
  }
}

// arFormat, arSeq and arParam of a paged descriptor's page (1-based).
bool emitHeaderArrays(ScriptWriter& w, const PageDescriptor& d, int page) {
  if (!w.put("var arFormat=[\"")) return false;
  std::string piece;
  bool open = false;
  for (const char* p = d.nameFormat; *p != '\0'; ++p) {
    if (*p != '%') {
      piece += *p;
      open = true;
      continue;
    }
    ++p;
    int width = 0;
    if (*p == '0') {
      while (*p >= '0' && *p <= '9') width = width * 10 + (*p++ - '0');
    }
    // *p is the conversion letter.
    piece.append(static_cast<std::size_t>(width), '0');
    if (!w.put(piece) || !w.put("\",\"")) return false;
    piece.clear();
    open = false;
    if (*p == '\0') break;
  }
  if (open && (!w.put(piece) || !w.put("\",\""))) return false;
  w.takeBack(2);
  if (!w.put("];\r\nvar arSeq=[")) return false;
  char buf[16];
  for (int i = 0; i < d.dimensions; ++i) {
    if (!w.put(formatNumber(d.sequence[i], 1, buf)) || !w.put(",")) return false;
  }
  if (!w.put("0];\r\nvar arParam=[")) return false;
  const int pairs = d.tuplesPerPage * d.dimensions;
  if (d.ranges != nullptr && pairs > 0) {
    const IndexRange* r = d.ranges + static_cast<std::size_t>(page - 1) * pairs;
    for (int i = 0; i < pairs; ++i) {
      if (!w.put(formatNumber(r[i].lo, 0, buf)) || !w.put(",") || !w.put(formatNumber(r[i].hi, 0, buf)) ||
          !w.put(","))
        return false;
    }
    w.takeBack(1);
  }
  return w.put("];\r\n\r\n");
}

// atoi of the query, held within int.
int requestNumber(const char* query) {
  if (query == nullptr) return 0;
  const char* p = query;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  bool negative = false;
  if (*p == '-' || *p == '+') negative = *p++ == '-';
  long long v = 0;
  while (*p >= '0' && *p <= '9' && v <= INT_MAX) v = v * 10 + (*p++ - '0');
  if (v > INT_MAX) v = INT_MAX;
  return static_cast<int>(negative ? -v : v);
}

}  // namespace

const PageDescriptor* const* pageDescriptors(int group, int page) {
  if (group < 1 || group > 27 || page < 1 || page > kPageListSize) return nullptr;
  const int place = groupStart(group) + page - 1;
  if (place >= kPageListSize) return nullptr;
  return kPageList[place];
}

std::string pageIdOfPath(std::string_view requestPath) {
  std::string id(requestPath);
  for (const char* folder : {"\\hoshu\\", "\\system\\"}) {
    for (std::size_t at; (at = id.find(folder)) != std::string::npos;) id.erase(at, std::strlen(folder));
  }
  std::string out;
  out.reserve(id.size());
  for (char c : id) {
    if (c != '\\') out += c;
  }
  return out;
}

std::string scriptStringValue(std::string_view value) {
  std::string out(4 * value.size() + 3, '\0');
  ScriptWriter w(out.data(), static_cast<int>(out.size()));
  putValue(w, value, 0);
  out.resize(static_cast<std::size_t>(w.length()) - 3);  // the separator after the value
  return out;
}

int GenerateDataScript(const char* pageId, char* out, int capacity, const char* query, int* written) {
  if (written != nullptr) *written = 0;
  if (pageId == nullptr || *pageId == '\0' || out == nullptr) return -1;
  const char* underscore = std::strchr(pageId, '_');
  if (underscore == nullptr || capacity <= 16) return -1;
  const int group = requestNumber(pageId);
  const int page = requestNumber(underscore + 1);
  const PageDescriptor* const* list = pageDescriptors(group, page);
  if (list == nullptr || list[0] == nullptr) return -1;

  ScriptWriter w(out, capacity);
  const bool fromReference = duplicateCheck == 1 && speedDialFindingPending();
  const bool fromBaseline = duplicateCheck == 1 && !fromReference;
  const int request = requestNumber(query);
  bool ok = w.put("<!--\r\n");
  const PageDescriptor& first = *list[0];
  if (ok && first.pages >= 2) {
    const bool valid = request >= 1 && request <= first.pages;
    if (valid) ok = emitHeaderArrays(w, first, request);
    if (ok) ok = w.put("arVals=[ \"");
    if (ok) {
      const Family family = familyOf(first.nameFormat);
      RecordValues values(family, fromReference, fromBaseline);
      emitValues(w, first, valid ? request - 1 : 0, values, family);
    }
  } else if (ok) {
    ok = request == 0 && w.put("arVals=[ \"");
    for (const PageDescriptor* const* d = list; ok && *d != nullptr; ++d) {
      const Family family = familyOf((*d)->nameFormat);
      RecordValues values(family, fromReference, fromBaseline);
      emitValues(w, **d, 0, values, family);
    }
  }
  if (ok) {
    w.takeBack(2);
    ok = w.put("];\r\n//-->");
  }
  if (written != nullptr) *written = w.length();
  return ok ? w.room() : -1;
}
