#include "ui/scripted/scripted_ui.h"

#include <cstdio>
#include <string>

#include "ui/message_box.h"

// ---- DialogDriver ----

DialogDriver::DialogDriver(CDialog& dialog, ScriptedUi* ui) : m_dialog(dialog), m_ui(ui) {}

void DialogDriver::report(InputResult result, const char* action, int controlId) {
  if (result == InputResult::Accepted || !m_ui) return;
  m_ui->recordFault("dialog " + std::to_string(m_dialog.DialogId()) + ": " + action + " " +
                    std::to_string(controlId) + " refused: " + inputResultText(result));
}

void DialogDriver::setText(int controlId, std::string_view text) {
  report(m_dialog.userSetText(controlId, text), "setText", controlId);
}

void DialogDriver::click(int controlId) { report(m_dialog.userClick(controlId), "click", controlId); }

void DialogDriver::check(int controlId, bool checked) {
  if (m_dialog.IsDlgButtonChecked(controlId) != checked) click(controlId);
}

void DialogDriver::pressKey(int key) { report(m_dialog.userKeyDown(key), "key", key); }

void DialogDriver::close() { report(m_dialog.userClose(), "close", m_dialog.DialogId()); }

// ---- ScriptedUi: set-up ----

ScriptedUi::ScriptedUi() {
  m_defaultAnswers[MB_OK] = IDOK;
  m_defaultAnswers[MB_OKCANCEL] = IDOK;
  m_defaultAnswers[MB_YESNO] = IDYES;
  m_previous = installUiBackend(this);
}

ScriptedUi::~ScriptedUi() { uninstallUiBackend(this, m_previous); }

void ScriptedUi::onDialog(int resourceId, Script script) {
  std::lock_guard lock(m_mutex);
  m_scripts[resourceId] = std::move(script);
}

void ScriptedUi::onDialogOnce(int resourceId, Script script) {
  std::lock_guard lock(m_mutex);
  m_onceScripts[resourceId].push_back(std::move(script));
}

void ScriptedUi::answer(std::string caption, int result) {
  std::lock_guard lock(m_mutex);
  m_answers[std::move(caption)].push_back(result);
}

void ScriptedUi::setDefaultAnswer(unsigned buttons, int result) {
  std::lock_guard lock(m_mutex);
  m_defaultAnswers[buttons & MB_TYPEMASK] = result;
}

void ScriptedUi::answerFile(std::optional<std::string> path) {
  std::lock_guard lock(m_mutex);
  m_fileAnswers.push_back(std::move(path));
}

void ScriptedUi::setEchoToStderr(bool echo) {
  std::lock_guard lock(m_mutex);
  m_echo = echo;
}

// ---- ScriptedUi: records ----

std::vector<MessageBoxRecord> ScriptedUi::messages() const {
  std::lock_guard lock(m_mutex);
  return m_messages;
}

MessageBoxRecord ScriptedUi::lastMessage() const {
  std::lock_guard lock(m_mutex);
  return m_messages.empty() ? MessageBoxRecord{} : m_messages.back();
}

std::vector<DialogRecord> ScriptedUi::dialogsShown() const {
  std::lock_guard lock(m_mutex);
  return m_dialogs;
}

std::vector<PostRecord> ScriptedUi::posts() const {
  std::lock_guard lock(m_mutex);
  return m_posts;
}

std::vector<bool> ScriptedUi::cursorChanges() const {
  std::lock_guard lock(m_mutex);
  return m_cursor;
}

std::vector<FileDialogRecord> ScriptedUi::fileDialogs() const {
  std::lock_guard lock(m_mutex);
  return m_fileDialogs;
}

std::vector<std::string> ScriptedUi::controlTexts(int dialogId, int controlId) const {
  std::lock_guard lock(m_mutex);
  auto it = m_controlTexts.find({dialogId, controlId});
  return it == m_controlTexts.end() ? std::vector<std::string>{} : it->second;
}

std::vector<int> ScriptedUi::progressPositions(int dialogId, int controlId) const {
  std::lock_guard lock(m_mutex);
  auto it = m_progress.find({dialogId, controlId});
  return it == m_progress.end() ? std::vector<int>{} : it->second;
}

std::vector<std::string> ScriptedUi::faults() const {
  std::lock_guard lock(m_mutex);
  return m_faults;
}

void ScriptedUi::recordFault(std::string fault) {
  std::lock_guard lock(m_mutex);
  m_faults.push_back(std::move(fault));
}

void ScriptedUi::clearRecords() {
  std::lock_guard lock(m_mutex);
  m_messages.clear();
  m_dialogs.clear();
  m_runningDialogs.clear();
  m_posts.clear();
  m_cursor.clear();
  m_fileDialogs.clear();
  m_controlTexts.clear();
  m_progress.clear();
  m_faults.clear();
}

// ---- ScriptedUi: answers ----

int ScriptedUi::defaultAnswerFor(unsigned buttons) const {
  auto it = m_defaultAnswers.find(buttons);
  if (it != m_defaultAnswers.end()) return it->second;
  return buttons == MB_YESNO ? IDYES : IDOK;
}

bool ScriptedUi::answerFits(unsigned buttons, int result) {
  switch (buttons) {
    case MB_OK: return result == IDOK;
    case MB_OKCANCEL: return result == IDOK || result == IDCANCEL;
    case MB_YESNO: return result == IDYES || result == IDNO;
    default: return true;
  }
}

int ScriptedUi::messageBox(const MessageBoxRequest& request) {
  unsigned buttons = request.type & MB_TYPEMASK;
  bool echo;
  MessageBoxRecord record{request.text,       request.caption, request.type,
                          request.owner,      request.ownerTitle, request.thread};
  {
    std::lock_guard lock(m_mutex);
    int result = defaultAnswerFor(buttons);
    auto queued = m_answers.find(request.caption);
    if (queued != m_answers.end() && !queued->second.empty()) {
      int wanted = queued->second.front();
      queued->second.erase(queued->second.begin());
      if (answerFits(buttons, wanted)) {
        result = wanted;
      } else {
        m_faults.push_back("message box \"" + request.caption + "\": answer " +
                           std::to_string(wanted) + " does not fit its buttons");
      }
    }
    record.result = result;
    m_messages.push_back(record);
    echo = m_echo;
  }
  if (echo) std::fputs(messageBoxConsoleText(request.caption, request.text).c_str(), stderr);
  return record.result;
}

std::optional<std::string> ScriptedUi::fileDialog(const FileDialogRequest& request) {
  std::lock_guard lock(m_mutex);
  std::optional<std::string> chosen;
  if (m_fileAnswers.empty()) {
    m_faults.push_back("file dialog \"" + request.title + "\" without a queued answer");
  } else {
    chosen = std::move(m_fileAnswers.front());
    m_fileAnswers.erase(m_fileAnswers.begin());
  }
  m_fileDialogs.push_back({request, chosen});
  return chosen;
}

// ---- ScriptedUi: dialogs ----

void ScriptedUi::dialogOpened(CDialog& dialog, bool modal) {
  std::lock_guard lock(m_mutex);
  m_dialogs.push_back(
      {dialog.DialogId(), dialog.GetWindowText(), modal, 0, std::this_thread::get_id()});
  m_runningDialogs[&dialog] = m_dialogs.size() - 1;
}

void ScriptedUi::dialogEnded(CDialog& dialog, int result) {
  std::lock_guard lock(m_mutex);
  auto it = m_runningDialogs.find(&dialog);
  if (it != m_runningDialogs.end() && m_dialogs[it->second].modal) {
    m_dialogs[it->second].result = result;
  }
}

void ScriptedUi::runModal(CDialog& dialog) {
  Script script;
  {
    std::lock_guard lock(m_mutex);
    auto once = m_onceScripts.find(dialog.DialogId());
    if (once != m_onceScripts.end() && !once->second.empty()) {
      script = std::move(once->second.front());
      once->second.erase(once->second.begin());
    } else if (auto lasting = m_scripts.find(dialog.DialogId()); lasting != m_scripts.end()) {
      script = lasting->second;
    }
  }
  std::string id = std::to_string(dialog.DialogId());
  if (!script) {
    recordFault("dialog " + id + " \"" + dialog.GetWindowText() + "\" shown without a script");
  } else {
    DialogDriver driver(dialog, this);
    script(driver);
    if (!dialog.HasEnded()) recordFault("dialog " + id + ": the script left it open");
  }
  if (!dialog.HasEnded()) dialog.EndDialog(IDCANCEL);
}

void ScriptedUi::dialogClosed(CDialog& dialog) {
  std::lock_guard lock(m_mutex);
  m_runningDialogs.erase(&dialog);
}

void ScriptedUi::controlChanged(CDialog& dialog, const ControlEvent& event) {
  std::lock_guard lock(m_mutex);
  std::pair key{dialog.DialogId(), event.controlId};
  if (event.what == ControlChange::Text) m_controlTexts[key].push_back(event.text);
  if (event.what == ControlChange::ProgressPos) m_progress[key].push_back(event.value);
}

void ScriptedUi::cursorChanged(bool wait) {
  std::lock_guard lock(m_mutex);
  m_cursor.push_back(wait);
}

void ScriptedUi::messagePosted(const PostRecord& record) {
  std::lock_guard lock(m_mutex);
  m_posts.push_back(record);
}
