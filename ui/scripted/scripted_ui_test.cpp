// Rules of the scripted backend: message-box answers and records, threads, echo, cursor.
#include "ui/scripted/scripted_ui.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

#include "ui/cursor.h"
#include "ui/message_box.h"

namespace {

class ScriptedUiTest : public ::testing::Test {
 protected:
  ScriptedUi ui;
};

TEST_F(ScriptedUiTest, MessageBoxesAreRecordedWithEverythingTheUserSaw) {
  int result = MessageBox(nullptr, "\n通信エラーが発生しました。\n", "エラー",
                          MB_OK | MB_ICONEXCLAMATION);
  EXPECT_EQ(result, IDOK);
  MessageBoxRecord m = ui.lastMessage();
  EXPECT_EQ(m.text, "\n通信エラーが発生しました。\n");
  EXPECT_EQ(m.caption, "エラー");
  EXPECT_EQ(m.buttons(), MB_OK);
  EXPECT_EQ(m.icon(), MB_ICONEXCLAMATION);
  EXPECT_EQ(m.owner, nullptr);
  EXPECT_EQ(m.thread, std::this_thread::get_id());
  EXPECT_EQ(m.result, IDOK);
}

TEST_F(ScriptedUiTest, QueuedAnswersGoToBoxesWithTheirCaptionInOrder) {
  ui.answer("電話帳データの読込確認", IDCANCEL);
  ui.answer("電話帳データの読込確認", IDOK);
  ui.answer("終了確認", IDNO);
  EXPECT_EQ(MessageBox(nullptr, "a", "終了確認", MB_YESNO | MB_ICONQUESTION), IDNO);
  EXPECT_EQ(MessageBox(nullptr, "b", "電話帳データの読込確認", MB_OKCANCEL), IDCANCEL);
  EXPECT_EQ(MessageBox(nullptr, "c", "電話帳データの読込確認", MB_OKCANCEL), IDOK);
  // The queue is used up: the defaults come back.
  EXPECT_EQ(MessageBox(nullptr, "d", "電話帳データの読込確認", MB_OKCANCEL), IDOK);
  EXPECT_EQ(MessageBox(nullptr, "e", "終了確認", MB_YESNO), IDYES);
  EXPECT_EQ(ui.messages().size(), 5u);
  EXPECT_TRUE(ui.faults().empty());
}

TEST_F(ScriptedUiTest, DefaultAnswersAreConfigurablePerButtonSet) {
  ui.setDefaultAnswer(MB_YESNO, IDNO);
  ui.setDefaultAnswer(MB_OKCANCEL, IDCANCEL);
  EXPECT_EQ(MessageBox(nullptr, "q", "確認", MB_YESNO | MB_ICONQUESTION), IDNO);
  EXPECT_EQ(MessageBox(nullptr, "q", "確認", MB_OKCANCEL), IDCANCEL);
  EXPECT_EQ(MessageBox(nullptr, "q", "確認", MB_OK), IDOK);
}

TEST_F(ScriptedUiTest, AnAnswerTheBoxCannotGiveIsAFaultAndTheDefaultIsUsed) {
  ui.answer("エラー", IDCANCEL);
  EXPECT_EQ(MessageBox(nullptr, "x", "エラー", MB_OK), IDOK);
  EXPECT_EQ(ui.faults().size(), 1u);
}

TEST_F(ScriptedUiTest, MessageBoxesFromTwoThreadsAtOnceAreAllRecorded) {
  constexpr int kPerThread = 2000;
  auto ask = [](int thread) {
    for (int i = 0; i < kPerThread; ++i) {
      std::string text = std::to_string(thread) + ":" + std::to_string(i);
      MessageBox(nullptr, text, "エラー", MB_OK | MB_ICONWARNING);
    }
  };
  std::thread a(ask, 0), b(ask, 1);
  a.join();
  b.join();
  auto messages = ui.messages();
  ASSERT_EQ(messages.size(), 2u * kPerThread);
  std::set<std::string> texts;
  std::set<std::thread::id> threads;
  for (const MessageBoxRecord& m : messages) {
    texts.insert(m.text);
    threads.insert(m.thread);
  }
  EXPECT_EQ(texts.size(), 2u * kPerThread);
  EXPECT_EQ(threads.size(), 2u);
}

TEST_F(ScriptedUiTest, EchoPrintsEachBoxToStderr) {
  ui.setEchoToStderr(true);
  testing::internal::CaptureStderr();
  MessageBox(nullptr, "\nファイルがありません。\n", "エラー", MB_OK);
  MessageBox(nullptr, "ファイルが読み込めません。\n\n確認して下さい。", "オープンエラー", MB_OK);
  std::string printed = testing::internal::GetCapturedStderr();
  EXPECT_EQ(printed,
            "エラー: ファイルがありません。\n"
            "オープンエラー: ファイルが読み込めません。\n\n確認して下さい。\n");
}

TEST_F(ScriptedUiTest, CursorChangesAreRecorded) {
  showWaitCursor(true);
  EXPECT_TRUE(isWaitCursorShown());
  showWaitCursor(false);
  EXPECT_FALSE(isWaitCursorShown());
  EXPECT_EQ(ui.cursorChanges(), (std::vector<bool>{true, false}));
}

TEST(ScriptedUiLifetimeTest, AnInnerBackendGivesWayToTheOuterOneWhenItGoes) {
  ScriptedUi outer;
  {
    ScriptedUi inner;
    MessageBox(nullptr, "inner", "c", MB_OK);
    EXPECT_EQ(inner.messages().size(), 1u);
  }
  MessageBox(nullptr, "outer", "c", MB_OK);
  ASSERT_EQ(outer.messages().size(), 1u);
  EXPECT_EQ(outer.lastMessage().text, "outer");
}

TEST(NoBackendTest, WithoutABackendBoxesGetTheAnswerThatGoesNoFurther) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(MessageBox(nullptr, "q", "確認", MB_OKCANCEL), IDCANCEL);
  EXPECT_EQ(MessageBox(nullptr, "q", "確認", MB_YESNO), IDNO);
  EXPECT_EQ(MessageBox(nullptr, "q", "確認", MB_OK), IDOK);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("確認: q"), std::string::npos);
}

}  // namespace
