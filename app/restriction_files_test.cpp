#include "app/restriction_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>

#include "base/platform.h"
#include "base/files_test_support.h"
#include "data/process_state.h"
#include "data/restriction_table.h"
#include "data/system_data.h"
#include "ui/dialog.h"
#include "ui/scripted/scripted_ui.h"

using enum ControlKind;

namespace {

constexpr int kLoad = 1294;
constexpr int kSave = 1295;
constexpr int kBrowser = 1077;

const DialogResource kTestMenu{392, "メニュー選択", {
    {Button, kLoad, "発信規制番号ファイルデータ読込"},
    {Button, kSave, "発信規制番号ファイルデータ保存"},
    {Button, kBrowser, "発信規制番号編集"},
    {Button, IDCANCEL, "戻る"}}};

class TestMenu : public CDialog {
public:
  TestMenu() : CDialog(kTestMenu) {}

protected:
  void OnCommand(int id) override {
    if (id == kLoad) loadRestrictionFile(this);
    if (id == kSave) saveRestrictionFile(this);
  }
};

// Remembers how the menu looked when the wait cursor came on and when each message box came.
class ProbingUi : public ScriptedUi {
public:
  CDialog* menu = nullptr;
  bool allDisabledWhileWaiting = false;
  std::vector<bool> disabledAtMessage;
  void cursorChanged(bool wait) override {
    if (wait && menu) allDisabledWhileWaiting = allDisabled();
    ScriptedUi::cursorChanged(wait);
  }
  int messageBox(const MessageBoxRequest& request) override {
    if (menu) disabledAtMessage.push_back(allDisabled());
    return ScriptedUi::messageBox(request);
  }

private:
  bool allDisabled() const {
    return !menu->IsDlgItemEnabled(kLoad) && !menu->IsDlgItemEnabled(kSave) &&
           !menu->IsDlgItemEnabled(kBrowser) && !menu->IsDlgItemEnabled(IDCANCEL) &&
           !menu->IsCloseCommandEnabled();
  }
};

class RestrictionMenuFilesTest : public ::testing::Test {
protected:
  void SetUp() override {
    initProcessState();
    initSystemData();
    ASSERT_FALSE(m_tmp.path().empty());
    m_dir = m_tmp.path();
    m_ui.menu = &m_menu;
  }
  void TearDown() override { setFreeDiskSpaceForTesting(std::nullopt); }

  // Opens the menu, presses `button`, checks the menu is back to normal, and closes it.
  void press(int button) {
    m_ui.onDialogOnce(392, [&](DialogDriver& d) {
      d.click(button);
      m_restored = d.isEnabled(kLoad) && d.isEnabled(kSave) && d.isEnabled(kBrowser) &&
                   d.isEnabled(IDCANCEL) && m_menu.IsCloseCommandEnabled();
      m_focus = d.focus();
      d.click(IDCANCEL);
    });
    m_menu.DoModal();
  }

  std::string path(const std::string& name) const { return m_dir + "/" + name; }

  ProbingUi m_ui;
  TestMenu m_menu;
  TempDir m_tmp{"zu_restriction_menu"};
  std::string m_dir;
  bool m_restored = false;
  int m_focus = 0;
};

TEST_F(RestrictionMenuFilesTest, LoadAsksWithTheRestrictionFilterAndMergesTheFile) {
  writeFile(path("list.csv"), "0003,0312345678,\r\n");
  m_ui.answerFile(path("list.csv"));
  press(kLoad);
  ASSERT_EQ(m_ui.fileDialogs().size(), 1u);
  const FileDialogRequest r = m_ui.fileDialogs()[0].request;
  EXPECT_TRUE(r.open);
  EXPECT_EQ(r.title, "ファイルの選択");
  EXPECT_EQ(r.filterText, " zud7ﾌｧｲﾙ(*.zud7)|*.zud7|csvﾌｧｲﾙ(*.csv)|*.csv|");
  EXPECT_EQ(r.defaultExt, "zud7");
  EXPECT_EQ(r.flags, OFN_HIDEREADONLY);
  EXPECT_EQ(r.initialName, "");
  EXPECT_TRUE(m_ui.messages().empty());
  EXPECT_STREQ(restrictionTable[3].number, "0312345678");
  EXPECT_EQ(tablesEdited, 1);
  EXPECT_EQ(lastRestrictionFilePath(), path("list.csv"));
  EXPECT_TRUE(m_ui.allDisabledWhileWaiting);
  EXPECT_TRUE(m_restored);
  EXPECT_EQ(m_focus, kLoad);
  EXPECT_EQ(m_ui.cursorChanges(), (std::vector<bool>{true, false}));
}

TEST_F(RestrictionMenuFilesTest, MissingFileIsReportedAndTheDialogComesBack) {
  m_ui.answerFile(path("absent.zud7"));
  m_ui.answerFile(std::nullopt);
  press(kLoad);
  EXPECT_EQ(m_ui.fileDialogs().size(), 2u);
  ASSERT_EQ(m_ui.messages().size(), 1u);
  MessageBoxRecord m = m_ui.messages()[0];
  EXPECT_EQ(m.text, " ファイルが見つかりません。再度ファイルを選択して下さい。");
  EXPECT_EQ(m.caption, "ファイルの確認");
  EXPECT_EQ(m.icon(), MB_ICONEXCLAMATION);
  EXPECT_EQ(m.owner, &m_menu);
  EXPECT_TRUE(m_ui.cursorChanges().empty());
}

TEST_F(RestrictionMenuFilesTest, TaggedFileWithoutUserPartIsADataErrorShownBeforeTheRestore) {
  writeFile(path("bad.zud7"), "<root>\r\n<m018>\r\n0001@5,\n</m018>\r\n</root>");
  m_ui.answerFile(path("bad.zud7"));
  press(kLoad);
  ASSERT_EQ(m_ui.messages().size(), 1u);
  EXPECT_EQ(m_ui.lastMessage().text, "\nファイルデータ取得エラー発生\n");
  EXPECT_EQ(m_ui.lastMessage().caption, "エラー");
  EXPECT_EQ(m_ui.disabledAtMessage, (std::vector<bool>{true}));
  EXPECT_EQ(tablesEdited, 0);
  EXPECT_TRUE(m_restored);
  EXPECT_EQ(m_focus, kLoad);
}

TEST_F(RestrictionMenuFilesTest, UnparsableFileIsADataErrorShownAfterTheRestore) {
  writeFile(path("other.csv"), "name,number\r\nabc,def\r\n");
  m_ui.answerFile(path("other.csv"));
  press(kLoad);
  ASSERT_EQ(m_ui.messages().size(), 1u);
  EXPECT_EQ(m_ui.lastMessage().text, "\nファイルデータ取得エラー発生\n");
  EXPECT_EQ(m_ui.lastMessage().icon(), MB_ICONEXCLAMATION);
  EXPECT_EQ(m_ui.disabledAtMessage, (std::vector<bool>{false}));
  EXPECT_EQ(m_ui.cursorChanges(), (std::vector<bool>{true, false}));
  EXPECT_TRUE(m_restored);
}

TEST_F(RestrictionMenuFilesTest, SaveAsksWithOverwritePromptAndWritesTheFile) {
  storeRestrictionEntry(5, RestrictionEntry{0, "0120", 0}, RestrictionStoreMode::FileLoad);
  storeRestrictionEntry(9000, RestrictionEntry{0, "0120", 0}, RestrictionStoreMode::FileLoad);
  m_ui.answerFile(path("out.csv"));
  press(kSave);
  ASSERT_EQ(m_ui.fileDialogs().size(), 1u);
  const FileDialogRequest r = m_ui.fileDialogs()[0].request;
  EXPECT_FALSE(r.open);
  EXPECT_EQ(r.title, "ファイルの保存");
  EXPECT_EQ(r.filterText, " zud7ﾌｧｲﾙ(*.zud7)|*.zud7|csvﾌｧｲﾙ(*.csv)|*.csv|");
  EXPECT_EQ(r.defaultExt, "zud7");
  EXPECT_EQ(r.flags, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT);
  EXPECT_TRUE(m_ui.messages().empty());
  std::string written = readFile(path("out.csv"));
  EXPECT_NE(written.find("\r\n9000,0120,\r\n"), std::string::npos);
  EXPECT_NE(written.find("\r\n0005,,\r\n"), std::string::npos);  // normalised before saving
  EXPECT_TRUE(m_ui.allDisabledWhileWaiting);
  EXPECT_TRUE(m_restored);
  EXPECT_EQ(m_focus, kSave);
}

TEST_F(RestrictionMenuFilesTest, SaveNeedsFreeSpaceOf311000Bytes) {
  setFreeDiskSpaceForTesting(300000);
  m_ui.answerFile(path("out.zud7"));
  press(kSave);
  ASSERT_EQ(m_ui.messages().size(), 1u);
  EXPECT_EQ(m_ui.lastMessage().text, "\n空き容量が不足しています。\n");
  EXPECT_EQ(m_ui.lastMessage().caption, "エラー");
  EXPECT_FALSE(fileExists(path("out.zud7")));
  EXPECT_TRUE(m_ui.cursorChanges().empty());

  setFreeDiskSpaceForTesting(311000);
  m_ui.clearRecords();
  m_ui.answerFile(path("out.zud7"));
  press(kSave);
  EXPECT_TRUE(m_ui.messages().empty());
  EXPECT_TRUE(fileExists(path("out.zud7")));
}

TEST_F(RestrictionMenuFilesTest, FailedSaveIsReportedAndTheControlsComeBack) {
  ASSERT_EQ(::mkdir(path("out.zud7").c_str(), 0700), 0);
  m_ui.answerFile(path("out.zud7"));
  press(kSave);
  ASSERT_EQ(m_ui.messages().size(), 1u);
  EXPECT_EQ(m_ui.lastMessage().text, "\nファイルデータ保存エラー発生\n");
  EXPECT_EQ(m_ui.lastMessage().caption, "エラー");
  EXPECT_TRUE(m_restored);
  EXPECT_EQ(m_focus, kSave);
}

TEST_F(RestrictionMenuFilesTest, TaggedSaveAndLoadThroughTheMenuRestoreTheList) {
  for (int k = 0; k < kRestrictionEntries; k += 97)
    storeRestrictionEntry(k, RestrictionEntry{0, {'9', static_cast<char>('0' + k % 10), '1'}, 0},
                          RestrictionStoreMode::FileLoad);
  normaliseRestrictions();
  RestrictionEntry before[kRestrictionEntries];
  std::memcpy(before, restrictionTable, sizeof before);
  m_ui.answerFile(path("round"));  // the default extension makes it round.zud7
  press(kSave);
  ASSERT_TRUE(fileExists(path("round.zud7")));
  resetRestrictionTables();
  m_ui.answerFile(path("round.zud7"));
  press(kLoad);
  EXPECT_TRUE(m_ui.messages().empty());
  for (int k = 0; k < kRestrictionEntries; ++k)
    ASSERT_STREQ(restrictionTable[k].number, before[k].number) << k;
}

TEST_F(RestrictionMenuFilesTest, CancelDoesNothing) {
  m_ui.answerFile(std::nullopt);
  press(kSave);
  m_ui.answerFile(std::nullopt);
  press(kLoad);
  EXPECT_TRUE(m_ui.messages().empty());
  EXPECT_TRUE(m_ui.cursorChanges().empty());
  EXPECT_EQ(tablesEdited, 0);
}

TEST_F(RestrictionMenuFilesTest, WorksWithoutAMenu) {
  writeFile(path("list.csv"), "0001,42,\r\n");
  m_ui.answerFile(path("list.csv"));
  loadRestrictionFile(nullptr);
  EXPECT_STREQ(restrictionTable[1].number, "42");
  m_ui.answerFile(path("copy.csv"));
  saveRestrictionFile(nullptr);
  EXPECT_TRUE(fileExists(path("copy.csv")));
  EXPECT_TRUE(m_ui.faults().empty());
}

}  // namespace
