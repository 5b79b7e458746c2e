// The port between the toolkit-neutral dialog framework and a user-interface backend.
//
// The framework keeps every piece of window state itself: CDialog holds the state of its
// controls (texts, checks, enabled, visible, focus, progress) and of its window (title, enabled,
// shown) behind its own lock, so any thread may read or change it. A backend only mirrors that
// state on screen and feeds the user's input back through CDialog's user*() calls, which run the
// dialog's handlers on the thread that calls them. Posted messages are queued by the framework
// per window-owning thread (ui/window_registry.h) and delivered by pumpOneMessage() on that thread.
//
// Threads. Every entry point of this port may be called from any thread:
//  - messageBox() and fileDialog() block the calling thread until the user has answered.
//  - runModal() blocks the thread that called CDialog::DoModal() until the dialog has ended.
// A backend whose widgets must live on one GUI thread (Qt) therefore works like this: on the GUI
// thread it builds and runs the widget directly (a nested event loop for a modal dialog; the
// loop ends when dialogEnded() arrives). From any other thread it hands the request to the GUI
// thread (a queued call) and waits on a condition variable until the GUI thread has the answer;
// a worker's MessageBox call thus blocks until the GUI thread has shown the box and the user has
// answered it, while the GUI thread keeps its event loop turning. Notifications about state
// changes (controlChanged, windowChanged, ...) may arrive on any thread; such a backend queues
// them to the GUI thread with the values it is given (it may also read the dialog through its
// getters, which lock). messagePosted() tells the backend that a message waits for a window
// owned by some thread, so that a GUI loop can call pumpOneMessage() on that thread; a backend
// that keeps a worker waiting in runModal() pumps that worker's messages while it waits.
// processOneEvent() lets pumpOneMessage() turn the backend's own loop once when it is called on
// the GUI thread, so code that pumps at fixed points keeps the screen alive. runWork() lets a
// long piece of work (a transfer run) leave the GUI loop turning: a GUI backend runs it on a
// worker thread while the calling GUI thread keeps its event loop and its posted messages going;
// any other backend runs it inline on the calling thread.
//
// Lifetime. installUiBackend() makes a backend current for the whole process and returns the one
// it replaced; uninstallUiBackend() waits until no call into the backend is in flight. With no
// backend installed the framework answers by itself: message boxes get the refusing answer
// (IDOK for an OK box, IDCANCEL for OK/Cancel, IDNO for Yes/No) and are printed to stderr, file
// dialogs are cancelled, modal dialogs return -1 without running; modeless windows, control state
// and posted messages work as usual.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "ui/win_types.h"

class CDialog;

struct MessageBoxRequest {
  HWND owner = nullptr;
  std::string ownerTitle;  // the owner's title when asked, "" without owner
  std::string text;        // UTF-8
  std::string caption;     // UTF-8
  unsigned type = MB_OK;   // MB_ buttons | MB_ICON | window styles
  std::thread::id thread;  // the thread that asked
};

// One (label, pattern) pair of a file-dialog filter: ("csvﾌｧｲﾙ(*.csv)", "*.csv").
struct FileFilter {
  std::string label;
  std::string pattern;
};

struct FileDialogRequest {
  bool open = true;              // open dialog; false = save dialog
  std::string title;             // "" = the backend's own default title
  std::string defaultExt;        // without the dot; appended when the chosen name has none
  std::string initialName;       // the name offered first
  unsigned flags = 0;            // OFN_ flags
  std::string filterText;        // the filter string as the caller gave it
  std::vector<FileFilter> filters;
  HWND parent = nullptr;
  std::thread::id thread;
};

// A message posted to a window found by title or handle.
struct PostRecord {
  std::string target;      // the title searched for, or the window's title when posted by handle
  unsigned msg = 0;
  std::uintptr_t wParam = 0;
  bool delivered = false;  // false: no such window, the message was dropped
  std::thread::id poster;  // the posting thread
  std::thread::id owner;   // the thread whose pump delivers it (meaningless when dropped)
};

enum class ControlChange { Text, Check, Enable, Visible, Focus, ProgressRange, ProgressPos };

// A change of one control's state, with the new value.
struct ControlEvent {
  int controlId = 0;
  ControlChange what = ControlChange::Text;
  std::string text;  // Text
  int value = 0;     // Check (0/1), Enable, Visible, Focus (1 gained), ProgressPos
  int low = 0;       // ProgressRange
  int high = 0;      // ProgressRange
};

// A change of a window's own state.
struct WindowEvent {
  std::string title;
  bool enabled = true;
  bool visible = false;
  bool minimized = false;
  bool closeEnabled = true;
};

class UiBackend {
 public:
  virtual ~UiBackend() = default;

  // Shows a message box and returns IDOK, IDCANCEL, IDYES or IDNO.
  virtual int messageBox(const MessageBoxRequest& request) = 0;
  // Shows a file dialog; the chosen full path, or nullopt when cancelled.
  virtual std::optional<std::string> fileDialog(const FileDialogRequest& request) = 0;
  // Runs a dialog that DoModal() has opened and initialised, until EndDialog() was called; the
  // framework has already called OnInitDialog(). Returns when dialog.HasEnded().
  virtual void runModal(CDialog& dialog) = 0;

  // A dialog window came into being (modal: before OnInitDialog; modeless: in Create()) or went.
  virtual void dialogOpened(CDialog& /*dialog*/, bool /*modal*/) {}
  virtual void dialogClosed(CDialog& /*dialog*/) {}
  // EndDialog() was called: a modal loop may stop now.
  virtual void dialogEnded(CDialog& /*dialog*/, int /*result*/) {}
  virtual void controlChanged(CDialog& /*dialog*/, const ControlEvent& /*event*/) {}
  virtual void windowChanged(CDialog& /*dialog*/, const WindowEvent& /*event*/) {}

  virtual void cursorChanged(bool /*wait*/) {}
  // A message was posted (or dropped, see PostRecord::delivered).
  virtual void messagePosted(const PostRecord& /*record*/) {}
  // Turns the backend's own event loop once on the calling thread; true if it did any work.
  virtual bool processOneEvent() { return false; }
  // Runs `work` to its end and returns after it; see the header comment. The default runs it
  // inline.
  virtual void runWork(const std::function<void()>& work) { work(); }
};

// Makes `backend` current (null: none) and returns the previous one.
UiBackend* installUiBackend(UiBackend* backend);
// Removes `backend` if it is current, putting `previous` back, and returns once no call into
// `backend` is in flight on another thread.
void uninstallUiBackend(UiBackend* backend, UiBackend* previous);

// A counted reference to the current backend for the length of one call: the backend cannot be
// uninstalled while the reference lives. Empty when no backend is installed.
class UiBackendRef {
 public:
  UiBackendRef();
  ~UiBackendRef();
  UiBackendRef(const UiBackendRef&) = delete;
  UiBackendRef& operator=(const UiBackendRef&) = delete;
  UiBackend* get() const { return m_backend; }
  UiBackend* operator->() const { return m_backend; }
  explicit operator bool() const { return m_backend != nullptr; }

 private:
  UiBackend* m_backend;
};
