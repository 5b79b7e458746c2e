// Fuzzes the loaders of the tagged local files: every input is loaded as each kind of phonebook
// file (.zud8, .zud3, .zud4, .zud9) the way the menus load it, through the XML document or the
// plain-text reading, and read once more by the plain-text reading alone.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/fuzz_scratch.h"
#include "data/exchange_format.h"
#include "data/phonebook_file_io.h"
#include "data/process_state.h"
#include "data/system_data.h"
#include "data/tagged_files.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const struct {
    const char* name;
    ExchangeKind kind;
  } loads[] = {{"input.zud8", ExchangeKind::SpeedDial},
               {"input.zud3", ExchangeKind::SpeedDial},
               {"input.zud4", ExchangeKind::Extensions},
               {"input.zud9", ExchangeKind::Templates}};
  for (const auto& load : loads) {
    initProcessState();
    initSystemData();
    loadPhonebookData(fuzzscratch::write(load.name, data, size), load.kind);
  }
  initProcessState();
  initSystemData();
  const std::string path = fuzzscratch::write("input.txt", data, size);
  std::FILE* out = std::fopen((fuzzscratch::folder() + "rows.txt").c_str(), "wb");
  if (out == nullptr) return 0;
  convertTaggedRowsAsText(path, kNaisenElement, TaggedRows::Extensions, out);
  std::fclose(out);
  return 0;
}
