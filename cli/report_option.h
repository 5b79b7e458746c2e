// The load report on the command line: `--report FILE` and the summary line that zuctl convert
// and zuctl read print after a load (data/load_report.h).
#pragma once

#include <optional>
#include <string>

// When argv[i] is "--report FILE" or "--report=FILE", takes it into `path` (advancing i past the
// value) and returns true; `problem` says what is wrong when the value is missing. False for any
// other argument.
bool takeReportOption(int argc, char** argv, int& i, std::optional<std::string>& path,
                      std::string& problem);

// After a load: prints the summary line of lastLoadReport() to standard error when it holds
// findings, and writes the list as CSV to `path` when one is given (a report without findings is
// the header line alone). False, after a message on standard error, when the file cannot be
// written.
bool finishLoadReport(const std::optional<std::string>& path);
