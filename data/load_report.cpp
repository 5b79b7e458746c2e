#include "data/load_report.h"

#include <set>
#include <utility>

#include "base/atomic_file.h"
#include "base/cp932.h"
#include "base/platform.h"
#include "base/sjis.h"

namespace {

// A row kept as a finding's value is cut here: enough to recognise it.
constexpr std::size_t kMaxValueBytes = 200;

constexpr const char* kLabels[kLoadFindingKinds] = {
    "禁止文字",     "切り詰め", "ヨミガナ",     "番号",     "範囲外",
    "個別短縮上限", "重複",     "メモリ数超過", "不正な行",
};

void appendCsvField(std::string& out, std::string_view field) {
  if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
    out.append(field);
    return;
  }
  out += '"';
  for (char c : field) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

}  // namespace

const char* loadFindingLabel(LoadFindingKind kind) {
  return kLabels[static_cast<std::size_t>(kind)];
}

void LoadReport::clear() {
  m_findings.clear();
  m_counts.fill(0);
  m_file.clear();
  m_lineOffset = 0;
}

void LoadReport::beginFile(std::string_view name, int lineOffset) {
  m_file = fileNameOf(std::string(name));
  m_lineOffset = lineOffset;
}

void LoadReport::add(int line, int entry, std::string_view field, LoadFindingKind kind,
                     std::string_view what, std::string_view value) {
  LoadFinding f;
  f.file = m_file;
  f.row = line + m_lineOffset;
  f.entry = entry;
  f.field = std::string(field);
  f.kind = kind;
  f.what = std::string(what);
  const std::size_t keep =
      value.size() > kMaxValueBytes ? sjisCutLength(value.data(), kMaxValueBytes) : value.size();
  f.value = std::string(value.substr(0, keep));
  m_findings.push_back(std::move(f));
  ++m_counts[static_cast<std::size_t>(kind)];
}

int LoadReport::rowCount() const {
  std::set<std::pair<std::string_view, int>> rows;
  for (const LoadFinding& f : m_findings) rows.insert({f.file, f.row});
  return static_cast<int>(rows.size());
}

std::string loadReportSummary(const LoadReport& report) {
  std::string out = "読込報告: " + std::to_string(report.rowCount()) + " 行";
  std::string kinds;
  for (int k = 0; k < kLoadFindingKinds; ++k) {
    const int n = report.count(static_cast<LoadFindingKind>(k));
    if (n == 0) continue;
    if (!kinds.empty()) kinds += ", ";
    kinds += kLabels[k];
    kinds += ' ';
    kinds += std::to_string(n);
  }
  if (!kinds.empty()) out += " (" + kinds + ")";
  return out;
}

std::string loadReportCsv(const LoadReport& report) {
  std::string out = utf8ToCp932("ファイル,行,項番,項目,内容,ファイルの値");
  out += "\r\n";
  for (const LoadFinding& f : report.findings()) {
    appendCsvField(out, utf8ToCp932(f.file));
    out += ',';
    out += std::to_string(f.row);
    out += ',';
    if (f.entry >= 0) out += std::to_string(f.entry);
    out += ',';
    appendCsvField(out, utf8ToCp932(f.field));
    out += ',';
    appendCsvField(out, utf8ToCp932(f.what));
    out += ',';
    appendCsvField(out, f.value);
    out += "\r\n";
  }
  return out;
}

bool saveLoadReportCsv(const std::string& path, const LoadReport& report) {
  return replaceFileAtomically(path, loadReportCsv(report));
}

LoadReport& lastLoadReport() {
  static LoadReport report;
  return report;
}
