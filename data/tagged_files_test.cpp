#include "data/tagged_files.h"

#include <gtest/gtest.h>

#include "base/text_file.h"
#include "data/exchange_files.h"
#include "data/exchange_format.h"
#include "data/phonebook_tables_test_support.h"
#include "data/user_info.h"

using namespace phonebook_test;

namespace {

class TaggedFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    startUp();
    setLocalTimeForTesting(kFixtureTime);
    fillFixtureTables();
  }
  void TearDown() override { setLocalTimeForTesting(std::nullopt); }

  // Writes the exchange file of `kind` and turns it into a tagged file with `writer`.
  template <typename Writer>
  std::string tagged(ExchangeKind kind, Writer writer) {
    EXPECT_TRUE(writeExchangeFile(dir.file("exchange.txt"), kind, form).ok());
    std::FILE* in = std::fopen(dir.file("exchange.txt").c_str(), "rb");
    std::FILE* out = std::fopen(dir.file("tagged").c_str(), "wb");
    EXPECT_EQ(writer(in, out), 0);
    std::fclose(in);
    std::fclose(out);
    return readFile(dir.file("tagged"));
  }

  // The speed-dial writer in the fixture's form.
  std::string taggedSpeedDial() {
    return tagged(ExchangeKind::SpeedDial, [this](std::FILE* in, std::FILE* out) {
      return writeTaggedSpeedDial(in, out, form);
    });
  }

  // The exchange text convertTaggedRows (or its plain-text reading) makes of `file`.
  std::string rowsText(const std::string& file, std::string_view element, TaggedRows rows, bool asText) {
    std::FILE* out = std::fopen(dir.file("rows.txt").c_str(), "wb");
    const bool ok = asText ? convertTaggedRowsAsText(file, element, rows, out)
                           : convertTaggedRows(file, element, rows, out);
    std::fclose(out);
    EXPECT_TRUE(ok);
    return readFile(dir.file("rows.txt"));
  }

  TempDir dir;
  SpeedDialForm form = SpeedDialForm::SevenColumns;
};

std::string middleRows(int from, int to, bool tenColumns) {
  std::string out;
  for (int n = from; n < to; ++n) out += emptySpeedDialRow(n, tenColumns) + ",\r";
  return out;
}

// ---- writers ------------------------------------------------------------------------------

TEST_F(TaggedFilesTest, Zud8IsByteExact) {
  form = SpeedDialForm::TenColumns;
  EXPECT_EQ(taggedSpeedDial(),
            fixture("tagged_zud8.head") + middleRows(10, 9990, true) + fixture("tagged_zud8.tail"));
}

TEST_F(TaggedFilesTest, Zud3IsByteExact) {
  form = SpeedDialForm::SevenColumns;
  EXPECT_EQ(taggedSpeedDial(),
            fixture("tagged_zud3.head") + middleRows(10, 9990, false) + fixture("tagged_zud3.tail"));
}

TEST_F(TaggedFilesTest, Zud4IsByteExactAndItsRowsStartAtByte300) {
  const std::string file = tagged(ExchangeKind::Extensions, writeTaggedExtensions);
  EXPECT_EQ(file, fixture("tagged_zud4.zud4"));
  EXPECT_EQ(file.substr(kTaggedExtensionRowsOffset, 14), "101,1001," + cp("総務部").substr(0, 5));
}

TEST_F(TaggedFilesTest, Zud9IsByteExact) {
  EXPECT_EQ(tagged(ExchangeKind::Templates, writeTaggedTemplates), fixture("tagged_zud9.zud9"));
}

TEST_F(TaggedFilesTest, Zud7RowsEndInCommaLf) {
  char line[kUserInfoBytes + 1];
  formatUserInfoLine(line);
  const std::string local = std::string(line, kUserInfoBytes) + std::string(kRestrictionHeader) +
                            "\r\n0000,0312345678,\r\n0001,,\r\n9999,99,\r\n";
  writeFile(dir.file("hkiseino.txt"), local);
  std::FILE* in = std::fopen(dir.file("hkiseino.txt").c_str(), "rb");
  std::FILE* out = std::fopen(dir.file("out.zud7").c_str(), "wb");
  ASSERT_EQ(writeTaggedRestrictions(in, out), 0);
  std::fclose(in);
  std::fclose(out);
  const std::string head = fixture("tagged_zud9.zud9").substr(0, kTaggedExtensionRowsOffset - 10);
  EXPECT_EQ(readFile(dir.file("out.zud7")),
            head + "<m018>\r\n0000@0312345678,\n0001@,\n9999@99,\n</m018>\r\n</root>");
}

TEST_F(TaggedFilesTest, WriterReportsATargetThatCannotBeWritten) {
  std::FILE* in = std::fopen(dir.file("none").c_str(), "wb+");
  std::FILE* readOnly = std::fopen(dir.file("none").c_str(), "rb");
  EXPECT_EQ(writeTaggedTemplates(in, readOnly), 30);
  std::fclose(in);
  std::fclose(readOnly);
}

// ---- header collection ------------------------------------------------------------------

TEST_F(TaggedFilesTest, UserPartTakesTheLineAfterAFullUserInformationLine) {
  const std::string file = tagged(ExchangeKind::Templates, writeTaggedTemplates);
  writeFile(dir.file("t.zud9"), file);
  TextFileReader reader;
  ASSERT_TRUE(reader.open(dir.file("t.zud9")));
  std::string user;
  EXPECT_EQ(collectTaggedHeader(reader, {"<m046>"}, user), TaggedHeaderResult::Found);
  EXPECT_EQ(user, file.substr(89, 190) + "\r\n</USER>");
}

TEST_F(TaggedFilesTest, ElementBeforeTheUserPartOrNoElementIsFound) {
  writeFile(dir.file("a"), "<root>\r\n<m046>\r\n<USER>\r\nx\r\n</USER>\r\n");
  writeFile(dir.file("b"), "<root>\r\n<USER>\r\nx\r\n</USER>\r\n<m046\r\n");
  TextFileReader reader;
  std::string user;
  ASSERT_TRUE(reader.open(dir.file("a")));
  EXPECT_EQ(collectTaggedHeader(reader, {"<m046>"}, user), TaggedHeaderResult::NoUserPart);
  ASSERT_TRUE(reader.open(dir.file("b")));
  EXPECT_EQ(collectTaggedHeader(reader, {"<m046>"}, user), TaggedHeaderResult::NoElement);
}

// ---- rows of a tagged file --------------------------------------------------------------------

TEST_F(TaggedFilesTest, RowsReadAsTextLoadWhatRowsReadAsXmlLoad) {
  struct Case {
    ExchangeKind kind;
    int tanf;
    const char* element;
    TaggedRows rows;
    const char* firstRow;
  };
  const Case cases[] = {{ExchangeKind::SpeedDial, 1, "systanf", TaggedRows::SpeedDialTenColumns, "0000,"},
                        {ExchangeKind::SpeedDial, 0, "systan", TaggedRows::SpeedDialSevenColumns, "0000,"},
                        {ExchangeKind::Extensions, 0, "naisen", TaggedRows::Extensions, "101,"},
                        {ExchangeKind::Templates, 0, "m046", TaggedRows::Templates, "001,"}};
  startUp();
  fillFullTables(3);
  const std::string saved = phonebookBytes();
  for (const Case& c : cases) {
    form = speedDialFormOf(c.tanf);
    const std::string file = c.kind == ExchangeKind::SpeedDial  ? taggedSpeedDial()
                             : c.kind == ExchangeKind::Extensions ? tagged(c.kind, writeTaggedExtensions)
                                                                  : tagged(c.kind, writeTaggedTemplates);
    writeFile(dir.file("f"), file);
    std::string loaded[2];
    for (int asText = 0; asText < 2; ++asText) {
      const std::string text = rowsText(dir.file("f"), c.element, c.rows, asText == 1);
      // The rows begin right after the header line, never with an empty line.
      EXPECT_TRUE(text.substr(text.find("\r\n") + 2).starts_with(c.firstRow)) << c.element;
      writeFile(dir.file("x.txt"), text);
      startUp();
      ExchangeReadSummary summary;
      EXPECT_TRUE(readExchangeFile(dir.file("x.txt"), {c.kind, form}, &summary).ok());
      EXPECT_GT(summary.rowsStored, 0) << c.element;
      loaded[asText] = phonebookBytes();
    }
    EXPECT_EQ(firstDifference(loaded[1], loaded[0]), "") << c.element;
    startUp();
    fillFullTables(3);
  }
  EXPECT_EQ(firstDifference(phonebookBytes(), saved), "");
}

TEST_F(TaggedFilesTest, RestrictionRowsReadAsTextEqualRowsReadAsXml) {
  const std::string file = fixture("tagged_zud9.zud9").substr(0, kTaggedExtensionRowsOffset - 10) +
                           "<m018>\r\n0000@0312345678,\n0001@,\n9999@99,\n</m018>\r\n</root>";
  writeFile(dir.file("r.zud7"), file);
  const std::string viaXml = rowsText(dir.file("r.zud7"), "m018", TaggedRows::Restrictions, false);
  EXPECT_EQ(viaXml, std::string(kRestrictionHeader) + "\r\n0000,0312345678,\r\n0001,,\r\n9999,99,,\r\n");
  EXPECT_EQ(rowsText(dir.file("r.zud7"), "m018", TaggedRows::Restrictions, true),
            std::string(kRestrictionHeader) + "\r\n0000,0312345678,\r\n0001,,\r\n9999,99,\r\n,\r\n");
}

TEST_F(TaggedFilesTest, FileThatIsNoXmlIsReadAsText) {
  form = SpeedDialForm::TenColumns;
  std::string file = taggedSpeedDial();
  file.resize(file.size() - std::string_view("</root>").size());  // no longer a whole document
  writeFile(dir.file("f"), file);
  const std::string text = rowsText(dir.file("f"), "systanf", TaggedRows::SpeedDialTenColumns, false);
  EXPECT_NE(text.find("\r\n0002,,,,0,01,0,0,000,000,\r\n"), std::string::npos);
  const std::string lastRow = "\r\n9999,0120999999," + cp("最後") + "," + cp("ｻｲｺﾞ") + ",8,30,6,1,000,000,\r\n\r\n";
  EXPECT_EQ(text.substr(text.size() - lastRow.size()), lastRow) << "the last row takes a comma too";
}

TEST_F(TaggedFilesTest, MissingFileCannotBeConverted) {
  std::FILE* out = std::fopen(dir.file("rows.txt").c_str(), "wb");
  EXPECT_FALSE(convertTaggedRows(dir.file("missing"), "m046", TaggedRows::Templates, out));
  std::fclose(out);
}

}  // namespace
