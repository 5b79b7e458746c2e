// Rules of the two progress windows: what they show when they open, the progress messages they
// take by title, how many pending messages a percent change lets through, and the keys and
// Close command that must not end them.
#include "app/progress_dlg.h"

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "app/com_sts_dlg.h"
#include "app/dl_file_make_dlg.h"
#include "link/progress_messages.h"
#include "ui/message_pump.h"
#include "ui/scripted/scripted_ui.h"
#include "ui/window_registry.h"

namespace {

struct Window {
  const char* name;
  std::string_view title;
  int pumpCount;
  std::unique_ptr<CProgressDlg> (*make)();
};

void PrintTo(const Window& w, std::ostream* os) { *os << w.name; }

const Window kWindows[] = {
    {"transfer", kTransferProgressTitle, 10, [] { return std::unique_ptr<CProgressDlg>(new CComStsDlg); }},
    {"file preparation", kFileMakeProgressTitle, 2,
     [] { return std::unique_ptr<CProgressDlg>(new CDlFileMakeDlg); }}};

class ProgressDlgTest : public ::testing::TestWithParam<Window> {
 protected:
  void SetUp() override {
    dlg = GetParam().make();
    ASSERT_TRUE(dlg->Create());
    dlg->ShowWindow(SW_SHOW);
  }
  void TearDown() override {
    dlg->DestroyWindow();
    EXPECT_TRUE(ui.faults().empty());
  }

  void post(unsigned msg, std::int64_t wParam) {
    postToWindow(GetParam().title, msg, static_cast<std::uintptr_t>(wParam));
  }
  void pumpAll() {
    while (pendingMessageCount() > 0) pumpOneMessage();
  }
  // The percent both the bar and the number show (they must agree).
  int shown() const {
    const int pos = dlg->GetProgressPos(kProgressBar);
    EXPECT_EQ(dlg->GetDlgItemText(kProgressPercentText), std::to_string(pos));
    return pos;
  }

  ScriptedUi ui;
  std::unique_ptr<CProgressDlg> dlg;
};

TEST_P(ProgressDlgTest, OpensAtZeroWithTheFocusOnTheBar) {
  EXPECT_EQ(dlg->GetWindowText(), GetParam().title);
  EXPECT_EQ(findWindow(GetParam().title), dlg.get());
  EXPECT_EQ(dlg->GetFocusId(), kProgressBar);
  EXPECT_EQ(dlg->GetDlgItemText(kProgressPercentText), "0");
  EXPECT_EQ(dlg->GetDlgItemText(kProgressPercentSign), "%");
  EXPECT_EQ(ui.progressPositions(dlg->DialogId(), kProgressBar), std::vector<int>{0});
  EXPECT_TRUE(dlg->Resource().style.noSystemMenu && dlg->Resource().style.systemModal);
}

TEST_P(ProgressDlgTest, SetPercentIsClampedToTheBar) {
  const std::pair<std::int64_t, int> cases[] = {{0, 0}, {37, 37}, {100, 100}, {150, 100}, {-5, 0}};
  for (auto [sent, expected] : cases) {
    post(kSetPercentMessage, sent);
    pumpAll();
    EXPECT_EQ(shown(), expected) << sent;
  }
  dlg->SetPercent(250);
  EXPECT_EQ(shown(), 100) << "the owner's direct call is clamped too";
}

TEST_P(ProgressDlgTest, BytesDoneShowsTheTruncatedShareOfTheRange) {
  struct Case {
    std::int32_t start, end, total, done;
    int expected;
  };
  const Case cases[] = {
      {5, 50, 1000, 500, 27},     // 27.5 truncated
      {5, 50, 1000, 1200, 50},    // beyond the block: the range end
      {5, 50, 1000, 1000, 50},
      {5, 50, 1000, 0, 5},
      {5, 50, 1000, -1, 5},       // negative count: the range start
      {5, 50, 0, 300, 50},        // empty block: the range end
      {0, 100, 3, 2, 66},
      {90, 150, 10, 5, 100},      // a range past 100 is clamped
      {-20, 10, 10, 1, 0},        // -17 is clamped
      {0, 100, 2147483647, 2147483646, 99},
  };
  for (const Case& c : cases) {
    post(kRangeStartMessage, c.start);
    post(kRangeEndMessage, c.end);
    post(kRangeTotalMessage, c.total);
    post(kBytesDoneMessage, c.done);
    pumpAll();
    EXPECT_EQ(shown(), c.expected) << c.start << "-" << c.end << " " << c.done << "/" << c.total;
  }
}

TEST_P(ProgressDlgTest, LinkPostsFromAnotherThreadShowInOrderOnTheOwnerWithTheRangeKept) {
  const std::string_view title = GetParam().title;
  std::thread link([title] {
    for (int file = 0; file < 3; ++file) {
      postToWindow(title, kRangeStartMessage, file * 30);
      postToWindow(title, kRangeEndMessage, file * 30 + 30);
      postToWindow(title, kRangeTotalMessage, 3000);
      for (int done : {1024, 2048, 3000}) postToWindow(title, kBytesDoneMessage, done);
      postToWindow(title, WM_USER + 105, 99);  // not a progress message: ignored
    }
    postToWindow(title, kSetPercentMessage, 100);
  });
  link.join();
  EXPECT_EQ(shown(), 0) << "nothing is shown before the owning thread pumps";
  pumpAll();
  EXPECT_EQ(ui.progressPositions(dlg->DialogId(), kProgressBar),
            (std::vector<int>{0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100}));
}

TEST_P(ProgressDlgTest, APercentChangeLetsItsCountOfPendingMessagesThrough) {
  // Each pumped message sets the percent again; it must not pump in turn, or one change would
  // drain the whole queue through ever deeper nesting.
  for (int i = 0; i < 30; ++i) post(kSetPercentMessage, i);
  dlg->SetPercent(50);
  EXPECT_EQ(pendingMessageCount(), 30 - GetParam().pumpCount);
  EXPECT_EQ(shown(), GetParam().pumpCount - 1);
  pumpAll();
}

TEST_P(ProgressDlgTest, NeitherKeysNorTheCloseCommandEndIt) {
  EXPECT_EQ(dlg->userKeyDown(VK_ESCAPE), InputResult::Accepted);
  EXPECT_EQ(dlg->userKeyDown(VK_RETURN), InputResult::Accepted);
  EXPECT_EQ(dlg->userClose(), InputResult::Disabled);
  EXPECT_TRUE(dlg->IsOpen() && dlg->IsWindowVisible());
}

INSTANTIATE_TEST_SUITE_P(Windows, ProgressDlgTest, ::testing::ValuesIn(kWindows),
                         [](const auto& info) {
                           return std::string(info.param.name) == "transfer" ? "Transfer" : "FilePreparation";
                         });

TEST(ComStsDlgTest, ShowsTheTextOfItsOperation) {
  ScriptedUi ui;
  const std::pair<int, const char*> cases[] = {
      {1, "電話帳データの読込実行中です。"}, {2, "電話帳データの書込実行中です。"},
      {5, "着信履歴データの読込実行中です。"}, {7, "発信規制番号データの書込実行中です。"}, {3, ""}};
  for (auto [operation, text] : cases) {
    CComStsDlg dlg;
    dlg.SetOperation(operation);
    ASSERT_TRUE(dlg.Create());
    EXPECT_EQ(dlg.GetDlgItemText(kComStsOperationText), text) << operation;
    dlg.DestroyWindow();
  }
}

}  // namespace
