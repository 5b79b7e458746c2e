// Fuzzes the restriction-number loaders: every input is loaded as a local ".csv", as a tagged
// ".zud7" and as the "hkiseino.txt" the main unit sends.
#include <cstddef>
#include <cstdint>

#include "base/fuzz_scratch.h"
#include "data/process_state.h"
#include "data/restriction_files.h"
#include "data/system_data.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  initProcessState();
  initSystemData();
  loadRestrictionLocalFile(fuzzscratch::write("input.csv", data, size));
  initSystemData();
  loadRestrictionLocalFile(fuzzscratch::write("input.zud7", data, size));
  initSystemData();
  parseDownloadedRestrictionFile(fuzzscratch::write("hkiseino.txt", data, size));
  return 0;
}
