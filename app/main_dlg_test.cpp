// The main dialog's workflows end to end: the scripted user presses a button of the main dialog,
// answers the host dialog and the questions, and the real link talks to the simulator.
#include "app/main_dlg.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
#include <memory>

#include "app/denwa_dlg.h"
#include "app/ip_addr_inp_dlg.h"
#include "app/phonebook_workflows.h"
#include "data/process_state.h"
#include "data/speed_dial.h"
#include "data/restriction_table.h"
#include "data/template_messages.h"
#include "data/system_data.h"
#include "link/link_test_support.h"
#include "link/simulator_transfer_test_support.h"
#include "mainunit/simulator.h"
#include "ui/scripted/scripted_ui.h"

namespace {

class MainDialogWorkflows : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const SimulatorOptions o = testSimulatorOptions("127.0.0.3");
    toolPort_ = o.toolPortFirst;
    unit_ = new MainUnitSimulator(o);
    ASSERT_TRUE(unit_->start());
    base_ = o;
  }
  static void TearDownTestSuite() { delete unit_; }

  void SetUp() override {
    initProcessState();
    initSystemData();
    useTestTiming(std::chrono::milliseconds(2000));
    unit_->setOptions(base_);
    link_ = std::make_unique<CTCPFileTransfer>(nullptr);
    link_->SetListenPort(toolPort_);
    link_->SetListenAddress("127.0.0.1");
    ui_.onDialog(kIPAddrInpDlgId, [](DialogDriver& d) {
      d.setText(kIPAddrInpHost, "127.0.0.3");
      d.setText(kIPAddrInpPassword, "7351");
      d.click(IDOK);
    });
  }
  void TearDown() override { resetLinkTiming(); }

  // Opens the main dialog, presses `buttons` in turn and then 終了; returns the last outcome.
  WorkflowOutcome press(std::initializer_list<int> buttons) {
    CMainDlg dialog(link_);
    dialog.SetUnitPort(unit_->port());
    ui_.onDialogOnce(kMainDlgId, [&](DialogDriver& d) {
      for (int b : buttons) {
        d.click(b);
        EXPECT_TRUE(d.dialog().IsWindowEnabled());
        EXPECT_EQ(d.focus(), b);
      }
      d.click(kMainExit);
    });
    dialog.DoModal();
    return dialog.LastOutcome();
  }

  // Waits until the session the tool just ran has ended on the unit's side too.
  void settle() { unit_->waitForSessions(unit_->lastSession().number, std::chrono::seconds(3)); }

  static inline MainUnitSimulator* unit_ = nullptr;
  static inline SimulatorOptions base_;
  static inline int toolPort_ = 0;
  ScriptedUi ui_;
  std::unique_ptr<CTCPFileTransfer> link_;
};

TEST_F(MainDialogWorkflows, ReadsAndWritesReachTheUnitAndEndWithTheirSuccessMessages) {
  EXPECT_EQ(press({kMainPhonebookRead}), WorkflowOutcome::Succeeded);
  EXPECT_EQ(ui_.messages().at(ui_.messages().size() - 2).caption, "電話帳データの読込の終了");
  EXPECT_TRUE(phonebookTableFilled[static_cast<int>(ExchangeKind::Templates)]);

  ui_.onDialog(kDenwaDlgId, [](DialogDriver& d) {
    d.check(kDenwaFirstBlock);
    d.check(kDenwaExtensions);
    d.check(kDenwaTemplates);
    d.click(IDOK);
  });
  const MainUnitTables before = unit_->tables();
  EXPECT_EQ(press({kMainPhonebookWrite}), WorkflowOutcome::Succeeded);
  settle();
  EXPECT_TRUE(unit_->lastSession().succeeded) << unit_->lastSession().refusal;
  EXPECT_EQ(unit_->tables(), before);

  EXPECT_EQ(press({kMainHistoryRead}), WorkflowOutcome::Succeeded);
  EXPECT_EQ(press({kMainRestrictionRead}), WorkflowOutcome::Succeeded);
  EXPECT_EQ(press({kMainRestrictionWrite}), WorkflowOutcome::Succeeded);
  settle();
  EXPECT_TRUE(unit_->lastSession().succeeded) << unit_->lastSession().refusal;
  EXPECT_EQ(unit_->tables(), before);
  EXPECT_TRUE(ui_.faults().empty());
}

TEST_F(MainDialogWorkflows, AUnitBelowFourReadsTheSevenColumnDialAndClearsTheTemplates) {
  base_.fwVer = "3.00";
  unit_->setOptions(base_);
  base_.fwVer = "4.00";
  sysTanfMode = 1;
  setTemplateMessage(1, "ABC", 0);
  char text[21] = {};
  getTemplateMessage(1, text);
  ASSERT_STREQ(text, "ABC");
  EXPECT_EQ(press({kMainPhonebookRead}), WorkflowOutcome::Succeeded);
  EXPECT_EQ(sysTanfMode, 0);
  getTemplateMessage(1, text);
  EXPECT_STREQ(text, "");
  EXPECT_EQ(ui_.messages().at(ui_.messages().size() - 2).caption, "電話帳データの読込の終了");
}

// After a read, one edited entry is what "変更分のみ" sends: its block alone. Once written it
// is what the unit holds, so the next write selection has nothing to offer.
TEST_F(MainDialogWorkflows, ChangedOnlyWritesTheEditedBlockAndThenNothingDiffers) {
  EXPECT_EQ(press({kMainPhonebookRead}), WorkflowOutcome::Succeeded);
  SpeedDialFields f{};
  getSpeedDialEntry(4321, f);
  f.lineGroup = static_cast<std::uint8_t>(f.lineGroup - '0');  // the getter gives a digit
  std::memcpy(f.name, "EDITED", 7);
  ASSERT_EQ(setSpeedDialEntry(4321, f), 1);
  MainUnitTables expected = unit_->tables();
  expected.speedDial[4321].name = "EDITED";

  ui_.onDialogOnce(kDenwaDlgId, [](DialogDriver& d) {
    d.check(kDenwaTemplates);
    d.click(kDenwaChangedOnly);
    d.click(IDOK);
  });
  EXPECT_EQ(press({kMainPhonebookWrite}), WorkflowOutcome::Succeeded);
  settle();
  EXPECT_TRUE(unit_->lastSession().succeeded) << unit_->lastSession().refusal;
  EXPECT_EQ(unit_->lastSession().listedFiles,
            (std::vector<std::string>{"sys-tanf4000.txt", "sys-tanf4000.txt"}));
  EXPECT_EQ(unit_->tables(), expected);

  bool offered = true;
  ui_.onDialogOnce(kDenwaDlgId, [&offered](DialogDriver& d) {
    offered = d.isEnabled(kDenwaChangedOnly) || d.text(kDenwaFirstBlock + 8).ends_with("＊");
    d.click(IDCANCEL);
  });
  EXPECT_EQ(press({kMainPhonebookWrite}), WorkflowOutcome::Stopped);
  EXPECT_FALSE(offered);
}

TEST_F(MainDialogWorkflows, ABusyUnitShowsTheCommunicationErrorAndGivesTheDialogBack) {
  base_.busy = true;
  unit_->setOptions(base_);
  base_.busy = false;
  EXPECT_EQ(press({kMainRestrictionRead}), WorkflowOutcome::Failed);
  bool sawError = false;
  for (const MessageBoxRecord& m : ui_.messages())
    sawError = sawError || (m.text == "\n通信エラーが発生しました。\n" && m.caption == "エラー");
  EXPECT_TRUE(sawError);
}

TEST_F(MainDialogWorkflows, WritingUnreadExtensionsAsksFirstAndNoSendsNothing) {
  ui_.onDialog(kDenwaDlgId, [](DialogDriver& d) {
    d.check(kDenwaExtensions);
    d.click(IDOK);
  });
  ui_.answer(phonebook_write_text::kUnreadCaption, IDNO);
  const int sessions = unit_->sessionCount();
  EXPECT_EQ(press({kMainPhonebookWrite}), WorkflowOutcome::Stopped);
  EXPECT_EQ(unit_->sessionCount(), sessions);
}

TEST_F(MainDialogWorkflows, EscapeAndCloseAskTheExitQuestionAndNoKeepsTheDialog) {
  CMainDlg dialog(link_);
  ui_.answer("終了確認", IDNO);
  ui_.answer("終了確認", IDNO);
  ui_.onDialogOnce(kMainDlgId, [](DialogDriver& d) {
    d.pressEscape();
    EXPECT_TRUE(d.isOpen());
    d.close();
    EXPECT_TRUE(d.isOpen());
    d.pressEscape();
  });
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  EXPECT_EQ(ui_.messages().size(), 3u);  // No, No, then the default Yes
}

}  // namespace
