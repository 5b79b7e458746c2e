#include "web/num_err_dlg.h"

using enum ControlKind;

const DialogResource kNumErrDlg{kNumErrDlgId, "エラー", {
    {Icon, IDC_STATIC, "", {.iconId = kNumErrDlgIcon}},
    {Static, kNumErrDlgMessage, "", {.centered = true, .multiline = true}},
    {Button, IDOK, "OK", {.defaultButton = true}}},
    {.systemModal = true}};

bool CNumErrDlg::OnInitDialog() {
  SetDlgItemText(kNumErrDlgMessage, m_message);
  return true;
}
