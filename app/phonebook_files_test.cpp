#include "app/phonebook_files.h"

#include <gtest/gtest.h>

#include "app/file_select_dlg.h"
#include "data/phonebook_file_io.h"
#include "data/phonebook_tables_test_support.h"
#include "ui/dialog.h"
#include "ui/scripted/scripted_ui.h"

using namespace phonebook_test;

namespace {

// ScriptedUi that also keeps every enable change of a control and of the Close command.
class RecordingUi : public ScriptedUi {
 public:
  void controlChanged(CDialog& dialog, const ControlEvent& event) override {
    if (event.what == ControlChange::Enable) enables.push_back({event.controlId, event.value});
    ScriptedUi::controlChanged(dialog, event);
  }
  void windowChanged(CDialog& dialog, const WindowEvent& event) override {
    closeCommand.push_back(event.closeEnabled);
    ScriptedUi::windowChanged(dialog, event);
  }
  std::vector<std::pair<int, int>> enables;
  std::vector<bool> closeCommand;
};

class PhonebookFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    startUp();
    setLocalTimeForTesting(kFixtureTime);
    ASSERT_TRUE(chooser.Create());
  }
  void TearDown() override {
    chooser.DestroyWindow();
    setLocalTimeForTesting(std::nullopt);
    setFreeDiskSpaceForTesting(std::nullopt);
  }

  void load(ExchangeKind kind, const std::string& path) {
    fileKind = kind;
    ui.answerFile(path);
    loadPhonebookFile(&chooser);
  }
  void save(ExchangeKind kind, const std::string& path) {
    fileKind = kind;
    ui.answerFile(path);
    savePhonebookFile(&chooser);
  }

  void expectOneMessage(const std::string& text, const std::string& caption) {
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(ui.lastMessage().text, text);
    EXPECT_EQ(ui.lastMessage().caption, caption);
    EXPECT_EQ(ui.lastMessage().icon(), MB_ICONEXCLAMATION);
    EXPECT_EQ(ui.lastMessage().buttons(), MB_OK);
    EXPECT_EQ(ui.lastMessage().owner, &chooser);
  }

  RecordingUi ui;
  CDialog chooser{kFileSelectDlg};
  TempDir dir;
};

TEST_F(PhonebookFilesTest, FileDialogsOfEachKindAndDirection) {
  const char* filters[] = {" zud8ﾌｧｲﾙ(*.zud8)|*.zud8|zud3ﾌｧｲﾙ(*.zud3)|*.zud3|csvﾌｧｲﾙ(*.csv)|*.csv|",
                           " zud4ﾌｧｲﾙ(*.zud4)|*.zud4|csvﾌｧｲﾙ(*.csv)|*.csv|",
                           " zud9ﾌｧｲﾙ(*.zud9)|*.zud9|csvﾌｧｲﾙ(*.csv)|*.csv|"};
  const char* extensions[] = {"zud8", "zud4", "zud9"};
  for (const ExchangeKind kind : {ExchangeKind::SpeedDial, ExchangeKind::Extensions, ExchangeKind::Templates}) {
    fileKind = kind;
    ui.answerFile(std::nullopt);
    loadPhonebookFile(&chooser);
    ui.answerFile(std::nullopt);
    savePhonebookFile(&chooser);
  }
  const std::vector<FileDialogRecord> shown = ui.fileDialogs();
  ASSERT_EQ(shown.size(), 6u);
  for (int i = 0; i < 6; ++i) {
    const FileDialogRequest& r = shown[i].request;
    EXPECT_EQ(r.open, i % 2 == 0);
    EXPECT_EQ(r.title, i % 2 == 0 ? "ファイルの選択" : "ファイルの保存");
    EXPECT_EQ(r.filterText, filters[i / 2]);
    EXPECT_EQ(r.defaultExt, extensions[i / 2]);
    EXPECT_EQ(r.flags, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT);
    EXPECT_EQ(r.parent, &chooser);
  }
  EXPECT_TRUE(ui.messages().empty());
  EXPECT_TRUE(ui.cursorChanges().empty());
}

TEST_F(PhonebookFilesTest, NoKindChosenShowsNothing) {
  fileKind.reset();
  loadPhonebookFile(&chooser);
  savePhonebookFile(&chooser);
  EXPECT_TRUE(ui.fileDialogs().empty());
}

TEST_F(PhonebookFilesTest, SavedFileLoadsBackThroughTheDialogs) {
  fillFixtureTables();
  const std::string tables = phonebookBytes();
  save(ExchangeKind::SpeedDial, dir.file("book.zud8"));
  save(ExchangeKind::Extensions, dir.file("ext.zud4"));
  save(ExchangeKind::Templates, dir.file("tpl.csv"));
  startUp();
  load(ExchangeKind::SpeedDial, dir.file("book.zud8"));
  load(ExchangeKind::Extensions, dir.file("ext.zud4"));
  load(ExchangeKind::Templates, dir.file("tpl.csv"));
  EXPECT_TRUE(ui.messages().empty());
  EXPECT_EQ(firstDifference(phonebookBytes(), tables), "");
  EXPECT_EQ(tablesEdited, 1);
}

TEST_F(PhonebookFilesTest, ControlsAndCursorAreRestoredAfterTheWork) {
  chooser.EnableDlgItem(2556, false);
  ui.enables.clear();
  ui.closeCommand.clear();
  save(ExchangeKind::Extensions, dir.file("ext.csv"));
  auto changesOf = [this](int id) {
    std::vector<int> values;
    for (const auto& e : ui.enables)
      if (e.first == id) values.push_back(e.second);
    return values;
  };
  for (int id : {2554, 2555, IDCANCEL}) EXPECT_EQ(changesOf(id), (std::vector<int>{0, 1})) << id;
  const std::vector<int> off = changesOf(2556);
  EXPECT_EQ(std::count(off.begin(), off.end(), 1), 0);
  EXPECT_TRUE(chooser.IsDlgItemEnabled(2554) && chooser.IsDlgItemEnabled(IDCANCEL));
  EXPECT_FALSE(chooser.IsDlgItemEnabled(2556)) << "a button that was off stays off";
  ASSERT_GE(ui.closeCommand.size(), 2u);
  EXPECT_FALSE(ui.closeCommand.front());
  EXPECT_TRUE(chooser.IsCloseCommandEnabled());
  EXPECT_EQ(ui.cursorChanges(), (std::vector<bool>{true, false}));
}

TEST_F(PhonebookFilesTest, MissingFileIsToldAndTheLoadEnds) {
  load(ExchangeKind::SpeedDial, dir.file("none.zud8"));
  expectOneMessage(" ファイルが見つかりません。再度ファイルを選択して下さい。", "ファイルの確認");
  EXPECT_EQ(ui.fileDialogs().size(), 1u);
  EXPECT_EQ(tablesEdited, 0);
}

TEST_F(PhonebookFilesTest, FileOfAnotherKindIsToldAsADataError) {
  fillFixtureTables();
  save(ExchangeKind::Extensions, dir.file("ext.csv"));
  startUp();
  load(ExchangeKind::Templates, dir.file("ext.csv"));
  expectOneMessage("\nファイルデータ取得エラー発生\n", "エラー");
}

TEST_F(PhonebookFilesTest, TaggedFileWithoutUserPartIsToldAsADataError) {
  writeFile(dir.file("bad.zud9"), "<root>\r\n<m046>\r\n001@x\r</m046>\r\n</root>");
  load(ExchangeKind::Templates, dir.file("bad.zud9"));
  expectOneMessage("\nファイルデータ取得エラー発生\n", "エラー");
  EXPECT_EQ(dir.names(), (std::vector<std::string>{"bad.zud9"})) << "the work file is gone";
}

TEST_F(PhonebookFilesTest, FileThatCannotBeWrittenIsToldAsASaveError) {
  std::filesystem::create_directory(dir.file("taken.zud8"));
  save(ExchangeKind::SpeedDial, dir.file("taken.zud8"));
  expectOneMessage("\nファイルデータ保存エラー発生\n", "エラー");
}

TEST_F(PhonebookFilesTest, SaveNeedsFreeSpaceByKind) {
  struct Case {
    ExchangeKind kind;
    int memoryCount;
    std::uint64_t need;
    const char* name;
  };
  const Case cases[] = {{ExchangeKind::SpeedDial, 1, 12000, "a.zud8"}, {ExchangeKind::Extensions, 1, 4000, "a.zud4"}, {ExchangeKind::Extensions, 2, 2000, "b.zud4"},
                        {ExchangeKind::Templates, 1, 20000000, "a.zud9"}};
  for (const Case& c : cases) {
    memoryMode = static_cast<std::uint8_t>(c.memoryCount);
    ui.clearRecords();
    setFreeDiskSpaceForTesting(c.need - 1);
    save(c.kind, dir.file(c.name));
    expectOneMessage("\n空き容量が不足しています。\n", "エラー");
    EXPECT_FALSE(fileExists(dir.file(c.name))) << c.name;
    ui.clearRecords();
    setFreeDiskSpaceForTesting(c.need);
    save(c.kind, dir.file(c.name));
    EXPECT_TRUE(ui.messages().empty()) << c.name;
    EXPECT_TRUE(fileExists(dir.file(c.name))) << c.name;
  }
}

}  // namespace
