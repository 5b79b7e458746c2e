#include "app/naisen_menu_dlg.h"

#include "app/history_files.h"
#include "data/process_state.h"

using enum ControlKind;

// clang-format off
const DialogResource kNaisenMenuDlg{kNaisenMenuDlgId, menu_text::kCaption, {
    {Button, kMenuLoadButton, "内線着信履歴ファイルデータ読込"},
    {Button, kMenuSaveButton, "内線着信履歴ファイルデータ保存"},
    {Button, kMenuBrowserButton, "内線着信履歴表示"},
    {Button, IDCANCEL, menu_text::kBack}}};
// clang-format on

HistoryMenuTexts historyMenuTexts(HistoryKind kind) {
  if (kind == HistoryKind::External)
    return {"外線着信履歴ファイルデータ読込", "外線着信履歴ファイルデータ保存", "外線着信履歴表示"};
  return {"内線着信履歴ファイルデータ読込", "内線着信履歴ファイルデータ保存", "内線着信履歴表示"};
}

CNaisenMenuDlg::CNaisenMenuDlg(CWnd* parent)
    : CEditorMenuDlg(kNaisenMenuDlg, EditorMenu::CallHistory, parent) {}

bool CNaisenMenuDlg::OnInitDialog() {
  const HistoryMenuTexts texts = historyMenuTexts(historyKind);
  SetDlgItemText(kMenuLoadButton, texts.load);
  SetDlgItemText(kMenuSaveButton, texts.save);
  SetDlgItemText(kMenuBrowserButton, texts.show);
  return CEditorMenuDlg::OnInitDialog();
}

void CNaisenMenuDlg::OnLoad() { loadHistoryFile(this); }
void CNaisenMenuDlg::OnSave() { saveHistoryFile(this); }
