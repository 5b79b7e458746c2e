// Fuzzes the exchange-file readers: every input is read as each kind of exchange file (the speed
// dial in both forms, from a user's file and from the main unit, the extension directory and the
// templates) into freshly initialised tables.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "data/exchange_files.h"
#include "data/process_state.h"
#include "data/system_data.h"

namespace {

void readAs(int kind, int tenColumn, int fromUnit, std::string_view bytes) {
  initProcessState();
  initSystemData();
  sysTanfMode = tenColumn;
  speedDialPass = fromUnit;
  ExchangeReadSummary summary;
  readExchangeText(kind, bytes, &summary);
  (void)exchangeBodyRefused(summary);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  readAs(kExchangeSpeedDial, 0, 0, bytes);
  readAs(kExchangeSpeedDial, 1, 1, bytes);
  readAs(kExchangeExtensions, 0, 0, bytes);
  readAs(kExchangeTemplates, 0, 0, bytes);
  return 0;
}
