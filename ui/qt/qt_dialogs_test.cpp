// Dialogs as the Qt backend builds and runs them: every dialog renders with its texts and ids
// (and is written as a PNG for a person to look at), clicks drive a modal dialog to its result,
// state changed from a worker reaches the widgets, and nothing closes a progress dialog but the
// code that owns it.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <thread>

#include "ui/dialog.h"
#include "ui/message_box.h"
#include "ui/qt/qt_test_support.h"
#include "ui/qt/qt_ui.h"

namespace {

// The host dialog's first check, enough to see a refused OK keep it open.
class HostDialog : public CDialog {
 public:
  HostDialog() : CDialog(kHostDialog) {}

 protected:
  void OnOK() override {
    if (GetDlgItemText(2550).empty()) {
      MessageBox(this, "\nホスト名または、IPアドレスを入力してください。\n", "エラー",
                 MB_OK | MB_ICONEXCLAMATION);
      return;
    }
    EndDialog(IDOK);
  }
};

// A progress dialog as the tool's own: Enter and Escape are swallowed.
class ProgressDialog : public CDialog {
 public:
  explicit ProgressDialog(const DialogResource& resource = kProgressDialog) : CDialog(resource) {}

 protected:
  bool PreTranslateKeyDown(int key) override { return key == VK_RETURN || key == VK_ESCAPE; }
};

// A click on the box of a check box or radio button (a click beside its text does nothing).
void clickToggle(QAbstractButton* button) {
  QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}

class QtDialogs : public ::testing::Test {
 protected:
  QtDialogs() { testApplication(); }

  template <typename W>
  W* control(const CWnd& window, int id) {
    QWidget* w = m_ui.widgetOf(&window);
    return w ? w->findChild<W*>(QString::number(id)) : nullptr;
  }

  // Shows `dialog` modeless, checks that no text of it is cut off and writes its picture.
  QWidget* render(CDialog& dialog, const char* name) {
    EXPECT_TRUE(dialog.Create());
    dialog.ShowWindow(SW_SHOW);
    QWidget* window = m_ui.widgetOf(&dialog);
    EXPECT_NE(window, nullptr);
    if (!window) return nullptr;
    turnLoopUntil([&] { return window->isVisible(); });
    QCoreApplication::processEvents();
    for (QWidget* w : window->findChildren<QWidget*>()) {
      if (!w->isVisibleTo(window) ||
          (!qobject_cast<QAbstractButton*>(w) && !qobject_cast<QLabel*>(w)))
        continue;
      QSize need = w->minimumSizeHint();
      EXPECT_GE(w->width(), need.width()) << name << " " << w->objectName().toStdString();
      EXPECT_GE(w->height(), need.height()) << name << " " << w->objectName().toStdString();
    }
    EXPECT_TRUE(saveScreenshot(window, name));
    return window;
  }

  QtUi m_ui;
};

TEST_F(QtDialogs, HostDialogRendersItsTextsAndEditLimits) {
  CDialog dialog(kHostDialog);
  QWidget* window = render(dialog, "host");
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->windowTitle(), QStringLiteral("ホスト名/IPアドレス・パスワード入力"));
  QStringList labels;
  for (QLabel* l : window->findChildren<QLabel*>()) labels << l->text();
  EXPECT_TRUE(labels.contains(
      QStringLiteral("主装置のホスト名/IPアドレスとパスワードを入力してください。")));
  EXPECT_TRUE(labels.contains(QStringLiteral("パスワード")));
  auto* host = control<QLineEdit>(dialog, 2550);
  auto* password = control<QLineEdit>(dialog, 2568);
  ASSERT_TRUE(host && password);
  EXPECT_EQ(host->maxLength(), 64);
  EXPECT_EQ(host->echoMode(), QLineEdit::Normal);
  EXPECT_EQ(password->maxLength(), 16);
  EXPECT_EQ(password->echoMode(), QLineEdit::Password);
  EXPECT_EQ(control<QPushButton>(dialog, IDCANCEL)->text(), QStringLiteral("ｷｬﾝｾﾙ"));
  dialog.DestroyWindow();
  EXPECT_EQ(m_ui.widgetOf(&dialog), nullptr);
}

TEST_F(QtDialogs, ProgressDialogsRenderReadOnlyFieldsAndNoCloseButton) {
  ProgressDialog transfer;
  QWidget* window = render(transfer, "progress");
  ASSERT_NE(window, nullptr);
  transfer.SetDlgItemText(1006, "電話帳データの読込実行中です。");
  transfer.SetProgressPos(2164, 40);
  transfer.SetDlgItemText(1009, "40");
  QCoreApplication::processEvents();
  saveScreenshot(window, "progress-40");
  EXPECT_TRUE(control<QLineEdit>(transfer, 1006)->isReadOnly());
  auto* percent = control<QLineEdit>(transfer, 1009);
  EXPECT_TRUE(percent->isReadOnly());
  EXPECT_TRUE(percent->alignment() & Qt::AlignRight);
  EXPECT_EQ(control<QProgressBar>(transfer, 2164)->value(), 40);
  EXPECT_EQ(control<QLabel>(transfer, 2557)->text(), QStringLiteral("%"));
  EXPECT_FALSE(window->windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_TRUE(window->windowFlags() & Qt::WindowStaysOnTopHint);

  ProgressDialog files(kFileMakeDialog);
  ASSERT_NE(render(files, "file-make"), nullptr);
  transfer.DestroyWindow();
  files.DestroyWindow();
}

TEST_F(QtDialogs, WriteSelectionFramesItsCheckBoxesInTheirGroupBoxes) {
  CDialog dialog(writeSelectionDialog());
  QWidget* window = render(dialog, "write-selection");
  ASSERT_NE(window, nullptr);
  auto boxes = window->findChildren<QCheckBox*>();
  EXPECT_EQ(boxes.size(), 22);
  auto* first = control<QCheckBox>(dialog, 2566);
  auto* last = control<QCheckBox>(dialog, 2585);
  ASSERT_TRUE(first && last);
  EXPECT_EQ(first->text(), QStringLiteral("0000～0499"));
  EXPECT_EQ(last->text(), QStringLiteral("9500～9999"));
  auto* blocks = qobject_cast<QGroupBox*>(first->parentWidget());
  ASSERT_NE(blocks, nullptr);
  EXPECT_EQ(blocks->title(), QStringLiteral("短縮番号"));
  EXPECT_EQ(last->parentWidget(), blocks);
  auto* templates = qobject_cast<QGroupBox*>(control<QCheckBox>(dialog, 2591)->parentWidget());
  ASSERT_NE(templates, nullptr);
  EXPECT_EQ(templates->title(), QStringLiteral("付加情報定型文"));
  EXPECT_EQ(control<QPushButton>(dialog, IDOK)->parentWidget(), window);  // not in the last box

  // A tick by the user reaches the dialog; a tick by the code reaches the box.
  clickToggle(control<QCheckBox>(dialog, 2566));
  EXPECT_TRUE(dialog.IsDlgButtonChecked(2566));
  dialog.CheckDlgButton(2590, true);
  EXPECT_TRUE(control<QCheckBox>(dialog, 2590)->isChecked());
  dialog.DestroyWindow();
}

TEST_F(QtDialogs, HiddenControlsStayHiddenAndRadioGroupsFollowTheirStarts) {
  CDialog main(kMainLikeDialog);
  QWidget* window = render(main, "main-like");
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(control<QPushButton>(main, 1137)->text(),
            QStringLiteral("内線着信履歴の\n表示・ファイル操作"));
  for (int id : {2564, 2565, 2569, 2570}) EXPECT_TRUE(control<QRadioButton>(main, id)->isHidden());

  main.ShowDlgItem(2564, true);
  main.ShowDlgItem(2565, true);
  main.ShowDlgItem(2569, true);
  main.CheckRadioButton(2569, 2570, 2569);
  QCoreApplication::processEvents();  // the layout makes room for them
  clickToggle(control<QRadioButton>(main, 2565));
  EXPECT_TRUE(main.IsDlgButtonChecked(2565));
  EXPECT_TRUE(main.IsDlgButtonChecked(2569));  // another group
  clickToggle(control<QRadioButton>(main, 2565));
  EXPECT_TRUE(control<QRadioButton>(main, 2565)->isChecked());  // a radio does not untick
  clickToggle(control<QRadioButton>(main, 2564));
  EXPECT_FALSE(control<QRadioButton>(main, 2565)->isChecked());
  main.DestroyWindow();

  CDialog menu(kMenuDialog);
  ASSERT_NE(render(menu, "menu"), nullptr);
  menu.DestroyWindow();
  CDialog error(kErrorDialog);
  ASSERT_NE(render(error, "error"), nullptr);
  error.SetDlgItemText(2568, "\n入力された内容に誤りがあります。\n");
  QCoreApplication::processEvents();
  saveScreenshot(m_ui.widgetOf(&error), "error");
  error.DestroyWindow();
}

TEST_F(QtDialogs, ModalDialogDrivenByClicksEndsWithTheRightResult) {
  HostDialog dialog;
  QString boxText;
  UserSteps user({[&] {
                    return control<QPushButton>(dialog, IDOK) != nullptr &&
                           m_ui.widgetOf(&dialog)->isVisible();
                  },
                  [&] {
                    QTest::mouseClick(control<QPushButton>(dialog, IDOK), Qt::LeftButton);
                    return true;
                  },
                  [&] {
                    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                    if (!box) return false;
                    boxText = box->windowTitle() + "|" + box->text();
                    EXPECT_EQ(box->icon(), QMessageBox::Warning);
                    return answerMessageBox(QStringLiteral("OK"));
                  },
                  [&] {
                    QTest::keyClicks(control<QLineEdit>(dialog, 2550), QStringLiteral("127.0.0.2"));
                    QTest::keyClicks(control<QLineEdit>(dialog, 2568),
                                     QStringLiteral("12345678901234567"));
                    QTest::mouseClick(control<QPushButton>(dialog, IDOK), Qt::LeftButton);
                    return true;
                  }});
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_TRUE(user.done());
  EXPECT_EQ(boxText, QStringLiteral("エラー|\nホスト名または、IPアドレスを入力してください。\n"));
  EXPECT_EQ(dialog.GetDlgItemText(2550), "127.0.0.2");
  EXPECT_EQ(dialog.GetDlgItemText(2568), "1234567890123456");  // the seventeenth is refused
}

TEST_F(QtDialogs, EnterAndEscapeEndAnOrdinaryModalDialog) {
  CDialog dialog(kHostDialog);
  UserSteps escape({[&] {
    QWidget* w = m_ui.widgetOf(&dialog);
    if (!w || !w->isVisible()) return false;
    QTest::keyClick(control<QLineEdit>(dialog, 2550), Qt::Key_Escape);
    return true;
  }});
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  UserSteps enter({[&] {
    QWidget* w = m_ui.widgetOf(&dialog);
    if (!w || !w->isVisible()) return false;
    QTest::keyClick(control<QLineEdit>(dialog, 2568), Qt::Key_Return);
    return true;
  }});
  EXPECT_EQ(dialog.DoModal(), IDOK);
}

// A menu that starts with the focus on its browser button, as the tool's menus do.
class MenuDialog : public CDialog {
 public:
  MenuDialog() : CDialog(kMenuDialog) {}
  std::vector<int> commands;

 protected:
  bool OnInitDialog() override {
    SetFocusTo(1077);
    return false;
  }
  void OnCommand(int id) override { commands.push_back(id); }
};

TEST_F(QtDialogs, EnterPressesTheButtonTheDialogFocusedNotTheFirstOne) {
  MenuDialog menu;
  UserSteps user({[&] {
                    QWidget* w = m_ui.widgetOf(&menu);
                    return w && w->isVisible();
                  },
                  [&] {
                    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
                    return true;
                  },
                  [&] {
                    // Tabbing moves the focus on, as the user sees it.
                    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
                    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
                    return true;
                  }});
  EXPECT_EQ(menu.DoModal(), IDCANCEL);
  EXPECT_EQ(menu.commands, (std::vector<int>{1077}));
  EXPECT_EQ(menu.GetFocusId(), IDCANCEL);
}

TEST_F(QtDialogs, NeitherKeysNorTheTitleBarCloseAProgressDialog) {
  ProgressDialog dialog;
  ASSERT_TRUE(dialog.Create());
  dialog.ShowWindow(SW_SHOW);
  QWidget* window = m_ui.widgetOf(&dialog);
  ASSERT_TRUE(turnLoopUntil([&] { return window->isVisible(); }));
  QTest::keyClick(window, Qt::Key_Escape);
  QTest::keyClick(control<QLineEdit>(dialog, 1009), Qt::Key_Escape);
  QTest::keyClick(control<QLineEdit>(dialog, 1006), Qt::Key_Return);
  window->close();
  QCoreApplication::processEvents();
  EXPECT_TRUE(dialog.IsOpen());
  EXPECT_TRUE(window->isVisible());
  dialog.DestroyWindow();
}

TEST_F(QtDialogs, StateChangedOnAWorkerReachesTheWidgets) {
  ProgressDialog dialog;
  ASSERT_TRUE(dialog.Create());
  dialog.ShowWindow(SW_SHOW);
  std::thread worker([&] {
    dialog.SetDlgItemText(1006, "発信規制番号データの書込実行中です。");
    dialog.SetProgressRange(2164, 0, 200);
    dialog.SetProgressPos(2164, 150);
    dialog.EnableDlgItem(1009, false);
    dialog.ShowDlgItem(2557, false);
    dialog.SetWindowText("別の題名");
  });
  worker.join();
  QWidget* window = m_ui.widgetOf(&dialog);
  ASSERT_TRUE(turnLoopUntil([&] { return window->windowTitle() == QStringLiteral("別の題名"); }));
  EXPECT_EQ(control<QLineEdit>(dialog, 1006)->text(),
            QStringLiteral("発信規制番号データの書込実行中です。"));
  EXPECT_EQ(control<QProgressBar>(dialog, 2164)->maximum(), 200);
  EXPECT_EQ(control<QProgressBar>(dialog, 2164)->value(), 150);
  EXPECT_FALSE(control<QLineEdit>(dialog, 1009)->isEnabled());
  EXPECT_TRUE(control<QLabel>(dialog, 2557)->isHidden());
  dialog.DestroyWindow();
}

}  // namespace
