#include "app/exit_confirmation.h"

#include <gtest/gtest.h>

#include "ui/scripted/scripted_ui.h"

namespace {
constexpr const char* kCaption = "終了確認";
}

TEST(ExitConfirmation, AsksWithTheExactTextCaptionAndButtons) {
  ScriptedUi ui;
  ui.answer(kCaption, IDYES);
  EXPECT_TRUE(confirmExit(nullptr));
  ASSERT_EQ(ui.messages().size(), 1u);
  const MessageBoxRecord box = ui.lastMessage();
  EXPECT_EQ(box.caption, "終了確認");
  EXPECT_EQ(box.text, "\xE3\x80\x80短縮設定/着信履歴プログラム（Zu）を終了しますか？");
  EXPECT_EQ(box.buttons(), MB_YESNO);
  EXPECT_EQ(box.icon(), MB_ICONQUESTION);
  EXPECT_TRUE(ui.faults().empty());
}

TEST(ExitConfirmation, OnlyNoKeepsTheProgramOpen) {
  ScriptedUi ui;
  ui.answer(kCaption, IDNO);
  EXPECT_FALSE(confirmExit(nullptr));
  ui.answer(kCaption, IDYES);
  EXPECT_TRUE(confirmExit(nullptr));
  EXPECT_EQ(ui.messages().size(), 2u);
}
