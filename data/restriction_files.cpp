#include "data/restriction_files.h"

#include <cstdio>
#include <cstring>
#include <string_view>

#include "base/ascii_text.h"
#include "base/atomic_file.h"
#include "base/platform.h"
#include "base/text_file.h"
#include "data/exchange_format.h"
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

void storeDownloadedLine(int k, std::string_view line) {
  RestrictionEntry e{};
  std::string_view first = fieldAt(line, 0);
  e.index = entryIndexOf(first);
  if (first.size() < line.size()) {
    std::string_view number = fieldAt(line, first.size() + 1);
    if (!number.empty())
      std::memcpy(e.number, number.data(), std::min<std::size_t>(number.size(), 24));
  }
  storeRestrictionEntry(k, e, RestrictionStoreMode::Download);
}

bool isFourDigits(std::string_view field) {
  if (field.size() != 4) return false;
  for (char c : field)
    if (c < '0' || c > '9') return false;
  return true;
}

// Stores one line of a local text; false when the line is no entry line.
bool storeLocalLine(std::string line) {
  line += ',';
  std::string_view view(line);
  std::string_view first = fieldAt(view, 0);
  if (!isFourDigits(first)) return false;
  RestrictionEntry e{};
  e.index = entryIndexOf(first);
  std::size_t n = 0;
  for (char c : fieldAt(view, first.size() + 1)) {
    if (c >= '0' && c <= '9' && n < 24) e.number[n++] = c;
  }
  storeRestrictionEntry(e.index, e, RestrictionStoreMode::FileLoad);
  return true;
}

// Reads the head of a tagged file up to its data element line ("<m018>", or "<HKISEINO>" as
// older files have it) and takes the header fields from the text of its "<USER>" block. False
// when the element line comes before any "<USER>" line or never comes.
bool scanTaggedHead(TextFileReader& reader, std::string& header) {
  // Appended piece by piece: GCC 12 at -O3 reports a false -Wrestrict overlap for
  // "<" + std::string(...) (its inlined insert at the front).
  std::string current = "<";
  current.append(kRestrictionElement);
  current += '>';
  if (collectTaggedHeader(reader, {current, "<HKISEINO>"}, header) != TaggedHeaderResult::Found)
    return false;
  takeUserInfoFields(header);
  return true;
}

int loadTaggedRestrictionFile(const std::string& path) {
  TextFileReader reader;
  if (!reader.open(path)) return 30;
  const std::string work = createUniqueTempFile(directoryOf(path));
  if (work.empty()) return 30;
  std::string header;
  int result = kRestrictionHeadError;
  if (scanTaggedHead(reader, header)) {
    result = kRestrictionDataError;
    std::FILE* out = std::fopen(work.c_str(), "wb");
    if (!out) {
      result = 30;
    } else {
      bool written = std::fwrite(header.data(), 1, header.size(), out) == header.size() &&
                     convertTaggedRows(path, kRestrictionElement, TaggedRows::Restrictions, out);
      written = std::fclose(out) == 0 && written;
      if (written && parseLocalRestrictionFile(work) == 0) result = 0;
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

int parseDownloadedRestrictionFile(const std::string& path) {
  TextFileReader reader;
  if (!reader.open(path)) return 30;
  clearUserInfoFields();
  std::string line;
  if (reader.readLine(line)) {
    std::string header = collectUserInfoHeader(reader, std::move(line));
    if (!header.empty() && header[0] == '2') takeUserInfoFields(header);
  }
  reader.readLine(line);  // the title
  for (int k = 0; k <= kRestrictionEntries && reader.readLine(line); ++k)
    storeDownloadedLine(k, line);
  return 0;
}

int parseLocalRestrictionFile(const std::string& path) {
  TextFileReader reader;
  if (!reader.open(path)) return 30;
  std::string line;
  if (!reader.readLine(line)) return kRestrictionDataError;
  bool recognised = false;
  bool haveLine = true;
  if (hasUserInfoShape(line)) {
    std::string header = collectUserInfoHeader(reader, std::move(line));
    takeUserInfoFields(header);
    recognised = holdsTitle(header);
    haveLine = reader.readLine(line);
  }
  for (; haveLine; haveLine = reader.readLine(line)) {
    if (storeLocalLine(line) || holdsTitle(line)) recognised = true;
  }
  return recognised ? 0 : kRestrictionDataError;
}

int loadRestrictionLocalFile(const std::string& path) {
  clearUserInfoFields();
  if (!isCsvName(path)) return loadTaggedRestrictionFile(path);
  return parseLocalRestrictionFile(path) == 0 ? 0 : kRestrictionDataError;
}

int saveRestrictionLocalFile(const std::string& path) {
  normaliseRestrictions();
  if (isCsvName(path)) return writeRestrictionLocalFile(path);
  return saveTaggedRestrictionFile(path);
}
