#include "data/phonebook_file_io.h"

#include <gtest/gtest.h>

#include "data/exchange_format.h"
#include "data/phonebook_tables_test_support.h"
#include "data/user_info.h"

using namespace phonebook_test;

namespace {

class PhonebookFileIoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    startUp();
    setLocalTimeForTesting(kFixtureTime);
  }
  void TearDown() override { setLocalTimeForTesting(std::nullopt); }

  // Saves the tables of `kind` as `name`, starts up afresh and loads the file back.
  int saveAndLoad(ExchangeKind kind, const std::string& name) {
    EXPECT_EQ(savePhonebookData(dir.file(name), kind).code, 0);
    startUp();
    return loadPhonebookData(dir.file(name), kind).code;
  }

  // Loads `bytes` written as `name` and checks that the tables did not change.
  int loadLeavesTables(ExchangeKind kind, const std::string& name, std::string_view bytes) {
    writeFile(dir.file(name), bytes);
    const std::string before = phonebookBytes();
    const int result = loadPhonebookData(dir.file(name), kind).code;
    EXPECT_EQ(firstDifference(phonebookBytes(), before), "") << name;
    return result;
  }

  static std::string directoryBytes() {
    return phonebookBytes().substr(sizeof phonebookImage.speedDial, sizeof(ExtensionEntry) * kExtensionSlots);
  }

  static SpeedDialFields entry(int n) {
    SpeedDialFields f{};
    getSpeedDialEntry(n, f);
    return f;
  }

  std::string savedFile(ExchangeKind kind, const std::string& name) {
    EXPECT_EQ(savePhonebookData(dir.file(name), kind).code, 0);
    return readFile(dir.file(name));
  }

  TempDir dir;
};

// ---- round trips ----------------------------------------------------------------------------

TEST_F(PhonebookFileIoTest, FullTableRoundTripsThroughZud8) {
  fillFullTables(11);
  setUserFields();
  const std::string tables = phonebookBytes();
  const std::string lists = privateListBytes();
  const std::string fields = userFieldBytes();
  EXPECT_EQ(saveAndLoad(ExchangeKind::SpeedDial, "book.zud8"), 0);
  EXPECT_EQ(firstDifference(phonebookBytes().substr(0, sizeof phonebookImage.speedDial),
                            tables.substr(0, sizeof phonebookImage.speedDial)), "");
  EXPECT_EQ(privateListBytes(), lists);
  EXPECT_EQ(userFieldBytes(), fields);
  EXPECT_EQ(tablesEdited, 1);
  EXPECT_EQ(sysTanfMode, 1);
}

TEST_F(PhonebookFileIoTest, Zud3LosesOnlyDisplayModeAndTemplates) {
  fillFullTables(12);
  // What a 7-column file can carry: everything but display mode and templates.
  std::vector<SpeedDialFields> expected(kSpeedDialEntries);
  for (int n = 0; n < kSpeedDialEntries; ++n) {
    getSpeedDialEntry(n, expected[n]);
    expected[n].displayMode = 0;
    expected[n].template1 = 0;
    expected[n].template2 = 0;
  }
  EXPECT_EQ(saveAndLoad(ExchangeKind::SpeedDial, "book.zud3"), 0);
  EXPECT_EQ(sysTanfMode, 0);
  int differing = 0;
  for (int n = 0; n < kSpeedDialEntries; ++n) {
    const SpeedDialFields f = entry(n);
    if (std::memcmp(&f, &expected[n], sizeof f) != 0) ++differing;
  }
  EXPECT_EQ(differing, 0);
}

TEST_F(PhonebookFileIoTest, CsvOfEveryKindRoundTrips) {
  fillFullTables(13);
  setUserFields();
  const std::string tables = phonebookBytes();
  const std::string fields = userFieldBytes();
  EXPECT_EQ(saveAndLoad(ExchangeKind::SpeedDial, "sd.csv"), 0);
  EXPECT_EQ(sysTanfMode, 1) << "a speed-dial .csv is always the 10-column form";
  EXPECT_EQ(userFieldBytes(), fields);
  const std::string speedDial = phonebookBytes().substr(0, sizeof phonebookImage.speedDial);
  startUp();
  fillFullTables(13);
  EXPECT_EQ(saveAndLoad(ExchangeKind::Extensions, "ext.CSV"), 0);
  const std::string directory = phonebookBytes().substr(sizeof phonebookImage.speedDial, sizeof(ExtensionEntry) * kExtensionSlots);
  startUp();
  fillFullTables(13);
  EXPECT_EQ(saveAndLoad(ExchangeKind::Templates, "tpl.csv"), 0);
  const std::string templates = phonebookBytes().substr(sizeof phonebookImage.speedDial + sizeof(ExtensionEntry) * kExtensionSlots);
  EXPECT_EQ(firstDifference(speedDial + directory + templates, tables), "");
}

TEST_F(PhonebookFileIoTest, Zud4AndZud9RoundTrip) {
  fillFullTables(14);
  const std::string tables = phonebookBytes();
  EXPECT_EQ(saveAndLoad(ExchangeKind::Extensions, "ext.zud4"), 0);
  const std::string directory = phonebookBytes().substr(sizeof phonebookImage.speedDial, sizeof(ExtensionEntry) * kExtensionSlots);
  startUp();
  fillFullTables(14);
  EXPECT_EQ(saveAndLoad(ExchangeKind::Templates, "tpl.zud9"), 0);
  EXPECT_EQ(firstDifference(phonebookBytes().substr(0, sizeof phonebookImage.speedDial), std::string(sizeof phonebookImage.speedDial, '\0')), "")
      << "a template load touches nothing else";
  EXPECT_EQ(firstDifference(directory + phonebookBytes().substr(sizeof phonebookImage.speedDial + directory.size()),
                            tables.substr(sizeof phonebookImage.speedDial)), "");
}

TEST_F(PhonebookFileIoTest, TaggedFileThatIsNoWholeDocumentStillLoads) {
  fillFullTables(15);
  const std::string tables = phonebookBytes().substr(0, sizeof phonebookImage.speedDial);
  std::string file = savedFile(ExchangeKind::SpeedDial, "a.zud8");
  file.resize(file.size() - 7);  // without "</root>"
  writeFile(dir.file("a.zud8"), file);
  startUp();
  EXPECT_EQ(loadPhonebookData(dir.file("a.zud8"), ExchangeKind::SpeedDial).code, 0);
  EXPECT_EQ(firstDifference(phonebookBytes().substr(0, sizeof phonebookImage.speedDial), tables), "");
}

TEST_F(PhonebookFileIoTest, ReadingsWithMarkupCharactersRoundTrip) {
  fillFullTables(16, true);
  const std::string tables = phonebookBytes();
  EXPECT_EQ(saveAndLoad(ExchangeKind::SpeedDial, "amp.zud8"), 0);
  EXPECT_EQ(firstDifference(phonebookBytes().substr(0, sizeof phonebookImage.speedDial),
                            tables.substr(0, sizeof phonebookImage.speedDial)), "");
}

// The tagged files carry the table text as it is, never escaped, so text that looks like an
// XML character reference is data and must come back unchanged.
TEST_F(PhonebookFileIoTest, TextThatLooksLikeCharacterReferencesRoundTripsThroughTaggedFiles) {
  setSpeedDial(0, "0312345678", "R&amp;D&#65;", "A&lt;B&gt;", "1", "01", 0, 0, 0, 0);
  setExtension(101, "1001", "&quot;", "&apos;");
  setTemplateMessage(1, cp("&lt;注意&gt;"), 1);
  EXPECT_EQ(saveAndLoad(ExchangeKind::SpeedDial, "e.zud8"), 0);
  EXPECT_STREQ(entry(0).name, "R&amp;D&#65;");
  EXPECT_STREQ(entry(0).reading, "A&lt;B&gt;");
  startUp();
  setExtension(101, "1001", "&quot;", "&apos;");
  EXPECT_EQ(saveAndLoad(ExchangeKind::Extensions, "e.zud4"), 0);
  ExtensionFields ext{};
  getExtensionEntry(0, 101, ext);
  EXPECT_STREQ(ext.name, "&quot;");
  EXPECT_STREQ(ext.reading, "&apos;");
  startUp();
  setTemplateMessage(1, cp("&lt;注意&gt;"), 1);
  EXPECT_EQ(saveAndLoad(ExchangeKind::Templates, "e.zud9"), 0);
  char text[21];
  getTemplateMessage(1, text);
  EXPECT_EQ(std::string(text), cp("&lt;注意&gt;"));
}

// ---- forms and kinds --------------------------------------------------------------------------

TEST_F(PhonebookFileIoTest, Zud8WhoseElementIsSystanLoadsNothingWithoutError) {
  fillFixtureTables();
  sysTanfMode = 0;
  const std::string zud3 = savedFile(ExchangeKind::SpeedDial, "a.zud3");
  startUp();
  EXPECT_EQ(loadLeavesTables(ExchangeKind::SpeedDial, "a.zud8", zud3), 0);
}

TEST_F(PhonebookFileIoTest, CsvWithoutUserInformationLineLoadsFromItsFirstRow) {
  fillFixtureTables();
  std::string csv = savedFile(ExchangeKind::SpeedDial, "a.csv").substr(kUserInfoBytes);
  startUp();
  setUserFields();
  writeFile(dir.file("b.csv"), csv);
  EXPECT_EQ(loadPhonebookData(dir.file("b.csv"), ExchangeKind::SpeedDial).code, 0);
  EXPECT_STREQ(entry(0).number, "03-1234-5678P9");
  EXPECT_EQ(userFieldBytes(), std::string(sizeof userInfoHeader, ' ')) << "the fields are blanked by the load";
}

TEST_F(PhonebookFileIoTest, FileOfAnotherKindIsRefusedAndLoadsNothing) {
  fillFixtureTables();
  const std::string extensions = savedFile(ExchangeKind::Extensions, "e.csv");
  const std::string templates = savedFile(ExchangeKind::Templates, "t.csv");
  const std::string speedDial = savedFile(ExchangeKind::SpeedDial, "s.csv");
  startUp();
  EXPECT_EQ(loadLeavesTables(ExchangeKind::SpeedDial, "x.csv", extensions), kPhonebookDataError);
  EXPECT_EQ(loadLeavesTables(ExchangeKind::SpeedDial, "x.csv", templates), kPhonebookDataError);
  EXPECT_EQ(loadLeavesTables(ExchangeKind::Extensions, "x.csv", speedDial), kPhonebookDataError);
  EXPECT_EQ(loadLeavesTables(ExchangeKind::Extensions, "x.csv", templates), kPhonebookDataError);
  EXPECT_EQ(loadLeavesTables(ExchangeKind::Templates, "x.csv", speedDial), kPhonebookDataError);
  EXPECT_EQ(loadLeavesTables(ExchangeKind::Templates, "x.csv", extensions), kPhonebookDataError);
}

TEST_F(PhonebookFileIoTest, FileOfItsKindWithoutRowsIsNoError) {
  EXPECT_EQ(loadLeavesTables(ExchangeKind::Extensions, "e.csv", std::string(kExtensionHeader) + "\r\n"), 0);
  EXPECT_EQ(loadLeavesTables(ExchangeKind::Templates, "t.csv", std::string(kTemplateHeader) + "\r\n"), 0);
}

// ---- the tagged file's parts --------------------------------------------------------------------

TEST_F(PhonebookFileIoTest, UserPartAfterTheElementIsRefused) {
  fillFixtureTables();
  std::string file = savedFile(ExchangeKind::Extensions, "a.zud4");
  const std::size_t user = file.find("<USER>\r\n");
  const std::string userPart = file.substr(user, file.find("<naisen>") - user);
  file.erase(user, userPart.size());
  file.insert(file.find("</naisen>"), userPart);
  startUp();
  EXPECT_EQ(loadLeavesTables(ExchangeKind::Extensions, "b.zud4", file), kPhonebookDataError);
}

TEST_F(PhonebookFileIoTest, MissingUserPartOrElementIsRefused) {
  fillFixtureTables();
  const std::string file = savedFile(ExchangeKind::Templates, "a.zud9");
  startUp();
  std::string noUser = file;
  noUser.replace(noUser.find("<USER>"), 6, "<USR>");
  EXPECT_EQ(loadLeavesTables(ExchangeKind::Templates, "b.zud9", noUser), kPhonebookDataError);
  std::string noElement = file;
  noElement.replace(noElement.find("<m046>"), 6, "<m047>");
  EXPECT_EQ(loadLeavesTables(ExchangeKind::Templates, "c.zud9", noElement), kPhonebookDataError);
}

// ---- files of the user's that must survive ------------------------------------------------------

TEST_F(PhonebookFileIoTest, TaggedLoadLeavesAFileNamedLikeItsWorkFileAlone) {
  fillFixtureTables();
  savedFile(ExchangeKind::SpeedDial, "book.zud8");
  writeFile(dir.file("book.tmp"), "mine");
  EXPECT_EQ(loadPhonebookData(dir.file("book.zud8"), ExchangeKind::SpeedDial).code, 0);
  EXPECT_EQ(readFile(dir.file("book.tmp")), "mine");
  EXPECT_EQ(dir.names(), (std::vector<std::string>{"book.tmp", "book.zud8"}));
}

TEST_F(PhonebookFileIoTest, TaggedSaveLeavesExchangeFilesOfTheUserAlone) {
  for (const char* name : {"sys-tan.txt", "naisen.txt", "usertkbn.txt"}) writeFile(dir.file(name), "mine");
  fillFixtureTables();
  savedFile(ExchangeKind::SpeedDial, "a.zud8");
  savedFile(ExchangeKind::SpeedDial, "a.zud3");
  savedFile(ExchangeKind::Extensions, "a.zud4");
  savedFile(ExchangeKind::Templates, "a.zud9");
  for (const char* name : {"sys-tan.txt", "naisen.txt", "usertkbn.txt"}) EXPECT_EQ(readFile(dir.file(name)), "mine");
  EXPECT_EQ(dir.names(), (std::vector<std::string>{"a.zud3", "a.zud4", "a.zud8", "a.zud9", "naisen.txt",
                                                   "sys-tan.txt", "usertkbn.txt"}));
}

TEST_F(PhonebookFileIoTest, FailedSaveLeavesThePreviousFileAndNoTemporaryFile) {
  fillFixtureTables();
  std::filesystem::create_directory(dir.file("taken.zud8"));
  std::filesystem::create_directory(dir.file("taken.csv"));
  EXPECT_EQ(savePhonebookData(dir.file("taken.zud8"), ExchangeKind::SpeedDial).code, kPhonebookSaveError);
  EXPECT_EQ(savePhonebookData(dir.file("taken.csv"), ExchangeKind::Extensions).code, kPhonebookSaveError);
  EXPECT_EQ(savePhonebookData(dir.file("missing/a.zud9"), ExchangeKind::Templates).code, kPhonebookSaveError);
  EXPECT_EQ(dir.names(), (std::vector<std::string>{"taken.csv", "taken.zud8"}));
}

TEST_F(PhonebookFileIoTest, MissingFileIsNoFileAndSaysSo) {
  const OpResult zud8 = loadPhonebookData(dir.file("none.zud8"), ExchangeKind::SpeedDial);
  EXPECT_EQ(zud8.code, kPhonebookNoFile);
  EXPECT_EQ(zud8.message, "\nファイルがありません。\n");
  EXPECT_EQ(zud8.caption, "エラー");
  EXPECT_EQ(loadPhonebookData(dir.file("none.csv"), ExchangeKind::Extensions).code, kPhonebookNoFile);
  EXPECT_EQ(tablesEdited, 0);
  const OpResult save = savePhonebookData(dir.file("missing/a.zud9"), ExchangeKind::Templates);
  EXPECT_EQ(save.message, "\nファイルデータ保存エラー発生\n");
  EXPECT_TRUE(loadPhonebookData(dir.file("none.csv"), ExchangeKind::Templates).caption == "エラー");
}

// ---- bad input ----------------------------------------------------------------------------------

class BadInputTest : public PhonebookFileIoTest {
 protected:
  struct Form {
    ExchangeKind kind;
    const char* name;
  };
  static constexpr Form kForms[] = {
      {ExchangeKind::SpeedDial, "f.zud8"},  {ExchangeKind::SpeedDial, "f.zud3"},
      {ExchangeKind::SpeedDial, "f.csv"},   {ExchangeKind::Extensions, "f.zud4"},
      {ExchangeKind::Extensions, "f.csv"},  {ExchangeKind::Templates, "f.zud9"},
      {ExchangeKind::Templates, "f.csv"}};
};

TEST_F(BadInputTest, RandomBytesAreRefusedByEveryLoader) {
  std::mt19937 rng(99);
  for (int round = 0; round < 5; ++round) {
    std::string bytes(1000 + rng() % 300000, '\0');
    for (char& c : bytes) c = static_cast<char>(rng());
    for (const Form& f : kForms) {
      EXPECT_EQ(loadLeavesTables(f.kind, f.name, bytes), kPhonebookDataError) << f.name;
    }
  }
}

TEST_F(BadInputTest, TruncatedFilesLoadTheRowsBeforeTheCut) {
  fillFullTables(21);
  const std::string tables = phonebookBytes();
  for (const std::string name : {"full.zud8", "full.csv"}) {
    const bool tagged = name == "full.zud8";
    const std::string file = savedFile(ExchangeKind::SpeedDial, name);
    // Where the rows begin and where each of them ends.
    const std::string_view rowEnd = tagged ? "\r" : "\r\n";
    std::size_t pos = tagged ? file.find("<systanf>\r\n") + 11 : file.find("\r\n", kUserInfoBytes) + 2;
    const std::size_t firstRow = pos;
    std::vector<std::size_t> rowEnds;
    while (rowEnds.size() < 10000 && (pos = file.find(rowEnd, pos)) != std::string::npos) {
      pos += rowEnd.size();
      rowEnds.push_back(pos);
    }
    ASSERT_EQ(rowEnds.size(), 10000u);
    for (std::size_t cut : {std::size_t{0}, std::size_t{5}, std::size_t{100}, std::size_t{250}, firstRow - 4,
                            rowEnds[0], rowEnds[3333] + 7, rowEnds[5000] - 1, file.size() - 30}) {
      startUp();
      const std::string fresh = phonebookBytes();
      writeFile(dir.file("cut-" + name), file.substr(0, cut));
      const int result = loadPhonebookData(dir.file("cut-" + name), ExchangeKind::SpeedDial).code;
      if (cut < firstRow) {
        EXPECT_EQ(result, kPhonebookDataError) << name << " cut at " << cut;
        EXPECT_EQ(firstDifference(phonebookBytes(), fresh), "") << name << " cut at " << cut;
        continue;
      }
      EXPECT_EQ(result, 0) << name << " cut at " << cut;
      const std::size_t whole = static_cast<std::size_t>(
          std::count_if(rowEnds.begin(), rowEnds.end(), [cut](std::size_t e) { return e <= cut; }));
      const std::size_t bytes = whole * sizeof(SpeedDialEntry);
      EXPECT_EQ(firstDifference(phonebookBytes().substr(0, bytes), tables.substr(0, bytes)), "")
          << name << " cut at " << cut;
    }
  }
}

TEST_F(BadInputTest, FiftyMegabyteFilesDoNotOverrunTheWorkLines) {
  fillFixtureTables();
  const std::string zud8 = savedFile(ExchangeKind::SpeedDial, "a.zud8");
  std::string big = zud8.substr(0, zud8.size() - 30);
  big.append(50 * 1024 * 1024, '7');
  startUp();
  writeFile(dir.file("big.zud8"), big);
  EXPECT_EQ(loadPhonebookData(dir.file("big.zud8"), ExchangeKind::SpeedDial).code, 0);
  EXPECT_STREQ(entry(0).number, "03-1234-5678P9");
  std::string bigCsv = savedFile(ExchangeKind::Templates, "t.csv");
  bigCsv.append(50 * 1024 * 1024, ',');
  for (const Form& f : kForms) loadLeavesTables(f.kind, f.name, std::string(50 * 1024 * 1024, 'A'));
  writeFile(dir.file("big.csv"), bigCsv);
  EXPECT_EQ(loadPhonebookData(dir.file("big.csv"), ExchangeKind::Templates).code, 0);
}

TEST_F(BadInputTest, MegabyteLinesAndNulBytesAreSurvived) {
  fillFixtureTables();
  const std::string zud4 = savedFile(ExchangeKind::Extensions, "a.zud4");
  const std::string csv = savedFile(ExchangeKind::Extensions, "a.csv");
  const std::string tables = directoryBytes();
  startUp();
  const std::string longLine(1024 * 1024 + 17, 'L');
  // A megabyte line before the user part, inside it and among the rows.
  std::string before = zud4;
  before.insert(before.find("<CHECK>"), longLine + "\r\n");
  EXPECT_EQ(loadPhonebookData(dir.file("x.zud4") , ExchangeKind::Extensions).code, kPhonebookNoFile);
  writeFile(dir.file("x.zud4"), before);
  EXPECT_EQ(loadPhonebookData(dir.file("x.zud4"), ExchangeKind::Extensions).code, 0);
  EXPECT_EQ(firstDifference(directoryBytes(), tables), "");
  std::string inUser = zud4;
  inUser.insert(inUser.find("<USER>\r\n") + 8, longLine);
  startUp();
  writeFile(dir.file("y.zud4"), inUser);
  loadPhonebookData(dir.file("y.zud4"), ExchangeKind::Extensions).code;
  std::string inRows = csv;
  inRows.insert(inRows.find("\r\n102,") + 2, longLine + "\r\n");
  startUp();
  writeFile(dir.file("z.csv"), inRows);
  EXPECT_EQ(loadPhonebookData(dir.file("z.csv"), ExchangeKind::Extensions).code, 0);
  EXPECT_EQ(firstDifference(directoryBytes(), tables), "");
  // NUL bytes in the user-information line read as blanks; in a row they end nothing.
  std::string nul = csv;
  nul[20] = '\0';
  nul.insert(nul.find("\r\n103,") + 6, std::string("\0\0", 2));
  startUp();
  writeFile(dir.file("n.csv"), nul);
  EXPECT_EQ(loadPhonebookData(dir.file("n.csv"), ExchangeKind::Extensions).code, 0);
  EXPECT_EQ(userInfoHeader.field1[7], ' ');
}

TEST_F(BadInputTest, ElementWithoutRowsLoadsNothingAndIsNoError) {
  fillFixtureTables();
  const std::string zud8 = savedFile(ExchangeKind::SpeedDial, "a.zud8");
  const std::string head = zud8.substr(0, zud8.find("<systanf>\r\n") + 11);
  for (const std::string& v : {head + "</systanf>\r\n</root>", head + "\r\n\r\n</systanf>\r\n</root>",
                               head + "<!-- none -->\r\n</systanf>\r\n</root>"}) {
    startUp();
    EXPECT_EQ(loadLeavesTables(ExchangeKind::SpeedDial, "empty.zud8", v), 0) << v.substr(head.size());
  }
}

// Every loader meets damaged copies of its own files: bytes flipped, runs deleted or repeated,
// NUL bytes and line ends thrown in. A load either takes what it can or refuses the file.
TEST_F(BadInputTest, DamagedFilesOfEveryFormAreLoadedOrRefused) {
  fillFullTables(31);
  std::mt19937 rng(7);
  for (const Form& f : kForms) {
    const std::string good = savedFile(f.kind, f.name);
    for (int round = 0; round < 12; ++round) {
      std::string bad = good;
      for (int edits = 1 + static_cast<int>(rng() % 6); edits > 0; --edits) {
        const std::size_t at = rng() % bad.size();
        const std::size_t span = std::min<std::size_t>(1 + rng() % 400, bad.size() - at);
        switch (rng() % 5) {
          case 0: bad[at] = static_cast<char>(rng()); break;
          case 1: bad.erase(at, span); break;
          case 2: bad.insert(at, bad.substr(at, span)); break;
          case 3: bad.insert(at, std::string(1 + rng() % 3, '\0')); break;
          default: bad.insert(at, 1, rng() % 2 ? '\r' : '\n'); break;
        }
        if (bad.empty()) bad.assign(1, 'x');  // not = "x": GCC 12 -O3 warns falsely on it
      }
      writeFile(dir.file(f.name), bad);
      const int r = loadPhonebookData(dir.file(f.name), f.kind).code;
      EXPECT_TRUE(r == 0 || r == kPhonebookDataError) << f.name;
    }
  }
}

TEST_F(BadInputTest, TagsInTheWrongOrderOrMissingAreSurvived) {
  fillFixtureTables();
  const std::string zud8 = savedFile(ExchangeKind::SpeedDial, "a.zud8");
  startUp();
  const std::string variants[] = {
      zud8.substr(0, zud8.find("<systanf>")) + "</systanf>\r\n<systanf>\r\n</root>",
      zud8.substr(0, zud8.find("<USER>")) + "<systanf>\r\n<USER>\r\n",
      std::string("<USER>\r\n<systanf>\r\n0000,1,,,1,01,0,0,000,000\r</systanf>"),
      std::string("<systanf>\r\n<USER>\r\n"),
      zud8.substr(0, zud8.find("</USER>")) + "<systanf>\r\n",
  };
  for (const std::string& v : variants) {
    writeFile(dir.file("v.zud8"), v);
    const int r = loadPhonebookData(dir.file("v.zud8"), ExchangeKind::SpeedDial).code;
    EXPECT_TRUE(r == 0 || r == kPhonebookDataError);
  }
}

}  // namespace
