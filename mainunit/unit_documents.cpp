#include "mainunit/unit_documents.h"

#include <cstdio>
#include <cstdlib>

#include "base/ascii_text.h"
#include "base/cp932.h"
#include "base/platform.h"
#include "mainunit/unit_rows.h"

namespace {

// A field as element text: the three characters that would end or open markup become entities.
void appendEscaped(std::string& out, std::string_view field) {
  for (char c : field) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      default: out += c;
    }
  }
}

void appendRow(std::string& out, std::initializer_list<std::string_view> fields, char separator) {
  bool first = true;
  for (std::string_view f : fields) {
    if (!first) out += separator;
    first = false;
    appendEscaped(out, f);
  }
}

std::string fourDigits(int i) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d", i);
  return text;
}

std::string threeDigits(int i) {
  char text[16];
  std::snprintf(text, sizeof text, "%03d", i);
  return text;
}

std::string speedDialRows(const MainUnitTables& t, bool tenColumns) {
  std::string rows;
  rows.reserve(kMainUnitSpeedDials * 72);
  for (int i = 0; i < kMainUnitSpeedDials; ++i) {
    const MainUnitSpeedDial& e = t.speedDial[i];
    std::string index = fourDigits(i);
    if (tenColumns)
      appendRow(rows, {index, e.number, e.name, e.reading, e.use, e.group, e.lineGroup,
                       e.displayMode, e.template1, e.template2}, ',');
    else
      appendRow(rows, {index, e.number, e.name, e.reading, e.use, e.group, e.lineGroup}, ',');
    rows += ",\n\n";
  }
  return rows;
}

std::string extensionRows(const MainUnitTables& t) {
  std::string rows;
  for (const MainUnitExtension& e : t.extensions) {
    appendRow(rows, {std::to_string(e.position), e.number, e.name, e.reading}, ',');
    rows += "\n\n";
  }
  return rows;
}

std::string templateRows(const MainUnitTables& t) {
  std::string rows;
  for (int i = 1; i < kMainUnitTemplates; ++i) {
    appendRow(rows, {threeDigits(i), t.templates[i]}, '@');
    rows += "\n\n";
  }
  return rows;
}

std::string restrictionRows(const MainUnitTables& t) {
  std::string rows;
  for (int i = 0; i < kMainUnitRestrictions; ++i) {
    appendRow(rows, {fourDigits(i), t.restrictions[i]}, '@');
    rows += "\n\n";
  }
  return rows;
}

std::string historyRows(const std::vector<std::vector<std::string>>& history) {
  std::string rows;
  for (const auto& record : history) {
    for (std::size_t i = 0; i < record.size(); ++i) {
      if (i) rows += ',';
      appendEscaped(rows, record[i]);
    }
    rows += ",\n\n";
  }
  return rows;
}

std::string element(std::string_view tag, const std::string& rows) {
  std::string out;
  out.reserve(rows.size() + 2 * tag.size() + 16);
  out += '<';
  out += tag;
  out += ">\n\n";
  out += rows;
  out += "</";
  out += tag;
  out += ">\n\n";
  return out;
}

std::string document(const std::string& elements) {
  return "<root>" + unitUserInfoLine() + elements + "</root>\n";
}

bool startsWithDigit(std::string_view line) { return !line.empty() && line[0] >= '0' && line[0] <= '9'; }

std::string_view withoutOneTrailingComma(std::string_view line) {
  if (!line.empty() && line.back() == ',') line.remove_suffix(1);
  return line;
}

// The block number of a name such as "sys-tanf0500.txt" after `prefix`; -1 when the rest is not
// digits followed by ".txt".
int blockNumber(std::string_view name, std::string_view prefix) {
  if (name.substr(0, prefix.size()) != prefix) return -1;
  std::string_view rest = name.substr(prefix.size());
  if (rest.size() <= 4 || rest.substr(rest.size() - 4) != ".txt") return -1;
  rest.remove_suffix(4);
  for (char c : rest)
    if (c < '0' || c > '9') return -1;
  return unitRowNumber(rest);
}

int storeSpeedDialBlock(std::string_view body, bool tenColumns, MainUnitTables& t) {
  int stored = 0;
  for (std::string_view line : unitBodyLines(body)) {
    if (!startsWithDigit(line)) continue;
    std::vector<std::string> f = unitRowFields(withoutOneTrailingComma(line), ',');
    int i = unitRowNumber(f[0]);
    if (i < 0 || i >= kMainUnitSpeedDials || f.size() < (tenColumns ? 10u : 7u)) continue;
    MainUnitSpeedDial& e = t.speedDial[i];
    e.number = f[1];
    e.name = f[2];
    e.reading = f[3];
    e.use = f[4];
    e.group = f[5];
    e.lineGroup = f[6];
    if (tenColumns) {
      e.displayMode = f[7];
      e.template1 = f[8];
      e.template2 = f[9];
    }
    ++stored;
  }
  return stored;
}

int storeExtensionBlock(std::string_view body, MainUnitTables& t) {
  int stored = 0;
  for (std::string_view line : unitBodyLines(body)) {
    if (!startsWithDigit(line)) continue;
    std::vector<std::string> f = unitRowFields(withoutOneTrailingComma(line), ',');
    int index = extensionIndexOf(unitRowNumber(f[0]));
    if (index < 0 || f.size() < 4) continue;
    MainUnitExtension& e = t.extensions[index];
    e.number = f[1];
    e.name = f[2];
    e.reading = f[3];
    ++stored;
  }
  return stored;
}

int storeTemplateBlock(std::string_view body, MainUnitTables& t) {
  int stored = 0;
  for (std::string_view line : unitBodyLines(body)) {
    if (!startsWithDigit(line)) continue;
    std::size_t at = line.find('@');
    int item = unitRowNumber(line);
    if (at == std::string_view::npos || item < 1 || item >= kMainUnitTemplates) continue;
    t.templates[item] = std::string(line.substr(at + 1));
    ++stored;
  }
  return stored;
}

// A restriction block holds entries base .. base+999 in order. A row's own entry number is used
// when it lies in the block; otherwise the row's place in the block decides.
int storeRestrictionBlock(std::string_view body, int base, MainUnitTables& t) {
  int stored = 0;
  int ordinal = 0;
  for (std::string_view line : unitBodyLines(body)) {
    if (!startsWithDigit(line)) continue;
    std::string_view row = withoutOneTrailingComma(line);
    std::size_t at = row.find('@');
    if (at == std::string_view::npos) continue;
    int k = unitRowNumber(row);
    if (k < base || k >= base + 1000) k = base + ordinal;
    ++ordinal;
    if (k < 0 || k >= kMainUnitRestrictions) continue;
    // A restriction number is digits only; whatever follows them (a separator that a local-form
    // row carried along) is no part of it.
    std::string_view rest = row.substr(at + 1);
    std::size_t digits = 0;
    while (digits < rest.size() && digits < 24 && rest[digits] >= '0' && rest[digits] <= '9') ++digits;
    t.restrictions[k] = std::string(rest.substr(0, digits));
    ++stored;
  }
  return stored;
}

}  // namespace

std::string connectionAnswerBody(std::string_view fwVer, std::string_view devType,
                                 std::string_view password) {
  std::string body = "<root>\r\n";
  if (!fwVer.empty()) {
    body += "<fw_ver>";
    appendEscaped(body, fwVer);
    body += "</fw_ver>\r\n";
  }
  body += "<dev_type>";
  appendEscaped(body, devType);
  body += "</dev_type>\r\n<password>";
  appendEscaped(body, password);
  body += "</password>\r\n</root>\r\n";
  return body;
}

std::string unitUserInfoLine() {
  static const std::string kFields[6] = {
      utf8ToCp932("株式会社みどり商事"), utf8ToCp932("本社 総務部"), "ZPX-480", "V4.00",
      utf8ToCp932("東京都千代田区"), utf8ToCp932("主装置シミュレータ 標準データ")};
  LocalTime now = localTimeNow();
  char line[256];
  std::snprintf(line, sizeof line,
                "%04d%02d%02d%02d%02d,%-24.24s,%-24.24s,%-16.16s%-6.6s  ,%-24.24s,%-72.72s,    \r\n",
                now.year % 10000, now.month % 100, now.day % 100, now.hour % 100, now.minute % 100,
                kFields[0].c_str(), kFields[1].c_str(), kFields[2].c_str(), kFields[3].c_str(),
                kFields[4].c_str(), kFields[5].c_str());
  return line;
}

bool isDownloadDocumentName(std::string_view fileName) {
  std::string name = lowerAscii(fileName);
  return name == "sys-tan.txt" || name == "sys-tanf.txt" || name == "naisen.txt" ||
         name == "usertkbn.txt" || name == "hkiseino.txt" || name == "tyaklog.txt";
}

std::optional<std::string> downloadDocument(std::string_view fileName, const MainUnitTables& t) {
  std::string name = lowerAscii(fileName);
  if (name == "sys-tan.txt") return document(element("systan", speedDialRows(t, false)));
  if (name == "sys-tanf.txt") return document(element("systanf", speedDialRows(t, true)));
  if (name == "naisen.txt") return document(element("naisen", extensionRows(t)));
  if (name == "usertkbn.txt") return document(element("m046", templateRows(t)));
  if (name == "hkiseino.txt") return document(element("m018", restrictionRows(t)));
  if (name == "tyaklog.txt")
    return document(element("naityaklog", historyRows(t.internalHistory)) +
                    element("gaityaklog", historyRows(t.externalHistory)));
  return std::nullopt;
}

UnitFileList parseFileList(std::string_view body) {
  UnitFileList list;
  std::size_t pos = 0;
  while ((pos = body.find('<', pos)) != std::string_view::npos) {
    std::size_t close = body.find('>', pos);
    if (close == std::string_view::npos) break;
    std::string_view tag = body.substr(pos + 1, close - pos - 1);
    pos = close + 1;
    if (tag.empty() || tag[0] == '/' || tag[0] == '?' || tag == "root") continue;
    std::string end = "</" + std::string(tag) + ">";
    std::size_t endAt = body.find(end, pos);
    if (endAt == std::string_view::npos) continue;
    std::string_view content = trimmed(body.substr(pos, endAt - pos), " \t\r\n");
    pos = endAt + end.size();
    if (upperAscii(tag) == "UD-TYPE") {
      list.direction = upperAscii(content);
      continue;
    }
    std::size_t slash = content.rfind('/');
    std::string_view file = slash == std::string_view::npos ? content : content.substr(slash + 1);
    std::string_view address = slash == std::string_view::npos ? "" : content.substr(0, slash);
    if (file.empty()) continue;
    list.files.emplace_back(file);
    list.entries.push_back({std::string(tag), std::string(address), std::string(file)});
  }
  return list;
}

int storeUploadedFile(std::string_view fileName, std::string_view body, MainUnitTables& t) {
  std::string name = lowerAscii(fileName);
  if (blockNumber(name, "sys-tanf") >= 0) return storeSpeedDialBlock(body, true, t);
  if (blockNumber(name, "sys-tan") >= 0) return storeSpeedDialBlock(body, false, t);
  if (blockNumber(name, "naisen") >= 0) return storeExtensionBlock(body, t);
  if (name == "usertkbn.txt") return storeTemplateBlock(body, t);
  int base = blockNumber(name, "hkiseino");
  if (base >= 0) return storeRestrictionBlock(body, base, t);
  return -1;
}

unsigned uploadedTableFile(std::string_view fileName) {
  std::string name = lowerAscii(fileName);
  if (blockNumber(name, "sys-tanf") >= 0 || blockNumber(name, "sys-tan") >= 0) return kSpeedDialFile;
  if (blockNumber(name, "naisen") >= 0) return kExtensionFile;
  if (name == "usertkbn.txt") return kTemplateFile;
  if (blockNumber(name, "hkiseino") >= 0) return kRestrictionFile;
  return 0;
}
