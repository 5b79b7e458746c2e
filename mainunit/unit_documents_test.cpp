// The unit's documents and blocks against the tool's own formats: a download document read by
// the tool's converters and parsers gives the unit's tables, and the tool's upload blocks stored
// by the unit give the tool's tables. Together: a write followed by a read gives back what was
// written.
#include "mainunit/unit_documents.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "base/cp932.h"
#include "base/files_test_support.h"
#include "data/call_history.h"
#include "data/element_converters.h"
#include "data/exchange_files.h"
#include "data/history_files.h"
#include "data/phonebook_tables.h"
#include "data/process_state.h"
#include "data/restriction_files.h"
#include "data/restriction_table.h"
#include "data/system_data.h"
#include "data/upload_blocks.h"
#include "data/user_info.h"
#include "data/xml_access.h"

namespace {

namespace fs = std::filesystem;

class UnitDocumentsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    initProcessState();
    initSystemData();
    ASSERT_FALSE(m_tmp.path().empty());
    m_dir = m_tmp.path();
  }

  // What the tool does with a downloaded document: the user-information line (and an empty line
  // where the format wants one), then the element through its converter into `target`.
  void convertDocument(const std::string& document, const char* tag, const char* target,
                       void (*convert)(const CXMLElementList&, std::FILE*, RowSource), bool emptyLine) {
    writeFile(m_dir / "received.xml", document);
    CXMLAccess xml;
    ASSERT_TRUE(xml.Load((m_dir / "received.xml").string()));
    std::FILE* out = std::fopen((m_dir / target).c_str(), "wb");
    ASSERT_NE(out, nullptr);
    char line[193];
    formatUserInfoLine(line);
    std::fputs(line, out);
    if (emptyLine) std::fputs("\r\n", out);
    convert(xml.GetElements(tag), out, RowSource::MainUnit);
    std::fclose(out);
  }

  // The speed-dial converter in the form sysTanfMode names, as the link runs it.
  static void convertSpeedDial(const CXMLElementList& e, std::FILE* f, RowSource s) {
    convertSpeedDialElement(e, f, s, speedDialFormOf(sysTanfMode));
  }

  void readIntoTool(ExchangeKind kind, const char* file) {
    const ExchangeRead read{kind, speedDialFormOf(sysTanfMode), RowSource::MainUnit};
    ASSERT_TRUE(readExchangeFile((m_dir / file).string(), read).ok());
  }

  void writeFromTool(ExchangeKind kind, const char* file) {
    ASSERT_TRUE(writeExchangeFile((m_dir / file).string(), kind, speedDialFormOf(sysTanfMode)).ok());
  }

  // The tool's upload preparation: the block maker over an exchange file written before.
  using BlockMaker = int (*)(std::FILE*, std::FILE*, const std::string&);
  void makeBlocks(const char* source, const char* firstBlock, BlockMaker make) {
    std::FILE* in = std::fopen((m_dir / source).c_str(), "rb");
    std::FILE* out = std::fopen((m_dir / firstBlock).c_str(), "wb");
    ASSERT_TRUE(in && out);
    make(in, out, (m_dir / firstBlock).string());
    std::fclose(in);
    std::fclose(out);
  }

  void storeBlock(const std::string& name, MainUnitTables& t) {
    std::string body = readFile(m_dir / name);
    ASSERT_FALSE(body.empty()) << name;
    EXPECT_GT(storeUploadedFile(name, body, t), 0) << name;
  }

  static MainUnitSpeedDial toolSpeedDial(int i) {
    SpeedDialFields f{};
    getSpeedDialEntry(i, f);
    char t1[8], t2[8];
    std::snprintf(t1, sizeof t1, "%03d", f.template1 % 1000);
    std::snprintf(t2, sizeof t2, "%03d", f.template2 % 1000);
    return {f.number, f.name, f.reading, f.use, f.speedDialGroup, std::string(1, static_cast<char>(f.lineGroup)),
            std::to_string(f.displayMode), t1, t2};
  }

  TempDir m_tmp{"zu-unit-docs"};
  fs::path m_dir;
  MainUnitTables m_unit = seededMainUnitTables();
};

TEST_F(UnitDocumentsTest, ToolReadsTheTenColumnSpeedDialDocument) {
  sysTanfMode = 1;
  convertDocument(*downloadDocument("sys-tanf.txt", m_unit), "systanf", "sys-tanf.txt",
                  convertSpeedDial, false);
  readIntoTool(ExchangeKind::SpeedDial, "sys-tanf.txt");
  for (int i = 0; i < kMainUnitSpeedDials; ++i) ASSERT_EQ(toolSpeedDial(i), m_unit.speedDial[i]) << "entry " << i;
}

TEST_F(UnitDocumentsTest, ToolReadsTheSevenColumnSpeedDialDocumentUpToItsLastRow) {
  sysTanfMode = 0;
  m_unit.speedDial[9999].lineGroup = "4";  // the last row loses its row end to the XML text
  convertDocument(*downloadDocument("SYS-TAN.TXT", m_unit), "systan", "sys-tan.txt",
                  convertSpeedDial, false);
  readIntoTool(ExchangeKind::SpeedDial, "sys-tan.txt");
  for (int i = 0; i < kMainUnitSpeedDials; ++i) {
    MainUnitSpeedDial tool = toolSpeedDial(i), unit = m_unit.speedDial[i];
    ASSERT_EQ(tool.number, unit.number) << i;
    ASSERT_EQ(tool.name, unit.name) << i;
    ASSERT_EQ(tool.reading, unit.reading) << i;
    ASSERT_EQ(tool.use, unit.use) << i;
    ASSERT_EQ(tool.lineGroup, unit.lineGroup) << i;
  }
}

TEST_F(UnitDocumentsTest, ToolReadsExtensionsAndTemplates) {
  m_unit.templates[40] = utf8ToCp932("info@窓口@受付");  // only the first "@" separates
  convertDocument(*downloadDocument("naisen.txt", m_unit), "naisen", "naisen.txt", convertExtensionElement, false);
  convertDocument(*downloadDocument("usertkbn.txt", m_unit), "m046", "usertkbn.txt", convertTemplateElement, true);
  readIntoTool(ExchangeKind::Extensions, "naisen.txt");
  readIntoTool(ExchangeKind::Templates, "usertkbn.txt");
  for (const MainUnitExtension& e : m_unit.extensions) {
    ExtensionFields f{};
    getExtensionEntry(0, e.position, f);
    ASSERT_EQ(MainUnitExtension({e.position, f.extensionNumber, f.name, f.reading}), e) << e.position;
  }
  for (int i = 1; i < kMainUnitTemplates; ++i) {
    char text[21];
    getTemplateMessage(i, text);
    ASSERT_EQ(std::string(text), m_unit.templates[i]) << "item " << i;
  }
}

TEST_F(UnitDocumentsTest, ToolReadsRestrictionNumbersIntoTheirOwnEntries) {
  convertDocument(*downloadDocument("hkiseino.txt", m_unit), "m018", "hkiseino.txt", convertRestrictionElement, true);
  ASSERT_EQ(parseDownloadedRestrictionFile((m_dir / "hkiseino.txt").string()), 0);
  for (int k = 0; k < kMainUnitRestrictions; ++k) {
    char number[25];
    readRestrictionEntry(k, 1, number);
    ASSERT_EQ(std::string(number), m_unit.restrictions[k]) << "entry " << k;
  }
}

TEST_F(UnitDocumentsTest, ToolReadsBothHistoriesFromOneDocument) {
  std::string document = *downloadDocument("tyaklog.txt", m_unit);
  convertDocument(document, "naityaklog", "naityaklog.txt",
                  [](const CXMLElementList& e, std::FILE* f, RowSource s) { convertHistoryElement(e, f, s, HistoryKind::Internal); }, true);
  convertDocument(document, "gaityaklog", "gaityaklog.txt",
                  [](const CXMLElementList& e, std::FILE* f, RowSource s) { convertHistoryElement(e, f, s, HistoryKind::External); }, true);
  ASSERT_EQ(parseDownloadedHistoryFile((m_dir / "naityaklog.txt").string(), HistoryKind::Internal), 0);
  ASSERT_EQ(parseDownloadedHistoryFile((m_dir / "gaityaklog.txt").string(), HistoryKind::External), 0);
  auto joined = [](const std::vector<std::string>& fields) {
    std::string row;
    for (std::size_t i = 0; i < fields.size(); ++i) row += (i ? "," : "") + fields[i];
    return row;
  };
  for (int p = 0; p < kMainUnitHistoryRecords; ++p) {
    ASSERT_EQ(formatInternalHistoryLine(readInternalCallRecord(p)), joined(m_unit.internalHistory[p])) << p;
    ASSERT_EQ(formatExternalHistoryLine(readExternalCallRecord(p)), joined(m_unit.externalHistory[p])) << p;
  }
}

// Fills the tool's tables with data different from the unit's seed, so every stored row shows.
void fillToolTables() {
  for (int i = 0; i < kMainUnitSpeedDials; ++i) {
    SpeedDialFields f{};
    std::snprintf(f.number, sizeof f.number, "06%08d", i * 13);
    std::string name = utf8ToCp932("顧客") + std::to_string(i);
    std::snprintf(f.name, sizeof f.name, "%s", name.c_str());
    std::string reading = utf8ToCp932("ｺｷｬｸ") + std::to_string(i);
    std::snprintf(f.reading, sizeof f.reading, "%s", reading.c_str());
    std::snprintf(f.use, sizeof f.use, "%d", 1 + i % 8);
    std::snprintf(f.speedDialGroup, sizeof f.speedDialGroup, "%02d", 1 + i % 30);
    f.lineGroup = static_cast<std::uint8_t>(i % 7);
    f.displayMode = 3;
    f.template1 = static_cast<std::uint16_t>(i % 999 + 1);
    f.template2 = 7;
    setSpeedDialEntry(i, f);
  }
  for (int p : mainUnitExtensionPositions()) {
    ExtensionFields f{};
    std::snprintf(f.extensionNumber, sizeof f.extensionNumber, "%d", 2000 + p % 1000);
    std::snprintf(f.name, sizeof f.name, "NAME%d", p);
    std::string reading = utf8ToCp932("ﾖﾐ") + std::to_string(p);
    std::snprintf(f.reading, sizeof f.reading, "%s", reading.c_str());
    setExtensionEntry(0, p, f);
  }
  for (int i = 1; i < kMainUnitTemplates; ++i)
    setTemplateMessage(i, utf8ToCp932("定型@") + std::to_string(i), 1);
  for (int k = 0; k < kMainUnitRestrictions; ++k) {
    RestrictionEntry e{};
    std::snprintf(e.number, sizeof e.number, "0990%06d", k * 3);
    storeRestrictionEntry(k, e, RestrictionStoreMode::FileLoad);
  }
}

TEST_F(UnitDocumentsTest, UnitStoresTheToolsTenColumnBlocksAndServesThemBack) {
  fillToolTables();
  sysTanfMode = 1;
  writeFromTool(ExchangeKind::SpeedDial, "sys-tanf.txt");
  makeBlocks("sys-tanf.txt", "sys-tanf0000.txt", [](std::FILE* a, std::FILE* b, const std::string& p) {
    return makeSpeedDialBlocks(a, b, p, SpeedDialForm::TenColumns);
  });
  MainUnitTables unit;
  char name[32];
  for (int block = 0; block < 20; ++block) {
    std::snprintf(name, sizeof name, "sys-tanf%04d.txt", block * 500);
    storeBlock(name, unit);
  }
  for (int i = 0; i < kMainUnitSpeedDials; ++i) ASSERT_EQ(unit.speedDial[i], toolSpeedDial(i)) << i;

  // Served back, the tool reads the same table.
  initSystemData();
  sysTanfMode = 1;
  convertDocument(*downloadDocument("sys-tanf.txt", unit), "systanf", "sys-tanf.txt", convertSpeedDial, false);
  readIntoTool(ExchangeKind::SpeedDial, "sys-tanf.txt");
  for (int i = 0; i < kMainUnitSpeedDials; ++i) ASSERT_EQ(toolSpeedDial(i), unit.speedDial[i]) << i;
}

TEST_F(UnitDocumentsTest, SevenColumnBlocksKeepTheDisplayModeAndTemplates) {
  fillToolTables();
  sysTanfMode = 0;
  writeFromTool(ExchangeKind::SpeedDial, "sys-tan.txt");
  makeBlocks("sys-tan.txt", "sys-tan0000.txt", [](std::FILE* a, std::FILE* b, const std::string& p) {
    return makeSpeedDialBlocks(a, b, p, SpeedDialForm::SevenColumns);
  });
  MainUnitTables unit = m_unit;
  storeBlock("sys-tan9500.txt", unit);
  EXPECT_EQ(unit.speedDial[9499], m_unit.speedDial[9499]);  // outside the block
  for (int i = 9500; i < kMainUnitSpeedDials; ++i) {
    MainUnitSpeedDial tool = toolSpeedDial(i);
    ASSERT_EQ(unit.speedDial[i].number, tool.number);
    ASSERT_EQ(unit.speedDial[i].lineGroup, tool.lineGroup);
    ASSERT_EQ(unit.speedDial[i].displayMode, m_unit.speedDial[i].displayMode);
    ASSERT_EQ(unit.speedDial[i].template1, m_unit.speedDial[i].template1);
  }
}

TEST_F(UnitDocumentsTest, UnitStoresExtensionTemplateAndRestrictionBlocks) {
  fillToolTables();
  writeFromTool(ExchangeKind::Extensions, "naisen.txt");
  writeFromTool(ExchangeKind::Templates, "usertkbntmp.txt");
  ASSERT_EQ(writeRestrictionExchangeFile((m_dir / "hkiseinotmp.txt").string()), 0);
  makeBlocks("naisen.txt", "naisen101.txt", makeExtensionBlocks);
  makeBlocks("usertkbntmp.txt", "usertkbn.txt", makeTemplateBlock);
  makeBlocks("hkiseinotmp.txt", "hkiseino0000.txt", makeRestrictionBlocks);

  MainUnitTables unit;
  for (const char* n : {"naisen101.txt", "naisen151.txt", "naisen241.txt", "naisen335.txt", "naisen429.txt",
                        "usertkbn.txt"})
    storeBlock(n, unit);
  char name[32];
  for (int block = 0; block < 10; ++block) {
    std::snprintf(name, sizeof name, "hkiseino%04d.txt", block * 1000);
    storeBlock(name, unit);
  }
  for (const MainUnitExtension& e : unit.extensions) {
    ExtensionFields f{};
    getExtensionEntry(0, e.position, f);
    ASSERT_EQ(e, MainUnitExtension({e.position, f.extensionNumber, f.name, f.reading})) << e.position;
  }
  for (int i = 1; i < kMainUnitTemplates; ++i) {
    char text[21];
    getTemplateMessage(i, text);
    ASSERT_EQ(unit.templates[i], std::string(text)) << i;
  }
  for (int k = 0; k < kMainUnitRestrictions; ++k) {
    char number[25];
    readRestrictionEntry(k, 1, number);
    ASSERT_EQ(unit.restrictions[k], std::string(number)) << k;
  }
}

TEST(UnitDocuments, FieldMarkupIsEscapedSoTheDocumentStaysWellFormed) {
  MainUnitTables t;
  t.speedDial[0].name = "A&B<C>";
  std::string doc = *downloadDocument("sys-tanf.txt", t);
  EXPECT_NE(doc.find("0000,,A&amp;B&lt;C&gt;,"), std::string::npos);
  fs::path p = fs::temp_directory_path() / ("zu-unit-escape-" + std::to_string(::getpid()) + ".xml");
  writeFile(p, doc);
  CXMLAccess xml;
  ASSERT_TRUE(xml.Load(p.string()));
  EXPECT_EQ(xml.GetElements("systanf").Item(0).FirstChildText().substr(0, 14), "0000,,A&B<C>,,");
  fs::remove(p);
}

TEST(UnitDocuments, DocumentsHaveTheUnitsLayout) {
  MainUnitTables t;
  std::string doc = *downloadDocument("naisen.txt", t);
  ASSERT_EQ(doc.substr(0, 6), "<root>");
  EXPECT_EQ(doc.substr(6 + 190, 2), "\r\n");  // the user-information line, 192 bytes
  EXPECT_EQ(doc.substr(6 + 192), "<naisen>\n\n" + [] {
    std::string rows;
    for (int p : mainUnitExtensionPositions()) rows += std::to_string(p) + ",,,\n\n";
    return rows;
  }() + "</naisen>\n\n</root>\n");
  EXPECT_NE(downloadDocument("hkiseino.txt", t)->find("<m018>\n\n0000@\n\n0001@\n\n"), std::string::npos);
  EXPECT_NE(downloadDocument("usertkbn.txt", t)->find("<m046>\n\n001@\n\n"), std::string::npos);
  EXPECT_NE(downloadDocument("sys-tan.txt", t)->find("<systan>\n\n0000,,,,0,01,0,\n\n"), std::string::npos);
  std::string log = *downloadDocument("tyaklog.txt", seededMainUnitTables());
  EXPECT_NE(log.find("<naityaklog>\n\n1,"), std::string::npos);
  EXPECT_NE(log.find("</naityaklog>\n\n<gaityaklog>\n\n1,"), std::string::npos);
  EXPECT_FALSE(downloadDocument("sys-tan0000.txt", t));
  EXPECT_FALSE(downloadDocument("connection.xml", t));
}

TEST(UnitDocuments, ConnectionAnswerNamesTheUnit) {
  EXPECT_EQ(connectionAnswerBody("4.00", "Zu/ZPX-480", "7351"),
            "<root>\r\n<fw_ver>4.00</fw_ver>\r\n<dev_type>Zu/ZPX-480</dev_type>\r\n"
            "<password>7351</password>\r\n</root>\r\n");
  EXPECT_EQ(connectionAnswerBody("", "Zu/X", "a<b").find("fw_ver"), std::string::npos);
  EXPECT_NE(connectionAnswerBody("", "Zu/X", "a<b").find("<password>a&lt;b</password>"), std::string::npos);
}

TEST(UnitDocuments, FileListGivesDirectionAndEveryEntryInOrder) {
  UnitFileList up = parseFileList(
      "<root>\r\n<UD-TYPE>UPLOAD</UD-TYPE>\r\n<HKISEINO8000>127.0.0.1/hkiseino8000.txt</HKISEINO8000>\r\n"
      "<HKISEINO9000>127.0.0.1/hkiseino9000.txt</HKISEINO9000>\r\n"
      "<HKISEINO9000>127.0.0.1/hkiseino9000.txt</HKISEINO9000>\r\n</root>\r\n");
  EXPECT_EQ(up.direction, "UPLOAD");
  EXPECT_EQ(up.files, (std::vector<std::string>{"hkiseino8000.txt", "hkiseino9000.txt", "hkiseino9000.txt"}));
  UnitFileList down = parseFileList("<root>\n<UD-TYPE>download</UD-TYPE>\n<TYAK>unit/tyaklog.txt</TYAK>\n</root>\n");
  EXPECT_EQ(down.direction, "DOWNLOAD");
  EXPECT_EQ(down.files, std::vector<std::string>{"tyaklog.txt"});
  EXPECT_TRUE(parseFileList("garbage <without end").files.empty());
}

TEST(UnitDocuments, BlocksOfOtherNamesOrBrokenRowsStoreNothingWrong) {
  MainUnitTables t, before;
  EXPECT_EQ(storeUploadedFile("sys-tan.txt", "0000,1,a,b,1,01,0,", t), -1);
  EXPECT_EQ(storeUploadedFile("file_list.xml", "", t), -1);
  // Short rows, rows without a key and keys out of range are left out.
  EXPECT_EQ(storeUploadedFile("sys-tanf0000.txt", "<root>\n\n<systanf>\n\n0001,1,a,b,1,\n\nx,1\n\n10000,1,a,b,1,01,0,0,000,000,\n\n</systanf>", t), 0);
  EXPECT_EQ(storeUploadedFile("naisen101.txt", "<naisen>\n161,1,a,b,\n999,1,a,b,\n</naisen>", t), 0);
  EXPECT_EQ(storeUploadedFile("usertkbn.txt", "<m046>\r1000@x\r000@y\rabc\r</m046>", t), 0);
  EXPECT_TRUE(t == before);
  // A restriction row whose entry number lies outside its block takes its place in the block.
  // A row from a local-form file carries one more separator after the digits.
  EXPECT_EQ(storeUploadedFile("hkiseino3000.txt", "<m018>\n\n000@111,\n\n3001@222@,\n\n3002@@,\n\n</m018>", t), 3);
  EXPECT_EQ(t.restrictions[3000], "111");
  EXPECT_EQ(t.restrictions[3001], "222");
  EXPECT_EQ(t.restrictions[3002], "");
}

}  // namespace
