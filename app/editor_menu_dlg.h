// CEditorMenuDlg: what the three menu dialogs ("メニュー選択") share. Each menu has a file-load
// button (1294), a file-save button (1295), a browser button (1077) and "戻る" (IDCANCEL), and
// owns one CEditorSession (web/editor_session.h), so one menu run has at most one editor server.
//
// Initialisation enables the browser button and gives it the focus. The browser button starts
// the menu's server when it does not run yet and opens the default browser on it; when no
// browser could be started the address is shown in a message box for the user to open by hand.
// Every way of closing the menu ("戻る", Escape, the Close command) runs the session's close,
// which stops the server under the table lock (and, for the phonebook menu, restores the
// phonebook while duplicateCheck is 1) before the dialog ends. A menu destroyed without its
// close still stops its server under the lock (the session's destructor).
//
// The file buttons run OnLoad() / OnSave() of the concrete menu while holding the table lock,
// so that no editor request changes the tables while a file is read into them or written from
// them.
#pragma once

#include <string>

#include "ui/dialog.h"
#include "web/editor_session.h"

constexpr int kMenuLoadButton = 1294;
constexpr int kMenuSaveButton = 1295;
constexpr int kMenuBrowserButton = 1077;

namespace menu_text {
inline constexpr const char* kCaption = "メニュー選択";
inline constexpr const char* kBack = "戻る";
// Shown when the browser cannot be started; the address follows.
inline constexpr const char* kNoBrowser =
    "ブラウザを起動できませんでした。\n次のアドレスをブラウザで開いてください。\n";
}  // namespace menu_text

class CEditorMenuDlg : public CDialog {
 public:
  CEditorMenuDlg(const DialogResource& resource, EditorMenu menu, CWnd* parent);

  // The menu's editor session (tests set its port and document root before the menu runs).
  CEditorSession& Editor() { return m_editor; }

 protected:
  bool OnInitDialog() override;
  void OnCommand(int id) override;
  void OnCancel() override;

  virtual void OnLoad() = 0;
  virtual void OnSave() = 0;
  // The browser button: starts the editor and opens the browser on it.
  virtual void OnEditInBrowser();

 private:
  CEditorSession m_editor;
};
