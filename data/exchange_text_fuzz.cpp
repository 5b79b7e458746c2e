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

void readAs(ExchangeKind kind, SpeedDialForm form, RowSource source, std::string_view bytes) {
  initProcessState();
  initSystemData();
  ExchangeReadSummary summary;
  readExchangeText({kind, form, source}, bytes, &summary);
  (void)exchangeBodyRefused(summary);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  readAs(ExchangeKind::SpeedDial, SpeedDialForm::SevenColumns, RowSource::UserFile, bytes);
  readAs(ExchangeKind::SpeedDial, SpeedDialForm::TenColumns, RowSource::MainUnit, bytes);
  readAs(ExchangeKind::Extensions, SpeedDialForm::TenColumns, RowSource::UserFile, bytes);
  readAs(ExchangeKind::Templates, SpeedDialForm::TenColumns, RowSource::UserFile, bytes);
  return 0;
}
