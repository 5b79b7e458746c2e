#include "app/com_sts_dlg.h"

#include "link/progress_messages.h"

using enum ControlKind;

const DialogResource kComStsDlg{kComStsDlgId, kTransferProgressTitle, {
    {Edit, kComStsOperationText, "", {.readOnly = true}},
    {Progress, kProgressBar, ""},
    {Edit, kProgressPercentText, "", {.readOnly = true, .rightAlign = true}},
    {Static, kProgressPercentSign, "%"}},
    {.systemModal = true, .noSystemMenu = true, .setForeground = true}};

std::string_view comStsOperationText(int operation) {
  switch (operation) {
    case 1: return "電話帳データの読込実行中です。";
    case 2: return "電話帳データの書込実行中です。";
    case 5: return "着信履歴データの読込実行中です。";
    case 6: return "発信規制番号データの読込実行中です。";
    case 7: return "発信規制番号データの書込実行中です。";
    default: return "";
  }
}

CComStsDlg::CComStsDlg() : CProgressDlg(kComStsDlg, 10) {}

bool CComStsDlg::OnInitDialog() {
  SetDlgItemText(kComStsOperationText, comStsOperationText(m_operation));
  return CProgressDlg::OnInitDialog();
}
