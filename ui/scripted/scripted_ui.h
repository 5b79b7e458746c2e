// ScriptedUi: the backend for tests and zuctl. It answers dialogs, message boxes and file
// dialogs from a script and records everything the code showed.
//
// While a ScriptedUi lives it is the process's backend (the one it replaced comes back when it
// goes). Everything runs on the calling thread: DoModal() runs the dialog's script on the thread
// that opened the dialog; a message box or file dialog is answered at once on the thread that
// asks. All calls, and the records, are safe from any thread.
//
// Dialogs: onDialog(id, script) answers every showing of resource `id` (onDialogOnce answers the
// next showing only, ahead of the lasting script). The script gets a DialogDriver and acts as a
// user would: it types, ticks and clicks, so the dialog's own handlers run. A script that leaves
// the dialog open, a dialog without a script, and any action the user could not have taken (a
// hidden or disabled control, a dialog already closed) are script faults: recorded in faults(),
// never fatal; the dialog is then ended with IDCANCEL.
//
// Message boxes: answer(caption, result) queues one answer for the next box with that caption.
// Without a queued answer a box gets the default for its buttons: IDOK for MB_OK and MB_OKCANCEL,
// IDYES for MB_YESNO (setDefaultAnswer changes them). An answer the box cannot give (IDYES to an
// OK/Cancel box) is a fault and the default is used instead.
//
// File dialogs: answerFile(path) queues the next choice, nullopt cancels. An unexpected file
// dialog is cancelled and recorded as a fault.
//
// Posted messages are not delivered by this backend: they wait in the owning thread's queue until
// that thread pumps (ui/message_pump.h), exactly as the code pumps them. posts() records every
// post in the order it was made (dropped ones too), and controlTexts()/progressPositions()
// record every value a control showed, so a test can read the sequence of percents a progress
// dialog displayed.
#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "ui/dialog.h"
#include "ui/ui_backend.h"

class ScriptedUi;

// Acts on one dialog as a user would. Refused actions are recorded as faults of `ui` (when given).
class DialogDriver {
 public:
  explicit DialogDriver(CDialog& dialog, ScriptedUi* ui = nullptr);

  CDialog& dialog() const { return m_dialog; }
  int id() const { return m_dialog.DialogId(); }
  std::string caption() const { return m_dialog.GetWindowText(); }
  bool isOpen() const { return m_dialog.IsOpen(); }

  // Types `text` into edit `id` (replacing what was there).
  void setText(int id, std::string_view text);
  void click(int id);
  // Clicks check box `id` when its state differs from `checked`.
  void check(int id, bool checked = true);
  void pressKey(int key);
  void pressEnter() { pressKey(VK_RETURN); }
  void pressEscape() { pressKey(VK_ESCAPE); }
  // The window's Close command (title-bar button).
  void close();

  std::string text(int id) const { return m_dialog.GetDlgItemText(id); }
  bool isChecked(int id) const { return m_dialog.IsDlgButtonChecked(id); }
  bool isEnabled(int id) const { return m_dialog.IsDlgItemEnabled(id); }
  bool isVisible(int id) const { return m_dialog.IsDlgItemVisible(id); }
  int focus() const { return m_dialog.GetFocusId(); }

 private:
  void report(InputResult result, const char* action, int id);

  CDialog& m_dialog;
  ScriptedUi* m_ui;
};

struct MessageBoxRecord {
  std::string text;
  std::string caption;
  unsigned type = 0;
  HWND owner = nullptr;
  std::string ownerTitle;
  std::thread::id thread;
  int result = 0;

  unsigned buttons() const { return type & MB_TYPEMASK; }
  unsigned icon() const { return type & MB_ICONMASK; }
};

struct DialogRecord {
  int id = 0;
  std::string caption;
  bool modal = true;
  int result = 0;  // the modal result (0 while running, and for modeless dialogs)
  std::thread::id thread;
};

struct FileDialogRecord {
  FileDialogRequest request;
  std::optional<std::string> answer;
};

class ScriptedUi : public UiBackend {
 public:
  using Script = std::function<void(DialogDriver&)>;

  ScriptedUi();
  ~ScriptedUi() override;
  ScriptedUi(const ScriptedUi&) = delete;
  ScriptedUi& operator=(const ScriptedUi&) = delete;

  // Scripts.
  void onDialog(int resourceId, Script script);
  void onDialogOnce(int resourceId, Script script);
  void answer(std::string caption, int result);
  void setDefaultAnswer(unsigned buttons, int result);
  void answerFile(std::optional<std::string> path);
  // Prints every message box to stderr as "caption: text" (UTF-8, messageBoxConsoleText).
  void setEchoToStderr(bool echo);

  // Records (copies, safe while other threads add to them).
  std::vector<MessageBoxRecord> messages() const;
  // The last message box ({} when none).
  MessageBoxRecord lastMessage() const;
  std::vector<DialogRecord> dialogsShown() const;
  std::vector<PostRecord> posts() const;
  std::vector<bool> cursorChanges() const;
  std::vector<FileDialogRecord> fileDialogs() const;
  // Every text control `controlId` of dialogs with resource `dialogId` was given, in order.
  std::vector<std::string> controlTexts(int dialogId, int controlId) const;
  // Every position progress bar `controlId` of dialogs `dialogId` was set to, in order.
  std::vector<int> progressPositions(int dialogId, int controlId) const;
  std::vector<std::string> faults() const;
  void recordFault(std::string fault);
  // Forgets every record (scripts and queued answers stay).
  void clearRecords();

  // UiBackend.
  int messageBox(const MessageBoxRequest& request) override;
  std::optional<std::string> fileDialog(const FileDialogRequest& request) override;
  void runModal(CDialog& dialog) override;
  void dialogOpened(CDialog& dialog, bool modal) override;
  void dialogEnded(CDialog& dialog, int result) override;
  void dialogClosed(CDialog& dialog) override;
  void controlChanged(CDialog& dialog, const ControlEvent& event) override;
  void cursorChanged(bool wait) override;
  void messagePosted(const PostRecord& record) override;

 private:
  int defaultAnswerFor(unsigned buttons) const;
  static bool answerFits(unsigned buttons, int result);

  mutable std::mutex m_mutex;
  UiBackend* m_previous = nullptr;
  std::map<int, Script> m_scripts;
  std::map<int, std::vector<Script>> m_onceScripts;
  std::map<std::string, std::vector<int>> m_answers;
  std::map<unsigned, int> m_defaultAnswers;
  std::vector<std::optional<std::string>> m_fileAnswers;
  bool m_echo = false;

  std::vector<MessageBoxRecord> m_messages;
  std::vector<DialogRecord> m_dialogs;
  std::map<const CDialog*, std::size_t> m_runningDialogs;  // open dialogs: index into m_dialogs
  std::vector<PostRecord> m_posts;
  std::vector<bool> m_cursor;
  std::vector<FileDialogRecord> m_fileDialogs;
  std::map<std::pair<int, int>, std::vector<std::string>> m_controlTexts;
  std::map<std::pair<int, int>, std::vector<int>> m_progress;
  std::vector<std::string> m_faults;
};
