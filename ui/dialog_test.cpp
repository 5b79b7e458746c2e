// Rules of CDialog as a user and the code see it, driven through the scripted backend.
#include "ui/dialog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/message_box.h"
#include "ui/scripted/scripted_ui.h"
#include "ui/window_registry.h"

using enum ControlKind;

namespace {

const DialogResource kLogin{375, "ホスト名/IPアドレス・パスワード入力", {
    {Static, IDC_STATIC, "主装置のホスト名/IPアドレスとパスワードを入力してください。"},
    {Edit, 2550, "", {.maxLength = 64}},
    {Edit, 2568, "", {.maxLength = 16, .password = true}},
    {Edit, 1009, "0", {.readOnly = true, .rightAlign = true}},
    {Button, IDOK, "OK", {.defaultButton = true}},
    {Button, IDCANCEL, "ｷｬﾝｾﾙ"},
    {Button, 3000, "適用"},
    {Button, 3001, "隠し", {.visible = false}},
    {CheckBox, 2566, "0000～0499"},
    {CheckBox, 2567, "0500～0999"},
    {Radio, 2564, "あり", {.group = true}},
    {Radio, 2565, "なし"},
    {Radio, 2569, "600メモリー", {.group = true}},
    {Radio, 2570, "990メモリー"},
    {GroupBox, IDC_STATIC, "短縮番号", {.group = true}},
    {Progress, 2164, ""}}};

// Records the order of its handlers; OK only ends the dialog when the host is filled in.
class LoginDialog : public CDialog {
 public:
  LoginDialog() : CDialog(kLogin) {}
  std::vector<std::string> calls;
  bool swallowKeys = false;

 protected:
  bool OnInitDialog() override {
    calls.push_back("init");
    SetDlgItemText(2550, "initial");
    return true;
  }
  void OnOK() override {
    calls.push_back("ok");
    if (GetDlgItemText(2550).empty()) {
      MessageBox(this, "\nホスト名または、IPアドレスを入力してください。\n", "エラー",
                 MB_OK | MB_ICONEXCLAMATION);
      return;
    }
    EndDialog(IDOK);
  }
  void OnCancel() override {
    calls.push_back("cancel");
    CDialog::OnCancel();
  }
  void OnCommand(int id) override { calls.push_back("command " + std::to_string(id)); }
  bool PreTranslateKeyDown(int key) override {
    return swallowKeys && (key == VK_RETURN || key == VK_ESCAPE);
  }
};

class DialogTest : public ::testing::Test {
 protected:
  ScriptedUi ui;
  LoginDialog dlg;
};

TEST_F(DialogTest, DoModalRunsOnInitDialogBeforeTheScript) {
  std::string seenByScript;
  ui.onDialog(375, [&](DialogDriver& d) {
    seenByScript = d.text(2550);
    dlg.calls.push_back("script");
    d.click(IDCANCEL);
  });
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_EQ(seenByScript, "initial");
  EXPECT_EQ(dlg.calls, (std::vector<std::string>{"init", "script", "cancel"}));
  ASSERT_EQ(ui.dialogsShown().size(), 1u);
  EXPECT_EQ(ui.dialogsShown()[0].id, 375);
  EXPECT_EQ(ui.dialogsShown()[0].caption, "ホスト名/IPアドレス・パスワード入力");
  EXPECT_EQ(ui.dialogsShown()[0].result, IDCANCEL);
  EXPECT_TRUE(ui.faults().empty());
}

TEST_F(DialogTest, ClickingOkRunsOnOkWhichMayKeepTheDialogOpen) {
  ui.onDialog(375, [](DialogDriver& d) {
    d.setText(2550, "");
    d.click(IDOK);
    EXPECT_TRUE(d.isOpen());
    d.setText(2550, "127.0.0.2");
    d.click(IDOK);
    EXPECT_FALSE(d.isOpen());
  });
  EXPECT_EQ(dlg.DoModal(), IDOK);
  EXPECT_EQ(dlg.calls, (std::vector<std::string>{"init", "ok", "ok"}));
  ASSERT_EQ(ui.messages().size(), 1u);
  EXPECT_EQ(ui.lastMessage().owner, &dlg);
  EXPECT_EQ(ui.lastMessage().ownerTitle, "ホスト名/IPアドレス・パスワード入力");
  // Control state stays readable after the dialog has closed.
  EXPECT_EQ(dlg.GetDlgItemText(2550), "127.0.0.2");
}

TEST_F(DialogTest, OtherButtonsAreCommandsThatLeaveTheDialogOpen) {
  ui.onDialog(375, [](DialogDriver& d) {
    d.click(3000);
    EXPECT_TRUE(d.isOpen());
    EXPECT_EQ(d.focus(), 3000);
    d.click(IDCANCEL);
  });
  dlg.DoModal();
  EXPECT_EQ(dlg.calls, (std::vector<std::string>{"init", "command 3000", "cancel"}));
}

TEST_F(DialogTest, ADialogThatSwallowsEnterAndEscapeStaysOpen) {
  dlg.swallowKeys = true;
  ui.onDialog(375, [](DialogDriver& d) {
    d.pressEscape();
    d.pressEnter();
    EXPECT_TRUE(d.isOpen());
    d.click(IDCANCEL);
  });
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_EQ(dlg.calls, (std::vector<std::string>{"init", "cancel"}));
}

TEST_F(DialogTest, EscapeIsCancelAndEnterPressesTheFocusedOrDefaultButton) {
  ui.onDialogOnce(375, [](DialogDriver& d) { d.pressEscape(); });
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);

  dlg.calls.clear();
  ui.onDialogOnce(375, [](DialogDriver& d) {
    d.click(3000);     // focus on a push button: Enter presses it
    d.pressEnter();
    d.setText(2550, "host");  // focus on an edit: Enter presses the default button
    d.pressEnter();
  });
  EXPECT_EQ(dlg.DoModal(), IDOK);
  EXPECT_EQ(dlg.calls,
            (std::vector<std::string>{"init", "command 3000", "command 3000", "ok"}));
}

TEST_F(DialogTest, EnterDoesNotPressADisabledDefaultButton) {
  ui.onDialog(375, [](DialogDriver& d) {
    d.dialog().EnableDlgItem(IDOK, false);
    d.setText(2550, "host");
    d.pressEnter();
    EXPECT_TRUE(d.isOpen());
    d.click(IDCANCEL);
  });
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
}

TEST_F(DialogTest, ControlStateIsKeptByIdAndStartsFromTheResource) {
  ASSERT_TRUE(dlg.Create());
  EXPECT_EQ(dlg.GetDlgItemText(1009), "0");
  EXPECT_EQ(dlg.GetDlgItemText(IDOK), "OK");
  dlg.SetDlgItemText(1009, "27");
  dlg.CheckDlgButton(2566, true);
  dlg.EnableDlgItem(IDOK, false);
  dlg.ShowDlgItem(2550, false);
  dlg.SetFocusTo(2164);
  dlg.SetProgressPos(2164, 27);
  EXPECT_EQ(dlg.GetDlgItemText(1009), "27");
  EXPECT_TRUE(dlg.IsDlgButtonChecked(2566));
  EXPECT_FALSE(dlg.IsDlgButtonChecked(2567));
  EXPECT_FALSE(dlg.IsDlgItemEnabled(IDOK));
  EXPECT_FALSE(dlg.IsDlgItemVisible(2550));
  EXPECT_FALSE(dlg.IsDlgItemVisible(3001));
  EXPECT_EQ(dlg.GetFocusId(), 2164);
  EXPECT_EQ(dlg.GetProgressPos(2164), 27);

  // Unknown ids and IDC_STATIC read as empty and ignore changes.
  dlg.SetDlgItemText(9999, "x");
  dlg.SetDlgItemText(IDC_STATIC, "x");
  dlg.SetFocusTo(9999);
  EXPECT_EQ(dlg.GetDlgItemText(9999), "");
  EXPECT_EQ(dlg.GetDlgItemText(IDC_STATIC), "");
  EXPECT_FALSE(dlg.IsDlgItemEnabled(9999));
  EXPECT_EQ(dlg.GetFocusId(), 2164);

  // A new window starts again from the resource.
  dlg.DestroyWindow();
  ASSERT_TRUE(dlg.Create());
  EXPECT_EQ(dlg.GetDlgItemText(1009), "0");
  EXPECT_FALSE(dlg.IsDlgButtonChecked(2566));
  EXPECT_TRUE(dlg.IsDlgItemEnabled(IDOK));
  dlg.DestroyWindow();
}

TEST_F(DialogTest, CheckBoxesToggleAndRadioButtonsClearTheirOwnGroupOnly) {
  ui.onDialog(375, [](DialogDriver& d) {
    d.click(2566);
    d.click(2567);
    d.click(2566);
    EXPECT_FALSE(d.isChecked(2566));
    EXPECT_TRUE(d.isChecked(2567));
    d.click(2564);
    d.click(2570);
    d.click(2565);
    EXPECT_FALSE(d.isChecked(2564));
    EXPECT_TRUE(d.isChecked(2565));
    EXPECT_TRUE(d.isChecked(2570));
    d.check(2567, true);  // already ticked: no click
    d.click(IDCANCEL);
  });
  dlg.DoModal();
  EXPECT_EQ(dlg.calls, (std::vector<std::string>{"init", "command 2566", "command 2567",
                                                 "command 2566", "command 2564", "command 2570",
                                                 "command 2565", "cancel"}));
  dlg.CheckRadioButton(2569, 2570, 2569);
  EXPECT_TRUE(dlg.IsDlgButtonChecked(2569));
  EXPECT_FALSE(dlg.IsDlgButtonChecked(2570));
  EXPECT_TRUE(dlg.IsDlgButtonChecked(2565));
}

TEST_F(DialogTest, ActionsNoUserCouldTakeAreRefusedAndRecordedAsFaults) {
  ui.onDialog(375, [](DialogDriver& d) {
    d.click(3001);                       // hidden
    d.dialog().EnableDlgItem(3000, false);
    d.click(3000);                       // disabled
    d.setText(1009, "5");                // read-only edit
    d.click(2164);                       // a progress bar takes no clicks
    d.click(4242);                       // no such control
    d.dialog().EnableWindow(false);
    d.click(IDCANCEL);                   // the whole window is disabled
    d.dialog().EnableWindow(true);
    d.click(IDCANCEL);
    d.click(IDOK);                       // the dialog has ended
  });
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_EQ(dlg.calls, (std::vector<std::string>{"init", "cancel"}));
  EXPECT_EQ(dlg.GetDlgItemText(1009), "0");
  EXPECT_EQ(ui.faults().size(), 7u);
}

TEST_F(DialogTest, EditsAcceptNoMoreThanTheirMaximumCharacters) {
  ui.onDialog(375, [](DialogDriver& d) {
    d.setText(2568, "0123456789abcdefX");
    d.setText(2550, std::string(70, 'a'));
    d.click(IDCANCEL);
  });
  dlg.DoModal();
  EXPECT_EQ(dlg.GetDlgItemText(2568), "0123456789abcdef");
  EXPECT_EQ(dlg.GetDlgItemText(2550).size(), 64u);

  // The limit counts characters, and a cut never splits one.
  ui.onDialog(375, [](DialogDriver& d) {
    d.setText(2568, "ホスト名ホスト名ホスト名ホスト名ホ");
    d.click(IDCANCEL);
  });
  dlg.DoModal();
  EXPECT_EQ(dlg.GetDlgItemText(2568), "ホスト名ホスト名ホスト名ホスト名");
}

TEST_F(DialogTest, AScriptThatLeavesTheDialogOpenEndsItWithCancelAsAFault) {
  ui.onDialog(375, [](DialogDriver& d) { d.setText(2550, "x"); });
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  ASSERT_EQ(ui.faults().size(), 1u);
  EXPECT_NE(ui.faults()[0].find("375"), std::string::npos);
}

TEST_F(DialogTest, ADialogWithoutAScriptIsCancelledAsAFault) {
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_EQ(dlg.calls, (std::vector<std::string>{"init"}));
  EXPECT_EQ(ui.faults().size(), 1u);
}

TEST_F(DialogTest, OnceScriptsGoAheadOfTheLastingOne) {
  std::vector<int> order;
  ui.onDialog(375, [&](DialogDriver& d) { order.push_back(0); d.click(IDCANCEL); });
  ui.onDialogOnce(375, [&](DialogDriver& d) { order.push_back(1); d.click(IDCANCEL); });
  ui.onDialogOnce(375, [&](DialogDriver& d) { order.push_back(2); d.click(IDCANCEL); });
  for (int i = 0; i < 4; ++i) dlg.DoModal();
  EXPECT_EQ(order, (std::vector<int>{1, 2, 0, 0}));
}

TEST_F(DialogTest, TheWindowIsRegisteredUnderItsCaptionOnlyWhileItExists) {
  EXPECT_EQ(findWindow("ホスト名/IPアドレス・パスワード入力"), nullptr);
  HWND seen = nullptr;
  ui.onDialog(375, [&](DialogDriver& d) {
    seen = findWindow("ホスト名/IPアドレス・パスワード入力");
    d.dialog().SetWindowText("別の題");
    EXPECT_EQ(findWindow("ホスト名/IPアドレス・パスワード入力"), nullptr);
    EXPECT_EQ(findWindow("別の題"), &d.dialog());
    d.click(IDCANCEL);
  });
  dlg.DoModal();
  EXPECT_EQ(seen, &dlg);
  EXPECT_EQ(findWindow("別の題"), nullptr);
  EXPECT_FALSE(dlg.IsWindow());
}

TEST_F(DialogTest, AModelessDialogIsHiddenUntilShownAndGoneAfterDestroyWindow) {
  ASSERT_TRUE(dlg.Create());
  EXPECT_FALSE(dlg.Create());
  EXPECT_EQ(dlg.calls, (std::vector<std::string>{"init"}));
  EXPECT_FALSE(dlg.IsWindowVisible());
  dlg.ShowWindow(SW_SHOW);
  EXPECT_TRUE(dlg.IsWindowVisible());
  EXPECT_EQ(findWindow("ホスト名/IPアドレス・パスワード入力"), &dlg);
  dlg.DestroyWindow();
  EXPECT_FALSE(dlg.IsWindow());
  EXPECT_FALSE(dlg.IsWindowVisible());
  dlg.DestroyWindow();  // a second destroy does nothing
  ASSERT_EQ(ui.dialogsShown().size(), 1u);
  EXPECT_FALSE(ui.dialogsShown()[0].modal);
}

TEST_F(DialogTest, EndingAModelessDialogHidesItButKeepsTheWindowUntilDestroyed) {
  ASSERT_TRUE(dlg.Create());
  dlg.ShowWindow(SW_SHOW);
  DialogDriver d(dlg, &ui);
  d.setText(2550, "host");
  d.click(IDOK);
  EXPECT_FALSE(dlg.IsWindowVisible());
  EXPECT_TRUE(dlg.IsWindow());
  EXPECT_EQ(dlg.Result(), IDOK);
  d.click(IDOK);  // refused: the dialog has ended
  EXPECT_EQ(ui.faults().size(), 1u);
  dlg.DestroyWindow();
  EXPECT_FALSE(dlg.IsWindow());
}

TEST_F(DialogTest, WithoutABackendDoModalReturnsMinusOneAndRunsNothing) {
  ScriptedUi* none = nullptr;
  UiBackend* previous = installUiBackend(none);
  EXPECT_EQ(dlg.DoModal(), -1);
  EXPECT_TRUE(dlg.calls.empty());
  installUiBackend(previous);
}

// A dialog that ends itself in OnInitDialog: the script never runs.
class SelfClosingDialog : public CDialog {
 public:
  SelfClosingDialog() : CDialog(kLogin) {}

 protected:
  bool OnInitDialog() override {
    EndDialog(IDOK);
    return true;
  }
};

TEST_F(DialogTest, EndDialogDuringInitialisationSkipsTheScript) {
  bool ran = false;
  ui.onDialog(375, [&](DialogDriver& d) { ran = true; d.click(IDCANCEL); });
  SelfClosingDialog self;
  EXPECT_EQ(self.DoModal(), IDOK);
  EXPECT_FALSE(ran);
  EXPECT_TRUE(ui.faults().empty());
}

const DialogResource kMenu{222, "メニュー選択", {
    {Button, 1294, "ファイルデータ読込"},
    {Button, IDCANCEL, "戻る"}}};

// Opens the login dialog from a button, as the menus open their sub-dialogs.
class MenuDialog : public CDialog {
 public:
  MenuDialog() : CDialog(kMenu) {}
  int nestedResult = 0;

 protected:
  void OnCommand(int id) override {
    if (id != 1294) return;
    LoginDialog nested;
    nestedResult = nested.DoModal();
  }
};

TEST_F(DialogTest, AHandlerMayRunANestedModalDialog) {
  ui.onDialog(222, [](DialogDriver& d) { d.click(1294); d.click(IDCANCEL); });
  ui.onDialog(375, [](DialogDriver& d) { d.setText(2550, "h"); d.click(IDOK); });
  MenuDialog menu;
  EXPECT_EQ(menu.DoModal(), IDCANCEL);
  EXPECT_EQ(menu.nestedResult, IDOK);
  auto shown = ui.dialogsShown();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].id, 222);
  EXPECT_EQ(shown[1].id, 375);
  EXPECT_EQ(shown[1].result, IDOK);
}

TEST_F(DialogTest, TheCloseCommandRunsOnCloseUnlessItIsGreyed) {
  ui.onDialog(375, [](DialogDriver& d) {
    d.dialog().EnableCloseCommand(false);
    d.close();
    EXPECT_TRUE(d.isOpen());
    d.dialog().EnableCloseCommand(true);
    d.close();
  });
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_EQ(dlg.calls, (std::vector<std::string>{"init", "cancel"}));
  EXPECT_EQ(ui.faults().size(), 1u);
}

}  // namespace
