// Windows and dialogs: CWnd and CDialog, the toolkit-neutral stand-ins for their MFC namesakes.
//
// A CDialog is built from a DialogResource (ui/resource.h) and is the model of its window: it
// keeps the state of every control (text, check, enabled, visible, focus, progress) and of the
// window itself (title, enabled, shown, close command) behind its own lock. Any thread may read
// and change that state; a backend (ui/ui_backend.h) mirrors each change and feeds the user's
// input back through the user*() calls, which behave as a user's action would: they are refused
// for controls that are hidden or disabled, and they run the dialog's handlers.
//
// Lifetime. A dialog window exists from DoModal() until it returns, or from Create() until
// DestroyWindow(). While it exists it is registered in the window-title registry under its
// current title (ui/window_registry.h), and messages posted to it reach OnMessage() on the thread
// that opened it when that thread pumps (ui/message_pump.h). Each DoModal() and Create() starts
// from the resource's control state. The object must outlive its window: a class that opens a
// modeless window destroys it (DestroyWindow) before the object goes; the base destructor only
// unregisters a window left open. Dialogs are not copyable.
//
// Handlers (OnInitDialog, OnOK, OnCancel, OnCommand, OnClose, OnMessage, PreTranslateKeyDown) are
// called without the dialog's lock held, so they may call anything here, open nested dialogs and
// message boxes.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "ui/resource.h"
#include "ui/ui_backend.h"
#include "ui/win_types.h"

class CWnd {
 public:
  CWnd();
  virtual ~CWnd();
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;

  // The window title (UTF-8). Changing it moves the window's registration to the new title.
  std::string GetWindowText() const;
  void SetWindowText(std::string_view title);
  void EnableWindow(bool enable);
  bool IsWindowEnabled() const;
  // SW_HIDE, SW_SHOW, SW_SHOWNORMAL, SW_RESTORE, SW_MINIMIZE, SW_SHOWMINIMIZED.
  void ShowWindow(int command);
  bool IsWindowVisible() const;
  bool IsIconic() const;
  // Enables or greys the Close command of the window (title-bar button, Alt+F4).
  void EnableCloseCommand(bool enable);
  bool IsCloseCommandEnabled() const;
  // Whether the window exists now (registered in the window-title registry).
  bool IsWindow() const;
  // Delivers a message at once on the calling thread, as a sent (not posted) message.
  void SendMessage(unsigned msg, std::uintptr_t wParam);

  // A posted or sent message (such as WM_USER+100). The default ignores it.
  virtual void OnMessage(unsigned msg, std::uintptr_t wParam);

 protected:
  // Registers the window under its title (owned by the calling thread) / unregisters it.
  void attachWindow();
  void detachWindow();
  // Called after a change of the window's own state, without the lock held.
  virtual void windowStateChanged(const WindowEvent& event);
  WindowEvent windowState() const;
  // Whether the window takes input; the caller holds m_mutex.
  bool windowEnabledLocked() const { return m_enabled; }

  mutable std::mutex m_mutex;

 private:
  std::string m_title;
  bool m_enabled = true;
  bool m_visible = false;
  bool m_minimized = false;
  bool m_closeEnabled = true;
};

// Why a user action was refused (InputResult::Accepted when it was not).
enum class InputResult { Accepted, NotOpen, NoSuchControl, Hidden, Disabled, ReadOnly, WrongKind };
const char* inputResultText(InputResult result);

class CDialog : public CWnd {
 public:
  explicit CDialog(const DialogResource& resource, CWnd* parent = nullptr);
  ~CDialog() override;

  const DialogResource& Resource() const { return m_resource; }
  int DialogId() const { return m_resource.id; }
  CWnd* Parent() const { return m_parent; }

  // Opens the dialog modally: resets the control state from the resource, registers the window,
  // runs OnInitDialog() and then the backend's modal loop until EndDialog(). Returns the result
  // given to EndDialog(), or -1 when there is no backend to run it (no handler runs then).
  int DoModal();
  // Ends the dialog with `result`: a modal loop returns it from DoModal(); a modeless dialog is
  // hidden. The last call before the loop returns wins.
  void EndDialog(int result);
  // Whether EndDialog() was called since the window opened, and with what.
  bool HasEnded() const;
  int Result() const;

  // Opens the dialog modeless (hidden until ShowWindow): resets the control state, registers
  // the window and runs OnInitDialog(). Returns false when the window exists already.
  bool Create(CWnd* parent = nullptr);
  // Closes a modeless window: unregisters it (its pending messages are dropped) and tells the
  // backend. Nothing happens when the window does not exist.
  void DestroyWindow();

  // Control state by id. Unknown ids read as empty / false / 0 and ignore changes; IDC_STATIC
  // addresses nothing.
  std::string GetDlgItemText(int id) const;
  void SetDlgItemText(int id, std::string_view text);
  bool IsDlgButtonChecked(int id) const;
  void CheckDlgButton(int id, bool checked);
  // Checks `id` and clears the other radio buttons with ids in first..last.
  void CheckRadioButton(int first, int last, int id);
  void EnableDlgItem(int id, bool enable);
  bool IsDlgItemEnabled(int id) const;
  void ShowDlgItem(int id, bool show);
  bool IsDlgItemVisible(int id) const;
  // The control that has the keyboard focus (0 when none).
  void SetFocusTo(int id);
  int GetFocusId() const;
  void SetProgressRange(int id, int low, int high);
  void SetProgressPos(int id, int pos);
  int GetProgressPos(int id) const;
  bool HasControl(int id) const;

  // Input from the user, as a backend reports it. Each returns why it was refused, or Accepted.
  // A click on a push button is a command: IDOK runs OnOK(), IDCANCEL OnCancel(), any other id
  // OnCommand(id). A click on a check box toggles it and a click on a radio button checks it
  // (clearing the rest of its group) before OnCommand(id). The clicked control gets the focus.
  InputResult userClick(int id);
  // Typing into an edit: replaces its text, cut to its maxLength characters.
  InputResult userSetText(int id, std::string_view text);
  // A key-down: PreTranslateKeyDown() first; unless it swallows the key, Enter presses the
  // focused push button or else the default button (IDOK when none is marked), Escape is the
  // IDCANCEL command. Refused when the dialog is not open.
  InputResult userKeyDown(int key);
  // The window's Close command: OnClose() unless the command is greyed.
  InputResult userClose();
  // Whether the window exists and has not ended yet.
  bool IsOpen() const;

 protected:
  // After the control state is set up; the default does nothing. Returns true when the dialog
  // may put the focus on the first control.
  virtual bool OnInitDialog();
  // The default ends the dialog with IDOK.
  virtual void OnOK();
  // The default ends the dialog with IDCANCEL.
  virtual void OnCancel();
  // A command from any control except IDOK and IDCANCEL; the default ignores it.
  virtual void OnCommand(int id);
  // The window's Close command; the default is OnCancel().
  virtual void OnClose();
  // A key-down before the dialog's own processing; return true to swallow it.
  virtual bool PreTranslateKeyDown(int key);

  void windowStateChanged(const WindowEvent& event) override;

 private:
  struct ControlState {
    const ControlResource* resource;
    std::string text;
    bool checked = false;
    bool enabled = true;
    bool visible = true;
    int low = 0;
    int high = 100;
    int pos = 0;
  };

  void resetControls();
  // Marks the window open unless it is open already.
  bool claimWindow(bool modal, CWnd* parent);
  void openWindow(bool modal);
  void closeWindow();
  ControlState* control(int id);
  const ControlState* control(int id) const;
  void notify(const ControlEvent& event);
  void dispatchCommand(int id);
  // Whether the user may act on control `id` now; the caller holds m_mutex.
  InputResult checkInput(int id, ControlState** state);
  int enterTarget() const;

  const DialogResource& m_resource;
  CWnd* m_parent;
  std::vector<ControlState> m_controls;
  int m_focusId = 0;
  bool m_open = false;
  bool m_modal = false;
  bool m_ended = false;
  int m_result = 0;
};
