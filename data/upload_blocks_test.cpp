#include "data/upload_blocks.h"

#include <gtest/gtest.h>

#include "data/exchange_files_test_support.h"
#include "data/exchange_format.h"
#include "data/phonebook_tables_test_support.h"
#include "data/user_info.h"
#include "data/xml_access.h"

using namespace phonebook_test;

namespace {

// ---- upload blocks ----------------------------------------------------------------------------

class BlockTest : public ExchangeFilesTest {
 protected:
  // Makes the blocks of exchange file `name` with `maker`, the first block named `first`.
  template <typename Maker>
  int makeBlocks(const std::string& name, const std::string& first, Maker maker) {
    std::FILE* exchange = std::fopen(dir.file(name).c_str(), "rb");
    std::FILE* block = std::fopen(dir.file(first).c_str(), "wb");
    const int result = maker(exchange, block, dir.file(first));
    std::fclose(exchange);
    std::fclose(block);
    return result;
  }
};

TEST_F(BlockTest, SpeedDialBlocksOfTenColumnsAreTwentyFilesOf500Rows) {
  fillFixtureTables();
  form = SpeedDialForm::TenColumns;
  writeAndRead(ExchangeKind::SpeedDial, "sys-tanf.txt");
  ASSERT_EQ(makeBlocks("sys-tanf.txt", "sys-tanf0000.txt",
                       [](std::FILE* e, std::FILE* b, const std::string& p) { return makeSpeedDialBlocks(e, b, p, SpeedDialForm::TenColumns); }),
            1);
  for (int i = 0; i < 20; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "sys-tanf%04d.txt", i * 500);
    const std::string block = readFile(dir.file(name));
    const std::string open = "<root>\n\n<systanf>\n\n";
    std::string expected = open;
    if (i == 0) expected = fixture("block_sys-tanf0000.head") + speedDialMiddle(10, 490, true, ",\n\n") +
                           fixture("block_sys-tanf0000.tail");
    else if (i == 19) expected = open + speedDialMiddle(9500, 9990, true, ",\n\n") + fixture("block_sys-tanf9500.tail");
    else expected = open + speedDialMiddle(i * 500, i * 500 + 500, true, ",\n\n") + "</systanf>\n\n</root>\n";
    EXPECT_EQ(block, expected) << name;
  }
  EXPECT_FALSE(fileExists(dir.file("sys-tanf10000.txt")));
}

TEST_F(BlockTest, SpeedDialBlocksOfSevenColumnsUseTheSysTanNames) {
  fillFixtureTables();
  form = SpeedDialForm::SevenColumns;
  writeAndRead(ExchangeKind::SpeedDial, "sys-tan.txt");
  ASSERT_EQ(makeBlocks("sys-tan.txt", "sys-tan0000.txt",
                       [](std::FILE* e, std::FILE* b, const std::string& p) { return makeSpeedDialBlocks(e, b, p, SpeedDialForm::SevenColumns); }),
            1);
  EXPECT_EQ(readFile(dir.file("sys-tan0000.txt")), fixture("block_sys-tan0000.head") +
                                                      speedDialMiddle(10, 490, false, ",\n\n") +
                                                      fixture("block_sys-tan0000.tail"));
  EXPECT_EQ(readFile(dir.file("sys-tan9500.txt")), "<root>\n\n<systan>\n\n" + speedDialMiddle(9500, 9990, false, ",\n\n") +
                                                      fixture("block_sys-tan9500.tail"));
}

TEST_F(BlockTest, ExtensionBlocksSplitAfterRows51_101_151_201) {
  fillFixtureTables();
  writeAndRead(ExchangeKind::Extensions, "naisen.txt");
  ASSERT_EQ(makeBlocks("naisen.txt", "naisen101.txt", makeExtensionBlocks), 1);
  for (const char* name : {"naisen101.txt", "naisen151.txt", "naisen241.txt", "naisen335.txt", "naisen429.txt"})
    EXPECT_EQ(readFile(dir.file(name)), fixture(std::string("block_") + name)) << name;
}

TEST_F(BlockTest, TemplateBlockReplacesCommasAndEndsRowsWithCr) {
  fillFixtureTables();
  writeAndRead(ExchangeKind::Templates, "usertkbntmp.txt");
  ASSERT_EQ(makeBlocks("usertkbntmp.txt", "usertkbn.txt", makeTemplateBlock), 1);
  EXPECT_EQ(readFile(dir.file("usertkbn.txt")), fixture("block_usertkbn.txt"));
}

TEST_F(BlockTest, RestrictionBlocksHold1000RowsWithTheirEntryNumbersIntact) {
  // The main unit's restriction file: its title ends with LF alone.
  char line[kUserInfoBytes + 1];
  formatUserInfoLine(line);
  std::string text(line, kUserInfoBytes);
  text += std::string(kRestrictionHeader) + "\n";
  for (int n = 0; n < 10000; ++n) {
    char row[32];
    std::snprintf(row, sizeof row, "%04d,%s\r\n", n, n == 0 ? "0312345678" : "");
    text += row;
  }
  writeFile(dir.file("hkiseinotmp.txt"), text);
  ASSERT_EQ(makeBlocks("hkiseinotmp.txt", "hkiseino0000.txt", makeRestrictionBlocks), 1);
  const std::string first = readFile(dir.file("hkiseino0000.txt"));
  EXPECT_TRUE(first.starts_with("<root>\n\n<m018>\n\n0000@0312345678,\n\n0001@,\n\n")) << first.substr(0, 60);
  EXPECT_TRUE(first.ends_with("0999@,\n\n</m018>\n\n</root>\n"));
  const std::string last = readFile(dir.file("hkiseino9000.txt"));
  EXPECT_TRUE(last.starts_with("<root>\n\n<m018>\n\n9000@,\n\n"));
  EXPECT_TRUE(last.ends_with("9999@,\n\n</m018>\n\n</root>"));
  EXPECT_EQ(std::count(last.begin(), last.end(), '@'), 1000);
}

TEST_F(BlockTest, BlockThatCannotBeCreatedIsReported) {
  form = SpeedDialForm::TenColumns;
  writeAndRead(ExchangeKind::SpeedDial, "sys-tanf.txt");
  std::filesystem::create_directory(dir.file("sys-tanf0500.txt"));
  EXPECT_EQ(makeBlocks("sys-tanf.txt", "sys-tanf0000.txt",
                       [](std::FILE* e, std::FILE* b, const std::string& p) { return makeSpeedDialBlocks(e, b, p, SpeedDialForm::TenColumns); }),
            0);
}

}  // namespace
