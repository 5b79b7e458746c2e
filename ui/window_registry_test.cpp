// Rules of the window-title registry and of posted messages.
#include "ui/window_registry.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>
#include <utility>
#include <vector>

#include "ui/dialog.h"
#include "ui/message_pump.h"
#include "ui/scripted/scripted_ui.h"

using enum ControlKind;

namespace {

constexpr unsigned kSetPercent = WM_USER + 100;

const DialogResource kProgress{
    339,
    "データ通信実行中",
    {{Progress, 2164, ""}, {Edit, 1009, "0", {.readOnly = true, .rightAlign = true}}}};

// Shows each posted percent and remembers the messages it got and on which thread.
class ProgressWindow : public CDialog {
 public:
  ProgressWindow() : CDialog(kProgress) {}
  std::vector<std::pair<unsigned, std::uintptr_t>> received;
  std::vector<std::thread::id> threads;
  bool destroyOnMessage = false;

  void OnMessage(unsigned msg, std::uintptr_t wParam) override {
    received.emplace_back(msg, wParam);
    threads.push_back(std::this_thread::get_id());
    if (msg == kSetPercent) {
      SetProgressPos(2164, static_cast<int>(wParam));
      SetDlgItemText(1009, std::to_string(wParam));
    }
    if (destroyOnMessage) DestroyWindow();
  }
};

class WindowRegistryTest : public ::testing::Test {
 protected:
  void TearDown() override {
    while (pumpOneMessage()) {
    }
  }
  ScriptedUi ui;
};

TEST_F(WindowRegistryTest, PostingToAMissingTitleIsSilentlyDropped) {
  postToWindow("データ通信実行中", kSetPercent, 5);
  postMessage(nullptr, kSetPercent, 5);
  EXPECT_EQ(pendingMessageCount(), 0);
  EXPECT_FALSE(pumpOneMessage());
  auto posts = ui.posts();
  ASSERT_EQ(posts.size(), 2u);
  EXPECT_EQ(posts[0].target, "データ通信実行中");
  EXPECT_FALSE(posts[0].delivered);
  EXPECT_FALSE(posts[1].delivered);
}

TEST_F(WindowRegistryTest, PostedMessagesReachOnMessageOnePerPumpInPostingOrder) {
  ProgressWindow w;
  w.Create();
  postToWindow("データ通信実行中", WM_USER + 101, 5);
  postToWindow("データ通信実行中", WM_USER + 102, 36);
  postMessage(&w, kSetPercent, 27);
  EXPECT_TRUE(w.received.empty());  // nothing before the owner pumps
  EXPECT_EQ(pendingMessageCount(), 3);

  EXPECT_TRUE(pumpOneMessage());
  EXPECT_EQ(w.received.size(), 1u);
  pumpMessages(10);
  EXPECT_FALSE(pumpOneMessage());
  EXPECT_EQ(w.received, (std::vector<std::pair<unsigned, std::uintptr_t>>{
                            {WM_USER + 101, 5}, {WM_USER + 102, 36}, {kSetPercent, 27}}));
  w.DestroyWindow();
}

TEST_F(WindowRegistryTest, WorkRunInlineHasItsPostsDeliveredBeforeItReturns) {
  ProgressWindow w;
  w.Create();
  runWorkKeepingUiAlive([] {
    for (int p = 10; p <= 70; p += 30) postToWindow("データ通信実行中", kSetPercent, p);
  });
  EXPECT_EQ(pendingMessageCount(), 0);
  EXPECT_EQ(w.received, (std::vector<std::pair<unsigned, std::uintptr_t>>{
                            {kSetPercent, 10}, {kSetPercent, 40}, {kSetPercent, 70}}));
  // What the caller shows after the work stays: no late progress of the work comes after it.
  w.OnMessage(kSetPercent, 100);
  pumpMessages(10);
  EXPECT_EQ(w.GetDlgItemText(1009), "100");
  w.DestroyWindow();
}

TEST_F(WindowRegistryTest, ADestroyedWindowNoLongerReceivesPosts) {
  ProgressWindow w;
  w.Create();
  postToWindow("データ通信実行中", kSetPercent, 10);  // pending when the window goes
  w.DestroyWindow();
  postToWindow("データ通信実行中", kSetPercent, 20);
  postMessage(&w, kSetPercent, 30);
  EXPECT_FALSE(pumpOneMessage());
  EXPECT_TRUE(w.received.empty());
  auto posts = ui.posts();
  ASSERT_EQ(posts.size(), 3u);
  EXPECT_TRUE(posts[0].delivered);
  EXPECT_FALSE(posts[1].delivered);
  EXPECT_FALSE(posts[2].delivered);
}

TEST_F(WindowRegistryTest, TheWindowRegisteredLastUnderATitleIsFound) {
  ProgressWindow first, second;
  first.Create();
  second.Create();
  EXPECT_EQ(findWindow("データ通信実行中"), &second);
  second.DestroyWindow();
  EXPECT_EQ(findWindow("データ通信実行中"), &first);
  EXPECT_EQ(findWindow("データ通信実行"), nullptr);  // titles match exactly
  first.DestroyWindow();
}

TEST_F(WindowRegistryTest, PostsFromAnotherThreadAreDeliveredOnTheOwningThread) {
  ProgressWindow w;
  w.Create();
  std::thread poster([] {
    for (std::uintptr_t p : {0u, 5u, 36u, 67u, 100u})
      postToWindow("データ通信実行中", kSetPercent, p);
    // The poster owns no window: pumping here delivers nothing.
    EXPECT_FALSE(pumpOneMessage());
  });
  poster.join();
  pumpMessages(10);
  ASSERT_EQ(w.received.size(), 5u);
  for (std::thread::id t : w.threads) EXPECT_EQ(t, std::this_thread::get_id());
  // What the dialog showed, in order, as a test of a workflow reads it.
  EXPECT_EQ(ui.controlTexts(339, 1009), (std::vector<std::string>{"0", "5", "36", "67", "100"}));
  EXPECT_EQ(ui.progressPositions(339, 2164), (std::vector<int>{0, 5, 36, 67, 100}));
  w.DestroyWindow();
}

TEST_F(WindowRegistryTest, AHandlerMayDestroyItsOwnWindow) {
  ProgressWindow w;
  w.destroyOnMessage = true;
  w.Create();
  postMessage(&w, kSetPercent, 1);
  postMessage(&w, kSetPercent, 2);
  EXPECT_TRUE(pumpOneMessage());
  EXPECT_FALSE(w.IsWindow());
  EXPECT_FALSE(pumpOneMessage());  // the second message went with the window
  EXPECT_EQ(w.received.size(), 1u);
}

// Blocks in OnMessage until released, so that a destroy can race the delivery.
class SlowWindow : public CDialog {
 public:
  SlowWindow() : CDialog(kProgress) {}
  std::promise<void> entered;
  std::promise<void> release;
  std::atomic<bool> finished{false};
  void OnMessage(unsigned, std::uintptr_t) override {
    entered.set_value();
    release.get_future().wait();
    finished = true;
  }
};

TEST_F(WindowRegistryTest, UnregisteringWaitsForADeliveryRunningOnAnotherThread) {
  SlowWindow w;
  std::promise<void> created;
  std::thread owner([&] {
    w.Create();
    postMessage(&w, kSetPercent, 1);
    created.set_value();
    pumpOneMessage();
  });
  created.get_future().wait();
  w.entered.get_future().wait();
  std::atomic<bool> destroyed{false};
  std::thread destroyer([&] {
    w.DestroyWindow();
    destroyed = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(destroyed);
  w.release.set_value();
  destroyer.join();
  owner.join();
  EXPECT_TRUE(destroyed);
  EXPECT_TRUE(w.finished);
}

}  // namespace
