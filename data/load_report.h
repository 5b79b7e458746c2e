// The load report: the rows of a loaded file that the load refused or changed, and why.
//
// The loaders of data/ (exchange files, local phonebook, restriction and history files) take an
// optional LoadReport and append one finding for every field they changed on its way into the
// tables and every row they did not take. They decide exactly as they do without a report: a
// report only watches. Rows that carry nothing (blank lines, rows of empty fields) are not
// findings, since dropping them loses nothing.
//
// A finding names the file, the line of the file (1 = its first line), the entry the row is for
// (speed-dial number, position, item, entry or record number; -1 when the row has none), the
// column (the column title of the file's header, empty for the whole row), what happened in
// the user's words, and the field (or the row) as the file holds it.
//
// The texts are UTF-8 except `value`, which keeps the file's bytes (CP932). loadReportCsv gives
// the whole list as a CP932 CSV file with a header line.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

enum class LoadFindingKind : unsigned char {
  ForbiddenCharacters,  // characters a text field cannot hold, blanked or dropped
  TextShortened,        // a field longer than the table holds, cut to its width
  ReadingKept,          // a reading that is not half-width: the entry keeps its previous one
  NumberCharacters,     // characters a number cannot hold, dropped (or the number refused)
  OutOfRange,           // a use, group, mode, template or type value outside its range
  PrivateListFull,      // the extension's private speed dial is full: the entry stays as it was
  Duplicate,          // an entry cleared or overwritten by a later row with the same key or number
  BeyondMemoryCount,  // a row past the entries the memory count holds
  RowSkipped,         // a row that could not be taken: no key, too few fields, unknown key
};

constexpr int kLoadFindingKinds = 9;

// The short name of a kind in the summary line ("禁止文字", ...).
const char* loadFindingLabel(LoadFindingKind kind);

struct LoadFinding {
  std::string file;  // the file's name, without its folder
  int row = 0;       // the line in that file
  int entry = -1;
  std::string field;  // column title, "" for the whole row
  LoadFindingKind kind = LoadFindingKind::RowSkipped;
  std::string what;   // what happened
  std::string value;  // the field or row as the file holds it (CP932)
};

class LoadReport {
 public:
  // Forgets every finding.
  void clear();

  // The rows that follow belong to the file named `name` (a path: its folder is left out). A
  // loader that reads a text made from the file (a tagged file's rows as exchange-file text)
  // numbers its rows in that text; `lineOffset` is added to give the file's own line.
  void beginFile(std::string_view name, int lineOffset = 0);
  void setLineOffset(int lineOffset) { m_lineOffset = lineOffset; }

  // Appends a finding for line `line` of the text the loader reads.
  void add(int line, int entry, std::string_view field, LoadFindingKind kind, std::string_view what,
           std::string_view value);

  const std::vector<LoadFinding>& findings() const { return m_findings; }
  bool empty() const { return m_findings.empty(); }
  // How many rows (file and line) have at least one finding.
  int rowCount() const;
  int count(LoadFindingKind kind) const { return m_counts[static_cast<std::size_t>(kind)]; }

 private:
  std::vector<LoadFinding> m_findings;
  std::array<int, kLoadFindingKinds> m_counts{};
  std::string m_file;
  int m_lineOffset = 0;
};

// "読込報告: 50 行 (禁止文字 12, 番号 8, ...)": the rows and the findings of each kind that
// occurred, in the order of LoadFindingKind. UTF-8, without a line end.
std::string loadReportSummary(const LoadReport& report);

// The list as CSV in CP932, CR LF line ends: the header "ファイル,行,項番,項目,内容,ファイルの値"
// and one line per finding in the order found. A field holding a comma, a double quote or a line
// end is quoted, with its double quotes doubled.
std::string loadReportCsv(const LoadReport& report);

// Writes loadReportCsv to `path`, replacing it only once complete. False when it cannot be written.
bool saveLoadReportCsv(const std::string& path, const LoadReport& report);

// The report of the last file load or read that the menus, the file chooser and the read
// workflows made: each such load clears it first. Process-wide, like the tables it describes.
LoadReport& lastLoadReport();
