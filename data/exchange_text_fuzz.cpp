// Fuzzes the exchange-file readers: every input is read as each kind of exchange file (the speed
// dial in both forms, from a user's file and from the main unit, the extension directory and the
// templates) into freshly initialised tables, once without and once with a load report; the two
// reads must leave the same tables.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "data/exchange_files.h"
#include "data/load_report.h"
#include "data/phonebook_tables.h"
#include "data/process_state.h"
#include "data/system_data.h"

namespace {

std::string tableBytes() {
  std::string out(reinterpret_cast<const char*>(phonebookImage.speedDial),
                  sizeof phonebookImage.speedDial);
  out.append(reinterpret_cast<const char*>(phonebookImage.directories[0]),
             sizeof phonebookImage.directories[0]);
  out.append(reinterpret_cast<const char*>(templateMessages), sizeof templateMessages);
  return out;
}

void readAs(ExchangeKind kind, SpeedDialForm form, RowSource source, std::string_view bytes) {
  std::string tables[2];
  for (int withReport = 0; withReport < 2; ++withReport) {
    initProcessState();
    initSystemData();
    LoadReport report;
    ExchangeReadSummary summary;
    readExchangeText({kind, form, source, withReport ? &report : nullptr}, bytes, &summary);
    (void)exchangeBodyRefused(summary);
    (void)loadReportCsv(report);
    tables[withReport] = tableBytes();
  }
  if (tables[0] != tables[1]) __builtin_trap();
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
