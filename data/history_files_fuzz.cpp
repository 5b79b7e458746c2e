// Fuzzes the call-history loaders: every input is loaded as the CSV file and as the downloaded
// file of both histories, once without and once with a load report; the two loads must leave
// the same history.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/fuzz_scratch.h"
#include "data/call_history.h"
#include "data/history_files.h"
#include "data/load_report.h"
#include "data/process_state.h"
#include "data/system_data.h"

namespace {

std::string historyBytes() {
  std::string out(reinterpret_cast<const char*>(internalHistory), sizeof internalHistory);
  out.append(reinterpret_cast<const char*>(externalHistory), sizeof externalHistory);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = fuzzscratch::write("history.csv", data, size);
  for (HistoryKind kind : {HistoryKind::Internal, HistoryKind::External}) {
    std::string histories[2];
    for (int withReport = 0; withReport < 2; ++withReport) {
      initProcessState();
      initSystemData();
      LoadReport report;
      LoadReport* r = withReport ? &report : nullptr;
      loadHistoryCsvFile(path, kind, r);
      parseDownloadedHistoryFile(path, kind, r);
      (void)loadReportCsv(report);
      histories[withReport] = historyBytes();
    }
    if (histories[0] != histories[1]) __builtin_trap();
  }
  return 0;
}
