// The main dialog on the real Qt backend, clicked through by a user, against the simulator: a
// phonebook read shows the progress dialog moving through the percents the link posted and ends
// with the success message, and the phonebook menu opens after it; a phonebook write shows the
// block selection. The windows' pictures
// go to the build's screenshots/ (scripts/screenshots.sh copies them for the README).
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/com_sts_dlg.h"
#include "app/denwa_dlg.h"
#include "app/ip_addr_inp_dlg.h"
#include "app/main_dlg.h"
#include "app/menu_dlg.h"
#include "app/progress_dlg.h"
#include "data/extension_directory.h"
#include "data/phonebook_baseline.h"
#include "data/process_state.h"
#include "data/speed_dial.h"
#include "data/system_data.h"
#include "link/link_test_support.h"
#include "link/progress_messages.h"
#include "link/simulator_transfer_test_support.h"
#include "mainunit/simulator.h"
#include "ui/qt/qt_test_support.h"
#include "ui/qt/qt_ui.h"

namespace {

// The Qt backend, also noting what a test checks afterwards: the messages posted to the
// progress window, the percents the progress dialog set, and each value its bar showed.
class WatchedQtUi : public QtUi {
 public:
  void messagePosted(const PostRecord& record) override {
    {
      std::lock_guard<std::mutex> guard(m_lock);
      if (record.target == kTransferProgressTitle) posted.push_back(record);
    }
    QtUi::messagePosted(record);
  }
  void controlChanged(CDialog& dialog, const ControlEvent& event) override {
    if (dialog.DialogId() == kComStsDlgId && event.controlId == kProgressBar &&
        event.what == ControlChange::ProgressPos) {
      std::lock_guard<std::mutex> guard(m_lock);
      set.push_back(event.value);
    }
    QtUi::controlChanged(dialog, event);
  }
  // The progress bar's values are watched from the moment its window is built.
  void dialogOpened(CDialog& dialog, bool modal) override {
    QtUi::dialogOpened(dialog, modal);
    if (dialog.DialogId() != kComStsDlgId) return;
    auto* bar = widgetOf(&dialog)->findChild<QProgressBar*>(QString::number(kProgressBar));
    if (!bar) return;
    QObject::connect(bar, &QProgressBar::valueChanged, bar, [this, bar](int value) {
      shown.push_back(value);
      if (value >= 40 && value <= 70 && !midTransferSaved)
        midTransferSaved = saveScreenshot(bar->window(), "zu-progress");
    });
  }

  std::vector<PostRecord> posted;  // under m_lock
  std::vector<int> set;            // under m_lock
  std::vector<int> shown;          // GUI thread
  bool midTransferSaved = false;   // GUI thread

 private:
  std::mutex m_lock;
};

class QtMainDialog : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const SimulatorOptions o = testSimulatorOptions("127.0.0.4");
    toolPort_ = o.toolPortFirst;
    unit_ = new MainUnitSimulator(o);
    ASSERT_TRUE(unit_->start());
  }
  static void TearDownTestSuite() { delete unit_; }

  QtMainDialog() { testApplication(); }
  void SetUp() override {
    initProcessState();
    initSystemData();
    useTestTiming(std::chrono::milliseconds(2000));
    link_ = std::make_unique<CTCPFileTransfer>(nullptr);
    link_->SetListenPort(toolPort_);
    link_->SetListenAddress("127.0.0.1");
  }
  void TearDown() override { resetLinkTiming(); }

  // The visible window of dialog `id`, or null.
  static QWidget* window(int id) {
    return visibleWindow([id](QWidget* w) {
      auto* d = dynamic_cast<DialogWidget*>(w);
      return d && d->dialog() && d->dialog()->DialogId() == id;
    });
  }
  template <typename W>
  static W* control(int dialog, int id) {
    QWidget* w = window(dialog);
    return w ? w->findChild<W*>(QString::number(id)) : nullptr;
  }
  static bool click(int dialog, int id) {
    auto* button = control<QPushButton>(dialog, id);
    if (!button) return false;
    QTest::mouseClick(button, Qt::LeftButton);
    return true;
  }

  // The user's steps from the main dialog's button to the host dialog answered.
  std::vector<UserSteps::Step> pressAndLogIn(int button) {
    return {[] {
              QWidget* w = window(kMainDlgId);
              if (!w) return false;
              QCoreApplication::processEvents();
              saveScreenshot(w, "zu-main");
              return true;
            },
            [button] { return click(kMainDlgId, button); },
            [] {
              auto* host = control<QLineEdit>(kIPAddrInpDlgId, kIPAddrInpHost);
              auto* password = control<QLineEdit>(kIPAddrInpDlgId, kIPAddrInpPassword);
              if (!host || !password) return false;
              QTest::keyClicks(host, QStringLiteral("127.0.0.4"));
              QTest::keyClicks(password, QStringLiteral("7351"));
              saveScreenshot(window(kIPAddrInpDlgId), "zu-host");
              return click(kIPAddrInpDlgId, IDOK);
            }};
  }

  // The last steps: 終了 and はい to the exit question.
  static void appendExit(std::vector<UserSteps::Step>& steps) {
    steps.push_back([] { return click(kMainDlgId, kMainExit); });
    steps.push_back([] { return answerMessageBox(QStringLiteral("はい")); });
  }

  static QString visibleBoxText() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    return box ? box->windowTitle() + "|" + box->text() : QString();
  }

  static inline MainUnitSimulator* unit_ = nullptr;
  static inline int toolPort_ = 0;
  WatchedQtUi ui_;
  std::unique_ptr<CTCPFileTransfer> link_;
};

TEST_F(QtMainDialog,
       APhonebookReadByClicksMovesTheBarThroughItsPostsToTheSuccessMessageThenTheMenuOpens) {
  CMainDlg dialog(link_);
  dialog.SetUnitPort(unit_->port());
  QString question, finalText;
  bool menuShown = false;
  std::vector<UserSteps::Step> steps = pressAndLogIn(kMainPhonebookRead);
  steps.push_back([&] {
    question = visibleBoxText();
    return answerMessageBox(QStringLiteral("OK"));
  });
  steps.push_back([&] {
    QString text = visibleBoxText();
    if (!text.contains(QStringLiteral("正常に終了"))) return false;
    finalText = text;
    saveScreenshot(QApplication::activeModalWidget(), "zu-read-done");
    return answerMessageBox(QStringLiteral("OK"));
  });
  // The phonebook menu opens over the main dialog with what was read, and 戻る closes it.
  steps.push_back([] { return click(kMainDlgId, kMainPhonebookEdit); });
  steps.push_back([&] {
    QWidget* menu = window(kMenuDlgId);
    if (!menu) return false;
    menuShown = true;
    QCoreApplication::processEvents();
    saveScreenshot(menu, "zu-menu");
    return click(kMenuDlgId, IDCANCEL);
  });
  appendExit(steps);
  UserSteps user(steps);
  dialog.DoModal();

  EXPECT_TRUE(user.done());
  EXPECT_TRUE(menuShown);
  EXPECT_EQ(dialog.LastOutcome(), WorkflowOutcome::Succeeded);
  EXPECT_TRUE(question.startsWith(QStringLiteral("電話帳データの読込確認|")));
  EXPECT_EQ(
      finalText,
      QStringLiteral("電話帳データの読込の終了|\n電話帳データの読込が正常に終了しました。\n"));

  // The link posted its percents and byte counts to the progress window, which was there.
  ASSERT_FALSE(ui_.posted.empty());
  EXPECT_TRUE(std::all_of(ui_.posted.begin(), ui_.posted.end(),
                          [](const PostRecord& r) { return r.delivered; }));
  EXPECT_TRUE(std::any_of(ui_.posted.begin(), ui_.posted.end(),
                          [](const PostRecord& r) { return r.msg == kBytesDoneMessage; }));
  // The bar showed, in order, values the dialog set from those posts, ending on the last, with
  // steps between the start and the end: it moved while the transfer ran.
  ASSERT_FALSE(ui_.set.empty());
  ASSERT_FALSE(ui_.shown.empty());
  EXPECT_EQ(ui_.shown.back(), ui_.set.back());
  EXPECT_EQ(ui_.shown.back(), 100);
  auto next = ui_.set.begin();
  for (int value : ui_.shown) {
    next = std::find(next, ui_.set.end(), value);
    ASSERT_NE(next, ui_.set.end()) << "the bar showed " << value << " out of turn";
  }
  const auto between =
      std::count_if(ui_.shown.begin(), ui_.shown.end(), [](int v) { return v > 0 && v < 100; });
  EXPECT_GE(between, 3);
  EXPECT_TRUE(ui_.midTransferSaved);
}

// Entries of blocks 0 and 13 and an extension name edited since the tables were read: the write
// selection marks them, and "変更分のみ" ticks them.
TEST_F(QtMainDialog, APhonebookWriteAsksForTheBlocksAndItsCancelSendsNothing) {
  phonebookBaseline().takeAll();
  for (int n : {12, 6789}) {
    SpeedDialFields f{};
    std::memcpy(f.number, "0312345678", 10);
    std::memcpy(f.name, "EDITED", 6);
    f.use[0] = '1';
    std::memcpy(f.speedDialGroup, "01", 2);
    setSpeedDialEntry(n, f);
  }
  ExtensionFields e{};
  getExtensionEntry(0, 101, e);
  std::memcpy(e.name, "SOUMU", 5);
  setExtensionEntry(0, 101, e);
  CMainDlg dialog(link_);
  dialog.SetUnitPort(unit_->port());
  const auto sessions = unit_->lastSession().number;
  std::vector<UserSteps::Step> steps = pressAndLogIn(kMainPhonebookWrite);
  std::vector<int> ticked;
  QString markedText;
  steps.push_back([&ticked, &markedText] {
    QWidget* w = window(kDenwaDlgId);
    if (!w) return false;
    control<QAbstractButton>(kDenwaDlgId, kDenwaTemplates)->click();
    control<QAbstractButton>(kDenwaDlgId, kDenwaChangedOnly)->click();
    QCoreApplication::processEvents();
    for (int box = kDenwaFirstBlock; box <= kDenwaTemplates; ++box)
      if (auto* b = control<QAbstractButton>(kDenwaDlgId, box); b && b->isChecked())
        ticked.push_back(box);
    markedText = control<QAbstractButton>(kDenwaDlgId, kDenwaFirstBlock + 13)->text();
    saveScreenshot(w, "zu-write-selection");
    return click(kDenwaDlgId, IDCANCEL);
  });
  appendExit(steps);
  UserSteps user(steps);
  dialog.DoModal();

  EXPECT_TRUE(user.done());
  EXPECT_EQ(dialog.LastOutcome(), WorkflowOutcome::Stopped);
  EXPECT_EQ(unit_->lastSession().number, sessions);
  EXPECT_EQ(ticked, (std::vector<int>{kDenwaFirstBlock, kDenwaFirstBlock + 13, kDenwaExtensions}));
  EXPECT_EQ(markedText, QString::fromUtf8("6500～6999 ＊"));
}

}  // namespace
