#include "mainunit/mainunit_tables.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "base/atomic_file.h"
#include "base/platform.h"
#include "mainunit/unit_rows.h"

namespace {

std::array<int, kMainUnitExtensionLines> makeExtensionPositions() {
  struct Range { int first, last; };
  static constexpr Range kRanges[] = {
      {101, 160}, {201, 256}, {301, 356}, {401, 456}, {601, 616}, {700, 715}, {720, 725},
      {730, 745}, {750, 754}, {761, 765}, {770, 774}, {781, 782}, {791, 791}, {821, 821},
      {831, 846}};
  std::array<int, kMainUnitExtensionLines> positions{};
  std::size_t n = 0;
  for (const Range& r : kRanges)
    for (int p = r.first; p <= r.last; ++p) positions[n++] = p;
  return positions;
}

std::string joinFields(const std::vector<std::string>& fields) {
  std::string row;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i) row += ',';
    row += fields[i];
  }
  return row;
}

std::vector<std::string_view> fileLines(std::string_view bytes) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t lf = bytes.find('\n', start);
    if (lf == std::string_view::npos) lf = bytes.size();
    std::string_view line = bytes.substr(start, lf - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!line.empty()) lines.push_back(line);
    start = lf + 1;
  }
  return lines;
}

std::string speedDialFile(const MainUnitTables& t) {
  std::string out;
  out.reserve(t.speedDial.size() * 64);
  char index[8];
  for (int i = 0; i < kMainUnitSpeedDials; ++i) {
    const MainUnitSpeedDial& e = t.speedDial[i];
    std::snprintf(index, sizeof index, "%04d", i);
    out += joinFields({index, e.number, e.name, e.reading, e.use, e.group, e.lineGroup,
                       e.displayMode, e.template1, e.template2});
    out += '\n';
  }
  return out;
}

void readSpeedDialFile(std::string_view bytes, MainUnitTables& t) {
  for (std::string_view line : fileLines(bytes)) {
    std::vector<std::string> f = unitRowFields(line, ',');
    int i = unitRowNumber(f[0]);
    if (f.size() < 10 || i < 0 || i >= kMainUnitSpeedDials) continue;
    t.speedDial[i] = {f[1], f[2], f[3], f[4], f[5], f[6], f[7], f[8], f[9]};
  }
}

std::string extensionFile(const MainUnitTables& t) {
  std::string out;
  for (const MainUnitExtension& e : t.extensions)
    out += joinFields({std::to_string(e.position), e.number, e.name, e.reading}) + '\n';
  return out;
}

void readExtensionFile(std::string_view bytes, MainUnitTables& t) {
  for (std::string_view line : fileLines(bytes)) {
    std::vector<std::string> f = unitRowFields(line, ',');
    int index = extensionIndexOf(unitRowNumber(f[0]));
    if (f.size() < 4 || index < 0) continue;
    t.extensions[index] = {t.extensions[index].position, f[1], f[2], f[3]};
  }
}

// "index,text" lines; the text is everything after the first comma.
std::string indexedTextFile(const std::vector<std::string>& texts, const char* format, int first) {
  std::string out;
  char index[8];
  for (std::size_t i = first; i < texts.size(); ++i) {
    std::snprintf(index, sizeof index, format, static_cast<int>(i));
    out += index;
    out += ',';
    out += texts[i];
    out += '\n';
  }
  return out;
}

void readIndexedTextFile(std::string_view bytes, std::vector<std::string>& texts) {
  for (std::string_view line : fileLines(bytes)) {
    std::size_t comma = line.find(',');
    int i = unitRowNumber(line);
    if (comma == std::string_view::npos || i < 0 || i >= static_cast<int>(texts.size())) continue;
    texts[i] = std::string(line.substr(comma + 1));
  }
}

std::string historyFile(const std::vector<std::vector<std::string>>& rows) {
  std::string out;
  for (const auto& row : rows) out += joinFields(row) + '\n';
  return out;
}

void readHistoryFile(std::string_view bytes, std::size_t fieldCount,
                     std::vector<std::vector<std::string>>& rows) {
  rows.clear();
  for (std::string_view line : fileLines(bytes)) {
    std::vector<std::string> f = unitRowFields(line, ',');
    if (unitRowNumber(f[0]) < 1 || rows.size() >= kMainUnitHistoryRecords) continue;
    f.resize(fieldCount);
    rows.push_back(std::move(f));
  }
}

bool ensureFolder(const std::string& dir) {
  std::string path;
  for (std::size_t i = 0; i <= dir.size(); ++i) {
    if (i == dir.size() || (dir[i] == '/' && i > 0)) {
      path = dir.substr(0, i);
      if (::mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) return false;
    }
  }
  struct stat st{};
  return ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string inFolder(const std::string& dir, const char* name) {
  if (!dir.empty() && dir.back() == '/') return dir + name;
  return dir + "/" + name;
}

}  // namespace

MainUnitTables::MainUnitTables() {
  extensions.reserve(kMainUnitExtensionLines);
  for (int p : mainUnitExtensionPositions()) extensions.push_back({p, "", "", ""});
}

const std::array<int, kMainUnitExtensionLines>& mainUnitExtensionPositions() {
  static const std::array<int, kMainUnitExtensionLines> positions = makeExtensionPositions();
  return positions;
}

int extensionIndexOf(int position) {
  const auto& positions = mainUnitExtensionPositions();
  for (int i = 0; i < kMainUnitExtensionLines; ++i)
    if (positions[i] == position) return i;
  return -1;
}

int loadMainUnitTables(const std::string& dir, MainUnitTables& out) {
  int loaded = 0;
  std::string bytes;
  if (readFileBytes(inFolder(dir, "speed-dial.txt"), bytes)) {
    readSpeedDialFile(bytes, out);
    ++loaded;
  }
  if (readFileBytes(inFolder(dir, "naisen.txt"), bytes)) {
    readExtensionFile(bytes, out);
    ++loaded;
  }
  if (readFileBytes(inFolder(dir, "usertkbn.txt"), bytes)) {
    readIndexedTextFile(bytes, out.templates);
    ++loaded;
  }
  if (readFileBytes(inFolder(dir, "hkiseino.txt"), bytes)) {
    readIndexedTextFile(bytes, out.restrictions);
    ++loaded;
  }
  if (readFileBytes(inFolder(dir, "naityaklog.txt"), bytes)) {
    readHistoryFile(bytes, kInternalHistoryFields, out.internalHistory);
    ++loaded;
  }
  if (readFileBytes(inFolder(dir, "gaityaklog.txt"), bytes)) {
    readHistoryFile(bytes, kExternalHistoryFields, out.externalHistory);
    ++loaded;
  }
  return loaded;
}

bool saveMainUnitTables(const std::string& dir, const MainUnitTables& t, unsigned files) {
  if (!ensureFolder(dir)) return false;
  bool ok = true;
  auto save = [&](unsigned bit, const char* name, auto render) {
    if ((files & bit) && !replaceFileAtomically(inFolder(dir, name), render())) ok = false;
  };
  save(kSpeedDialFile, "speed-dial.txt", [&] { return speedDialFile(t); });
  save(kExtensionFile, "naisen.txt", [&] { return extensionFile(t); });
  save(kTemplateFile, "usertkbn.txt", [&] { return indexedTextFile(t.templates, "%03d", 1); });
  save(kRestrictionFile, "hkiseino.txt", [&] { return indexedTextFile(t.restrictions, "%04d", 0); });
  save(kInternalHistoryFile, "naityaklog.txt", [&] { return historyFile(t.internalHistory); });
  save(kExternalHistoryFile, "gaityaklog.txt", [&] { return historyFile(t.externalHistory); });
  return ok;
}
