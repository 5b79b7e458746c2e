#include "cli/report_option.h"

#include <cstdio>

#include "data/load_report.h"

bool takeReportOption(int argc, char** argv, int& i, std::optional<std::string>& path,
                      std::string& problem) {
  const std::string arg = argv[i];
  if (arg == "--report") {
    if (i + 1 >= argc || std::string(argv[i + 1]).empty()) {
      problem = "--report needs a file";
      return true;
    }
    path = argv[++i];
    return true;
  }
  if (!arg.starts_with("--report=")) return false;
  path = arg.substr(9);
  if (path->empty()) problem = "--report needs a file";
  return true;
}

bool finishLoadReport(const std::optional<std::string>& path) {
  const LoadReport& report = lastLoadReport();
  if (!report.empty()) std::fprintf(stderr, "%s\n", loadReportSummary(report).c_str());
  if (!path) return true;
  if (saveLoadReportCsv(*path, report)) return true;
  std::fprintf(stderr, "読込報告を書き込めません: %s\n", path->c_str());
  return false;
}
