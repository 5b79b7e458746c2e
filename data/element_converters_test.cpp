#include "data/element_converters.h"

#include <gtest/gtest.h>

#include "data/exchange_files_test_support.h"
#include "data/exchange_format.h"
#include "data/phonebook_tables_test_support.h"
#include "data/user_info.h"
#include "data/xml_access.h"

using namespace phonebook_test;

namespace {

// ---- element converters ---------------------------------------------------------------------

class ConverterTest : public ExchangeFilesTest {
 protected:
  // Converts the element `tag` of the document `xml` with `convert` and returns what it wrote.
  template <typename Convert>
  std::string convert(const std::string& xml, const std::string& tag, Convert convert) {
    writeFile(dir.file("doc.xml"), xml);
    CXMLAccess document;
    EXPECT_TRUE(document.Load(dir.file("doc.xml")));
    std::FILE* out = std::fopen(dir.file("out.txt").c_str(), "wb");
    convert(document.GetElements(tag), out);
    std::fclose(out);
    return readFile(dir.file("out.txt"));
  }
};

TEST_F(ConverterTest, SpeedDialFromTheMainUnitDropsTheRowCommas) {
  form = SpeedDialForm::TenColumns;
  const std::string out = convert("<root>\n\n<systanf>\n\n0000,1,,,1,01,0,0,000,000,\n\n0001,2,,,1,01,0,0,000,000,\n\n</systanf>\n\n</root>",
                                  "systanf", [this](const CXMLElementList& l, std::FILE* f) { convertSpeedDialElement(l, f, RowSource::MainUnit, form); });
  EXPECT_EQ(out, std::string(kSpeedDial10Header) + "\r\n0000,1,,,1,01,0,0,000,000\r\n0001,2,,,1,01,0,0,000,000,\r\n");
}

TEST_F(ConverterTest, SpeedDialFromAUserFileStartsWithTheFirstRow) {
  form = SpeedDialForm::SevenColumns;
  const std::string out = convert("<root>\r\n<systan>\r\n0000,1,,,1,01,0,\r0001,2,,,1,01,0\r</systan>\r\n</root>",
                                  "systan", [this](const CXMLElementList& l, std::FILE* f) { convertSpeedDialElement(l, f, RowSource::UserFile, form); });
  EXPECT_EQ(out, std::string(kSpeedDial7Header) + "\r\n0000,1,,,1,01,0,\r\n0001,2,,,1,01,0\r\n");
}

TEST_F(ConverterTest, MissingElementGivesTheHeaderAlone) {
  form = SpeedDialForm::TenColumns;
  const std::string out = convert("<root>\r\n<systan>\r\n0000,1,,,1,01,0\r</systan>\r\n</root>", "systanf",
                                  [this](const CXMLElementList& l, std::FILE* f) { convertSpeedDialElement(l, f, RowSource::UserFile, form); });
  EXPECT_EQ(out, std::string(kSpeedDial10Header) + "\r\n\r\n");
}

TEST_F(ConverterTest, ExtensionRowsEndInCrLf) {
  EXPECT_EQ(convert("<root>\n\n<naisen>\n\n101,101,,,\n\n102,102,A,B,\n\n</naisen>\n\n</root>\n", "naisen",
                    [](const CXMLElementList& l, std::FILE* f) { convertExtensionElement(l, f, RowSource::MainUnit); }),
            std::string(kExtensionHeader) + "\r\n101,101,,,\r\n102,102,A,B,\r\n");
  EXPECT_EQ(extensionRowsText("101,101,,,\n102,,,,", RowSource::UserFile), "101,101,,,\r\n102,,,,");
}

TEST_F(ConverterTest, TemplateRowsTakeOnlyTheFirstAtAsSeparator) {
  const std::string out = convert("<root>\r\n<m046>\r\n001@text\r002@a@b\r003@\r</m046>\r\n</root>", "m046",
                                  [](const CXMLElementList& l, std::FILE* f) { convertTemplateElement(l, f, RowSource::UserFile); });
  EXPECT_EQ(out, std::string(kTemplateHeader) + "\r\n001,text,\r\n002,a@b,\r\n003,\r\n")
      << "the last row ends with the text, so its closing line end is the converter's own";
  EXPECT_EQ(templateRowsText("001@text,\n\n002@x,\n\n", RowSource::MainUnit), "001,text,\r\n002,x,\r\n");
}

TEST_F(ConverterTest, RestrictionRowsEndWithACommaAndTheTextWithOneMore) {
  EXPECT_EQ(convert("<root>\r\n<m018>\r\n0000@0312,\n0001@,\n</m018>\r\n</root>", "m018",
                    [](const CXMLElementList& l, std::FILE* f) { convertRestrictionElement(l, f, RowSource::UserFile); }),
            std::string(kRestrictionHeader) + "\r\n0000,0312,\r\n0001,,,\r\n");
  EXPECT_EQ(restrictionRowsText("0000@1,\n\n0001@2,", RowSource::MainUnit), "0000,1,\r\n0001,2,");
}

TEST_F(ConverterTest, HistoryRowsTakeTheHeaderOfTheirKind) {
  const std::string xml = "<root>\n\n<naityaklog>\n\n0001,a,\n\n0002,b,\n\n</naityaklog>\n\n</root>";
  EXPECT_EQ(convert(xml, "naityaklog", [](const CXMLElementList& l, std::FILE* f) { convertHistoryElement(l, f, RowSource::MainUnit, HistoryKind::Internal); }),
            std::string(kInternalHistoryHeader) + "\r\n0001,a\r\n0002,b,\r\n");
  EXPECT_EQ(convert(xml, "naityaklog", [](const CXMLElementList& l, std::FILE* f) { convertHistoryElement(l, f, RowSource::UserFile, HistoryKind::External); }),
            std::string(kExternalHistoryHeader) + "\r\n0001,a,\r\n\r\n0002,b,\r\n");
}

}  // namespace
