#include "app/menu_dlg.h"

#include "app/file_select_dlg.h"
#include "data/phonebook_snapshot.h"
#include "data/process_state.h"

using enum ControlKind;

// clang-format off
const DialogResource kMenuDlg{kMenuDlgId, menu_text::kCaption, {
    {Button, kMenuLoadButton, "ファイルデータ読込"},
    {Button, kMenuSaveButton, "ファイルデータ保存"},
    {Button, kMenuBrowserButton, "詳細設定"},
    {Button, IDCANCEL, menu_text::kBack}}};
// clang-format on

CMenuDlg::CMenuDlg(CWnd* parent) : CEditorMenuDlg(kMenuDlg, EditorMenu::Phonebook, parent) {}

void CMenuDlg::OnLoad() {
  fileDirection = 0;
  CFileSelectDlg chooser(this);
  chooser.DoModal();
}

void CMenuDlg::OnSave() {
  if (duplicateCheck == 1) restorePhonebook();
  fileDirection = 1;
  CFileSelectDlg chooser(this);
  chooser.DoModal();
}
