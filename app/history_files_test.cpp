#include "app/history_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "base/platform.h"
#include "base/files_test_support.h"
#include "data/call_history.h"
#include "data/history_files.h"
#include "data/process_state.h"
#include "data/system_data.h"
#include "ui/dialog.h"
#include "ui/scripted/scripted_ui.h"

using enum ControlKind;

namespace {

constexpr int kLoad = 1294;
constexpr int kSave = 1295;

const DialogResource kTestMenu{391, "メニュー選択", {
    {Button, kLoad, "外線着信履歴ファイルデータ読込"},
    {Button, kSave, "外線着信履歴ファイルデータ保存"},
    {Button, 1077, "外線着信履歴表示"},
    {Button, IDCANCEL, "戻る"}}};

class TestMenu : public CDialog {
public:
  TestMenu() : CDialog(kTestMenu) {}

protected:
  void OnCommand(int id) override {
    if (id == kLoad) loadHistoryFile(this);
    if (id == kSave) saveHistoryFile(this);
  }
};

class HistoryMenuFilesTest : public ::testing::Test {
protected:
  void SetUp() override {
    initProcessState();
    initSystemData();
    ASSERT_FALSE(m_tmp.path().empty());
    m_dir = m_tmp.path();
  }

  void press(int button) {
    m_ui.onDialogOnce(391, [&](DialogDriver& d) {
      d.click(button);
      m_restored = d.isEnabled(kLoad) && d.isEnabled(kSave) && d.isEnabled(1077) &&
                   d.isEnabled(IDCANCEL) && m_menu.IsCloseCommandEnabled();
      m_focus = d.focus();
      d.click(IDCANCEL);
    });
    m_menu.DoModal();
  }
  std::string path(const std::string& name) const { return m_dir + "/" + name; }

  ScriptedUi m_ui;
  TestMenu m_menu;
  TempDir m_tmp{"zu_history_menu"};
  std::string m_dir;
  bool m_restored = false;
  int m_focus = 0;
};

TEST_F(HistoryMenuFilesTest, LoadReplacesTheHistoryOfHistoryKind) {
  historyKind = HistoryKind::External;
  ExternalCallRecord old{};
  old.recordNumber = 9;
  storeExternalCallRecord(8, old);
  writeFile(path("ex.csv"), externalHistoryCsvTitle() + "\n2,2024/01/01,,,,,1,,,,,\n");
  m_ui.answerFile(path("ex.csv"));
  press(kLoad);
  const FileDialogRequest r = m_ui.fileDialogs().at(0).request;
  EXPECT_TRUE(r.open);
  EXPECT_EQ(r.title, "ファイルの選択");
  EXPECT_EQ(r.filterText, " csvﾌｧｲﾙ(*.csv)|*.csv|");
  EXPECT_EQ(r.defaultExt, "csv");
  EXPECT_EQ(r.flags, OFN_HIDEREADONLY);
  EXPECT_TRUE(m_ui.messages().empty());
  EXPECT_EQ(externalHistory[1].recordNumber, 2);
  EXPECT_EQ(externalHistory[8].recordNumber, 0);
  EXPECT_EQ(internalHistory[1].recordNumber, 0);
  EXPECT_EQ(lastHistoryFilePath(), path("ex.csv"));
  EXPECT_TRUE(m_restored);
  EXPECT_EQ(m_focus, kLoad);
  EXPECT_EQ(m_ui.cursorChanges(), (std::vector<bool>{true, false}));
}

TEST_F(HistoryMenuFilesTest, MissingFileIsReportedAndTheDialogComesBack) {
  m_ui.answerFile(path("absent.csv"));
  m_ui.answerFile(std::nullopt);
  press(kLoad);
  EXPECT_EQ(m_ui.fileDialogs().size(), 2u);
  ASSERT_EQ(m_ui.messages().size(), 1u);
  EXPECT_EQ(m_ui.lastMessage().text, " ファイルが見つかりません。再度ファイルを選択して下さい。");
  EXPECT_EQ(m_ui.lastMessage().caption, "ファイルの確認");
  EXPECT_EQ(m_ui.lastMessage().icon(), MB_ICONEXCLAMATION);
}

TEST_F(HistoryMenuFilesTest, SaveWritesTheHistoryOfHistoryKind) {
  historyKind = HistoryKind::Internal;
  InternalCallRecord r{};
  r.recordNumber = 1;
  storeInternalCallRecord(0, r);
  m_ui.answerFile(path("in"));
  press(kSave);
  const FileDialogRequest req = m_ui.fileDialogs().at(0).request;
  EXPECT_FALSE(req.open);
  EXPECT_EQ(req.title, "ファイルの保存");
  EXPECT_EQ(req.flags, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT);
  EXPECT_TRUE(m_ui.messages().empty());
  std::string written = readFile(path("in.csv"));
  EXPECT_EQ(written.substr(192), internalHistoryCsvTitle() + "\n1,,,,,,,,,,,,,,,\n");
  EXPECT_TRUE(m_restored);
  EXPECT_EQ(m_focus, kSave);
}

TEST_F(HistoryMenuFilesTest, FailedSaveIsReported) {
  ASSERT_EQ(::mkdir(path("out.csv").c_str(), 0700), 0);
  m_ui.answerFile(path("out.csv"));
  press(kSave);
  ASSERT_EQ(m_ui.messages().size(), 1u);
  EXPECT_EQ(m_ui.lastMessage().text, "\nファイルデータ保存エラー発生\n");
  EXPECT_EQ(m_ui.lastMessage().caption, "エラー");
  EXPECT_TRUE(m_restored);
}

}  // namespace
