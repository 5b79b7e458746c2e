// The desktop never freezes: calls from workers are handed to the GUI thread and answered
// there while the caller waits, long work leaves the event loop turning, and a close that waits
// for a lock held by a worker waiting for a message box does not deadlock.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <fstream>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ui/cursor.h"
#include "ui/dialog.h"
#include "ui/file_dialog.h"
#include "ui/message_box.h"
#include "ui/message_pump.h"
#include "ui/qt/qt_test_support.h"
#include "ui/qt/qt_ui.h"
#include "ui/window_registry.h"

namespace {

constexpr unsigned kSetPercent = WM_USER + 100;

// Shows each percent posted to it, on the thread that delivers it.
class ProgressDialog : public CDialog {
 public:
  ProgressDialog() : CDialog(kProgressDialog) {}
  std::vector<std::thread::id> deliveredOn;
  std::vector<int> shown;

 protected:
  void OnMessage(unsigned msg, std::uintptr_t wParam) override {
    if (msg != kSetPercent) return;
    int p = wParam > 100 ? 100 : static_cast<int>(wParam);
    deliveredOn.push_back(std::this_thread::get_id());
    shown.push_back(p);
    SetProgressPos(2164, p);
    SetDlgItemText(1009, std::to_string(p));
    pumpMessages(10);
  }
};

QMessageBox* visibleBox() {
  return qobject_cast<QMessageBox*>(
      visibleWindow([](QWidget* w) { return qobject_cast<QMessageBox*>(w) != nullptr; }));
}

QStringList buttonTexts(QMessageBox* box) {
  QStringList texts;
  for (QAbstractButton* b : box->buttons()) texts << b->text();
  return texts;
}

class QtThreads : public ::testing::Test {
 protected:
  QtThreads() { testApplication(); }
  QtUi m_ui;
};

// Whether `answer` is ready, turning the GUI loop meanwhile (the box runs in a nested loop).
template <typename T>
bool answered(std::future<T>& answer) {
  return turnLoopUntil(
      [&] { return answer.wait_for(std::chrono::seconds(0)) == std::future_status::ready; });
}

TEST_F(QtThreads, MessageBoxesFromAWorkerAreShownAndAnsweredOnTheGuiThread) {
  struct Seen {
    QThread* thread = nullptr;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;
  };
  auto look = [](Seen& seen, const char* picture) {
    return [&seen, picture] {
      QMessageBox* box = visibleBox();
      if (!box) return false;
      seen = {box->thread(), box->windowTitle(), box->icon(), buttonTexts(box)};
      saveScreenshot(box, picture);
      return true;
    };
  };
  Seen yesNoBox;
  UserSteps user(
      {look(yesNoBox, "box-yes-no"), [] { return answerMessageBox(QStringLiteral("いいえ")); }});
  auto yesNo = std::async(std::launch::async, [] {
    return MessageBox(nullptr, "\n続行しますか？\n", "電話帳データ読込確認",
                      MB_YESNO | MB_ICONQUESTION);
  });
  ASSERT_TRUE(answered(yesNo));
  EXPECT_EQ(yesNo.get(), IDNO);
  EXPECT_EQ(yesNoBox.thread, QApplication::instance()->thread());
  EXPECT_EQ(yesNoBox.title, QStringLiteral("電話帳データ読込確認"));
  EXPECT_EQ(yesNoBox.icon, QMessageBox::Question);
  EXPECT_EQ(yesNoBox.buttons, (QStringList{QStringLiteral("はい"), QStringLiteral("いいえ")}));

  // Escape answers an OK/キャンセル box with キャンセル.
  Seen okCancelBox;
  UserSteps escape({look(okCancelBox, "box-ok-cancel"), [] {
                      QKeyEvent key(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
                      QApplication::sendEvent(visibleBox(), &key);
                      return true;
                    }});
  auto okCancel = std::async(std::launch::async, [] {
    return MessageBox(nullptr, "書込しますか？", "確認", MB_OKCANCEL | MB_ICONINFORMATION);
  });
  ASSERT_TRUE(answered(okCancel));
  EXPECT_EQ(okCancel.get(), IDCANCEL);
  EXPECT_EQ(okCancelBox.buttons, (QStringList{QStringLiteral("OK"), QStringLiteral("キャンセル")}));
  EXPECT_EQ(okCancelBox.icon, QMessageBox::Information);
}

TEST_F(QtThreads, ACloseWaitingForALockAWorkerHoldsWhileItAsksDoesNotDeadlock) {
  std::mutex tables;
  std::atomic<bool> holding{false};
  std::atomic<int> answer{0};
  std::thread editor([&] {
    std::lock_guard lock(tables);
    holding = true;
    answer = MessageBox(nullptr, "\n登録できない文字が含まれています。\n", "エラー",
                        MB_OK | MB_ICONEXCLAMATION);
  });
  while (!holding) std::this_thread::yield();
  UserSteps user({[] { return answerMessageBox(QStringLiteral("OK")); }});
  // The close: try the lock, keep the event loop turning between tries.
  auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  bool locked = false;
  while (!(locked = tables.try_lock()) && std::chrono::steady_clock::now() < give_up) {
    pumpOneMessage();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_TRUE(locked);
  tables.unlock();
  editor.join();
  EXPECT_TRUE(user.done());
  EXPECT_EQ(answer, IDOK);
}

TEST_F(QtThreads, WorkOffTheGuiThreadPostsProgressTheGuiThreadShowsWhileItsLoopTurns) {
  ProgressDialog dialog;
  ASSERT_TRUE(dialog.Create());
  dialog.ShowWindow(SW_SHOW);
  int ticks = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
  timer.start(5);
  std::thread::id workedOn;
  runWorkKeepingUiAlive([&] {
    workedOn = std::this_thread::get_id();
    for (int p = 0; p <= 150; p += 10) {
      postToWindow("データ通信実行中", kSetPercent, static_cast<std::uintptr_t>(p));
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  });
  QCoreApplication::processEvents();
  EXPECT_NE(workedOn, std::this_thread::get_id());
  EXPECT_GT(ticks, 3);  // the loop kept turning while the work ran
  std::vector<int> expected = {0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 100, 100, 100, 100, 100};
  EXPECT_EQ(dialog.shown, expected);
  for (std::thread::id id : dialog.deliveredOn) EXPECT_EQ(id, std::this_thread::get_id());
  QWidget* window = m_ui.widgetOf(&dialog);
  EXPECT_EQ(window->findChild<QProgressBar*>("2164")->value(), 100);
  EXPECT_EQ(window->findChild<QLineEdit*>("1009")->text(), QStringLiteral("100"));
  dialog.DestroyWindow();
}

TEST_F(QtThreads, CodeThatPumpsAtFixedPointsOnTheGuiThreadKeepsTheScreenAlive) {
  bool repainted = false;
  QTimer::singleShot(0, [&] { repainted = true; });
  EXPECT_TRUE(pumpOneMessage());
  EXPECT_TRUE(repainted);

  // A message posted by the GUI thread to its own window waits for the pump, then arrives once.
  ProgressDialog dialog;
  ASSERT_TRUE(dialog.Create());
  postToWindow("データ通信実行中", kSetPercent, 30);
  EXPECT_TRUE(dialog.shown.empty());
  pumpMessages(10);
  QCoreApplication::processEvents();
  EXPECT_EQ(dialog.shown, std::vector<int>{30});
  dialog.DestroyWindow();
}

TEST_F(QtThreads, AModalDialogRunFromAWorkerIsAnsweredOnTheGuiThreadAndGetsItsMessages) {
  ProgressDialog dialog;  // modal here, ended by a click-free command of the code below
  auto result = std::async(std::launch::async, [&] { return dialog.DoModal(); });
  ASSERT_TRUE(turnLoopUntil([&] {
    QWidget* w = m_ui.widgetOf(&dialog);
    return w && w->isVisible();
  }));
  postToWindow("データ通信実行中", kSetPercent, 55);
  auto* bar = m_ui.widgetOf(&dialog)->findChild<QProgressBar*>("2164");
  ASSERT_TRUE(turnLoopUntil([&] { return bar->value() == 55; }));
  EXPECT_NE(dialog.deliveredOn.at(0), std::this_thread::get_id());  // the worker owns it
  m_ui.widgetOf(&dialog)->close();                                  // no close button, no close
  QCoreApplication::processEvents();
  EXPECT_TRUE(dialog.IsOpen());
  dialog.EndDialog(IDOK);
  ASSERT_TRUE(answered(result));
  EXPECT_EQ(result.get(), IDOK);
  EXPECT_EQ(m_ui.widgetOf(&dialog), nullptr);
}

TEST_F(QtThreads, TheWaitCursorFollowsCallsFromAnyThread) {
  std::thread([] { showWaitCursor(true); }).join();
  ASSERT_TRUE(turnLoopUntil([] { return QApplication::overrideCursor() != nullptr; }));
  EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  showWaitCursor(true);  // not nested
  showWaitCursor(false);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(QtThreads, SaveDialogAddsTheDefaultExtensionAndAsksBeforeOverwriting) {
  QTemporaryDir dir;
  std::string folder = dir.path().toStdString();
  std::ofstream(folder + "/book.zud8") << "x";
  CFileDialog save(false, "zud8", "book", OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                   " zud8ﾌｧｲﾙ(*.zud8)|*.zud8|csvﾌｧｲﾙ(*.csv)|*.csv|");
  QStringList filters;
  QString prompt;
  auto fileDialog = [] {
    return qobject_cast<QFileDialog*>(
        visibleWindow([](QWidget* w) { return qobject_cast<QFileDialog*>(w) != nullptr; }));
  };
  auto choose = [&](const QString& name) {
    return [&, name] {
      QFileDialog* d = fileDialog();
      if (!d || visibleBox()) return false;
      filters = d->nameFilters();
      saveScreenshot(d, "save-file");
      // The user clears the file the folder view picked and types a name.
      for (auto* view : d->findChildren<QAbstractItemView*>()) view->clearSelection();
      d->findChild<QLineEdit*>("fileNameEdit")->setText(dir.path() + "/" + name);
      // Accepted at once: the folder view, still loading, may rewrite the name later.
      QMetaObject::invokeMethod(d, "accept", Qt::DirectConnection);
      return true;
    };
  };
  UserSteps user({choose("book"),
                  [&] {
                    QMessageBox* box = visibleBox();
                    if (!box) return false;
                    prompt = box->text();
                    saveScreenshot(box, "box-overwrite");
                    return answerMessageBox(QStringLiteral("いいえ"));
                  },
                  choose("new")});
  ASSERT_EQ(save.DoModal(), IDOK);
  EXPECT_TRUE(user.done());
  EXPECT_EQ(save.GetPathName(), folder + "/new.zud8");
  EXPECT_TRUE(prompt.contains(QStringLiteral("book.zud8")));
  EXPECT_EQ(filters,
            (QStringList{QStringLiteral("zud8ﾌｧｲﾙ(*.zud8)"), QStringLiteral("csvﾌｧｲﾙ(*.csv)")}));
}

}  // namespace
