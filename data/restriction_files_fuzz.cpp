// Fuzzes the restriction-number loaders: every input is loaded as a local ".csv", as a tagged
// ".zud7" and as the "hkiseino.txt" the main unit sends, once without and once with a load
// report; the two loads must leave the same list.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/fuzz_scratch.h"
#include "data/load_report.h"
#include "data/process_state.h"
#include "data/restriction_files.h"
#include "data/restriction_table.h"
#include "data/system_data.h"

namespace {

std::string listBytes() {
  std::string out(reinterpret_cast<const char*>(restrictionTable), sizeof restrictionTable);
  out.append(reinterpret_cast<const char*>(restrictionInput), sizeof restrictionInput);
  return out;
}

template <typename Load>
void bothWays(Load load) {
  std::string lists[2];
  for (int withReport = 0; withReport < 2; ++withReport) {
    initSystemData();
    LoadReport report;
    load(withReport ? &report : nullptr);
    (void)loadReportCsv(report);
    lists[withReport] = listBytes();
  }
  if (lists[0] != lists[1]) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  initProcessState();
  const std::string csv = fuzzscratch::write("input.csv", data, size);
  bothWays([&](LoadReport* r) { loadRestrictionLocalFile(csv, r); });
  const std::string zud7 = fuzzscratch::write("input.zud7", data, size);
  bothWays([&](LoadReport* r) { loadRestrictionLocalFile(zud7, r); });
  const std::string download = fuzzscratch::write("hkiseino.txt", data, size);
  bothWays([&](LoadReport* r) { parseDownloadedRestrictionFile(download, r); });
  return 0;
}
