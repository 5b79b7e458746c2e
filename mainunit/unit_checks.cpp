#include "mainunit/unit_checks.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <unordered_map>

#include "base/ascii_text.h"
#include "mainunit/mainunit_tables.h"
#include "mainunit/unit_rows.h"

namespace {

using Names = std::vector<std::string>;

constexpr int kSpeedDialBlockRows = 500;
constexpr int kRestrictionBlockRows = 1000;
constexpr std::size_t kRestrictionDigits = 24;

const Names& extensionBlocks() {
  static const Names names{"naisen101.txt", "naisen151.txt", "naisen241.txt", "naisen335.txt", "naisen429.txt"};
  return names;
}
// Where each extension block starts in the directory's line order; the last value ends the last.
constexpr int kExtensionBlockStart[] = {0, 51, 101, 151, 201, kMainUnitExtensionLines};

const Names& restrictionBlocks() {
  static const Names names = [] {
    Names n;
    for (int i = 0; i < 10; ++i) {
      char text[32];
      std::snprintf(text, sizeof text, "hkiseino%04d.txt", i * kRestrictionBlockRows);
      n.push_back(text);
    }
    return n;
  }();
  return names;
}

std::string padded(int value, int width) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*d", width, value);
  return text;
}

bool allDigits(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string joined(const Names& names) {
  std::string out;
  for (const std::string& n : names) out += (out.empty() ? "" : " ") + n;
  return out;
}

// A piece of the tool's bytes for a reason: at most 40 bytes, anything but printable ASCII as '?'.
std::string quoted(std::string_view text) {
  std::string out = "\"";
  for (char c : text.substr(0, 40)) out += c >= 0x20 && c < 0x7f ? c : '?';
  return out + (text.size() > 40 ? "...\"" : "\"");
}

std::string unitNote(const UnitFirmware& f) {
  return "this unit (firmware " + (f.text.empty() ? std::string("unknown") : f.text) + ")";
}

// The number of "<prefix><digits>.txt" with exactly `width` digits; -1 for any other name.
int numberedName(std::string_view name, std::string_view prefix, std::size_t width) {
  if (!name.starts_with(prefix) || !name.ends_with(".txt")) return -1;
  std::string_view digits = name.substr(prefix.size(), name.size() - prefix.size() - 4);
  if (digits.size() != width || !allDigits(digits)) return -1;
  return unitRowNumber(digits);
}

// The block number 0-19 of "sys-tanNNNN.txt" / "sys-tanfNNNN.txt"; -1 for any other name.
int speedDialBlockOf(std::string_view name, bool& tenColumns) {
  int first = numberedName(name, "sys-tanf", 4);
  tenColumns = first >= 0;
  if (first < 0) first = numberedName(name, "sys-tan", 4);
  return first >= 0 && first % kSpeedDialBlockRows == 0 ? first / kSpeedDialBlockRows : -1;
}

int extensionBlockOf(std::string_view name) {
  const Names& n = extensionBlocks();
  auto at = std::find(n.begin(), n.end(), name);
  return at == n.end() ? -1 : static_cast<int>(at - n.begin());
}

int restrictionBlockOf(std::string_view name) {
  const Names& n = restrictionBlocks();
  auto at = std::find(n.begin(), n.end(), name);
  return at == n.end() ? -1 : static_cast<int>(at - n.begin());
}

bool servesDocument(std::string_view name, const UnitFirmware& f) {
  if (!isDownloadDocumentName(name)) return false;
  if (!f.tenColumns && (name == "sys-tanf.txt" || name == "usertkbn.txt")) return false;
  return f.restrictions || name != "hkiseino.txt";
}

// ---- upload blocks ----------------------------------------------------------------------------

// What an upload block of one name must hold.
struct BlockRule {
  std::string element;
  Names keys;                // the row keys of the block's range, in order
  char separator = ',';      // between the key and the rest of a row
  std::size_t columns = 0;   // the fields of a ','-row; 0 for a key@value row
  bool trailingComma = true; // every row ends with ','
  bool digitsOnly = false;   // the value is a restriction number
};

BlockRule speedDialRule(int block, bool tenColumns) {
  BlockRule r{tenColumns ? "systanf" : "systan", {}, ',', tenColumns ? 10u : 7u};
  for (int i = 0; i < kSpeedDialBlockRows; ++i) r.keys.push_back(padded(block * kSpeedDialBlockRows + i, 4));
  return r;
}

BlockRule extensionRule(int block) {
  BlockRule r{"naisen", {}, ',', 4};
  for (int i = kExtensionBlockStart[block]; i < kExtensionBlockStart[block + 1]; ++i)
    r.keys.push_back(std::to_string(mainUnitExtensionPositions()[i]));
  return r;
}

BlockRule templateRule() {
  BlockRule r{"m046", {}, '@', 0, false};
  for (int i = 1; i < kMainUnitTemplates; ++i) r.keys.push_back(padded(i, 3));
  return r;
}

BlockRule restrictionRule(int block) {
  BlockRule r{"m018", {}, '@', 0, true, true};
  for (int i = 0; i < kRestrictionBlockRows; ++i) r.keys.push_back(padded(block * kRestrictionBlockRows + i, 4));
  return r;
}

// The rule of an upload block's name, or nullopt with the reason this unit takes no such block.
std::optional<BlockRule> blockRuleOf(std::string_view name, const UnitFirmware& f, std::string& refusal) {
  bool ten = false;
  if (int block = speedDialBlockOf(name, ten); block >= 0) {
    if (ten && !f.tenColumns) refusal = unitNote(f) + " takes no 10-column speed dial";
    else if (!ten && f.tenColumns) refusal = unitNote(f) + " takes the speed dial in 10-column blocks only";
    else return speedDialRule(block, ten);
  } else if (int e = extensionBlockOf(name); e >= 0) {
    return extensionRule(e);
  } else if (name == "usertkbn.txt") {
    if (f.tenColumns) return templateRule();
    refusal = unitNote(f) + " keeps no templates";
  } else if (int r = restrictionBlockOf(name); r >= 0) {
    if (f.restrictions) return restrictionRule(r);
    refusal = unitNote(f) + " keeps no restriction numbers";
  } else {
    refusal = "no such upload block";
  }
  return std::nullopt;
}

// Checks one row against the key the block wants next (`expected`, advanced on success).
std::string rowRefusal(std::string_view row, const BlockRule& rule,
                       const std::unordered_map<std::string_view, std::size_t>& index, std::size_t& expected) {
  std::string_view r = row;
  if (rule.trailingComma) {
    if (!r.ends_with(',')) return "the row " + quoted(row) + " does not end with ','";
    r.remove_suffix(1);
  }
  const std::size_t sep = r.find(rule.separator);
  const std::string_view key = r.substr(0, sep);
  if (key.empty() || !allDigits(key)) return "a row without its entry number: " + quoted(row);
  auto at = index.find(key);
  const std::string k(key);
  if (at == index.end())
    return "row " + k + " lies outside the block's range " + rule.keys.front() + "-" + rule.keys.back();
  if (at->second < expected) return "row " + k + " comes twice or out of order";
  if (at->second > expected) return "row " + rule.keys[expected] + " is missing";
  if (sep == std::string_view::npos && rule.columns == 0) return "row " + k + " has no '" + rule.separator + "'";
  if (rule.columns) {
    const std::size_t columns = 1 + static_cast<std::size_t>(std::count(r.begin(), r.end(), ','));
    if (columns != rule.columns)
      return "row " + k + " has " + std::to_string(columns) + " columns; the block wants " + std::to_string(rule.columns);
  }
  if (rule.digitsOnly) {
    const std::string_view value = r.substr(sep + 1);
    if (value.size() > kRestrictionDigits || !allDigits(value))
      return "row " + k + " holds " + quoted(value) + ", not a number of up to 24 digits";
  }
  ++expected;
  return "";
}

std::string rowsRefusal(const std::vector<std::string_view>& lines, const BlockRule& rule) {
  std::unordered_map<std::string_view, std::size_t> index;
  for (std::size_t i = 0; i < rule.keys.size(); ++i) index.emplace(rule.keys[i], i);
  std::size_t expected = 0;
  for (std::size_t i = 2; i + 2 < lines.size(); ++i)
    if (std::string why = rowRefusal(lines[i], rule, index, expected); !why.empty()) return why;
  if (expected < rule.keys.size()) return "row " + rule.keys[expected] + " is missing";
  return "";
}

// ---- the file list ----------------------------------------------------------------------------

std::string downloadListRefusal(const Names& files, const UnitFirmware& f) {
  if (files == Names{"tyaklog.txt"}) return "";
  if (files == Names{"hkiseino.txt"}) return f.restrictions ? "" : unitNote(f) + " keeps no restriction numbers";
  const Names phonebook = f.tenColumns ? Names{"naisen.txt", "usertkbn.txt", "sys-tanf.txt"}
                                       : Names{"naisen.txt", "sys-tan.txt"};
  if (files == phonebook) return "";
  for (const std::string& n : files) {
    if (!f.tenColumns && n == "sys-tanf.txt") return unitNote(f) + " serves no sys-tanf.txt (10-column speed dial)";
    if (!f.tenColumns && n == "usertkbn.txt") return unitNote(f) + " serves no usertkbn.txt (templates)";
    if (f.tenColumns && n == "sys-tan.txt") return unitNote(f) + " serves the speed dial as sys-tanf.txt, not sys-tan.txt";
  }
  return "a download of " + joined(files) + " is none a tool makes; this unit expects " + joined(phonebook) +
         ", tyaklog.txt or hkiseino.txt";
}

// The speed-dial blocks at the start of a phonebook upload: the unit's family, each once, in
// ascending order. `i` ends after the last of them.
std::string speedDialListRefusal(const Names& names, std::size_t& i, const UnitFirmware& f) {
  int previous = -1;
  for (; i < names.size(); ++i) {
    bool ten = false;
    const int block = speedDialBlockOf(names[i], ten);
    if (block < 0) break;
    if (ten && !f.tenColumns) return unitNote(f) + " takes no 10-column speed dial (" + names[i] + ")";
    if (!ten && f.tenColumns) return unitNote(f) + " takes the speed dial in 10-column blocks, not " + names[i];
    if (block <= previous)
      return names[i] + " is listed after " + names[i - 1] + "; the speed-dial blocks go once each, in ascending order";
    previous = block;
  }
  return "";
}

std::string phonebookListRefusal(const Names& names, const UnitFirmware& f) {
  std::size_t i = 0;
  if (std::string why = speedDialListRefusal(names, i, f); !why.empty()) return why;
  if (i < names.size() && extensionBlockOf(names[i]) >= 0) {
    for (std::size_t k = 0; k < extensionBlocks().size(); ++k)
      if (i + k >= names.size() || names[i + k] != extensionBlocks()[k])
        return "the extension blocks go all five, in order: " + joined(extensionBlocks());
    i += extensionBlocks().size();
  }
  if (i < names.size() && names[i] == "usertkbn.txt") {
    if (!f.tenColumns) return unitNote(f) + " keeps no templates (usertkbn.txt)";
    ++i;
  }
  if (i < names.size()) return names[i] + " cannot stand at place " + std::to_string(i + 1) + " of an upload";
  return "";
}

std::string uploadListRefusal(const Names& files, const UnitFirmware& f) {
  if (files.size() < 2 || files.back() != files[files.size() - 2])
    return "an upload lists its last file twice; this one does not";
  const Names names(files.begin(), files.end() - 1);
  if (names == restrictionBlocks()) return f.restrictions ? "" : unitNote(f) + " keeps no restriction numbers";
  if (std::any_of(names.begin(), names.end(), [](const std::string& n) { return restrictionBlockOf(n) >= 0; }))
    return "the restriction blocks go all ten, in order, and alone: hkiseino0000.txt ... hkiseino9000.txt";
  return phonebookListRefusal(names, f);
}

std::string expectedElement(std::string_view file) {
  return file == "tyaklog.txt" ? "TYAK" : upperAscii(file.substr(0, file.size() - 4));
}

// True when `text` is `dotted` or a name or address form that resolves to it.
bool namesAddress(const std::string& text, const std::string& dotted) {
  if (text == dotted) return true;
  if (text.empty() || dotted.empty()) return false;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(text.c_str(), nullptr, &hints, &found) != 0) return false;
  bool match = false;
  for (addrinfo* p = found; p && !match; p = p->ai_next) {
    char t[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(p->ai_addr)->sin_addr, t, sizeof t);
    match = dotted == t;
  }
  ::freeaddrinfo(found);
  return match;
}

std::string entriesRefusal(const UnitFileList& list, const FileListAddresses& a) {
  const bool download = list.direction == "DOWNLOAD";
  for (const UnitFileListEntry& e : list.entries) {
    const std::string element = expectedElement(e.file);
    if (e.element != element)
      return "the entry for " + e.file + " is <" + e.element + ">; it must be <" + element + ">";
    if (download && !namesAddress(e.address, a.unit))
      return "the entry for " + e.file + " names " + quoted(e.address) + "; a download names this unit (" + a.unit + ")";
    if (!download && e.address != a.tool)
      return "the entry for " + e.file + " names " + quoted(e.address) + "; an upload names the tool (" + a.tool + ")";
  }
  return "";
}

std::string layoutOf(const UnitFileList& list) {
  std::string text = "<root>\r\n<UD-TYPE>" + list.direction + "</UD-TYPE>\r\n";
  for (const UnitFileListEntry& e : list.entries)
    text += "<" + e.element + ">" + e.address + "/" + e.file + "</" + e.element + ">\r\n";
  return text + "</root>\r\n";
}

}  // namespace

UnitFirmware unitFirmwareOf(std::string_view fwVer) {
  UnitFirmware f;
  f.text = std::string(fwVer);
  f.tenColumns = std::atof(f.text.c_str()) >= 4.0;
  f.restrictions = !equalsIgnoringCase(fwVer, "1.00") && !equalsIgnoringCase(fwVer, "2.00");
  return f;
}

std::string fileListRefusal(std::string_view body, const UnitFileList& list, const UnitFirmware& firmware,
                            const FileListAddresses& addresses) {
  const bool download = list.direction == "DOWNLOAD";
  if (!download && list.direction != "UPLOAD") return "the file list names no direction (UD-TYPE)";
  if (list.files.empty()) return "the file list names no file";
  std::string why = download ? downloadListRefusal(list.files, firmware) : uploadListRefusal(list.files, firmware);
  if (why.empty()) why = entriesRefusal(list, addresses);
  if (why.empty() && body != layoutOf(list))
    why = "the file list is not laid out as <root>, <UD-TYPE> and one entry a line, each line ended by CR LF";
  return why;
}

std::string uploadBlockRefusal(std::string_view name, std::string_view body, const UnitFirmware& firmware) {
  std::string why;
  std::optional<BlockRule> rule = blockRuleOf(name, firmware, why);
  if (!rule) return std::string(name) + ": " + why;
  const std::vector<std::string_view> lines = unitBodyLines(body);
  const std::string open = "<" + rule->element + ">", close = "</" + rule->element + ">";
  if (lines.size() < 4 || lines.front() != "<root>" || lines.back() != "</root>")
    return std::string(name) + ": the block is not enclosed in <root> and </root>";
  if (lines[1] != open || lines[lines.size() - 2] != close)
    return std::string(name) + ": the block holds " + quoted(lines[1]) + "; its element is " + open;
  why = rowsRefusal(lines, *rule);
  return why.empty() ? why : std::string(name) + ": " + why;
}

std::string downloadRefusal(std::string_view name, const std::vector<std::string>& listed, std::size_t fetched,
                            const UnitFirmware& firmware) {
  const std::string n(name);
  if (!servesDocument(name, firmware)) return n + ": " + unitNote(firmware) + " serves no such document";
  if (std::find(listed.begin(), listed.end(), n) == listed.end()) return n + " is not in the file list";
  if (fetched >= listed.size()) return n + " is requested again after every listed file";
  if (listed[fetched] != n) return n + " is requested out of the list's order (" + listed[fetched] + " is next)";
  return "";
}
