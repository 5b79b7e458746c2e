#include "app/hatsu_menu_dlg.h"

#include "app/restriction_files.h"

using enum ControlKind;

// clang-format off
const DialogResource kHatsuMenuDlg{kHatsuMenuDlgId, menu_text::kCaption, {
    {Button, kMenuLoadButton, "発信規制番号ファイルデータ読込"},
    {Button, kMenuSaveButton, "発信規制番号ファイルデータ保存"},
    {Button, kMenuBrowserButton, "発信規制番号編集"},
    {Button, IDCANCEL, menu_text::kBack}}};
// clang-format on

CHatsuMenuDlg::CHatsuMenuDlg(CWnd* parent)
    : CEditorMenuDlg(kHatsuMenuDlg, EditorMenu::Restrictions, parent) {}

void CHatsuMenuDlg::OnLoad() { loadRestrictionFile(this); }
void CHatsuMenuDlg::OnSave() { saveRestrictionFile(this); }
