// The fixture of the exchange-file, upload-block and converter tests: fixture tables at the
// fixture time, a scratch folder, and readers of what the tables hold.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/exchange_files.h"
#include "data/exchange_format.h"
#include "data/phonebook_tables_test_support.h"
#include "data/user_info.h"

namespace phonebook_test {

class ExchangeFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    startUp();
    setLocalTimeForTesting(kFixtureTime);
  }
  void TearDown() override { setLocalTimeForTesting(std::nullopt); }

  // Writes `bytes` as dir/in.txt and reads it as exchange file `kind` in the fixture's form
  // and source; gives the result code.
  int readBody(ExchangeKind kind, std::string_view bytes, ExchangeReadSummary* summary = nullptr) {
    writeFile(dir.file("in.txt"), bytes);
    return readExchangeFile(dir.file("in.txt"), {kind, form, source}, summary).code;
  }

  // A speed-dial exchange file without user-information line: the header and `rows`, each row
  // ended with CR LF.
  static std::string speedDialBody(const std::vector<std::string>& rows, bool tenColumns = true) {
    std::string body(tenColumns ? kSpeedDial10Header : kSpeedDial7Header);
    body += "\r\n";
    for (const std::string& r : rows) body += r + "\r\n";
    return body;
  }

  static SpeedDialFields entry(int n) {
    SpeedDialFields f{};
    getSpeedDialEntry(n, f);
    return f;
  }

  static std::string templateText(int item) {
    char out[21];
    getTemplateMessage(item, out);
    return out;
  }

  static ExtensionFields extension(int position) {
    ExtensionFields f{};
    getExtensionEntry(0, position, f);
    return f;
  }

  // Writes exchange file `kind` in the fixture's form as dir/name and gives its bytes.
  std::string writeAndRead(ExchangeKind kind, const std::string& name) {
    EXPECT_TRUE(writeExchangeFile(dir.file(name), kind, form).ok());
    return readFile(dir.file(name));
  }

  TempDir dir;
  SpeedDialForm form = SpeedDialForm::SevenColumns;
  RowSource source = RowSource::UserFile;
};

inline std::string speedDialMiddle(int from, int to, bool tenColumns, std::string_view end) {
  std::string out;
  for (int n = from; n < to; ++n) out += emptySpeedDialRow(n, tenColumns) + std::string(end);
  return out;
}

}  // namespace phonebook_test
