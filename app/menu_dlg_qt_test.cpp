// The three menus as the desktop shows them (Qt, offscreen): every button with its text, nothing
// cut off, the focus on the browser button; a picture of each goes to the build's screenshots/.
#include <gtest/gtest.h>

#include <QPushButton>
#include <cstdlib>
#include <functional>
#include <memory>

#include "app/hatsu_menu_dlg.h"
#include "app/menu_dlg.h"
#include "app/naisen_menu_dlg.h"
#include "data/process_state.h"
#include "ui/qt/qt_test_support.h"
#include "ui/qt/qt_ui.h"

namespace {

TEST(MenusOnQt, EachMenuRendersItsButtonsWhole) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  testApplication();
  QtUi ui;
  struct Case {
    std::function<std::unique_ptr<CEditorMenuDlg>()> menu;
    HistoryKind history;
    const char* picture;
    const char* show;  // the browser button's text
  };
  const Case cases[] = {
      {[] { return std::make_unique<CMenuDlg>(); }, HistoryKind::Internal, "menu-phonebook",
       "詳細設定"},
      {[] { return std::make_unique<CNaisenMenuDlg>(); }, HistoryKind::Internal,
       "menu-history-internal", "内線着信履歴表示"},
      {[] { return std::make_unique<CNaisenMenuDlg>(); }, HistoryKind::External,
       "menu-history-external", "外線着信履歴表示"},
      {[] { return std::make_unique<CHatsuMenuDlg>(); }, HistoryKind::Internal, "menu-restrictions",
       "発信規制番号編集"},
  };
  for (const Case& c : cases) {
    historyKind = c.history;
    std::unique_ptr<CEditorMenuDlg> menu = c.menu();
    ASSERT_TRUE(menu->Create());
    menu->ShowWindow(SW_SHOW);
    QWidget* window = ui.widgetOf(menu.get());
    ASSERT_NE(window, nullptr) << c.picture;
    ASSERT_TRUE(turnLoopUntil([&] { return window->isVisible(); })) << c.picture;
    QCoreApplication::processEvents();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("メニュー選択"));
    auto* show = window->findChild<QPushButton*>(QString::number(kMenuBrowserButton));
    ASSERT_NE(show, nullptr) << c.picture;
    EXPECT_EQ(show->text(), QString::fromUtf8(c.show));
    EXPECT_EQ(window->findChild<QPushButton*>(QString::number(IDCANCEL))->text(),
              QStringLiteral("戻る"));
    EXPECT_EQ(menu->GetFocusId(), kMenuBrowserButton);
    for (QPushButton* b : window->findChildren<QPushButton*>()) {
      EXPECT_GE(b->width(), b->minimumSizeHint().width()) << c.picture;
      EXPECT_GE(b->height(), b->minimumSizeHint().height()) << c.picture;
    }
    EXPECT_EQ(window->findChildren<QPushButton*>().size(), 4) << c.picture;
    // The choices stand one under the other, equally wide, in the menu's order.
    QPushButton* above = nullptr;
    for (int id : {kMenuLoadButton, kMenuSaveButton, kMenuBrowserButton, int{IDCANCEL}}) {
      auto* b = window->findChild<QPushButton*>(QString::number(id));
      ASSERT_NE(b, nullptr) << c.picture;
      if (above) {
        EXPECT_GT(b->y(), above->y()) << c.picture;
        EXPECT_EQ(b->x(), above->x()) << c.picture;
        EXPECT_EQ(b->width(), above->width()) << c.picture;
      }
      above = b;
    }
    EXPECT_TRUE(saveScreenshot(window, c.picture));
    menu->DestroyWindow();
  }
}

}  // namespace
