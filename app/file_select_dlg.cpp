#include "app/file_select_dlg.h"

#include "app/phonebook_files.h"
#include "data/phonebook_tables.h"
#include "data/process_state.h"

using enum ControlKind;

const DialogResource kFileSelectDlg{kFileSelectDlgId, "ファイル選択", {
    {Button, kFileSelectSpeedDial, "電話帳ファイル"},
    {Button, kFileSelectExtensions, "内線電話帳ファイル"},
    {Button, kFileSelectTemplates, "付加情報定型文ファイル"},
    {Button, IDCANCEL, "キャンセル"}}};

bool CFileSelectDlg::OnInitDialog() {
  m_loadMode = fileDirection == 0;
  return true;
}

void CFileSelectDlg::OnCommand(int id) {
  if (id < kFileSelectSpeedDial || id > kFileSelectTemplates) return;
  static constexpr ExchangeKind kKinds[] = {ExchangeKind::SpeedDial, ExchangeKind::Extensions,
                                            ExchangeKind::Templates};
  const ExchangeKind kind = kKinds[id - kFileSelectSpeedDial];
  fileKind = kind;
  if (m_loadMode) {
    loadPhonebookFile(this);
    if (kind != ExchangeKind::Templates) snapshotPhonebook();
  } else {
    savePhonebookFile(this);
  }
  SetFocusTo(id);
}
