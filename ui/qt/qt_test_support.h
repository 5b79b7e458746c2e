// Test support for the Qt backend: the application object, resources shaped like the tool's
// dialogs, and a user who acts on windows while a modal loop runs.
#pragma once

#include <QAbstractButton>
#include <QDir>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>
#include <array>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "ui/qt/dialog_widget.h"
#include "ui/resource.h"

using enum ControlKind;

// Steps a user takes one after another from the GUI event loop (also inside modal loops). A step
// returns false while what it waits for has not appeared; it is then tried again on the next
// tick. Stops when the last step is done; done() says whether it got there. After 20 s without
// getting there it ends the modal window that is up, each tick, so a failing test cannot hang.
class UserSteps {
 public:
  using Step = std::function<bool()>;
  explicit UserSteps(std::vector<Step> steps);
  ~UserSteps();
  bool done() const { return m_next >= m_steps.size(); }

 private:
  void tick();
  void giveUp();

  std::vector<Step> m_steps;
  std::size_t m_next = 0;
  QObject* m_timer;  // the context of the pending tick
  QElapsedTimer m_clock;
};

// Fontconfig keeps caches for the life of the process, which LeakSanitizer would report at exit.
// Defined here, not inline, so that the one test file of each program that includes this
// header brings it in.
extern "C" __attribute__((used)) const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}

// The process's QApplication (made on first use, on the calling thread, which the tests keep
// as the GUI thread). Resources shaped like the tool's dialogs follow: host name and password
// (375), transfer progress (339), file preparation progress (377), the write selection with 22
// check boxes in three group boxes (390), a menu (222), a main-dialog-like one with two-line
// buttons and hidden radio groups, and the error dialog with its icon (389).
inline QApplication& testApplication() {
  static int argc = 1;
  static char name[] = "zu-qt-test";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

inline const DialogResource kHostDialog{375, "ホスト名/IPアドレス・パスワード入力", {
    {Static, IDC_STATIC, "主装置のホスト名/IPアドレスとパスワードを入力してください。"},
    {Static, IDC_STATIC, "主装置ホスト名/IPアドレス"},
    {Edit, 2550, "", {.maxLength = 64}},
    {Static, IDC_STATIC, "パスワード"},
    {Edit, 2568, "", {.maxLength = 16, .password = true}},
    {Button, IDOK, "OK", {.defaultButton = true}},
    {Button, IDCANCEL, "ｷｬﾝｾﾙ"}}};

inline const DialogResource kProgressDialog{339, "データ通信実行中", {
    {Edit, 1006, "", {.readOnly = true}},
    {Progress, 2164, ""},
    {Edit, 1009, "", {.readOnly = true, .rightAlign = true}},
    {Static, 2557, "%"}},
    {.systemModal = true, .noSystemMenu = true, .setForeground = true}};

inline const DialogResource kFileMakeDialog{377, "ファイル作成中", {
    {Static, IDC_STATIC, "ダウンロード用ファイルを作成中です。"},
    {Progress, 2164, ""},
    {Edit, 1009, "", {.readOnly = true, .rightAlign = true}},
    {Static, 2557, "%"}},
    {.systemModal = true, .noSystemMenu = true}};

namespace qt_test_detail {

inline std::vector<ControlResource> writeSelectionControls() {
  static std::array<std::string, 20> blocks;
  std::vector<ControlResource> controls = {
      {Static, IDC_STATIC,
       "電話帳データの書込を開始します。\n書込する短縮番号を指定してください。内線電話帳の書込を行う場合に「内線電話帳」をチェックしてください。\n付加情報定型文の書込を行う場合に「付加情報定型文」をチェックしてください。"},
      {Static, IDC_STATIC,
       "【OK】ボタンをクリックすると主装置の電話帳データ・内線電話帳データが変更されます。ボタンをクリックする前にもう一度チェックした内容を確認してください。"},
      {Static, IDC_STATIC,
       "【ご注意】［電話帳データの書込］で内線電話帳や付加情報定型文の書込も行う場合は、［電話帳データの読込］を行ってから、書込を行ってください。\n［電話帳データの読込］を行わずに書込を行うと、主装置側の付加情報定型文や内線番号が初期化されたり、内線名称が変更されたりしますので注意してください。\n未実施の場合は、【キャンセル】ボタンをクリックし、電話帳データをいったん保存して［電話帳データの読込］からやり直してください。"},
      {GroupBox, IDC_STATIC, "短縮番号"}};
  for (int i = 0; i < 20; ++i) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d～%04d", i * 500, i * 500 + 499);
    blocks[static_cast<std::size_t>(i)] = text;
    controls.push_back({CheckBox, 2566 + i, blocks[static_cast<std::size_t>(i)]});
  }
  controls.push_back({GroupBox, IDC_STATIC, "内線電話帳"});
  controls.push_back({CheckBox, 2590, "内線電話帳を書込する"});
  controls.push_back({GroupBox, IDC_STATIC, "付加情報定型文"});
  controls.push_back({CheckBox, 2591, "付加情報定型文を書込する"});
  controls.push_back({Button, IDOK, "OK", {.defaultButton = true}});
  controls.push_back({Button, IDCANCEL, "ｷｬﾝｾﾙ"});
  return controls;
}

}  // namespace qt_test_detail

inline const DialogResource& writeSelectionDialog() {
  static const DialogResource resource{390, "電話帳データの書込確認",
                                        qt_test_detail::writeSelectionControls()};
  return resource;
}

inline const DialogResource kMenuDialog{222, "メニュー選択", {
    {Button, 1294, "ファイルデータ読込"},
    {Button, 1295, "ファイルデータ保存"},
    {Button, 1077, "詳細設定"},
    {Button, IDCANCEL, "戻る"}}};

inline const DialogResource kMainLikeDialog{100, "電話帳メンテナンス", {
    {GroupBox, IDC_STATIC, "着信履歴"},
    {Button, 1137, "内線着信履歴の\n表示・ファイル操作"},
    {Button, 1141, "外線着信履歴の\n表示・ファイル操作"},
    {Button, 1142, "発信規制番号の\n編集・ファイル操作"},
    {Radio, 2564, "あり", {.visible = false, .group = true}},
    {Radio, 2565, "なし", {.visible = false}},
    {Radio, 2569, "600メモリー", {.visible = false, .group = true}},
    {Radio, 2570, "990メモリー", {.visible = false}},
    {Button, IDCANCEL, "終了"}}};

inline const DialogResource kErrorDialog{389, "エラー", {
    {Icon, IDC_STATIC, "", {.iconId = 390}},
    {Static, 2568, "", {.centered = true}},
    {Button, IDOK, "OK", {.defaultButton = true}}},
    {.systemModal = true}};

// Writes a picture of `window` into the build folder's screenshots/ as `name`.png.
inline bool saveScreenshot(QWidget* window, const QString& name) {
  QString folder = QStringLiteral(ZU_BINARY_DIR "/screenshots");
  QDir().mkpath(folder);
  return window->grab().save(folder + "/" + name + ".png");
}

// The top-level window visible now that satisfies `match`, or null.
inline QWidget* visibleWindow(const std::function<bool(QWidget*)>& match) {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->isVisible() && match(w)) return w;
  }
  return nullptr;
}

inline UserSteps::UserSteps(std::vector<Step> steps) : m_steps(std::move(steps)) {
  m_timer = new QObject;
  m_clock.start();
  QTimer::singleShot(10, m_timer, [this] { tick(); });
}

// Each tick schedules the next before it acts, so a step that opens a modal loop (a click that
// shows a message box) does not stop the steps after it.
inline void UserSteps::tick() {
  if (done()) return;
  QTimer::singleShot(10, m_timer, [this] { tick(); });
  if (m_clock.elapsed() > 20000) {
    giveUp();
    return;
  }
  std::size_t step = m_next++;
  if (!m_steps[step]() && m_next == step + 1) m_next = step;
}

// A step that never comes true would leave its modal loop running for ever: end whatever modal
// window is up, so that the test goes on and fails on done().
inline void UserSteps::giveUp() {
  QWidget* modal = QApplication::activeModalWidget();
  if (auto* own = dynamic_cast<DialogWidget*>(modal); own && own->dialog()) {
    own->dialog()->EndDialog(IDCANCEL);
  } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
    dialog->done(QDialog::Rejected);
  }
}

inline UserSteps::~UserSteps() { delete m_timer; }

// Turns the GUI event loop until `condition` holds or `limit` passes; returns the condition.
inline bool turnLoopUntil(const std::function<bool()>& condition,
                          std::chrono::milliseconds limit = std::chrono::seconds(10)) {
  QElapsedTimer clock;
  clock.start();
  while (!condition()) {
    if (clock.elapsed() > limit.count()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// Clicks the button labelled `text` of the visible message box; false when there is none.
inline bool answerMessageBox(const QString& text) {
  auto* box = qobject_cast<QMessageBox*>(
      visibleWindow([](QWidget* w) { return qobject_cast<QMessageBox*>(w) != nullptr; }));
  if (!box) return false;
  for (QAbstractButton* b : box->buttons()) {
    if (b->text() == text) {
      b->click();
      return true;
    }
  }
  return false;
}
