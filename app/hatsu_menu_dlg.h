// CHatsuMenuDlg: the restriction-number menu (resource 392), opened by the main dialog's
// "発信規制番号の\n編集・ファイル操作". The file buttons load and save a local restriction file
// (app/restriction_files.h); the browser button opens the restriction editor
// ("hoshu_Regulation.html", after the list is normalised once per menu). The close only stops
// the editor: nothing is restored.
#pragma once

#include "app/editor_menu_dlg.h"

extern const DialogResource kHatsuMenuDlg;

constexpr int kHatsuMenuDlgId = 392;

class CHatsuMenuDlg : public CEditorMenuDlg {
 public:
  explicit CHatsuMenuDlg(CWnd* parent = nullptr);

 protected:
  void OnLoad() override;
  void OnSave() override;
};
