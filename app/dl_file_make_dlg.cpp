#include "app/dl_file_make_dlg.h"

using enum ControlKind;

const DialogResource kDlFileMakeDlg{kDlFileMakeDlgId, kFileMakeProgressTitle, {
    {Static, IDC_STATIC, "ダウンロード用ファイルを作成中です。"},
    {Progress, kProgressBar, ""},
    {Edit, kProgressPercentText, "", {.readOnly = true, .rightAlign = true}},
    {Static, kProgressPercentSign, "%"}},
    {.systemModal = true, .noSystemMenu = true}};

CDlFileMakeDlg::CDlFileMakeDlg() : CProgressDlg(kDlFileMakeDlg, 2) {}
