#include "data/history_files.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "base/ascii_text.h"
#include "base/atomic_file.h"
#include "base/cp932.h"
#include "base/fixed_field.h"
#include "base/sjis.h"
#include "base/text_file.h"
#include "data/exchange_format.h"
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

void storeLine(std::string_view line, HistoryKind kind) {
  if (kind == HistoryKind::Internal) {
    InternalCallRecord r = parseInternalHistoryLine(line);
    if (r.recordNumber != 0) storeInternalCallRecord(r.recordNumber - 1, r);
  } else {
    ExternalCallRecord r = parseExternalHistoryLine(line);
    if (r.recordNumber != 0) storeExternalCallRecord(r.recordNumber - 1, r);
  }
}

void clearHistory(HistoryKind kind) {
  if (kind == HistoryKind::Internal)
    std::memset(internalHistory, 0, sizeof internalHistory);
  else
    std::memset(externalHistory, 0, sizeof externalHistory);
}

}  // namespace

const std::string& internalHistoryCsvTitle() {
  static const std::string title = utf8ToCp932(
      "項番,発信日付,発信時刻,呼出終了時刻,発信者内線番号,発信者名称,発信者種別,呼出先名称／内線番号,"
      "応答種別,折り返し発信者名称／内線番号,応答者名称／内線番号,応答者種別,終話時刻,通話時間,"
      "電話機グループ番号,理由コード");
  return title;
}

const std::string& externalHistoryCsvTitle() {
  static const std::string title = utf8ToCp932(
      "項番,着信日付,着信時刻,呼出終了時刻,発信者電話番号,発信者名称,応答種別,"
      "折り返し発信者名称/内線番号,応答者名称/内線番号,終話時刻,通話時間,電話機グループ番号");
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

int parseDownloadedHistoryFile(const std::string& path, HistoryKind kind) {
  TextFileReader reader;
  if (!reader.open(path)) return 30;
  std::string line;
  if (reader.readLine(line)) {
    std::string header = collectUserInfoHeader(reader, std::move(line));
    if (!header.empty() && header[0] == '2') takeUserInfoFields(header);
  }
  reader.readLine(line);  // the column titles
  for (int n = 0; n < kDownloadDataLines && reader.readLine(line); ++n) storeLine(line, kind);
  return 0;
}

int loadHistoryCsvFile(const std::string& path, HistoryKind kind) {
  TextFileReader reader;
  if (!reader.open(path)) return 30;
  clearHistory(kind);
  std::string line;
  int linesRead = 0;
  if (reader.readLine(line)) {
    ++linesRead;
    if (hasUserInfoShape(line)) {
      std::string header = collectUserInfoHeader(reader, std::move(line));
      linesRead = headerLineCount(header);
      takeUserInfoFields(header);
    } else {
      storeLine(line, kind);
    }
  }
  for (; linesRead < kCsvLines && reader.readLine(line); ++linesRead) storeLine(line, kind);
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
