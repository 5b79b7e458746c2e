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

  // Writes `bytes` as dir/name and reads it as exchange file `kind`.
  int readBody(int kind, std::string_view bytes, ExchangeReadSummary* summary = nullptr) {
    writeFile(dir.file("in.txt"), bytes);
    ExchangePath at(dir.path(), "in.txt");
    return readExchangeFile(kind, summary);
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

  std::string writeAndRead(int kind, const std::string& name) {
    ExchangePath at(dir.path(), name);
    EXPECT_EQ(writeExchangeFile(kind), 0);
    return readFile(dir.file(name));
  }

  TempDir dir;
};

inline std::string speedDialMiddle(int from, int to, bool tenColumns, std::string_view end) {
  std::string out;
  for (int n = from; n < to; ++n) out += emptySpeedDialRow(n, tenColumns) + std::string(end);
  return out;
}

}  // namespace phonebook_test
