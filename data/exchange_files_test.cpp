#include "data/exchange_files.h"

#include "data/element_converters.h"
#include "data/upload_blocks.h"
#include <gtest/gtest.h>

#include "data/exchange_files_test_support.h"
#include "data/exchange_format.h"
#include "data/phonebook_tables_test_support.h"
#include "data/user_info.h"
#include "data/xml_access.h"

using namespace phonebook_test;

namespace {


// ---- writer -------------------------------------------------------------------------------

TEST_F(ExchangeFilesTest, SpeedDialFileOfTenColumnsIsByteExact) {
  fillFixtureTables();
  form = SpeedDialForm::TenColumns;
  const std::string written = writeAndRead(ExchangeKind::SpeedDial, "sys-tanf.txt");
  const std::string expected = fixture("exchange_sys-tanf.head") + speedDialMiddle(10, 9990, true, "\r\n") +
                               fixture("exchange_sys-tanf.tail");
  EXPECT_EQ(written, expected);
}

TEST_F(ExchangeFilesTest, SpeedDialFileOfSevenColumnsIsByteExact) {
  fillFixtureTables();
  form = SpeedDialForm::SevenColumns;
  const std::string written = writeAndRead(ExchangeKind::SpeedDial, "sys-tan.txt");
  const std::string expected = fixture("exchange_sys-tan.head") + speedDialMiddle(10, 9990, false, "\r\n") +
                               fixture("exchange_sys-tan.tail");
  EXPECT_EQ(written, expected);
}

TEST_F(ExchangeFilesTest, SpeedDialFileHasTenThousandRowsUnderEitherMemoryCount) {
  memoryMode = 2;
  const std::string written = writeAndRead(ExchangeKind::SpeedDial, "sys-tan.txt");
  EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 1 + 1 + 10000);
}

TEST_F(ExchangeFilesTest, ExtensionFileIsByteExactWithTheDefaultEntries) {
  fillFixtureTables();
  EXPECT_EQ(writeAndRead(ExchangeKind::Extensions, "naisen.txt"), fixture("exchange_naisen.txt"));
}

TEST_F(ExchangeFilesTest, TemplateFileIsByteExact) {
  fillFixtureTables();
  EXPECT_EQ(writeAndRead(ExchangeKind::Templates, "usertkbntmp.txt"), fixture("exchange_usertkbn.txt"));
}

TEST_F(ExchangeFilesTest, WriterCreatesAMissingDirectory) {
  const std::string sub = dir.path() + "/a/b";
  EXPECT_TRUE(writeExchangeFile(sub + "/naisen.txt", ExchangeKind::Extensions, form).ok());
  EXPECT_TRUE(fileExists(sub + "/naisen.txt"));
}

TEST_F(ExchangeFilesTest, WriterThatCannotCreateTheFileGives30AndLeavesNothingBehind) {
  writeFile(dir.file("plain"), "x");
  // A directory that is a file.
  EXPECT_EQ(writeExchangeFile(dir.file("plain/naisen.txt"), ExchangeKind::Extensions, form).code, 30);
  std::filesystem::create_directory(dir.file("taken.txt"));
  // The target is a directory.
  EXPECT_EQ(writeExchangeFile(dir.file("taken.txt"), ExchangeKind::Templates, form).code, 30);
  EXPECT_EQ(dir.names(), (std::vector<std::string>{"plain", "taken.txt"}));
  EXPECT_EQ(readFile(dir.file("plain")), "x");
}

// ---- reader: user-information line ----------------------------------------------------------

TEST_F(ExchangeFilesTest, UserInformationLineGivesTheSixFields) {
  setUserFields();
  const std::string fields = userFieldBytes();
  form = SpeedDialForm::TenColumns;
  writeAndRead(ExchangeKind::SpeedDial, "sys-tanf.txt");
  clearUserInfoFields();
  EXPECT_TRUE(readExchangeFile(dir.file("sys-tanf.txt"), {ExchangeKind::SpeedDial, form}).ok());
  EXPECT_EQ(userFieldBytes(), fields);
}

TEST_F(ExchangeFilesTest, FileWithoutUserInformationLineLoadsFromItsFirstByteAndKeepsTheFields) {
  setUserFields();
  const std::string fields = userFieldBytes();
  form = SpeedDialForm::TenColumns;
  EXPECT_EQ(readBody(ExchangeKind::SpeedDial, speedDialBody({"0000,0311112222,,,1,01,0,0,000,000"})), 0);
  EXPECT_STREQ(entry(0).number, "0311112222");
  EXPECT_EQ(userFieldBytes(), fields);
}

TEST_F(ExchangeFilesTest, MissingFileGives30AndChangesNothing) {
  fillFixtureTables();
  const std::string before = phonebookBytes() + userFieldBytes();
  for (const ExchangeKind kind : {ExchangeKind::SpeedDial, ExchangeKind::Extensions, ExchangeKind::Templates}) {
    EXPECT_EQ(readExchangeFile(dir.file("none.txt"), {kind, form}).code, 30);
  }
  EXPECT_EQ(phonebookBytes() + userFieldBytes(), before);
}

// ---- reader: speed dial ---------------------------------------------------------------------

TEST_F(ExchangeFilesTest, FirstRowMustBeEntryZero) {
  form = SpeedDialForm::TenColumns;
  readBody(ExchangeKind::SpeedDial, speedDialBody({"0001,111,,,1,01,0,0,000,000", "0002,222,,,1,01,0,0,000,000"}));
  EXPECT_STREQ(entry(1).number, "111") << "0001 begins with three zeros";
  startUp();
  form = SpeedDialForm::TenColumns;
  ExchangeReadSummary summary;
  EXPECT_EQ(readBody(ExchangeKind::SpeedDial, speedDialBody({"1,111,,,1,01,0,0,000,000", "2,222,,,1,01,0,0,000,000"}),
                     &summary), 0);
  EXPECT_STREQ(entry(1).number, "");
  EXPECT_STREQ(entry(2).number, "");
  EXPECT_EQ(summary.rowsStored, 0);
  EXPECT_TRUE(exchangeBodyRefused(summary));
}

TEST_F(ExchangeFilesTest, MemoryCountTwoStopsAfterEntry989) {
  memoryMode = 2;
  form = SpeedDialForm::TenColumns;
  std::vector<std::string> rows;
  for (int n = 0; n < 10000; ++n) rows.push_back(emptySpeedDialRow(n, true));
  rows[989] = "0989,989,,,1,01,0,0,000,000";
  rows[990] = "0990,990,,,1,01,0,0,000,000";
  ExchangeReadSummary summary;
  readBody(ExchangeKind::SpeedDial, speedDialBody(rows), &summary);
  EXPECT_EQ(summary.rowsStored, 990);
  EXPECT_STREQ(entry(989).number, "989");
  memoryMode = 1;
  startUp();
  form = SpeedDialForm::TenColumns;
  readBody(ExchangeKind::SpeedDial, speedDialBody(rows), &summary);
  EXPECT_EQ(summary.rowsStored, 10000);
  EXPECT_STREQ(entry(990).number, "990");
}

TEST_F(ExchangeFilesTest, TenColumnRowTakesGroupLineGroupDisplayModeAndTemplates) {
  form = SpeedDialForm::TenColumns;
  readBody(ExchangeKind::SpeedDial, speedDialBody({"0000,,,,0,01,0,0,000,000", "0001,0312345678,,,1,45,2,3,010,011"}));
  const SpeedDialFields f = entry(1);
  EXPECT_STREQ(f.speedDialGroup, "01");
  EXPECT_EQ(f.lineGroup, '2');
  EXPECT_EQ(f.displayMode, 3);
  EXPECT_EQ(f.template1, 10);
  EXPECT_EQ(f.template2, 11);
}

TEST_F(ExchangeFilesTest, UseOfARowWithANumberIsNormalised) {
  form = SpeedDialForm::SevenColumns;
  readBody(ExchangeKind::SpeedDial,
           speedDialBody({"0000,1,,,5000,01,0", "0001,1,,,0,01,0", "0002,1,,,9,01,0", "0003,1,,,100,01,0",
                          "0004,1,,,8,01,0", "0005,1,,,456,01,0", "0006,1,,,457,01,0", "0007,1,,,ab,01,0",
                          "0008,,ﾅﾏｴ,,0,01,0"},
                         false));
  EXPECT_STREQ(entry(0).use, "1") << "5000 is cut to 500, no position";
  EXPECT_STREQ(entry(1).use, "1");
  EXPECT_STREQ(entry(2).use, "1");
  EXPECT_STREQ(entry(3).use, "1");
  EXPECT_STREQ(entry(4).use, "8");
  EXPECT_STREQ(entry(5).use, "456");
  EXPECT_STREQ(entry(6).use, "1");
  EXPECT_STREQ(entry(7).use, "1");
  EXPECT_STREQ(entry(8).use, "0") << "without a number the use is not normalised";
}

TEST_F(ExchangeFilesTest, NumberKeepsOnlyDialCharacters) {
  form = SpeedDialForm::SevenColumns;
  readBody(ExchangeKind::SpeedDial, speedDialBody({"0000,(03) 1234-5678 ext.9#*PM,,,1,01,0"}, false));
  EXPECT_STREQ(entry(0).number, "031234-56789#*PM");
}

TEST_F(ExchangeFilesTest, ReadingBlanksMarkupAndDropsBytesOutsideTheHalfWidthRange) {
  form = SpeedDialForm::SevenColumns;
  const std::string reading = std::string("A\"B\\C<D>E") + "\x01\xE0\x7F" + cp("ｱ");
  readBody(ExchangeKind::SpeedDial, speedDialBody({"0000,1,," + reading + ",1,01,0"}, false));
  EXPECT_EQ(std::string(entry(0).reading), "A B C D E\x7F" + cp("ｱ"));
}

TEST_F(ExchangeFilesTest, NameFromAUserFileIsCutWithoutSplittingACharacter) {
  form = SpeedDialForm::SevenColumns;
  const std::string name = "ABCDEFGHIJKLMNOPQRS" + cp("東");  // 21 bytes, the last character at 19-20
  readBody(ExchangeKind::SpeedDial, speedDialBody({"0000,1," + name + ",,1,01,0"}, false));
  EXPECT_EQ(std::string(entry(0).name), "ABCDEFGHIJKLMNOPQRS");
  startUp();
  source = RowSource::MainUnit;
  readBody(ExchangeKind::SpeedDial, speedDialBody({"0000,1," + name + ",,1,01,0"}, false));
  EXPECT_EQ(std::string(entry(0).name), name.substr(0, 20)) << "the main unit's name is taken as it is";
}

TEST_F(ExchangeFilesTest, EmptyRowClearsUseGroupsAndDisplay) {
  setSpeedDial(3, "1", "A", "A", "2", "07", 4, 3, 5, 6);
  form = SpeedDialForm::TenColumns;
  readBody(ExchangeKind::SpeedDial, speedDialBody({"0000,,,,0,01,0,0,000,000", "0003,,,,7,09,5,3,001,002"}));
  const SpeedDialFields f = entry(3);
  EXPECT_STREQ(f.use, "0");
  EXPECT_STREQ(f.speedDialGroup, "01");
  EXPECT_EQ(f.lineGroup, '0');
  EXPECT_EQ(f.displayMode, 0);
  EXPECT_EQ(f.template1, 0);
}

TEST_F(ExchangeFilesTest, ShortRowsAndRowsWithoutKeyAreSkipped) {
  form = SpeedDialForm::SevenColumns;
  ExchangeReadSummary summary;
  readBody(ExchangeKind::SpeedDial, speedDialBody({"0000,1,,,1,01,0", "0001,1,,,1,01", "x002,1,,,1,01,0", "0003,3,,,1,01,0"}, false),
           &summary);
  EXPECT_EQ(summary.rowsStored, 2);
  EXPECT_STREQ(entry(1).number, "");
  EXPECT_STREQ(entry(3).number, "3");
}

TEST_F(ExchangeFilesTest, SevenFieldRowOfTheMainUnitTakesItsLineGroupFromTheLastCharacter) {
  form = SpeedDialForm::TenColumns;
  source = RowSource::MainUnit;
  readBody(ExchangeKind::SpeedDial, speedDialBody({"0000,1,,,1,01,0", "0001,1,,,1,01,x5"}));
  EXPECT_EQ(entry(1).lineGroup, '5');
  EXPECT_EQ(entry(1).displayMode, 0);
  source = RowSource::UserFile;
  startUp();
  readBody(ExchangeKind::SpeedDial, speedDialBody({"0000,1,,,1,01,0", "0001,1,,,1,01,x5"}));
  EXPECT_EQ(entry(1).lineGroup, '0') << "a user's file takes field 7";
}

TEST_F(ExchangeFilesTest, TemplatesOfAUserFileLookAtThreeCharacters) {
  form = SpeedDialForm::TenColumns;
  readBody(ExchangeKind::SpeedDial, speedDialBody({"0000,1,,,1,01,0,3,0123,45"}));
  EXPECT_EQ(entry(0).template1, 12);
  EXPECT_EQ(entry(0).template2, 45);
  startUp();
  form = SpeedDialForm::TenColumns;
  source = RowSource::MainUnit;
  readBody(ExchangeKind::SpeedDial, speedDialBody({"0000,1,,,1,01,0,3,0123,45"}));
  EXPECT_EQ(entry(0).template1, 123);
}

TEST_F(ExchangeFilesTest, LongRowsAreCutAtTheRowBufferAndTheNextRowsStillLoad) {
  form = SpeedDialForm::SevenColumns;
  std::string longName(1024 * 1024, 'N');
  readBody(ExchangeKind::SpeedDial, speedDialBody({"0000,1," + longName + ",,1,01,0", "0001,2,,,1,01,0"}, false));
  EXPECT_STREQ(entry(0).number, "") << "the cut row has too few fields";
  EXPECT_STREQ(entry(1).number, "2");
}

TEST_F(ExchangeFilesTest, BodyLargerThanTheWorkLinesIsReadUpToTheirSize) {
  form = SpeedDialForm::SevenColumns;
  std::vector<std::string> rows;
  for (int n = 0; n < 10000; ++n) rows.push_back(emptySpeedDialRow(n, false));
  std::string body = speedDialBody(rows, false) + std::string(3 * 1024 * 1024, 'x');
  EXPECT_EQ(readBody(ExchangeKind::SpeedDial, body), 0);
}

// A row is looked at through a 5000-byte buffer: 4999 bytes of text are the most it holds.
TEST_F(ExchangeFilesTest, RowsAtTheRowBufferBoundaryLoadUpToTheirFirst4999Bytes) {
  form = SpeedDialForm::SevenColumns;
  auto rowOfLength = [](int n, std::size_t length) {
    std::string head = "000" + std::to_string(n) + ",1,,";
    const std::string tail = ",1,01,5";
    head.append(length - head.size() - tail.size(), ' ');
    return head + tail;
  };
  const std::string fits = rowOfLength(1, 4999);
  const std::string cut = rowOfLength(2, 5000);
  ASSERT_EQ(fits.size(), 4999u);
  readBody(ExchangeKind::SpeedDial, speedDialBody({"0000,1,,,1,01,0", fits, cut, "0003,3,,,1,01,4"}, false));
  EXPECT_EQ(entry(1).lineGroup, '5');
  EXPECT_STREQ(entry(2).number, "1") << "the cut row keeps its seven fields";
  EXPECT_EQ(entry(2).lineGroup, '0') << "but its last character is beyond the buffer";
  EXPECT_EQ(entry(3).lineGroup, '4');
}

TEST_F(ExchangeFilesTest, RowsAfterTheLastEntryAreNotRead) {
  form = SpeedDialForm::SevenColumns;
  std::vector<std::string> rows;
  for (int n = 0; n < 10000; ++n) rows.push_back(emptySpeedDialRow(n, false));
  rows[0] = "0000,100,,,1,01,0";
  rows[1000] = "1000,1000,,,1,01,0";
  // A 10001st row: read, its first four digits would name entry 1000.
  rows.push_back("10000,999,,,1,01,0");
  rows.push_back("0000,999,,,1,01,0");
  readBody(ExchangeKind::SpeedDial, speedDialBody(rows, false));
  EXPECT_STREQ(entry(1000).number, "1000");
  EXPECT_STREQ(entry(0).number, "100");
}

// The body was read in 192-byte pieces; rows whose CR LF falls on either side of a piece
// boundary end there like any other.
TEST_F(ExchangeFilesTest, RowEndsOnA192ByteBoundaryEndRows) {
  form = SpeedDialForm::SevenColumns;
  std::string body = std::string(kSpeedDial7Header) + "\r\n";
  for (int n = 0; n < 40; ++n) {
    std::string row = emptySpeedDialRow(n, false);
    row.replace(5, 0, std::to_string(n + 1));  // the number n + 1
    // Every second row puts its CR on the last byte of a piece, the others its LF on the first.
    const std::size_t boundary = (body.size() / 192 + 1) * 192;
    const std::size_t crAt = n % 2 == 0 ? boundary - 1 : boundary;
    std::string pad(crAt - body.size() - row.size(), ' ');
    if (crAt < body.size() + row.size()) pad.clear();
    body += row.substr(0, 5) + pad + row.substr(5) + "\r\n";
    ASSERT_EQ((body.size() - 2) % 192, n % 2 == 0 ? 191u : 0u) << n;
  }
  readBody(ExchangeKind::SpeedDial, body);
  for (int n = 0; n < 40; ++n) EXPECT_STREQ(entry(n).number, std::to_string(n + 1).c_str()) << n;
}

// ---- reader: extension directory ----------------------------------------------------------

TEST_F(ExchangeFilesTest, ExtensionRowsTakeTheirFieldsByTheFileRules) {
  const std::string body = std::string(kExtensionHeader) + "\r\n" +
                           "101,12(3)4,ABCDEFGHIJKLMN," + "A<B" + "\x01" + "C\r\n" +  // name cut at 10
                           "102,7,ABCDEFGHI" + cp("東") + ",R\r\n" +                    // no split character
                           "103,8,short\r\n" +                                            // 3 fields
                           "x04,9,N,R\r\n";
  readBody(ExchangeKind::Extensions, body);
  EXPECT_STREQ(extension(101).extensionNumber, "1234");
  EXPECT_STREQ(extension(101).name, "ABCDEFGHIJ");
  EXPECT_STREQ(extension(101).reading, "A BC");
  EXPECT_STREQ(extension(102).name, "ABCDEFGHI");
  EXPECT_STREQ(extension(103).extensionNumber, "103") << "a row of 3 fields is skipped";
}

TEST_F(ExchangeFilesTest, ExtensionParserTakesAtMost385Rows) {
  std::string body = std::string(kExtensionHeader) + "\r\n";
  for (int i = 0; i < 385; ++i) body += "999,1,,\r\n";
  body += "102,55,,\r\n";
  readBody(ExchangeKind::Extensions, body);
  EXPECT_STREQ(extension(102).extensionNumber, "102");
}

// ---- reader: templates ------------------------------------------------------------------------

TEST_F(ExchangeFilesTest, TemplateRowNeedsAThreeDigitItemOfOneTo999) {
  const std::string body = std::string(kTemplateHeader) + "\r\n" + "001,one\r\n" + "1000,thousand\r\n" +
                           "02,two\r\n" + "000,zero\r\n" + "004,a,b\r\n" + "005,a,b,c\r\n" +
                           "999,last,x,y\r\n";
  readBody(ExchangeKind::Templates, body);
  EXPECT_EQ(templateText(1), "one");
  EXPECT_EQ(templateText(100), "");
  EXPECT_EQ(templateText(2), "");
  EXPECT_EQ(templateText(0), "");
  EXPECT_EQ(templateText(4), "a") << "two commas are allowed";
  EXPECT_EQ(templateText(5), "") << "three commas are not";
  EXPECT_EQ(templateText(999), "last") << "item 999 may have more";
}

TEST_F(ExchangeFilesTest, TemplateRowReplacesThatItemOnly) {
  setTemplateMessage(51, "keep", 1);
  setTemplateMessage(52, "keep", 1);
  readBody(ExchangeKind::Templates, std::string(kTemplateHeader) + "\r\n051,new\r\n");
  EXPECT_EQ(templateText(51), "new");
  EXPECT_EQ(templateText(52), "keep");
}

// ---- what a read found --------------------------------------------------------------------

TEST_F(ExchangeFilesTest, BodyOfTheRightKindWithoutRowsIsNotRefused) {
  ExchangeReadSummary summary;
  readBody(ExchangeKind::Extensions, std::string(kExtensionHeader) + "\r\n", &summary);
  EXPECT_TRUE(summary.headerRecognised);
  EXPECT_FALSE(exchangeBodyRefused(summary));
}

TEST_F(ExchangeFilesTest, BodyOfAnotherKindIsRefused) {
  fillFixtureTables();
  const std::string naisen = writeAndRead(ExchangeKind::Extensions, "naisen.txt");
  const std::string before = phonebookBytes();
  ExchangeReadSummary summary;
  form = SpeedDialForm::TenColumns;
  readBody(ExchangeKind::SpeedDial, naisen, &summary);
  EXPECT_TRUE(exchangeBodyRefused(summary));
  readBody(ExchangeKind::Templates, naisen, &summary);
  EXPECT_TRUE(exchangeBodyRefused(summary));
  EXPECT_EQ(phonebookBytes(), before);
}


TEST_F(ExchangeFilesTest, TablesSurviveTheTripThroughTheMainUnitsForms) {
  fillFullTables(7);
  const std::string before = phonebookBytes();
  form = SpeedDialForm::TenColumns;
  source = RowSource::MainUnit;
  writeAndRead(ExchangeKind::SpeedDial, "sys-tanf.txt");
  writeAndRead(ExchangeKind::Extensions, "naisen.txt");
  // What the main unit sends back is the blocks' rows in one element.
  {
    std::FILE* exchange = std::fopen(dir.file("sys-tanf.txt").c_str(), "rb");
    std::FILE* block = std::fopen(dir.file("sys-tanf0000.txt").c_str(), "wb");
    ASSERT_EQ(makeSpeedDialBlocks(exchange, block, dir.file("sys-tanf0000.txt"), SpeedDialForm::TenColumns), 1);
    std::fclose(exchange);
    std::fclose(block);
  }
  std::string document = "<root>\n\n<systanf>\n\n";
  for (int i = 0; i < 20; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "sys-tanf%04d.txt", i * 500);
    std::string block = readFile(dir.file(name));
    const std::size_t from = block.find("<systanf>\n\n") + 11;
    const std::size_t to = block.find("</systanf>");
    document += block.substr(from, to - from);
  }
  document += "</systanf>\n\n</root>";
  writeFile(dir.file("doc.xml"), document);
  startUp();
  form = SpeedDialForm::TenColumns;
  source = RowSource::MainUnit;
  CXMLAccess xml;
  ASSERT_TRUE(xml.Load(dir.file("doc.xml")));
  std::FILE* out = std::fopen(dir.file("down.txt").c_str(), "wb");
  char line[kUserInfoBytes + 1];
  formatUserInfoLine(line);
  std::fwrite(line, 1, kUserInfoBytes, out);
  convertSpeedDialElement(xml.GetElements("systanf"), out, RowSource::MainUnit, form);
  std::fclose(out);
  ExchangeReadSummary summary;
  EXPECT_TRUE(readExchangeFile(dir.file("down.txt"), {ExchangeKind::SpeedDial, form, source}, &summary).ok());
  EXPECT_EQ(summary.rowsStored, 10000);
  EXPECT_EQ(std::string(phonebookBytes(), 0, sizeof phonebookImage.speedDial),
            before.substr(0, sizeof phonebookImage.speedDial));
}

}  // namespace
