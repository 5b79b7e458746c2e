#include "data/restriction_files.h"

#include <cstdio>
#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

#include "base/ascii_text.h"
#include "base/atomic_file.h"
#include "base/platform.h"
#include "base/text_file.h"
#include "data/exchange_format.h"
#include "data/load_report.h"
#include "data/restriction_table.h"
#include "data/tagged_files.h"
#include "data/user_info.h"

namespace {

constexpr std::size_t kHeaderCollectLimit = 190;

// One entry line of the text form: "%04d," + digits, then the given ending.
void appendEntryLine(std::string& out, int k, std::string_view ending) {
  char number[25];
  readRestrictionEntry(k, 1, number);
  char head[8];
  std::snprintf(head, sizeof head, "%04d,", k % 10000);
  out += head;
  out += number;
  out += ending;
}

int replaceWith(const std::string& path, const std::string& bytes) {
  return replaceFileAtomically(path, bytes) ? 0 : 30;
}

bool isCsvName(const std::string& path) { return lowerAscii(extensionOf(path)) == ".csv"; }

// The leading decimal value of at most the first four characters of an entry-number field.
std::int16_t entryIndexOf(std::string_view field) {
  int value = 0;
  for (std::size_t i = 0; i < field.size() && i < 4 && field[i] >= '0' && field[i] <= '9'; ++i)
    value = value * 10 + (field[i] - '0');
  return static_cast<std::int16_t>(value);
}

// Splits off the field that starts at `from` and ends at the next comma (or the end).
std::string_view fieldAt(std::string_view line, std::size_t from) {
  if (from > line.size()) return {};
  std::size_t end = line.find(',', from);
  return line.substr(from, end == std::string_view::npos ? std::string_view::npos : end - from);
}

using LFK = LoadFindingKind;
constexpr const char* kNumberColumn = "電話番号";

bool lineHoldsText(std::string_view line) {
  return line.find_first_not_of(", \t\r") != std::string_view::npos;
}

// A report and, for the lines already stored by this load, the line each entry came from, so
// that an entry a later line clears or overwrites is told at its own line.
struct RestrictionWatch {
  LoadReport& report;
  std::vector<int> lineOfEntry = std::vector<int>(kRestrictionEntries, 0);
};

bool isEmptyEntry(int j) { return restrictionTable[j].number[0] == '\0'; }

// Stores entry k as storeRestrictionEntry does and tells `watch` which entries the duplicate
// rules cleared: those that held the number before and are empty now, and entry k itself when
// its accepted number did not stay. The entries a new group of 50 clears are not duplicates.
void storeWatched(int k, const RestrictionEntry& e, RestrictionStoreMode mode,
                  RestrictionWatch* watch, int line) {
  if (!watch || k < 0 || k >= kRestrictionEntries) {
    storeRestrictionEntry(k, e, mode);
    return;
  }
  LoadReport& report = watch->report;
  const std::string_view number(e.number, strnlen(e.number, kRestrictionNumberLength));
  const std::vector<int> holders = restrictionEntriesHolding(number);
  const bool fileLoad = mode == RestrictionStoreMode::FileLoad;
  if (fileLoad && watch->lineOfEntry[k] != 0) {
    const char* earlier = restrictionTable[k].number;
    report.add(watch->lineOfEntry[k], k, "項番", LFK::Duplicate,
               "後の行に同じ項番があるため、その行の番号になりました",
               std::string_view(earlier, strnlen(earlier, kRestrictionNumberLength)));
  }
  storeRestrictionEntry(k, e, mode);
  const bool groupStart = !fileLoad && k % kRestrictionGroupSize == 0;
  for (int j : holders) {
    if (j == k || !isEmptyEntry(j)) continue;
    if (groupStart && j >= k && j < k + kRestrictionGroupSize) continue;
    const int at = watch->lineOfEntry[j] != 0 ? watch->lineOfEntry[j] : line;
    report.add(at, j, kNumberColumn, LFK::Duplicate,
               "項番 " + std::to_string(k) + " と同じ番号のため消去しました", number);
  }
  const bool rejected = restrictionInput[k].number[0] != '\0' && isEmptyEntry(k) &&
                        number.find_first_not_of("0123456789") != std::string_view::npos;
  if (rejected) {
    report.add(line, k, kNumberColumn, LFK::NumberCharacters,
               "数字でない文字があるため登録しませんでした", number);
  } else if (!number.empty() && isEmptyEntry(k)) {
    report.add(line, k, kNumberColumn, LFK::Duplicate, "同じ番号の項番があるため消去しました",
               number);
  }
  watch->lineOfEntry[k] = line;
}

void storeDownloadedLine(int k, std::string_view line, RestrictionWatch* watch, int lineNumber) {
  RestrictionEntry e{};
  std::string_view first = fieldAt(line, 0);
  e.index = entryIndexOf(first);
  if (first.size() < line.size()) {
    std::string_view number = fieldAt(line, first.size() + 1);
    if (!number.empty())
      std::memcpy(e.number, number.data(), std::min<std::size_t>(number.size(), 24));
    if (watch && number.size() > 24) {
      watch->report.add(lineNumber, k, kNumberColumn, LFK::TextShortened,
                        "電話番号を24文字までにしました", number);
    }
  }
  if (watch && k >= kRestrictionEntries && lineHoldsText(line)) {
    watch->report.add(lineNumber, -1, "", LFK::RowSkipped,
                      "10000件を超える行のため読み込みませんでした", line);
  }
  storeWatched(k, e, RestrictionStoreMode::Download, watch, lineNumber);
}

bool isFourDigits(std::string_view field) {
  if (field.size() != 4) return false;
  for (char c : field)
    if (c < '0' || c > '9') return false;
  return true;
}

// Stores one line of a local text; false when the line is no entry line.
bool storeLocalLine(std::string line, RestrictionWatch* watch, int lineNumber) {
  line += ',';
  std::string_view view(line);
  std::string_view first = fieldAt(view, 0);
  if (!isFourDigits(first)) return false;
  RestrictionEntry e{};
  e.index = entryIndexOf(first);
  std::size_t n = 0;
  std::size_t digits = 0;
  bool others = false;
  const std::string_view field = fieldAt(view, first.size() + 1);
  for (char c : field) {
    const bool digit = c >= '0' && c <= '9';
    if (digit && n < 24) e.number[n++] = c;
    digits += digit ? 1 : 0;
    others = others || !digit;
  }
  if (watch) {
    if (others) {
      watch->report.add(lineNumber, e.index, kNumberColumn, LFK::NumberCharacters,
                        "数字でない文字を除きました", field);
    }
    if (digits > 24) {
      watch->report.add(lineNumber, e.index, kNumberColumn, LFK::TextShortened,
                        "電話番号を24桁までにしました", field);
    }
  }
  storeWatched(e.index, e, RestrictionStoreMode::FileLoad, watch, lineNumber);
  return true;
}

// How many lines a collected header spans.
int linesOf(std::string_view header) {
  int lines = 1;
  for (std::size_t at = header.find("\r\n"); at != std::string_view::npos;
       at = header.find("\r\n", at + 2))
    ++lines;
  return lines;
}

// Reads the head of a tagged file up to its data element line ("<m018>", or "<HKISEINO>" as
// older files have it) and takes the header fields from the text of its "<USER>" block. False
// when the element line comes before any "<USER>" line or never comes.
bool scanTaggedHead(TextFileReader& reader, std::string& header, int* elementLine) {
  // Appended piece by piece: GCC 12 at -O3 reports a false -Wrestrict overlap for
  // "<" + std::string(...) (its inlined insert at the front).
  std::string current = "<";
  current.append(kRestrictionElement);
  current += '>';
  if (collectTaggedHeader(reader, {current, "<HKISEINO>"}, header, elementLine) !=
      TaggedHeaderResult::Found)
    return false;
  takeUserInfoFields(header);
  return true;
}

int loadTaggedRestrictionFile(const std::string& path, LoadReport* report) {
  TextFileReader reader;
  if (!reader.open(path)) return 30;
  const std::string work = createUniqueTempFile(directoryOf(path));
  if (work.empty()) return 30;
  std::string header;
  int elementLine = 0;
  int result = kRestrictionHeadError;
  if (scanTaggedHead(reader, header, &elementLine)) {
    result = kRestrictionDataError;
    std::FILE* out = std::fopen(work.c_str(), "wb");
    if (!out) {
      result = 30;
    } else {
      bool written = std::fwrite(header.data(), 1, header.size(), out) == header.size() &&
                     convertTaggedRows(path, kRestrictionElement, TaggedRows::Restrictions, out);
      written = std::fclose(out) == 0 && written;
      // The work file holds the header's lines, the title joined to the last of them, then the
      // rows, which follow the element line in the file.
      if (report) report->beginFile(path, elementLine - linesOf(header));
      if (written && parseLocalRestrictionFile(work, report) == 0) result = 0;
    }
  }
  std::remove(work.c_str());
  return result;
}

int saveTaggedRestrictionFile(const std::string& path) {
  const std::string text = createUniqueTempFile(directoryOf(path));
  if (text.empty()) return 30;
  int result = 30;
  if (writeRestrictionLocalFile(text) == 0) {
    std::FILE* in = std::fopen(text.c_str(), "rb");
    AtomicFileWriter out(path);
    if (in && out.open() && writeTaggedRestrictions(in, out.file()) == 0 && out.commit())
      result = 0;
    if (in) std::fclose(in);
  }
  std::remove(text.c_str());
  return result;
}

// True when the text holds the title line. A header collected from a tagged file's work file
// ends in "</USER>" directly followed by the title, so the title need not start a line.
bool holdsTitle(std::string_view text) {
  return text.find(restrictionTitleLine()) != std::string_view::npos;
}

}  // namespace

const std::string& restrictionTitleLine() {
  static const std::string title(kRestrictionHeader);
  return title;
}

int writeRestrictionExchangeFile(const std::string& path) {
  std::string out = userInfoLine();
  out.reserve(kUserInfoBytes + 16 + kRestrictionEntries * 32);
  out += restrictionTitleLine();
  out += '\n';
  for (int k = 0; k < kRestrictionEntries; ++k) appendEntryLine(out, k, "\r\n");
  return replaceWith(path, out);
}

int writeRestrictionLocalFile(const std::string& path) {
  std::string out = userInfoLine();
  out.reserve(kUserInfoBytes + 16 + kRestrictionEntries * 32);
  out += restrictionTitleLine();
  out += "\r\n";
  for (int k = 0; k < kRestrictionEntries; ++k) appendEntryLine(out, k, ",\r\n");
  return replaceWith(path, out);
}

std::string collectUserInfoHeader(TextFileReader& reader, std::string firstLine) {
  std::string header = std::move(firstLine);
  std::string next;
  while (header.size() <= kHeaderCollectLimit && reader.readLine(next)) {
    header += "\r\n";
    header += next;
  }
  return header;
}

int parseDownloadedRestrictionFile(const std::string& path, LoadReport* report) {
  TextFileReader reader;
  if (!reader.open(path)) return 30;
  clearUserInfoFields();
  std::optional<RestrictionWatch> watch;
  if (report) {
    report->beginFile(path);
    watch.emplace(RestrictionWatch{*report});
  }
  std::string line;
  int lineNumber = 0;
  if (reader.readLine(line)) {
    std::string header = collectUserInfoHeader(reader, std::move(line));
    lineNumber = linesOf(header);
    if (!header.empty() && header[0] == '2') takeUserInfoFields(header);
  }
  if (reader.readLine(line)) ++lineNumber;  // the title
  for (int k = 0; k <= kRestrictionEntries && reader.readLine(line); ++k)
    storeDownloadedLine(k, line, watch ? &*watch : nullptr, ++lineNumber);
  return 0;
}

int parseLocalRestrictionFile(const std::string& path, LoadReport* report) {
  TextFileReader reader;
  if (!reader.open(path)) return 30;
  std::optional<RestrictionWatch> watch;
  if (report) watch.emplace(RestrictionWatch{*report});
  std::string line;
  if (!reader.readLine(line)) return kRestrictionDataError;
  int lineNumber = 1;
  bool recognised = false;
  bool haveLine = true;
  if (hasUserInfoShape(line)) {
    std::string header = collectUserInfoHeader(reader, std::move(line));
    takeUserInfoFields(header);
    recognised = holdsTitle(header);
    lineNumber = linesOf(header) + 1;
    haveLine = reader.readLine(line);
  }
  for (; haveLine; haveLine = reader.readLine(line), ++lineNumber) {
    if (storeLocalLine(line, watch ? &*watch : nullptr, lineNumber)) {
      recognised = true;
    } else if (holdsTitle(line)) {
      recognised = true;
    } else if (report && lineHoldsText(line)) {
      report->add(lineNumber, -1, "", LFK::RowSkipped,
                  "項番が4桁の数字でないため読み込みませんでした", line);
    }
  }
  return recognised ? 0 : kRestrictionDataError;
}

int loadRestrictionLocalFile(const std::string& path, LoadReport* report) {
  clearUserInfoFields();
  if (!isCsvName(path)) return loadTaggedRestrictionFile(path, report);
  if (report) report->beginFile(path);
  return parseLocalRestrictionFile(path, report) == 0 ? 0 : kRestrictionDataError;
}

int saveRestrictionLocalFile(const std::string& path) {
  normaliseRestrictions();
  if (isCsvName(path)) return writeRestrictionLocalFile(path);
  return saveTaggedRestrictionFile(path);
}
