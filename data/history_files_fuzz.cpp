// Fuzzes the call-history loaders: every input is loaded as the CSV file and as the downloaded
// file of both histories.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/fuzz_scratch.h"
#include "data/history_files.h"
#include "data/process_state.h"
#include "data/system_data.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = fuzzscratch::write("history.csv", data, size);
  for (HistoryKind kind : {HistoryKind::Internal, HistoryKind::External}) {
    initProcessState();
    initSystemData();
    loadHistoryCsvFile(path, kind);
    parseDownloadedHistoryFile(path, kind);
  }
  return 0;
}
