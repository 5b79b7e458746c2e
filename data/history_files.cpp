#include "data/history_files.h"

#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include "base/ascii_text.h"
#include "base/atomic_file.h"
#include "base/cp932.h"
#include "base/fixed_field.h"
#include "base/sjis.h"
#include "base/text_file.h"
#include "data/exchange_format.h"
#include "data/load_report.h"
#include "data/restriction_files.h"
#include "data/user_info.h"

namespace {

constexpr int kDownloadDataLines = 5001;
constexpr int kCsvLines = 5002;
constexpr int kInternalFields = 16;
constexpr int kExternalFields = 12;

// The line cut at its commas into at most `count` fields; missing fields are empty.
std::vector<std::string_view> fieldsOf(std::string_view line, int count) {
  std::vector<std::string_view> fields;
  fields.reserve(static_cast<std::size_t>(count));
  std::size_t from = 0;
  while (static_cast<int>(fields.size()) < count) {
    if (from > line.size()) {
      fields.emplace_back();
      continue;
    }
    std::size_t end = line.find(',', from);
    if (end == std::string_view::npos) end = line.size();
    fields.push_back(line.substr(from, end - from));
    from = end + 1;
  }
  return fields;
}

// The two characters after the n-th comma of the line, unless another comma follows it directly.
std::string_view twoCharactersAfterComma(std::string_view line, int n) {
  std::size_t at = std::string_view::npos;
  for (int i = 0; i < n; ++i) {
    at = line.find(',', at == std::string_view::npos ? 0 : at + 1);
    if (at == std::string_view::npos) return {};
  }
  std::string_view rest = line.substr(at + 1);
  if (!rest.empty() && rest[0] == ',') return {};
  return rest.substr(0, 2);
}

// The value the C library's decimal conversion gives: leading blanks, a sign, digits; 0 for text
// that is no number.
long decimalValue(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    if (value < 100000000) value = value * 10 + (text[i] - '0');
  return negative ? -value : value;
}

long hexadecimalValue(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long value = 0;
  for (; i < text.size() && hexDigitValue(text[i]) >= 0; ++i)
    if (value < 100000000) value = value * 16 + hexDigitValue(text[i]);
  return negative ? -value : value;
}

// Caller type: decimal when the text starts with a digit, otherwise hexadecimal ("A" is 10).
long callerTypeValue(std::string_view text) {
  if (!text.empty() && text[0] >= '0' && text[0] <= '9') return decimalValue(text);
  return hexadecimalValue(text);
}

// An empty field may be a default string_view without storage; copy from "" instead.
std::string_view nonNull(std::string_view text) { return text.empty() ? std::string_view("") : text; }

template <std::size_t N>
void takeText(char (&field)[N], std::string_view text) {
  copyFixedField(field, N - 1, nonNull(text.substr(0, N - 1)));
}

// A name field: cut to its width without splitting a double-byte character.
template <std::size_t N>
void takeName(char (&field)[N], std::string_view text) {
  std::size_t n = text.size() > N - 1 ? sjisCutLength(text.data(), N - 1) : text.size();
  copyFixedField(field, N - 1, nonNull(text.substr(0, n)));
}

std::uint16_t recordNumberOf(std::string_view field) {
  long n = decimalValue(field);
  return n >= 1 && n <= kCallHistoryRecords ? static_cast<std::uint16_t>(n) : 0;
}

template <std::size_t N>
void appendText(std::string& out, const char (&field)[N], std::size_t maxLength = N - 1) {
  out += fixedFieldText(field, maxLength < N ? maxLength : N);
}

void appendNumber(std::string& out, long value, const char* format = "%ld") {
  char text[24];
  std::snprintf(text, sizeof text, format, value);
  out += text;
}

int headerLineCount(const std::string& header) {
  int lines = 1;
  for (std::size_t at = header.find("\r\n"); at != std::string::npos;
       at = header.find("\r\n", at + 2))
    ++lines;
  return lines;
}

constexpr const char* kInternalTitle =
    "項番,発信日付,発信時刻,呼出終了時刻,発信者内線番号,発信者名称,発信者種別,呼出先名称／内線番号,"
    "応答種別,折り返し発信者名称／内線番号,応答者名称／内線番号,応答者種別,終話時刻,通話時間,"
    "電話機グループ番号,理由コード";
constexpr const char* kExternalTitle =
    "項番,着信日付,着信時刻,呼出終了時刻,発信者電話番号,発信者名称,応答種別,"
    "折り返し発信者名称/内線番号,応答者名称/内線番号,終話時刻,通話時間,電話機グループ番号";

// ---- load report ----
//
// What a line's way into a history changed, told to a LoadReport: text fields longer than the
// record holds, numbers that are no numbers, records past the table, lines without a record
// number and records a later line replaced. Only looks; the line is stored by storeLine alone.

using LFK = LoadFindingKind;

// How a column of a history line is taken: a text of at most `width` bytes, a number (the
// caller type may be hexadecimal; the two party types hold 0-15), or neither (the key, the
// reason code and the external group, which are taken as they are).
struct HistoryColumn {
  int width;  // 0: not a text
  enum { Other, Decimal, CallerType, PartyType } number;
};

// clang-format off
constexpr HistoryColumn kInternalColumns[kInternalFields] = {
    {0, HistoryColumn::Other}, {10, HistoryColumn::Other}, {8, HistoryColumn::Other},
    {8, HistoryColumn::Other}, {4, HistoryColumn::Other}, {10, HistoryColumn::Other},
    {0, HistoryColumn::CallerType}, {10, HistoryColumn::Other}, {0, HistoryColumn::Decimal},
    {10, HistoryColumn::Other}, {10, HistoryColumn::Other}, {0, HistoryColumn::PartyType},
    {8, HistoryColumn::Other}, {8, HistoryColumn::Other}, {0, HistoryColumn::Decimal},
    {0, HistoryColumn::Other}};
constexpr HistoryColumn kExternalColumns[kExternalFields] = {
    {0, HistoryColumn::Other}, {10, HistoryColumn::Other}, {8, HistoryColumn::Other},
    {8, HistoryColumn::Other}, {16, HistoryColumn::Other}, {20, HistoryColumn::Other},
    {0, HistoryColumn::Decimal}, {10, HistoryColumn::Other}, {10, HistoryColumn::Other},
    {8, HistoryColumn::Other}, {8, HistoryColumn::Other}, {0, HistoryColumn::Other}};
// clang-format on

std::vector<std::string> columnTitles(const char* title) {
  std::vector<std::string> titles;
  std::string_view rest(title);
  for (std::size_t comma; (comma = rest.find(',')) != std::string_view::npos;) {
    titles.emplace_back(rest.substr(0, comma));
    rest.remove_prefix(comma + 1);
  }
  titles.emplace_back(rest);
  return titles;
}

bool isNumberText(std::string_view text, bool hexadecimal) {
  if (text.empty()) return false;
  for (char c : text) {
    const bool digit = c >= '0' && c <= '9';
    if (!digit && !(hexadecimal && hexDigitValue(c) >= 0)) return false;
  }
  return true;
}

// Watches the lines of one history file.
class HistoryWatch {
 public:
  HistoryWatch(LoadReport& report, HistoryKind kind)
      : m_report(report),
        m_kind(kind),
        m_titles(columnTitles(kind == HistoryKind::Internal ? kInternalTitle : kExternalTitle)),
        m_lineOfRecord(kCallHistoryRecords, 0) {}

  // Line `lineNumber` of the file, before storeLine stores it.
  void line(std::string_view line, int lineNumber) {
    const bool internal = m_kind == HistoryKind::Internal;
    const int count = internal ? kInternalFields : kExternalFields;
    const std::vector<std::string_view> f = fieldsOf(line, count);
    const int record = recordNumberOf(f[0]);
    if (record == 0) {
      const std::string& title = internal ? internalHistoryCsvTitle() : externalHistoryCsvTitle();
      if (line.find_first_not_of(", \t\r") != std::string_view::npos && !line.starts_with(title)) {
        m_report.add(lineNumber, -1, "", LFK::RowSkipped,
                     "項番が1～5000の範囲外のため読み込みませんでした", line);
      }
      return;
    }
    int& earlier = m_lineOfRecord[static_cast<std::size_t>(record - 1)];
    if (earlier != 0) {
      m_report.add(earlier, record, "項番", LFK::Duplicate,
                   "後の行に同じ項番があるため、その行の内容になりました", f[0]);
    }
    earlier = lineNumber;
    const HistoryColumn* columns = internal ? kInternalColumns : kExternalColumns;
    for (int i = 1; i < count; ++i) {
      const HistoryColumn& c = columns[i];
      const std::string_view text = f[static_cast<std::size_t>(i)];
      const std::string& title = m_titles[static_cast<std::size_t>(i)];
      if (c.width > 0 && text.size() > static_cast<std::size_t>(c.width)) {
        m_report.add(lineNumber, record, title, LFK::TextShortened,
                     title + "を" + std::to_string(c.width) + "バイトまでにしました", text);
      }
      if (c.number == HistoryColumn::Other || text.empty()) continue;
      if (!isNumberText(
              text, c.number == HistoryColumn::CallerType && !(text[0] >= '0' && text[0] <= '9'))) {
        m_report.add(lineNumber, record, title, LFK::OutOfRange, "数字でないため 0 にしました",
                     text);
      } else if (c.number != HistoryColumn::Decimal &&
                 (c.number == HistoryColumn::CallerType ? callerTypeValue(text)
                                                        : decimalValue(text)) > 15) {
        m_report.add(lineNumber, record, title, LFK::OutOfRange, "0～15の範囲外です", text);
      }
    }
  }

  // A line past the lines the load reads.
  void lineNotRead(std::string_view line, int lineNumber) {
    if (line.find_first_not_of(", \t\r") == std::string_view::npos) return;
    m_report.add(lineNumber, recordNumberOf(fieldsOf(line, 1)[0]), "", LFK::RowSkipped,
                 "5000件を超える行のため読み込みませんでした", line);
  }

 private:
  LoadReport& m_report;
  HistoryKind m_kind;
  std::vector<std::string> m_titles;
  std::vector<int> m_lineOfRecord;
};

void storeWatchedLine(std::string_view line, HistoryKind kind, HistoryWatch* watch, int lineNumber);

void storeLine(std::string_view line, HistoryKind kind) {
  if (kind == HistoryKind::Internal) {
    InternalCallRecord r = parseInternalHistoryLine(line);
    if (r.recordNumber != 0) storeInternalCallRecord(r.recordNumber - 1, r);
  } else {
    ExternalCallRecord r = parseExternalHistoryLine(line);
    if (r.recordNumber != 0) storeExternalCallRecord(r.recordNumber - 1, r);
  }
}

void storeWatchedLine(std::string_view line, HistoryKind kind, HistoryWatch* watch,
                      int lineNumber) {
  if (watch) watch->line(line, lineNumber);
  storeLine(line, kind);
}

void clearHistory(HistoryKind kind) {
  if (kind == HistoryKind::Internal)
    std::memset(internalHistory, 0, sizeof internalHistory);
  else
    std::memset(externalHistory, 0, sizeof externalHistory);
}

}  // namespace

const std::string& internalHistoryCsvTitle() {
  static const std::string title = utf8ToCp932(kInternalTitle);
  return title;
}

const std::string& externalHistoryCsvTitle() {
  static const std::string title = utf8ToCp932(kExternalTitle);
  return title;
}

InternalCallRecord parseInternalHistoryLine(std::string_view line) {
  InternalCallRecord r{};
  std::vector<std::string_view> f = fieldsOf(line, kInternalFields);
  r.recordNumber = recordNumberOf(f[0]);
  takeText(r.date, f[1]);
  takeText(r.time, f[2]);
  takeText(r.ringEndTime, f[3]);
  takeText(r.callerExtension, f[4]);
  takeName(r.callerName, f[5]);
  r.partyTypes = static_cast<std::uint8_t>(callerTypeValue(f[6]));
  takeName(r.calledParty, f[7]);
  r.answerType = static_cast<std::uint8_t>(decimalValue(f[8]));
  takeName(r.callBackParty, f[9]);
  takeName(r.answeringParty, f[10]);
  r.partyTypes = static_cast<std::uint8_t>(r.partyTypes | (decimalValue(f[11]) << 4));
  takeText(r.callEndTime, f[12]);
  takeText(r.duration, f[13]);
  r.telephoneGroup = static_cast<std::uint8_t>(decimalValue(f[14]));
  takeText(r.reasonCode, twoCharactersAfterComma(line, 15));
  return r;
}

ExternalCallRecord parseExternalHistoryLine(std::string_view line) {
  ExternalCallRecord r{};
  std::vector<std::string_view> f = fieldsOf(line, kExternalFields);
  r.recordNumber = recordNumberOf(f[0]);
  takeText(r.date, f[1]);
  takeText(r.time, f[2]);
  takeText(r.ringEndTime, f[3]);
  takeText(r.callerNumber, f[4]);
  takeName(r.callerName, f[5]);
  r.answerType = static_cast<std::uint8_t>(decimalValue(f[6]));
  takeName(r.callBackParty, f[7]);
  takeName(r.answeringParty, f[8]);
  takeText(r.callEndTime, f[9]);
  takeText(r.duration, f[10]);
  takeText(r.telephoneGroup, twoCharactersAfterComma(line, 11));
  return r;
}

std::string formatInternalHistoryLine(const InternalCallRecord& r) {
  const bool dated = r.date[0] != '\0';
  std::string out;
  appendNumber(out, r.recordNumber);
  out += ',';
  appendText(out, r.date);
  out += ',';
  appendText(out, r.time);
  out += ',';
  appendText(out, r.ringEndTime);
  out += ',';
  appendText(out, r.callerExtension);
  out += ',';
  appendText(out, r.callerName);
  out += ',';
  if (dated) out += "0123456789abcdef"[r.partyTypes & 0x0F];
  out += ',';
  appendText(out, r.calledParty);
  out += ',';
  if (dated) appendNumber(out, r.answerType);
  out += ',';
  appendText(out, r.callBackParty);
  out += ',';
  appendText(out, r.answeringParty);
  out += ',';
  if (r.answerType == 1) appendNumber(out, r.partyTypes >> 4);
  out += ',';
  appendText(out, r.callEndTime);
  out += ',';
  appendText(out, r.duration);
  out += ',';
  if ((r.telephoneGroup & 0x0F) != 0) appendNumber(out, r.telephoneGroup & 0x0F, "%02ld");
  out += ',';
  appendText(out, r.reasonCode, 2);
  return out;
}

std::string formatExternalHistoryLine(const ExternalCallRecord& r) {
  std::string out;
  appendNumber(out, r.recordNumber);
  out += ',';
  appendText(out, r.date);
  out += ',';
  appendText(out, r.time);
  out += ',';
  appendText(out, r.ringEndTime);
  out += ',';
  appendText(out, r.callerNumber);
  out += ',';
  appendText(out, r.callerName);
  out += ',';
  if (r.date[0] != '\0') appendNumber(out, r.answerType);
  out += ',';
  appendText(out, r.callBackParty);
  out += ',';
  appendText(out, r.answeringParty);
  out += ',';
  appendText(out, r.callEndTime);
  out += ',';
  appendText(out, r.duration);
  out += ',';
  appendText(out, r.telephoneGroup, 3);
  return out;
}

// Tells the watch about the lines the load leaves unread.
void watchUnreadLines(TextFileReader& reader, HistoryWatch* watch, int lineNumber) {
  if (!watch) return;
  std::string line;
  while (reader.readLine(line)) watch->lineNotRead(line, ++lineNumber);
}

int parseDownloadedHistoryFile(const std::string& path, HistoryKind kind, LoadReport* report) {
  TextFileReader reader;
  if (!reader.open(path)) return 30;
  std::optional<HistoryWatch> watch;
  if (report) {
    report->beginFile(path);
    watch.emplace(*report, kind);
  }
  std::string line;
  int lineNumber = 0;
  if (reader.readLine(line)) {
    std::string header = collectUserInfoHeader(reader, std::move(line));
    lineNumber = headerLineCount(header);
    if (!header.empty() && header[0] == '2') takeUserInfoFields(header);
  }
  if (reader.readLine(line)) ++lineNumber;  // the column titles
  for (int n = 0; n < kDownloadDataLines && reader.readLine(line); ++n)
    storeWatchedLine(line, kind, watch ? &*watch : nullptr, ++lineNumber);
  watchUnreadLines(reader, watch ? &*watch : nullptr, lineNumber);
  return 0;
}

int loadHistoryCsvFile(const std::string& path, HistoryKind kind, LoadReport* report) {
  TextFileReader reader;
  if (!reader.open(path)) return 30;
  clearHistory(kind);
  std::optional<HistoryWatch> watch;
  if (report) {
    report->beginFile(path);
    watch.emplace(*report, kind);
  }
  HistoryWatch* const w = watch ? &*watch : nullptr;
  std::string line;
  int linesRead = 0;
  if (reader.readLine(line)) {
    ++linesRead;
    if (hasUserInfoShape(line)) {
      std::string header = collectUserInfoHeader(reader, std::move(line));
      linesRead = headerLineCount(header);
      takeUserInfoFields(header);
    } else {
      storeWatchedLine(line, kind, w, linesRead);
    }
  }
  while (linesRead < kCsvLines && reader.readLine(line)) {
    ++linesRead;
    storeWatchedLine(line, kind, w, linesRead);
  }
  watchUnreadLines(reader, w, linesRead);
  return 0;
}

int saveHistoryCsvFile(const std::string& path, HistoryKind kind) {
  std::string out = userInfoLine();
  out.reserve(kUserInfoBytes + 256 + kCallHistoryRecords * 128);
  out += kind == HistoryKind::Internal ? internalHistoryCsvTitle() : externalHistoryCsvTitle();
  out += '\n';
  for (int p = 0; p < kCallHistoryRecords; ++p) {
    if (kind == HistoryKind::Internal) {
      InternalCallRecord r = readInternalCallRecord(p);
      if (r.recordNumber == 0) continue;
      out += formatInternalHistoryLine(r);
    } else {
      ExternalCallRecord r = readExternalCallRecord(p);
      if (r.recordNumber == 0) continue;
      out += formatExternalHistoryLine(r);
    }
    out += '\n';
  }
  return replaceFileAtomically(path, out) ? 0 : 30;
}
