// CNaisenMenuDlg: the call-history menu (resource 391), opened by the main dialog's two history
// buttons for the history historyKind names. Its button texts follow historyKind at
// initialisation. The file buttons load and save that history as CSV (app/history_files.h); the
// browser button shows it ("hoshu_icmhst_01.html" internal, "hoshu_icmhst_02.html" external).
#pragma once

#include "app/editor_menu_dlg.h"
#include "data/table_kinds.h"

extern const DialogResource kNaisenMenuDlg;

constexpr int kNaisenMenuDlgId = 391;

// The texts of buttons 1294, 1295 and 1077 for a history.
struct HistoryMenuTexts {
  const char* load;
  const char* save;
  const char* show;
};
HistoryMenuTexts historyMenuTexts(HistoryKind kind);

class CNaisenMenuDlg : public CEditorMenuDlg {
 public:
  explicit CNaisenMenuDlg(CWnd* parent = nullptr);

 protected:
  bool OnInitDialog() override;
  void OnLoad() override;
  void OnSave() override;
};
