// CMenuDlg: the phonebook edit menu (resource 222), opened by the main dialog's
// "電話帳データの編集".
//
// "ファイルデータ読込" sets fileDirection to 0 and runs the file-kind chooser (CFileSelectDlg),
// which loads the chosen kind and retakes the snapshot after a speed-dial or extension load;
// "ファイルデータ保存" first restores the phonebook to its snapshot while duplicateCheck is 1 (so
// only what the editor's checks accepted is saved), then sets fileDirection to 1 and runs the
// chooser to save. "詳細設定" opens the phonebook editor ("hoshu.html") while historyKind is the
// internal history. The close restores the phonebook to its snapshot while duplicateCheck is 1.
#pragma once

#include "app/editor_menu_dlg.h"

extern const DialogResource kMenuDlg;

constexpr int kMenuDlgId = 222;

class CMenuDlg : public CEditorMenuDlg {
 public:
  explicit CMenuDlg(CWnd* parent = nullptr);

 protected:
  void OnLoad() override;
  void OnSave() override;
};
