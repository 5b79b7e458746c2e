// Rules of the scripted backend: message-box answers and records, threads, echo, cursor.
#include "ui/scripted/scripted_ui.h"

#include <gtest/gtest.h>

#include <atomic>
#include <latch>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ui/cursor.h"
#include "ui/message_box.h"

using enum ControlKind;

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

const DialogResource kAsk{601, "確認ダイアログ", {
    {Edit, 2550, ""},
    {Button, IDOK, "OK", {.defaultButton = true}},
    {Button, IDCANCEL, "ｷｬﾝｾﾙ"},
    {Progress, 2164, ""}}};

// OK shows a box with the typed text, then ends the dialog.
class AskDialog : public CDialog {
 public:
  AskDialog() : CDialog(kAsk) {}

 protected:
  void OnOK() override {
    MessageBox(this, GetDlgItemText(2550), "確認", MB_OKCANCEL | MB_ICONQUESTION);
    EndDialog(IDOK);
  }
};

TEST_F(ScriptedUiTest, ModalDialogsOnTwoThreadsAtOnceRecordEveryBoxAndDialog) {
  constexpr int kPerThread = 300;
  // The script runs on the thread that opened the dialog: it types that thread and its round.
  ui.onDialog(601, [](DialogDriver& d) {
    thread_local int round = 0;
    std::ostringstream typed;
    typed << std::this_thread::get_id() << ":" << round++;
    d.setText(2550, typed.str());
    d.click(IDOK);
  });
  std::latch start(2);
  auto run = [&] {
    start.arrive_and_wait();
    for (int i = 0; i < kPerThread; ++i) {
      AskDialog dlg;
      EXPECT_EQ(IDOK, dlg.DoModal());
    }
  };
  std::thread a(run), b(run);
  a.join();
  b.join();

  const std::vector<MessageBoxRecord> messages = ui.messages();
  ASSERT_EQ(messages.size(), 2u * kPerThread);
  std::set<std::string> texts;
  std::set<std::thread::id> threads;
  for (const MessageBoxRecord& m : messages) {
    texts.insert(m.text);
    threads.insert(m.thread);
    EXPECT_EQ(m.caption, "確認");
    EXPECT_EQ(m.ownerTitle, "確認ダイアログ");
  }
  EXPECT_EQ(texts.size(), 2u * kPerThread);  // every box, none lost or doubled
  EXPECT_EQ(threads.size(), 2u);
  int modal = 0;
  for (const DialogRecord& d : ui.dialogsShown()) {
    if (!d.modal) continue;
    ++modal;
    EXPECT_EQ(d.result, IDOK);
  }
  EXPECT_EQ(modal, 2 * kPerThread);
  EXPECT_TRUE(ui.faults().empty());
}

TEST_F(ScriptedUiTest, ControlChangesFromAnotherThreadWhileTheWindowComesAndGoes) {
  AskDialog dlg;
  std::atomic<bool> done{false};
  std::thread worker([&] {
    for (int pos = 0; !done; pos = (pos + 1) % 101) {
      dlg.SetProgressPos(2164, pos);
      MessageBox(&dlg, "進捗", "確認", MB_OK);
    }
  });
  for (int i = 0; i < 300; ++i) {
    dlg.Create();
    dlg.ShowWindow(SW_SHOW);
    dlg.SetDlgItemText(2550, std::to_string(i));
    dlg.DestroyWindow();
  }
  done = true;
  worker.join();
  for (const MessageBoxRecord& m : ui.messages()) {
    EXPECT_TRUE(m.ownerTitle.empty() || m.ownerTitle == "確認ダイアログ") << m.ownerTitle;
  }
  EXPECT_EQ(ui.controlTexts(601, 2550).size(), 300u);
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
